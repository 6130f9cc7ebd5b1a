#!/usr/bin/env python3
"""Scrambles a file for embedding: every byte XOR the key byte at the same index modulo the key
length. The same operation unscrambles.

    scramble.py KEY_FILE INPUT OUTPUT
"""

import os
import sys

KEY_LENGTH = 128


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    key_file, source, output = sys.argv[1:]
    with open(key_file, "rb") as f:
        key = f.read()
    if len(key) != KEY_LENGTH or any(b < 0x20 or b > 0x7E for b in key):
        sys.exit(f"scramble.py: {key_file} must hold exactly {KEY_LENGTH} printable ASCII bytes")
    with open(source, "rb") as f:
        data = bytearray(f.read())
    # XOR whole key-sized rows at a time through big integers: fast enough for megabytes.
    whole = len(data) - len(data) % KEY_LENGTH
    row_key = int.from_bytes(key, "little")
    for at in range(0, whole, KEY_LENGTH):
        row = int.from_bytes(data[at:at + KEY_LENGTH], "little") ^ row_key
        data[at:at + KEY_LENGTH] = row.to_bytes(KEY_LENGTH, "little")
    for i in range(whole, len(data)):
        data[i] ^= key[i % KEY_LENGTH]
    partial = output + ".partial"
    with open(partial, "wb") as f:
        f.write(data)
    os.replace(partial, output)


if __name__ == "__main__":
    main()
