#!/usr/bin/env python3
"""Writes the seed corpus: small well-formed metafiles touching many record kinds."""
import os
import struct


def w16(*v):
    return b"".join(struct.pack("<h" if x < 0 else "<H", x) for x in v)


def wrec(function, words=(), tail=b""):
    params = w16(*words) + tail
    if len(params) % 2:
        params += b"\0"
    return struct.pack("<IH", 3 + len(params) // 2, function) + params


def wmf(records, placeable=(0, 0, 200, 150, 96)):
    body = b"".join(records) + struct.pack("<IH", 3, 0)
    out = b""
    if placeable:
        out += struct.pack("<IHhhhhHIH", 0x9AC6CDD7, 0, *placeable, 0, 0)
    return out + struct.pack("<HHHIHIH", 1, 9, 0x300, 9 + len(body) // 2, 8, 0, 0) + body


def erec(rtype, dwords=(), tail=b""):
    params = b"".join(struct.pack("<i" if d < 0 else "<I", d) for d in dwords) + tail
    while len(params) % 4:
        params += b"\0"
    return struct.pack("<II", rtype, 8 + len(params)) + params


def emf(records, frame=(0, 0, 5291, 3968)):
    body = b"".join(records) + erec(14, (0, 16, 20))
    h = struct.pack("<II", 1, 88) + struct.pack("<4i", 0, 0, 199, 149) + struct.pack("<4i", *frame)
    h += struct.pack("<IIIIHHIII", 0x464D4520, 0x10000, 88 + len(body), 2, 8, 0, 0, 0, 0)
    return h + struct.pack("<4i", 960, 960, 254, 254) + body


def dib(w, h, bpp, palette, bits):
    head = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, len(bits), 0, 0, len(palette), 0)
    return head + b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette) + bits


FONT = wrec(0x2FB, (-20, 0, 0, 0, 700, 0x0101, 0x8601, 0), b"Arial\0")
DIB8 = dib(2, 2, 8, [(255, 0, 0), (0, 0, 255)], b"\0\1\0\0\1\0\0\0")
DIB24 = dib(1, 1, 24, [], b"\x10\x20\x30\0")

