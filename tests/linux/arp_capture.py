#!/usr/bin/env python3
"""arp_capture.py INTERFACE SECONDS [times]: prints "request <target ip> from <sender ip>" for every
ARP request seen on INTERFACE during SECONDS, after a first line "ready"; with "times", each line
starts with the kernel's receive time of the frame in seconds."""
import socket
import struct
import sys
import time

ETH_P_ARP = 0x0806
SO_TIMESTAMPNS = 35
interface, seconds = sys.argv[1], float(sys.argv[2])
times = len(sys.argv) > 3 and sys.argv[3] == "times"
s = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_ARP))
s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8 << 20)
if times:
    s.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
s.bind((interface, ETH_P_ARP))
print("ready", flush=True)
deadline = time.monotonic() + seconds
while (left := deadline - time.monotonic()) > 0:
    s.settimeout(left)
    try:
        data, ancillary, _, _ = s.recvmsg(2048, 64)
    except socket.timeout:
        break
    if len(data) >= 28 and data[6:8] == b"\x00\x01":
        stamp = ""
        for level, kind, value in ancillary:
            if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS:
                sec, nsec = struct.unpack("qq", value[:16])
                stamp = "%d.%09d " % (sec, nsec)
        print("%srequest %s from %s" % (stamp, socket.inet_ntoa(data[24:28]), socket.inet_ntoa(data[14:18])),
              flush=True)
