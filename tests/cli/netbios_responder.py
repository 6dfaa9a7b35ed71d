#!/usr/bin/env python3
"""netbios_responder.py ADDRESS NAME: answers NetBIOS node-status queries on ADDRESS, UDP port 137,
as a Windows machine does: its name table holds NAME (workstation and server) and a group name.
Prints "ready" once it listens; ends when killed."""
import socket
import struct
import sys

address, name = sys.argv[1], sys.argv[2]
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.bind((address, 137))
print("ready", flush=True)
while True:
    query, sender = sock.recvfrom(1500)
    if len(query) < 50 or query[-4:] != b"\x00\x21\x00\x01":
        continue
    table = bytes([3])
    for entry, suffix, flags in ((b"WORKGROUP", 0x00, 0x84), (name.encode(), 0x20, 0x04), (name.encode(), 0x00, 0x04)):
        table += entry.ljust(15) + bytes([suffix, flags, 0])
    table += bytes(46)
    answer = query[:2] + struct.pack(">HHHHH", 0x8400, 0, 1, 0, 0) + query[12:46]
    answer += struct.pack(">HHIH", 0x21, 1, 0, len(table)) + table
    sock.sendto(answer, sender)
