#!/usr/bin/env python3
"""Archives that unpack to far more than they hold, for the extraction tests.

  zipbombs.py overlap OUT   one 400 MiB deflated member named by 30 entries
                            of the central directory: 12 GiB declared
  zipbombs.py bzip2 OUT     one bzip2 member of 64 MiB of zeros (about 200 bytes)
  zipbombs.py many OUT      1001 members of one byte each
"""
import struct
import sys
import zipfile


def overlap(out):
    with zipfile.ZipFile(out, "w", compression=zipfile.ZIP_DEFLATED, compresslevel=1) as z:
        with z.open("a.xml", "w") as member:
            chunk = b"\0" * (1 << 20)
            for _ in range(400):
                member.write(chunk)
    data = open(out, "rb").read()
    end = data.rindex(b"PK\x05\x06")
    cd_size, cd_offset = struct.unpack_from("<II", data, end + 12)
    entry = data[cd_offset:cd_offset + cd_size]
    name_length = struct.unpack_from("<H", entry, 28)[0]
    fixed, rest = entry[:46], entry[46 + name_length:]
    entries = b""
    for i in range(30):
        name = b"m%02d.xml" % i
        entries += fixed[:28] + struct.pack("<H", len(name)) + fixed[30:] + name + rest
    eocd = struct.pack("<4sHHHHIIH", b"PK\x05\x06", 0, 0, 30, 30, len(entries), cd_offset, 0)
    open(out, "wb").write(data[:cd_offset] + entries + eocd)


def bzip2(out):
    with zipfile.ZipFile(out, "w", compression=zipfile.ZIP_BZIP2) as z:
        with z.open("form.xml", "w") as member:
            chunk = b"\0" * (1 << 20)
            for _ in range(64):
                member.write(chunk)


def many(out):
    with zipfile.ZipFile(out, "w") as z:
        for i in range(1001):
            z.writestr("m%04d.xml" % i, b"x")


if __name__ == "__main__":
    {"overlap": overlap, "bzip2": bzip2, "many": many}[sys.argv[1]](sys.argv[2])
