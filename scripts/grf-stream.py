#!/usr/bin/env python3
"""Writes a saved graph's ActiveMovieGraph stream to standard output.

A .grf file is a compound file (structured storage); the stream is what the
format library reads. Used to seed the fuzzing corpus from real files:
    scripts/grf-stream.py tests/fixtures/grf/F.grf > grf/fuzz/corpus/seed-F.bin
(scripts/fuzz does this for every file there).
"""
import struct
import sys

END_OF_CHAIN = 0xFFFFFFFA  # this and above end a chain or mark special sectors
SIGNATURE = bytes.fromhex("D0CF11E0A1B11AE1")


def read_stream(data, name="ActiveMovieGraph"):
    if data[:8] != SIGNATURE:
        raise ValueError("not a compound file")
    sector_size = 1 << struct.unpack_from("<H", data, 30)[0]
    mini_size = 1 << struct.unpack_from("<H", data, 32)[0]
    (fat_count, dir_start, _, mini_cutoff, minifat_start, _, difat_start, difat_count) = \
        struct.unpack_from("<IIIIIIII", data, 44)

    def sector(i):
        offset = sector_size * (i + 1)  # the header fills sector -1
        return data[offset:offset + sector_size]

    # The FAT's own sectors: 109 in the header, the rest in a DIFAT chain.
    fat_sectors = list(struct.unpack_from("<109I", data, 76))
    per_sector = sector_size // 4
    s = difat_start
    for _ in range(difat_count):
        entries = struct.unpack("<%dI" % per_sector, sector(s))
        fat_sectors += entries[:-1]
        s = entries[-1]
    fat = []
    for s in fat_sectors[:fat_count]:
        fat += struct.unpack("<%dI" % per_sector, sector(s))

    def chain(start, table):
        seen = set()
        while start < END_OF_CHAIN:
            if start in seen or start >= len(table):
                raise ValueError("broken sector chain")
            seen.add(start)
            yield start
            start = table[start]

    directory = b"".join(sector(s) for s in chain(dir_start, fat))
    entries = []
    for i in range(len(directory) // 128):
        e = directory[i * 128:(i + 1) * 128]
        name_bytes = struct.unpack_from("<H", e, 64)[0]
        entry_name = e[:max(name_bytes - 2, 0)].decode("utf-16le")
        start, size = struct.unpack_from("<IQ", e, 116)
        entries.append((entry_name, e[66], start, size))

    for entry_name, kind, start, size in entries:
        if entry_name != name or kind != 2:  # 2: a stream
            continue
        if size >= mini_cutoff:
            return b"".join(sector(s) for s in chain(start, fat))[:size]
        # Small streams live in the mini stream, held by the root entry.
        mini_stream = b"".join(sector(s) for s in chain(entries[0][2], fat))
        minifat = []
        for s in chain(minifat_start, fat):
            minifat += struct.unpack("<%dI" % per_sector, sector(s))
        return b"".join(mini_stream[s * mini_size:(s + 1) * mini_size]
                        for s in chain(start, minifat))[:size]
    raise ValueError("no %s stream" % name)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: grf-stream.py FILE.grf > stream.bin")
    with open(sys.argv[1], "rb") as f:
        sys.stdout.buffer.write(read_stream(f.read()))
