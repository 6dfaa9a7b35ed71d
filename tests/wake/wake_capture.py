#!/usr/bin/env python3
"""wake_capture.py COUNT SECONDS [INTERFACE]: receives UDP datagrams to port 9 and prints one line
for each: "from <source ip> to <destination ip> len <length> <payload hex>". Prints "ready" once
listening. Exits 0 after COUNT datagrams and a short wait for any extra one, 1 when SECONDS pass
first. With INTERFACE it reads the frames on that link instead (an AF_PACKET socket), so that it
sees every broadcast on the wire, also one to a network that no address of its namespace is on."""
import socket
import struct
import sys
import time

IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)  # Linux value; older Pythons lack the name
ETH_P_IP = 0x0800

count, seconds = int(sys.argv[1]), float(sys.argv[2])
link = sys.argv[3] if len(sys.argv) > 3 else None
if link:
    s = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_IP))
    s.bind((link, ETH_P_IP))
else:
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
    s.bind(("0.0.0.0", 9))
print("ready", flush=True)


def receive(left):
    """(source, destination, payload) of the next datagram to port 9, or None for another packet."""
    s.settimeout(left)
    if link:
        frame = s.recv(65536)
        header = (frame[0] & 0x0F) * 4
        if len(frame) < header + 8 or frame[9] != socket.IPPROTO_UDP:
            return None
        port, = struct.unpack("!H", frame[header + 2:header + 4])
        if port != 9:
            return None
        return socket.inet_ntoa(frame[12:16]), socket.inet_ntoa(frame[16:20]), frame[header + 8:]
    data, ancillary, _flags, source = s.recvmsg(2048, socket.CMSG_SPACE(12))
    destination = "?"
    for level, kind, value in ancillary:
        if level == socket.IPPROTO_IP and kind == IP_PKTINFO:
            destination = socket.inet_ntoa(value[8:12])  # in_pktinfo.ipi_addr: the header's destination
    return source[0], destination, data


deadline = time.monotonic() + seconds
received = 0
while True:
    left = deadline - time.monotonic()
    if left <= 0:
        sys.exit(0 if received >= count else 1)
    try:
        got = receive(left)
    except socket.timeout:
        continue
    if got is None:
        continue
    source, destination, data = got
    print("from %s to %s len %d %s" % (source, destination, len(data), data.hex()), flush=True)
    received += 1
    if received == count:
        deadline = min(deadline, time.monotonic() + 0.5)
