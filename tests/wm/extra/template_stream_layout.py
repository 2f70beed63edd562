#!/usr/bin/env python3
"""Walks a saved template stream by its stored layout alone (version 26,
byte-order byte first) and checks what it finds against the lines that the
sample writer prints about the store it saved.

usage: template_stream_layout.py <template_stream_sample program>
"""
import struct
import subprocess
import sys
import tempfile

PATH_SIZE = 2048
STYLE_VERSION = 9
STYLE_COLOURS = 15
STYLE_SIZES = 16
PARAMETER_SLOTS = 3
# PARAMETER types: stored width of one slot; text slots are strings.
PARAMETER_WIDTH = {0: 1, 1: 1, 2: 2, 3: 2, 4: 4, 5: 4, 6: 4, 7: 8, 9: 8}
PARAMETER_TEXT = 8


class Reader:
    def __init__(self, data):
        self.data = data
        self.at = 1
        self.order = '>' if data[0] else '<'

    def take(self, size):
        if self.at + size > len(self.data):
            raise ValueError('the file ends inside a field at %d' % self.at)
        piece = self.data[self.at:self.at + size]
        self.at += size
        return piece

    def num(self, code):
        return struct.unpack(self.order + code, self.take(struct.calcsize(code)))[0]

    def u8(self):
        return self.num('B')

    def u16(self):
        return self.num('H')

    def u32(self):
        return self.num('I')

    def i32(self):
        return self.num('i')

    def string(self):
        return self.take(self.u32()).decode('latin-1')

    def path(self):
        field = self.take(PATH_SIZE)
        text, _, rest = field.partition(b'\0')
        if rest.strip(b'\0'):
            raise ValueError('bytes after a path text are not zero')
        return text.decode('latin-1')

    def array(self, read_one):
        return [read_one() for _ in range(self.u32())]

    def effects(self):
        return (self.u16(), self.i32(), self.i32(), self.u8())

    def style(self):
        version = self.u32()
        if version != STYLE_VERSION:
            raise ValueError('style block version %d' % version)
        self.string()  # image file name
        name = self.string()
        self.path()
        self.take(4 + 4 * STYLE_COLOURS + 1 + 4 + 4 + 1 + 2 + 1 + 2 * STYLE_SIZES)
        return name

    def parameter(self):
        kind = self.u8()
        if kind == PARAMETER_TEXT:
            for _ in range(PARAMETER_SLOTS):
                self.string()
        elif kind in PARAMETER_WIDTH:
            self.take(PARAMETER_WIDTH[kind] * PARAMETER_SLOTS)

    def object(self, owner, depth, out):
        self.u8()  # not built
        kind = self.u32()
        self.string()  # action name
        self.take(8)   # user words
        self.string()  # control name
        self.take(4 + 8)  # control id, rectangle
        own = self.style() if self.u8() else '-'
        text = self.string()
        name = self.string()
        style = self.i32()
        self.u32()     # extra word
        self.string()  # tooltip
        self.take(2)   # enabled, kind
        if self.u8():
            self.i32()  # hot key
        self.take(2)   # image mode, visible
        image = self.i32()
        self.take(4)   # row height, columns
        self.string()  # column widths
        self.i32()     # cell style
        self.take(4)   # cell row and column
        out.append('object %s %d %u %s|%s|%d|%d|%s' % (owner, depth, kind, name, text, style, image, own))
        for _ in range(self.u32()):
            self.object(owner, depth + 1, out)


def walk(data):
    r = Reader(data)
    out = []
    if r.u16() != 26:
        raise ValueError('not a version-26 stream')
    if r.u8():
        raise ValueError('an image cache block is not expected here')
    out.append('title ' + r.string())
    r.take(2 + 2 + 1 + 1 + 4 + 4 + 4 * 3 + 1 + 2 + 2 + 4 + 4 * 2 + 4)
    r.effects()
    r.effects()
    r.style()
    r.effects()
    for _ in range(3):
        r.style()
    r.take(4)  # live drag, draggable, two backdrop switches
    for name in r.array(r.style):
        out.append('style_set ' + name)
    for _ in range(r.u32()):
        name, file = r.string(), r.string()
        r.path()
        r.u8()
        out.append('font %s|%s' % (name, file))
    for _ in range(r.u32()):
        out.append('colour %s|%u' % (r.string(), r.u32()))
    for _ in range(r.u32()):
        out.append('image %s|%s|%s' % (r.string(), r.string(), r.path()))
    for _ in range(r.u32()):
        out.append('constant ' + r.string())
        r.parameter()
    for _ in range(r.u32()):
        out.append('dialog %s|%s' % (r.string(), r.string()))
        r.take(8)
        for _ in range(r.u32()):
            r.object('dialog', 0, out)
    for _ in range(r.u32()):
        name = r.string()
        r.take(8)
        tag = r.i32()
        pages = r.u32()
        out.append('area %s|%d|%d' % (name, tag, pages))
        for _ in range(pages):
            page_id, page_name, background = r.u32(), r.string(), r.i32()
            r.u32()     # page setting
            r.string()  # page text
            out.append('page %u|%s|%d' % (page_id, page_name, background))
            for _ in range(r.u32()):
                r.object('page', 0, out)
    if r.at != len(data):
        raise ValueError('%d bytes after the last area' % (len(data) - r.at))
    return out


def main():
    with tempfile.TemporaryDirectory() as folder:
        told = subprocess.run([sys.argv[1], folder], check=True, capture_output=True, text=True,
                              encoding='latin-1').stdout.splitlines()
        with open(folder + '/sample.tpl', 'rb') as f:
            found = walk(f.read())
    if found != told:
        for line_told, line_found in zip(told + [''] * len(found), found + [''] * len(told)):
            if line_told != line_found:
                print('store: %r\nfile:  %r' % (line_told, line_found))
                break
        return 1
    print('%d records agree' % len(found))
    return 0


if __name__ == '__main__':
    sys.exit(main())
