#!/usr/bin/env bash
# Exit 0 when this machine's kernel runs 32-bit x86 programs (some virtual machines cannot).
timeout 10 /lib/ld-linux.so.2 --version >/dev/null 2>&1
