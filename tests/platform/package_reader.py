#!/usr/bin/env python3
"""An independent reader of "VORNPKG" archives, written from the format
description alone, so that the byte layout the program writes is checked by
something other than the code that wrote it.

Usage: package_reader.py ARCHIVE [--extract FOLDER]

Prints "block_size N", then "file SIZE BLOCKS NAME" for each file record in
chain order (NAME as Latin-1), then "free N" (blocks on the free list).
With --extract, the content of the i-th file (counting from 0) is written to
FOLDER/i. Exits with 1 and a message on standard error when the archive
breaks a rule of the format.
"""
import struct
import sys


class Broken(Exception):
    pass


def read_archive(data):
    if len(data) < 1:
        raise Broken("no order byte")
    order = "<" if data[0] == 0 else ">"
    body = data[1:]

    def u32(position):
        if position < 0 or position + 4 > len(body):
            raise Broken("u32 at %d lies outside the archive" % position)
        return struct.unpack_from(order + "I", body, position)[0]

    if body[0:8] != b"VORNPKG\0":
        raise Broken("no magic")
    (version,) = struct.unpack_from(order + "H", body, 8)
    if version != 1:
        raise Broken("version %d" % version)
    block_size, directory, first_free, last_free = (u32(10 + 4 * i) for i in range(4))
    if block_size == 0:
        raise Broken("block size 0")
    if directory != 26:
        raise Broken("directory at %d, not behind the header" % directory)

    name_length = u32(directory)
    if body[directory + 4:directory + 4 + name_length] != b"root":
        raise Broken("directory is not named root")
    at = directory + 4 + name_length
    first_file, last_file = u32(at), u32(at + 4)
    if (u32(at + 8), u32(at + 12), u32(at + 16)) != (0, 0, 0):
        raise Broken("reserved directory words are not 0")

    def block(position):
        if position < 26 or position + block_size + 8 > len(body):
            raise Broken("block at %d lies outside the archive" % position)
        next_block = u32(position)
        used = u32(position + 4 + block_size)
        if used > block_size:
            raise Broken("block at %d uses %d bytes" % (position, used))
        data_start = position + 4
        if any(body[data_start + used:data_start + block_size]):
            raise Broken("block at %d has bytes behind its used count" % position)
        return next_block, body[data_start:data_start + used]

    most_blocks = len(body) // (block_size + 8) + 1
    files = []
    position, tail = first_file, 0
    while position != 0:
        if len(files) > len(body) // 20:
            raise Broken("file record chain does not end")
        name_length = u32(position)
        if name_length > 2047:
            raise Broken("name of %d bytes" % name_length)
        name = body[position + 4:position + 4 + name_length]
        at = position + 4 + name_length
        first, last, next_file, size = (u32(at + 4 * i) for i in range(4))
        content, blocks = b"", 0
        current = first
        while current != 0:
            blocks += 1
            if blocks > most_blocks:
                raise Broken("block chain of %r does not end" % name)
            next_block, piece = block(current)
            content += piece
            if current == last and next_block != 0:
                raise Broken("last block of %r has a next block" % name)
            current = next_block
        if first != 0 and blocks and last == 0:
            raise Broken("file %r has no last block" % name)
        if len(content) != size:
            raise Broken("file %r holds %d bytes, record says %d" % (name, len(content), size))
        files.append((name, size, blocks, content))
        tail = position
        position = next_file
    if tail != last_file:
        raise Broken("directory's last file %d is not the chain's end %d" % (last_file, tail))

    free = 0
    current = first_free
    while current != 0:
        free += 1
        if free > most_blocks:
            raise Broken("free list does not end")
        next_block = u32(current)
        if current == last_free:
            break
        current = next_block
    if (first_free == 0) != (last_free == 0):
        raise Broken("free list with one end only")
    return block_size, files, free


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--extract"):
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "rb") as archive:
        data = archive.read()
    try:
        block_size, files, free = read_archive(data)
    except Broken as problem:
        print("broken archive: %s" % problem, file=sys.stderr)
        return 1
    print("block_size %d" % block_size)
    for index, (name, size, blocks, content) in enumerate(files):
        print("file %d %d %s" % (size, blocks, name.decode("latin-1")))
        if len(argv) == 4:
            with open("%s/%d" % (argv[3], index), "wb") as out:
                out.write(content)
    print("free %d" % free)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
