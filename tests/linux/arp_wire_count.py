#!/usr/bin/env python3
"""arp_wire_count.py IFACE: counts the ARP requests seen on IFACE, by the kernel's receive times,
until SIGTERM; then prints "requests N busiest-second M", M being the most requests within any
one-second window. Prints "ready" once listening."""
import signal
import socket
import struct
import sys

ETH_P_ARP = 0x0806
SO_TIMESTAMPNS = 35


def stop(*_):
    raise KeyboardInterrupt


def main():
    s = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_ARP))
    s.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
    s.bind((sys.argv[1], ETH_P_ARP))
    signal.signal(signal.SIGTERM, stop)
    print("ready", flush=True)
    times = []
    try:
        while True:
            data, ancillary, _, _ = s.recvmsg(2048, 64)
            if len(data) < 8 or data[6:8] != b"\x00\x01":
                continue
            for level, kind, value in ancillary:
                if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS:
                    seconds, nanoseconds = struct.unpack("qq", value[:16])
                    times.append(seconds * 1_000_000_000 + nanoseconds)
    except (KeyboardInterrupt, OSError):  # stopped, or the interface went away
        pass
    busiest, first = 0, 0
    for last, at in enumerate(times):
        while at - times[first] >= 1_000_000_000:
            first += 1
        busiest = max(busiest, last - first + 1)
    print("requests %d busiest-second %d" % (len(times), busiest), flush=True)


if __name__ == "__main__":
    main()
