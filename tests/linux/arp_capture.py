#!/usr/bin/env python3
"""arp_capture.py INTERFACE SECONDS: prints "request <target ip> from <sender ip>" for every ARP
request seen on INTERFACE during SECONDS, after a first line "ready"."""
import socket
import sys
import time

ETH_P_ARP = 0x0806
interface, seconds = sys.argv[1], float(sys.argv[2])
s = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_ARP))
s.bind((interface, ETH_P_ARP))
print("ready", flush=True)
deadline = time.monotonic() + seconds
while (left := deadline - time.monotonic()) > 0:
    s.settimeout(left)
    try:
        data = s.recv(2048)
    except socket.timeout:
        break
    if len(data) >= 28 and data[6:8] == b"\x00\x01":
        print("request %s from %s" % (socket.inet_ntoa(data[24:28]), socket.inet_ntoa(data[14:18])), flush=True)
