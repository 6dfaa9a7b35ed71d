#!/usr/bin/env python3
"""wake_capture.py COUNT SECONDS: receives UDP datagrams on port 9 and prints one line for each:
"from <source ip> to <destination ip> len <length> <payload hex>". Prints "ready" once bound.
Exits 0 after COUNT datagrams and a short wait for any extra one, 1 when SECONDS pass first."""
import socket
import struct
import sys
import time

IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)  # Linux value; older Pythons lack the name

count, seconds = int(sys.argv[1]), float(sys.argv[2])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
s.bind(("0.0.0.0", 9))
print("ready", flush=True)

deadline = time.monotonic() + seconds
received = 0
while True:
    left = deadline - time.monotonic()
    if left <= 0:
        sys.exit(0 if received >= count else 1)
    s.settimeout(left)
    try:
        data, ancillary, _flags, source = s.recvmsg(2048, socket.CMSG_SPACE(12))
    except socket.timeout:
        continue
    destination = "?"
    for level, kind, value in ancillary:
        if level == socket.IPPROTO_IP and kind == IP_PKTINFO:
            destination = socket.inet_ntoa(value[8:12])  # in_pktinfo.ipi_addr: the header's destination
    print("from %s to %s len %d %s" % (source[0], destination, len(data), data.hex()), flush=True)
    received += 1
    if received == count:
        deadline = min(deadline, time.monotonic() + 0.5)
