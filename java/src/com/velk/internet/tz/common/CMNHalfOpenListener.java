package com.velk.internet.tz.common;

import java.util.ArrayList;
import java.util.List;

/**
 * Receives the executor's half-open connection records: first their count, then one call per
 * record. Addresses and ports arrive in host order. Subclass it to handle records as they come.
 */
public class CMNHalfOpenListener {
    /** One half-open connection. */
    public static final class Record {
        public final int index;
        public final int address;
        public final int port;
        public final boolean flag;

        public Record(int index, int address, int port, boolean flag) {
            this.index = index;
            this.address = address;
            this.port = port;
            this.flag = flag;
        }
    }

    public int iNumHalfOpenRecs;
    public final List<Record> records = new ArrayList<>();

    public CMNHalfOpenListener() {
    }

    public void setNumHalfOpenRecs(int count) {
        iNumHalfOpenRecs = count;
        records.clear();
    }

    public void addHalfOpenRec(int index, int address, int port, boolean flag) {
        records.add(new Record(index, address, port, flag));
    }
}
