package com.velk.internet.tz.common;

import java.util.ArrayList;
import java.util.List;

/**
 * Receives the addresses the executor counts as attacking an address and port: first the count
 * and the executor's overall figure, then one call per attacking address (host order) with its
 * own figure. Subclass it to handle the addresses as they come.
 */
public class CMNAttackListener {
    /** One attacking address. */
    public static final class Attacker {
        public final int address;
        public final int figure;

        public Attacker(int address, int figure) {
            this.address = address;
            this.figure = figure;
        }
    }

    public int iNumAttackers;
    public int iFigure;
    public final List<Attacker> attackers = new ArrayList<>();

    public CMNAttackListener() {
    }

    public void reportAttackingAddrsResults(int count, int figure) {
        iNumAttackers = count;
        iFigure = figure;
        attackers.clear();
    }

    public void reportAttackingAddr(int address, int figure) {
        attackers.add(new Attacker(address, figure));
    }
}
