package com.velk.internet.tz.common;

/**
 * One listener of a server: the address and mapped port the server listens on, its protocol,
 * and the key ring and stash file of a secured listener. The library reads it through the
 * getters and writes the server's status back through {@link #setAddress} and the fields.
 */
public class CMNListener {
    /** Listener address, host order: the first octet in the most significant byte. */
    public int _iAddress;
    public int _iMapPort;
    public int _iProtocol;
    public String _sKeyRing;
    public String _sStashFile;

    public CMNListener() {
    }

    public CMNListener(int address, int mapPort, int protocol, String keyRing, String stashFile) {
        _iAddress = address;
        _iMapPort = mapPort;
        _iProtocol = protocol;
        _sKeyRing = keyRing;
        _sStashFile = stashFile;
    }

    public int getIntAddress() {
        return _iAddress;
    }

    public void setAddress(int address) {
        _iAddress = address;
    }

    public int getMapPort() {
        return _iMapPort;
    }

    public int getProtocol() {
        return _iProtocol;
    }

    public String getKeyRing() {
        return _sKeyRing;
    }

    public String getStashFile() {
        return _sStashFile;
    }
}
