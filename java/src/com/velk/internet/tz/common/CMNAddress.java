package com.velk.internet.tz.common;

/** A cluster address to be configured as an alias on one of the host's interfaces. */
public class CMNAddress {
    /** Dotted decimal or host name. */
    public String Address;
    /** 1 when InterfaceName and NetMask are given by the caller; otherwise they are looked up. */
    public byte ConfigInfoProvided;
    public String InterfaceName;
    /** Dotted decimal. */
    public String NetMask;

    public CMNAddress() {
    }

    public CMNAddress(String address) {
        Address = address;
    }
}
