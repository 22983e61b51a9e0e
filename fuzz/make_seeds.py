#!/usr/bin/env python3
"""Seeds the fuzz corpora from real installer files and manifests.

make_seeds.py CORPUS_ROOT INSTALLER... [--manifest FILE...]
Writes CORPUS_ROOT/<target>/<name> for every target: the whole installer,
its file table, its streams (with their expected sizes), the uninstall list
inside its uninstaller record, and the manifests as they are.
"""
import hashlib
import os
import struct
import sys


def u32(data, offset):
    return struct.unpack_from("<I", data, offset)[0]


def counted(data, offset):
    length = u32(data, offset)
    return data[offset + 4:offset + 4 + length], offset + 4 + length


def expand(stream, size):
    """The package's stream format: 9-bit literals, 13-bit ring matches."""
    ring, write, out, bit = bytearray(256), 0, bytearray(), 0
    total_bits = len(stream) * 8
    def take(count):
        nonlocal bit
        value = 0
        for i in range(count):
            value |= ((stream[(bit + i) >> 3] >> ((bit + i) & 7)) & 1) << i
        bit += count
        return value
    while len(out) < size and bit + 9 <= total_bits:
        if take(1) == 0:
            values = [take(8)]
        else:
            if bit + 12 > total_bits:
                break
            position, length = take(8), take(4) + 2
            values = [ring[(position + i) & 255] for i in range(length)]
        for value in values:
            out.append(value)
            ring[write] = value
            write = (write + 1) & 255
    return bytes(out[:size])


def records(data):
    """Yields (head bytes, compressed, uncompressed, stream) and the table's start."""
    size, offset = u32(data, len(data) - 12), u32(data, len(data) - 8)
    cursor = offset
    for _ in range(6):
        _, cursor = counted(data, cursor)
    directories = u32(data, cursor) & 0xFF
    cursor += 4
    for _ in range(directories):
        _, cursor = counted(data, cursor)
    _, cursor = counted(data, cursor)
    file_count = u32(data, cursor)
    table = cursor + 8
    cursor = table
    found = []
    for _ in range(file_count + 1):
        compressed, uncompressed = u32(data, cursor), u32(data, cursor + 4)
        _, cursor = counted(data, cursor + 12)
        found.append((compressed, uncompressed, data[cursor:cursor + compressed]))
        cursor += compressed
    return file_count, data[table:offset + size], found


def save(root, target, content):
    folder = os.path.join(root, target)
    os.makedirs(folder, exist_ok=True)
    name = hashlib.sha1(content).hexdigest()
    with open(os.path.join(folder, name), "wb") as out:
        out.write(content)


def seed_installer(root, path):
    with open(path, "rb") as source:
        data = source.read()
    save(root, "fuzz_package_header", data)
    file_count, table, found = records(data)
    save(root, "fuzz_payload_records", struct.pack("<I", file_count + 1) + table)
    for compressed, uncompressed, stream in found[:-1]:
        if 0 < compressed <= 65536 and uncompressed < (1 << 20):
            save(root, "fuzz_expand_stream", struct.pack("<I", uncompressed) + stream)
    compressed, uncompressed, stream = found[-1]
    uninstaller = expand(stream, uncompressed)
    if len(uninstaller) >= 16:
        list_size, list_offset = u32(uninstaller, len(uninstaller) - 16), u32(uninstaller, len(uninstaller) - 12)
        save(root, "fuzz_uninstall_list", uninstaller[list_offset:list_offset + list_size])


def main(argv):
    root, manifests, installers = argv[0], [], []
    target = installers
    for arg in argv[1:]:
        if arg == "--manifest":
            target = manifests
        else:
            target.append(arg)
    for path in installers:
        seed_installer(root, path)
    for path in manifests:
        with open(path, "rb") as source:
            save(root, "fuzz_manifest", source.read())


if __name__ == "__main__":
    main(sys.argv[1:])
