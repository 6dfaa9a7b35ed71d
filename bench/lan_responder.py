#!/usr/bin/env python3
"""lan_responder.py IFACE HOSTS_FILE [SLOW_EVERY]: answers ARP requests on IFACE for every "IP MAC"
line of HOSTS_FILE, as that many machines behind one switch port would. The benchmark's fast LANs
use it in the hosts' namespace in place of macvlans: the kernel clones every broadcast once per
macvlan on a single work queue, so hundreds of them model a segment that carries only a few hundred
requests a second, while this models a wire of real machines that takes any reasonable pace.
With SLOW_EVERY = N, every Nth machine of the file is in power save: it answers each request after
200 to 400 ms. Prints "ready" once listening."""
import heapq
import random
import select
import socket
import struct
import sys
import time

ETH_P_ARP = 0x0806


def main():
    iface, hosts_file = sys.argv[1], sys.argv[2]
    slow_every = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    table, slow = {}, set()
    with open(hosts_file) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 2:
                ip = socket.inet_aton(parts[0])
                table[ip] = bytes.fromhex(parts[1].replace(":", ""))
                if slow_every and len(table) % slow_every == 0:
                    slow.add(ip)
    s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ARP))
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8 << 20)
    s.bind((iface, ETH_P_ARP))
    s.setblocking(False)
    print("ready", flush=True)
    held = []  # (when, sequence, reply) of the machines in power save
    sequence = 0
    while True:
        now = time.monotonic()
        while held and held[0][0] <= now:
            s.send(heapq.heappop(held)[2])
        wait = max(0.0, held[0][0] - now) if held else None
        select.select([s], [], [], wait)
        while True:
            try:
                frame = s.recv(2048)
            except BlockingIOError:
                break
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
            if tpa in slow:
                sequence += 1
                heapq.heappush(held, (time.monotonic() + random.uniform(0.2, 0.4), sequence, reply))
            else:
                s.send(reply)


if __name__ == "__main__":
    main()