files = {
    "shapes.wmf": wmf([
        wrec(0x20B, (0, 0)), wrec(0x20C, (150, 200)), wrec(0x2FA, (2, 3, 0, 0x00FF, 0)),
        wrec(0x12D, (0,)), wrec(0x2FC, (2, 0xFF00, 0, 3)), wrec(0x12D, (1,)),
        wrec(0x41B, (50, 60, 10, 10)), wrec(0x418, (90, 120, 40, 70)),
        wrec(0x61C, (10, 10, 140, 190, 100, 150)), wrec(0x817, (0, 0, 10, 10, 60, 60, 0, 0)),
        wrec(0x81A, (100, 0, 0, 100, 150, 100, 100, 0)), wrec(0x830, (0, 30, 30, 0, 60, 60, 0, 0)),
        wrec(0x106, (2,)), wrec(0x324, (4, 0, 0, 50, 0, 50, 50, 0, 50)),
        wrec(0x325, (3, 0, 0, 100, 100, 200, 0)),
        wrec(0x538, (2, 3, 3, 0, 0, 10, 0, 0, 10, 20, 20, 30, 20, 20, 30)),
        wrec(0x214, (5, 5)), wrec(0x213, (100, 100)), wrec(0x41F, (0xFF, 0, 7, 7)),
        wrec(0x1F0, (0,)), wrec(0x1F0, (1,))]),
    "text.wmf": wmf([
        FONT, wrec(0x12D, (0,)), wrec(0x209, (0xFF, 0)), wrec(0x201, (0, 0xFF)),
        wrec(0x102, (2,)), wrec(0x12E, (6,)), wrec(0x521, (5,), b"Hello\0" + w16(20, 100)),
        wrec(0x12E, (24 | 1,)), wrec(0xA32, (40, 10, 4, 6, 0, 30, 100, 50), b"\xc4\xe3\xba\xc3" + w16(10, 10, 10, 10)),
        wrec(0xA32, (60, 10, 0, 2, 0, 50, 100, 70))]),
    "mapping.wmf": wmf([
        wrec(0x103, (8,)), wrec(0x20B, (100, -100)), wrec(0x20C, (-300, 400)),
        wrec(0x20E, (150, 200)), wrec(0x20D, (0, 0)), wrec(0x20F, (5, 5)), wrec(0x211, (1, 1)),
        wrec(0x410, (1, 2, 1, 2)), wrec(0x412, (3, 2, 3, 2)), wrec(0x1E), wrec(0x416, (100, 100, 0, 0)),
        wrec(0x415, (50, 50, 20, 20)), wrec(0x220, (3, 3)), wrec(0x41B, (200, 300, -100, -100)),
        wrec(0x127, (-1,)), wrec(0x103, (2,)), wrec(0x41B, (-100, 100, 0, 0)), wrec(0x103, (7,)),
        wrec(0x418, (100, 100, 0, 0))], placeable=None),
    "bitmaps.wmf": wmf([
        wrec(0xF43, (0x20, 0xCC, 0, 2, 2, 0, 0, 50, 50, 0, 0), DIB8),
        wrec(0x940, (0x20, 0xCC, 0, 0, 20, 20, 60, 60), DIB24),
        wrec(0xB41, (0x86, 0xEE, 2, 2, 0, 0, 30, 30, 100, 100), DIB8),
        wrec(0xD33, (0, 1, 0, 0, 0, 1, 1, 5, 5), DIB24),
        wrec(0x142, (5, 0), DIB8), wrec(0x12D, (0,)), wrec(0x41B, (150, 200, 120, 120)),
        wrec(0x61D, (0x21, 0xF0, 10, 10, 0, 0)), wrec(0x61D, (0x42, 0, 10, 10, 20, 20)),
        wrec(0x940, (0x62, 0xFF, 0, 0, 0, 10, 10, 30, 30))]),
    "plain_no_window.wmf": wmf([wrec(0x41B, (80, 90, 20, 10)), wrec(0x418, (30, 30, 0, 0))], placeable=None),
    "shapes.emf": emf([
        erec(17, (8,)), erec(9, (2540, 2540)), erec(11, (96, 96)), erec(10, (0, 0)), erec(12, (0, 0)),
        erec(38, (1, 1, 50, 0, 0xFF0000)), erec(37, (1,)), erec(39, (2, 2, 0x00FF00, 5)), erec(37, (2,)),
        erec(43, (100, 100, 2000, 2000)), erec(42, (500, 500, 3000, 3000)),
        erec(44, (0, 0, 4000, 3000, 300, 300)), erec(45, (0, 0, 1000, 1000, 0, 0, 1000, 1000)),
        erec(57, (2,)), erec(46, (0, 0, 1000, 1000, 0, 0, 1000, 1000)),
        erec(47, (0, 0, 1000, 1000, 1000, 0, 0, 1000)), erec(55, (0, 0, 800, 800, 0, 400, 400, 0)),
        erec(41, (2000, 2000, 500, 0, 0x43340000)), erec(19, (2,)),
        erec(3, (0, 0, 0, 0, 3, 0, 0, 4000, 0, 2000, 3000)), erec(4, (0, 0, 0, 0, 2, 0, 0, 500, 500)),
        erec(2, (0, 0, 0, 0, 4, 0, 0, 100, 900, 900, 100, 1000, 1000)),
        erec(86, (0, 0, 0, 0, 3), w16(0, 0, 100, 0, 50, 50)), erec(87, (0, 0, 0, 0, 2), w16(0, 0, 9, 9)),
        erec(91, (0, 0, 0, 0, 2, 6, 3, 3), w16(0, 0, 10, 0, 0, 10, 20, 20, 30, 20, 20, 30)),
        erec(7, (0, 0, 0, 0, 1, 2, 2, 0, 0, 50, 50)), erec(15, (10, 10, 0xFF)),
        erec(95, (3, 0, 0, 0, 0, 0x00012100, 40, 0, 0x808080, 0, 0)), erec(37, (3,)),
        erec(27, (0, 0)), erec(54, (3000, 3000)), erec(6, (0, 0, 0, 0, 2, 10, 10, 20, 30)),
        erec(5, (0, 0, 0, 0, 3, 1, 1, 2, 2, 3, 3)), erec(37, (0x80000005,)), erec(37, (0x80000007,)),
        erec(40, (1,)), erec(40, (2,))]),
    "paths.emf": emf([
        erec(33,), erec(35, (0x3F800000, 0x3E800000, 0, 0x3F800000, 0x41200000, 0)),
        erec(36, (0x40000000, 0, 0, 0x40000000, 0, 0, 3)), erec(59,), erec(27, (10, 10)),
        erec(54, (90, 10)), erec(5, (0, 0, 0, 0, 3, 90, 90, 10, 90, 10, 10)), erec(61,), erec(60,),
        erec(63, (0, 0, 0, 0)), erec(59,), erec(43, (0, 0, 50, 50)), erec(60,), erec(67, (1,)),
        erec(42, (0, 0, 100, 100)), erec(59,), erec(54, (5, 5)), erec(68,), erec(34, (-1,)),
        erec(30, (10, 10, 60, 60)), erec(29, (20, 20, 30, 30)), erec(26, (5, 5)),
        erec(75, (48, 5), struct.pack("<IIII4i4i", 32, 1, 1, 16, 0, 0, 40, 40, 0, 0, 40, 40)),
        erec(75, (0, 5)), erec(64, (0, 0, 0, 0)), erec(36, (0, 0, 0, 0, 0, 0, 1))]),
    "text.emf": emf([
        erec(82, (1, -24, 0, 450, 0, 700, 0x00010101, 0), "Arial".encode("utf-16-le") + b"\0" * 56),
        erec(37, (1,)), erec(24, (0x0000FF,)), erec(25, (0xFFFF00,)), erec(18, (2,)), erec(22, (6,)),
        erec(84, (0, 0, 10, 10, 1, 0, 0, 100, 50, 3, 76, 6, 10, 10, 150, 80, 84),
             "A汤B".encode("utf-16-le") + b"\0\0" + struct.pack("<3i", 20, 20, 20)),
        erec(83, (0, 0, 10, 10, 1, 0, 0, 10, 90, 4, 76, 0x2000, 0, 0, 0, 0, 80), b"soup" +
             struct.pack("<8i", 10, 0, 10, 1, 10, 2, 10, 3))]),
    "bitmaps.emf": emf([
        erec(81, (0, 0, 99, 99, 0, 0, 0, 0, 2, 2, 80, 48, 128, 8, 0, 0xCC0020, 80, 80), DIB8),
        erec(76, (0, 0, 9, 9, 10, 10, 30, 30, 0xCC0020, 0, 0) + (0x3F800000, 0, 0, 0x3F800000, 0, 0) +
             (0, 0, 100, 40, 140, 4), DIB24),
        erec(77, (0, 0, 9, 9, 50, 50, -30, 30, 0x8800C6, 0, 0) + (0x3F800000, 0, 0, 0x3F800000, 0, 0) +
             (0, 0, 108, 48, 156, 8, 2, 2), DIB8),
        erec(114, (0, 0, 9, 9, 0, 0, 50, 50, 0x01800000, 0, 0) + (0x3F800000, 0, 0, 0x3F800000, 0, 0) +
             (0, 0, 108, 40, 148, 4, 1, 1), dib(1, 1, 32, [], b"\x10\x20\x30\x80")),
        erec(80, (0, 0, 9, 9, 100, 100, 0, 0, 1, 1, 76, 40, 116, 4, 0, 0, 1), DIB24),
        erec(94, (4, 0, 24, 48, 72, 8), DIB8), erec(37, (4,)), erec(43, (120, 120, 190, 140)),
        erec(76, (0, 0, 9, 9, 0, 0, 20, 20, 0xF00021, 0, 0) + (0,) * 6 + (0, 0, 0, 0, 0, 0))]),
}

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(out, exist_ok=True)
for name, data in files.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
