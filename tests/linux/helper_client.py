#!/usr/bin/env python3
"""helper_client.py HELPER USER COMMAND...: starts the ARP helper as USER (a uid, through setpriv)
with an empty environment and one end of a SOCK_SEQPACKET pair on descriptor 0, as any local user
could, then speaks to it as a program that may be hostile. Prints one line per event:
  ready CAP | failed ERRNO         the helper's first record
  status KEY VALUE                 Cap*, NoNewPrivs and Seccomp lines of its /proc/PID/status
  answer IP MAC | refused IP       what came back for the asks, in the order it came
  exit CODE                        how the helper ended (or "running" if it had not after 2 s)
COMMAND is one of
  ask IFINDEX SECONDS IP...        ask for each address (pause:S waits S seconds), then read the
                                   replies for SECONDS
  malformed VARIANT IFINDEX IP     an ask for IP spoilt one way: short, long, version, kind, mac,
                                   rate-ifindex, no-ifindex
  close                            close the pair
  rate RATE IFINDEX FIRST COUNT    lower the cap to RATE, then ask COUNT addresses from FIRST on
"""
import ipaddress
import socket
import struct
import subprocess
import sys
import time

VERSION, ASK, RATE, READY, ANSWER, REFUSED, FAILED = 1, 1, 2, 0x81, 0x82, 0x83, 0x84


def record(kind, ifindex, address, version=VERSION, mac=b"\0" * 6):
    return struct.pack("=BB6siI", version, kind, mac, ifindex, address)


def ask(ifindex, ip):
    return record(ASK, ifindex, struct.unpack("=I", socket.inet_aton(ip))[0])


def read(sock, seconds):
    sock.settimeout(seconds)
    try:
        data = sock.recv(64)
    except (socket.timeout, ConnectionResetError):
        return None
    if len(data) != 16:
        return None
    return struct.unpack("=BB6siI", data)


def show(fields):
    _, kind, mac, ifindex, address = fields
    ip = socket.inet_ntoa(struct.pack("=I", address))
    if kind == ANSWER:
        print("answer %s %s" % (ip, "-".join("%02X" % b for b in mac)), flush=True)
    elif kind == REFUSED:
        print("refused %s" % ip, flush=True)
    else:
        print("record %d" % kind, flush=True)


def main():
    helper, user, command, args = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
    process = subprocess.Popen(
        ["setpriv", "--reuid=" + user, "--regid=" + user, "--clear-groups", helper, "quarvo-arp-1"],
        stdin=theirs, env={}, close_fds=True)
    theirs.close()
    first = read(ours, 5)
    if first is None or first[1] not in (READY, FAILED):
        print("no first record", flush=True)
    elif first[1] == FAILED:
        print("failed %d" % first[3], flush=True)
    else:
        print("ready %d" % first[4], flush=True)
        with open("/proc/%d/status" % process.pid) as status:
            for line in status:
                key, _, value = line.partition(":")
                if key.startswith("Cap") or key in ("NoNewPrivs", "Seccomp"):
                    print("status %s %s" % (key, value.strip()), flush=True)
        if command == "ask":
            ifindex, seconds = int(args[0]), float(args[1])
            for ip in args[2:]:
                if ip.startswith("pause:"):
                    time.sleep(float(ip[6:]))
                else:
                    ours.send(ask(ifindex, ip))
            deadline = time.monotonic() + seconds
            while (fields := read(ours, max(0.01, deadline - time.monotonic()))) is not None:
                show(fields)
        elif command == "malformed":  # the pair stays open: the record alone must end the helper
            variant, ifindex, ip = args[0], int(args[1]), args[2]
            good = ask(ifindex, ip)
            ours.send({"short": good[:15], "long": good + b"\0", "version": b"\2" + good[1:],
                       "kind": good[:1] + b"\3" + good[2:], "mac": good[:2] + b"\1" + good[3:],
                       "rate-ifindex": record(RATE, ifindex, 100), "no-ifindex": ask(0, ip)}[variant])
            try:
                process.wait(2)
            except subprocess.TimeoutExpired:
                pass
        elif command == "close":
            pass
        elif command == "rate":
            rate, ifindex, first_ip, count = int(args[0]), int(args[1]), args[2], int(args[3])
            ours.send(record(RATE, 0, rate))
            start = int(ipaddress.IPv4Address(first_ip))
            for n in range(count):
                ours.send(ask(ifindex, str(ipaddress.IPv4Address(start + n))))
            print("asked %d" % count, flush=True)
            time.sleep(count / rate + 1)
    ours.close()
    try:
        print("exit %d" % process.wait(2), flush=True)
    except subprocess.TimeoutExpired:
        print("running", flush=True)
        process.kill()
        process.wait()


main()
