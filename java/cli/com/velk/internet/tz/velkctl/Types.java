package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNListener;
import java.net.InetAddress;
import java.net.UnknownHostException;
import picocli.CommandLine.ITypeConverter;
import picocli.CommandLine.TypeConversionException;

/** picocli converters for the values velkctl reads from its command line. */
final class Types {
    private Types() {
    }

    /** Decimal, or hexadecimal with 0x: a port, a count, a code. */
    static final class Number implements ITypeConverter<Integer> {
        @Override
        public Integer convert(String text) {
            return number(text);
        }
    }

    /** A byte field's value: a number, kept to its low 8 bits as the library sends it. */
    static final class Byte implements ITypeConverter<java.lang.Byte> {
        @Override
        public java.lang.Byte convert(String text) {
            return (byte) number(text);
        }
    }

    /** One character. */
    static final class Char implements ITypeConverter<Character> {
        @Override
        public Character convert(String text) {
            if (text.length() != 1) {
                throw new TypeConversionException("one character expected: " + text);
            }
            return text.charAt(0);
        }
    }

    /** A name or dotted text as the four bytes of an IPv4 address, in host order as an int. */
    static final class Address implements ITypeConverter<Integer> {
        @Override
        public Integer convert(String text) {
            return address(text);
        }
    }

    /** A name or address text as its bytes (4 for IPv4, 16 for IPv6). */
    static final class AddressBytes implements ITypeConverter<byte[]> {
        @Override
        public byte[] convert(String text) {
            try {
                return InetAddress.getByName(text).getAddress();
            } catch (UnknownHostException e) {
                throw new TypeConversionException("no such host: " + text);
            }
        }
    }

    /** ADDRESS:PORT[:PROTOCOL], the protocol 6 (TCP) unless given. */
    static final class Listener implements ITypeConverter<CMNListener> {
        @Override
        public CMNListener convert(String text) {
            String[] parts = text.split(":");
            if (parts.length < 2 || parts.length > 3) {
                throw new TypeConversionException("ADDRESS:PORT[:PROTOCOL] expected: " + text);
            }
            return new CMNListener(address(parts[0]), number(parts[1]),
                    parts.length == 3 ? number(parts[2]) : 6, null, null);
        }
    }

    static int number(String text) {
        try {
            return Long.decode(text).intValue();
        } catch (NumberFormatException | NullPointerException e) {
            throw new TypeConversionException("not a number: " + text);
        }
    }

    static int address(String text) {
        try {
            byte[] b = InetAddress.getByName(text).getAddress();
            if (b.length != 4) {
                throw new TypeConversionException("not an IPv4 address: " + text);
            }
            return (b[0] & 0xFF) << 24 | (b[1] & 0xFF) << 16 | (b[2] & 0xFF) << 8 | (b[3] & 0xFF);
        } catch (UnknownHostException e) {
            throw new TypeConversionException("no such host: " + text);
        }
    }

    /** A host-order int address as dotted text. */
    static String dotted(int address) {
        return (address >>> 24) + "." + (address >>> 16 & 0xFF) + "." + (address >>> 8 & 0xFF)
                + "." + (address & 0xFF);
    }
}
