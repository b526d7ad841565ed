package com.velk.internet.tz.common;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * A server behind a port of a cluster, with up to two listeners. Optional settings carry a byte
 * flag with the prefix Set. The library reads the listeners through {@link #getListener} and
 * hands the executor's listener records back through the *FromNative methods.
 */
public class CMNServer {
    /** At most 64 characters. */
    public String sServerID;
    /** ID key of sServerID; add computes it, the other requests send it as it stands. */
    public int iServerIdKey;
    /** Identifier of the server's cluster; its ID key addresses the cluster. */
    public String ClusterId;
    /** 0 to 65535. */
    public int Port;

    /** Number of listeners the request carries (the executor holds at most two). */
    public int _iNumListeners;
    public byte SetListeners;

    public int _iWeight;
    public byte SetWeight;

    public byte _bFixedWeight;
    public byte SetFixedWeight;

    /** Dotted decimal or host name. */
    public String _sReturnAddress;
    public byte SetReturnAddress;

    /** Dotted decimal or host name. */
    public String _sRouterAddress;
    public byte SetRouterAddress;

    /** 1 when the executor holds a nonzero router address (written by status). */
    public byte IsRemote;

    public byte bCollocated;
    public byte SetCollocated;

    public byte bSticky;
    public byte SetSticky;

    public int _iQuiesced;
    public byte SetQuiesced;

    /** At most 255 characters. */
    public String _sAdvisorRequest;
    public byte SetAdvisorRequest;

    /** At most 255 characters. */
    public String _sAdvisorResponse;
    public byte SetAdvisorResponse;

    /** At most 99 characters. */
    public String CookieValue;
    public byte SetCookieValue;

    /** At most 101 characters. */
    public String CloneID;
    public byte SetCloneID;

    public int _iCPSMaximum;
    public byte SetCPSMaximum;

    /** Connection rate for the rate setter. */
    public int _iCPSCount;

    public int TotalConnections;
    public int TotalTCPConnections;
    public int TotalUDPConnections;
    public int ActiveConnections;
    public int FINishedConnections;
    public int CompleteConnections;
    public int _iSavedWeight;
    public int iBytesPerSecond;

    /** Shared by all listeners of the server. */
    public int _iConnectTimeout;
    public int _iWaitForComplete;

    private final List<CMNListener> listeners = new ArrayList<>();

    public CMNServer() {
    }

    public CMNServer(String clusterId, int port, String serverId) {
        ClusterId = clusterId;
        Port = port;
        sServerID = serverId;
    }

    /** Adds a listener and counts it in _iNumListeners. */
    public void addListener(CMNListener listener) {
        listeners.add(listener);
        _iNumListeners = listeners.size();
    }

    public List<CMNListener> getListeners() {
        return Collections.unmodifiableList(listeners);
    }

    /**
     * The listener with the given index. A listener that does not exist yet is created empty,
     * so that status can hand back every record the executor holds; _iNumListeners is left as
     * the caller set it.
     */
    public CMNListener getListener(int index) {
        while (listeners.size() <= index) {
            listeners.add(new CMNListener());
        }
        return listeners.get(index);
    }

    public int getConnectTimeout() {
        return _iConnectTimeout;
    }

    public int getIntWaitForComplete() {
        return _iWaitForComplete;
    }

    /** The executor holds more listeners than this server had: make room for all of them. */
    public void addListenersFromNative(int count) {
        while (listeners.size() < count) {
            listeners.add(new CMNListener());
        }
        _iNumListeners = count;
    }

    public void setWaitForContinueFromNative(int waitForComplete) {
        _iWaitForComplete = waitForComplete;
    }

    public void setConnectTimeoutFromNative(int connectTimeout) {
        _iConnectTimeout = connectTimeout;
    }
}
