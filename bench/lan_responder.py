#!/usr/bin/env python3
"""lan_responder.py IFACE HOSTS_FILE: answers ARP requests on IFACE for every "IP MAC" line of
HOSTS_FILE, as that many machines behind one switch port would. The benchmark's /20 uses it in the
hosts' namespace in place of 800 macvlans: the kernel clones every broadcast once per macvlan on a
single work queue, so 800 of them fall seconds behind any scanner that sends faster than a few
hundred requests a second, which no wire of real machines does. Prints "ready" once listening."""
import socket
import struct
import sys

ETH_P_ARP = 0x0806


def main():
    iface, hosts_file = sys.argv[1], sys.argv[2]
    table = {}
    with open(hosts_file) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 2:
                table[socket.inet_aton(parts[0])] = bytes.fromhex(parts[1].replace(":", ""))
    s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ARP))
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8 << 20)
    s.bind((iface, ETH_P_ARP))
    print("ready", flush=True)
    while True:
        frame = s.recv(2048)
        if len(frame) < 42:
            continue
        htype, ptype, hlen, plen, op = struct.unpack("!HHBBH", frame[14:22])
        if htype != 1 or ptype != 0x0800 or hlen != 6 or plen != 4 or op != 1:
            continue
        sha, spa, tpa = frame[22:28], frame[28:32], frame[38:42]
        mac = table.get(tpa)
        if mac is None:
            continue
        reply = sha + mac + struct.pack("!H", ETH_P_ARP)
        reply += struct.pack("!HHBBH", 1, 0x0800, 6, 4, 2) + mac + tpa + sha + spa
        s.send(reply)


if __name__ == "__main__":
    main()
