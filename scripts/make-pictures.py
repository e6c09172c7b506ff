#!/usr/bin/env python3
"""Draws Dalmora's pictures: the tile picture sets and the About logo as SVG (resources/pictures/),
the resource list (resources/resources.qrc), the splash animation (Picture/StartGif.gif, needs
ImageMagick's convert) and the hand cursor (Picture/HAND-M.cur).

Run it after changing a colour or a shape and commit what it writes; the build only reads the
results. The seven-segment geometry is shared by the SVG glyphs and the splash frames, so the
splash shows the same digits as the tiles.

    python3 scripts/make-pictures.py            # everything
    python3 scripts/make-pictures.py --no-gif   # without ImageMagick
"""

import math
import os
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PICTURES = os.path.join(ROOT, "resources", "pictures")
RUNTIME = os.path.join(ROOT, "Picture")

# Colours of the front panel.
FACE_TOP = "#151618"
FACE_BOTTOM = "#060607"
BEZEL = "#26282b"
WINDOW = "#2c2f33"          # the digit and lamp windows; glyph cells carry the same grey
WINDOW_EDGE = "#4d5157"
STRIP = "#3b3f45"           # the lighter strip at the bottom; the REC indicator carries it too
STRIP_EDGE = "#5a5f66"
CAPTION = "#d5d7da"
RED_ON = "#ff3a1c"
RED_OFF = "#40302f"
GREEN_ON = "#39f25a"
GREEN_OFF = "#2d3f31"
FONT = "DejaVu Sans, Arial, Helvetica, sans-serif"

# --------------------------------------------------------------------------------------------
# Seven segments in a glyph cell of 172 x 230. The digit leans to the right like the meter's
# display and leaves the lower right corner free for the decimal dot.

CELL_W, CELL_H = 172, 230
SEG_LEFT, SEG_RIGHT, SEG_TOP, SEG_BOTTOM = 32, 146, 22, 204
SEG_THICK = 20
SEG_GAP = 3
SLANT = math.tan(math.radians(7))

DIGIT_SEGMENTS = {
    0: "abcdef", 1: "bc", 2: "abdeg", 3: "abcdg", 4: "bcfg",
    5: "acdfg", 6: "acdefg", 7: "abc", 8: "abcdefg", 9: "abcdfg",
}
LETTER_SEGMENTS = {"o": "cdeg", "P": "abefg", "E": "adefg", "n": "ceg", "A": "abcefg",
                   "d": "bcdeg", "r": "eg", "t": "defg", "-": "g"}


def _horizontal(x1, x2, y, t):
    h = t / 2
    return [(x1, y), (x1 + h, y - h), (x2 - h, y - h), (x2, y), (x2 - h, y + h), (x1 + h, y + h)]


def _vertical(x, y1, y2, t):
    h = t / 2
    return [(x, y1), (x + h, y1 + h), (x + h, y2 - h), (x, y2), (x - h, y2 - h), (x - h, y1 + h)]


def segment_polygons(left=SEG_LEFT, right=SEG_RIGHT, top=SEG_TOP, bottom=SEG_BOTTOM,
                     t=SEG_THICK, gap=SEG_GAP, short_g=False):
    """The seven segments a-g as polygons, slanted about the digit's middle."""
    h = t / 2
    mid = (top + bottom) / 2
    xl, xr = left + h, right - h
    yt, ym, yb = top + h, mid, bottom - h
    g_right = xr - 1.4 * t if short_g else xr - gap
    raw = {
        "a": _horizontal(xl + gap, xr - gap, yt, t),
        "b": _vertical(xr, yt + gap, ym - gap, t),
        "c": _vertical(xr, ym + gap, yb - gap, t),
        "d": _horizontal(xl + gap, xr - gap, yb, t),
        "e": _vertical(xl, ym + gap, yb - gap, t),
        "f": _vertical(xl, yt + gap, ym - gap, t),
        "g": _horizontal(xl + gap, g_right, ym, t),
    }
    return {name: [(x - SLANT * (y - mid), y) for x, y in pts] for name, pts in raw.items()}


def _points(pts, dx=0.0, dy=0.0, scale=1.0):
    return " ".join(f"{x * scale + dx:.1f},{y * scale + dy:.1f}" for x, y in pts)


def svg_segments(lit, on, off, dx=0.0, short_g=False):
    """SVG of one digit: every segment dim, the lit ones bright with a soft halo."""
    polys = segment_polygons(short_g=short_g)
    out = []
    for name, pts in polys.items():
        if name not in lit:
            out.append(f'<polygon points="{_points(pts, dx)}" fill="{off}"/>')
    for name, pts in polys.items():
        if name in lit:
            p = _points(pts, dx)
            out.append(f'<polygon points="{p}" fill="{on}" stroke="{on}" stroke-width="9" '
                       f'stroke-opacity="0.22" stroke-linejoin="round"/>')
            out.append(f'<polygon points="{p}" fill="{on}"/>')
    return "\n".join(out)


def svg_document(width, height, body, view=None):
    view = view or (width, height)
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
            f'width="{width}" height="{height}" viewBox="0 0 {view[0]} {view[1]}" '
            f'preserveAspectRatio="none">\n{body}\n</svg>\n')


def glyph(lit, on, off, short_g=False):
    body = (f'<rect x="0" y="0" width="{CELL_W}" height="{CELL_H}" fill="{WINDOW}"/>\n'
            + svg_segments(lit, on, off, short_g=short_g))
    return svg_document(CELL_W, CELL_H, body)


def glyph_set(on, off):
    """Thirteen glyphs: 1-9 the digits, 10 the zero, 11 minus, 12 minus-one, 13 blank."""
    pictures = [glyph(DIGIT_SEGMENTS[d], on, off) for d in range(1, 10)]
    pictures.append(glyph(DIGIT_SEGMENTS[0], on, off))
    pictures.append(glyph("g", on, off))
    # Minus and one share the first cell of a -1999: a short bar on the left, the one on the right.
    pictures.append(glyph("bcg", on, off, short_g=True))
    pictures.append(glyph("", on, off))
    return pictures


def error_word(word):
    """A red four-letter word in four cells, as the meter spells its faults."""
    width = 794
    pitch = width / 4
    body = [f'<rect x="0" y="0" width="{width}" height="{CELL_H}" fill="{WINDOW}"/>']
    for i, letter in enumerate(word):
        body.append(svg_segments(LETTER_SEGMENTS[letter], RED_ON, RED_OFF,
                                 dx=i * pitch + (pitch - CELL_W) / 2))
    return svg_document(width, CELL_H, "\n".join(body))


def dot(colour):
    # Transparent around the dot: it sits over the corner of a digit cell, and a later cell
    # covers it completely when the decimal point moves.
    body = (f'<circle cx="12" cy="11" r="9" fill="{colour}" fill-opacity="0.22"/>\n'
            f'<circle cx="12" cy="11" r="7.5" fill="{colour}"/>\n'
            f'<circle cx="10.5" cy="9.5" r="2.2" fill="#ffffff" fill-opacity="0.35"/>')
    return svg_document(26, 27, body)


def text(x, y, size, content, fill=CAPTION, anchor="middle", weight="bold", extra=""):
    return (f'<text x="{x}" y="{y}" font-family="{FONT}" font-size="{size}" '
            f'font-weight="{weight}" text-anchor="{anchor}" fill="{fill}" {extra}>{content}</text>')


def lamp(caption, lit, colour):
    body = [f'<rect x="0" y="0" width="95" height="66" fill="{WINDOW}"/>']
    if lit:
        body.append(f'<rect x="6" y="6" width="83" height="54" rx="6" fill="{colour}" '
                    f'fill-opacity="0.16"/>')
        body.append(text(47.5, 45, 34, caption, fill=colour,
                         extra=f'stroke="{colour}" stroke-width="5" stroke-opacity="0.25"'))
        body.append(text(47.5, 45, 34, caption, fill=colour))
    else:
        body.append(text(47.5, 45, 34, caption, fill="#55585d"))
    return svg_document(95, 66, "\n".join(body))


def rec_indicator(colour):
    # Stored as 181 x 46 but drawn into a 118 x 46 place on the tile: the drawing is made for
    # the place, so the word is not squeezed there.
    body = [f'<rect x="0" y="0" width="118" height="46" fill="{STRIP}"/>',
            text(8, 32, 25, "REC", anchor="start"),
            f'<circle cx="96" cy="23" r="13" fill="{colour}" fill-opacity="0.22"/>',
            f'<circle cx="96" cy="23" r="9" fill="{colour}" stroke="#151618" stroke-width="1.5"/>',
            '<circle cx="93.5" cy="20.5" r="3" fill="#ffffff" fill-opacity="0.35"/>']
    return svg_document(181, 46, "\n".join(body), view=(118, 46))


def digit_window(x, y, w, h):
    return (f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="5" fill="{WINDOW}" '
            f'stroke="{WINDOW_EDGE}" stroke-width="3"/>\n'
            f'<rect x="{x + 2}" y="{y + 2}" width="{w - 4}" height="5" fill="#000000" '
            f'fill-opacity="0.35"/>')


def front_panel():
    """The bare controller face, drawn in the tile's own 1000 x 1000 units (stored 1004 x 1004),
    so that its windows sit exactly under the digit cells and lamps."""
    body = [
        '<defs><linearGradient id="face" x1="0" y1="0" x2="0" y2="1">'
        f'<stop offset="0" stop-color="{FACE_TOP}"/><stop offset="1" stop-color="{FACE_BOTTOM}"/>'
        '</linearGradient></defs>',
        f'<rect x="0" y="0" width="1000" height="1000" fill="{BEZEL}"/>',
        '<rect x="9" y="9" width="982" height="982" rx="16" fill="url(#face)" '
        'stroke="#000000" stroke-width="4"/>',
        # PV window: cells at 98..893, 101..330.
        digit_window(84, 88, 823, 256),
        text(46, 135, 36, "PV"),
        text(952, 340, 30, "AT"),
        # SV window: cells at 98..893, 406..635.
        digit_window(84, 393, 823, 256),
        text(46, 440, 36, "SV"),
        text(952, 645, 30, "MA"),
        # The lighter strip with the lamp windows and room for the REC indicator.
        f'<rect x="13" y="722" width="974" height="265" rx="10" fill="{STRIP}" '
        f'stroke="{STRIP_EDGE}" stroke-width="3"/>',
    ]
    for x in (125, 342, 559, 776):
        body.append(f'<rect x="{x - 7}" y="772" width="109" height="80" rx="6" fill="#1d1f22" '
                    f'stroke="#2a2d31" stroke-width="2"/>')
        body.append(f'<rect x="{x}" y="779" width="95" height="66" fill="{WINDOW}"/>')
    body.append(text(40, 958, 40, "Dalmora", fill="#a4a8ae", anchor="start",
                     extra='font-style="italic"'))
    return svg_document(1004, 1004, "\n".join(body), view=(1000, 1000))


def logo():
    polys = segment_polygons()
    body = [f'<rect x="0" y="0" width="214" height="53" rx="6" fill="#121316"/>',
            f'<rect x="5" y="5" width="40" height="43" rx="4" fill="{WINDOW}"/>',
            "\n".join(f'<polygon points="{_points(pts, 8.5, 4.5, 0.2)}" fill="{RED_ON}"/>'
                      for pts in polys.values()),
            text(54, 33, 29, "Dalmora", fill="#f1f2f4", anchor="start"),
            text(55, 46, 9.5, "METER CONSOLE", fill="#ff6a50", anchor="start",
                 extra='letter-spacing="2"')]
    return svg_document(214, 53, "\n".join(body))


def write_svgs():
    os.makedirs(PICTURES, exist_ok=True)
    files = {}
    files["base_01.svg"] = front_panel()
    for prefix, on, off in (("rpv", RED_ON, RED_OFF), ("gpv", GREEN_ON, GREEN_OFF)):
        for i, svg in enumerate(glyph_set(on, off), start=1):
            files[f"{prefix}_{i:02d}.svg"] = svg
    files["dp_01.svg"] = dot(RED_ON)
    files["dp_02.svg"] = dot(GREEN_ON)
    lamps = [("A1", False, RED_ON), ("A1", True, RED_ON), ("A2", False, RED_ON),
             ("A2", True, RED_ON), ("C1", False, GREEN_ON), ("C1", True, GREEN_ON),
             ("C2", False, GREEN_ON), ("C2", True, GREEN_ON)]
    for i, (caption, lit, colour) in enumerate(lamps, start=1):
        files[f"op_{i:02d}.svg"] = lamp(caption, lit, colour)
    files["option_01.svg"] = rec_indicator(GREEN_ON)
    files["option_02.svg"] = rec_indicator(RED_ON)
    for i, word in enumerate(("oPEn", "AdEr", "EPEr", "AtEr"), start=1):
        files[f"error_{i:02d}.svg"] = error_word(word)
    files["logo_01.svg"] = logo()
    for name, content in files.items():
        with open(os.path.join(PICTURES, name), "w", encoding="utf-8") as f:
            f.write(content)
    qrc = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '<qresource prefix="/">']
    qrc += [f'    <file>pictures/{name}</file>' for name in sorted(files)]
    qrc += ['</qresource>', '</RCC>', '']
    with open(os.path.join(ROOT, "resources", "resources.qrc"), "w", encoding="utf-8") as f:
        f.write("\n".join(qrc))
    print(f"{len(files)} pictures in {PICTURES}")


# --------------------------------------------------------------------------------------------
# The splash: a small meter face whose red value climbs to its green set value while the name
# fades in. Frames are drawn with ImageMagick's vector commands.

GIF_W, GIF_H = 323, 267


def _mvg(*commands):
    # Each shape in its own graphic context, so that no stroke or opacity leaks into the next.
    return "push graphic-context " + " ".join(commands) + " pop graphic-context"


def _mvg_digit(lit, x, y, scale, on, off, short_g=False):
    polys = segment_polygons(short_g=short_g)
    out = []
    for name, pts in polys.items():
        if name not in lit:
            out.append(_mvg(f"fill '{off}'", f"polygon {_points(pts, x, y, scale)}"))
    for name, pts in polys.items():
        if name in lit:
            out.append(_mvg(f"fill '{on}' stroke '{on}' stroke-width 3 stroke-opacity 0.25",
                            f"polygon {_points(pts, x, y, scale)}"))
            out.append(_mvg(f"fill '{on}'", f"polygon {_points(pts, x, y, scale)}"))
    return out


def _mvg_number(value, tenths, x, y, scale, on, off):
    """Four cells with leading zeros blanked up to the digit before the point."""
    digits = f"{value:4d}"
    out = []
    pitch = CELL_W * scale + 4
    for i, ch in enumerate(digits):
        lit = DIGIT_SEGMENTS[int(ch)] if ch != " " else ""
        if ch == " " and i == 2 and tenths:
            lit = DIGIT_SEGMENTS[0]
        out += _mvg_digit(lit, x + i * pitch, y, scale, on, off)
    if tenths:
        cx = x + 3 * pitch - 2
        cy = y + SEG_BOTTOM * scale - 3
        out.append(_mvg(f"fill '{on}'", f"circle {cx:.1f},{cy:.1f} {cx + 3.2:.1f},{cy:.1f}"))
    return out


def _frame(step, steps):
    pv = round(250 * min(1.0, step / (steps * 0.7)))
    fade = max(0.0, min(1.0, (step - steps * 0.35) / (steps * 0.4)))
    cmds = [f"viewbox 0 0 {GIF_W} {GIF_H}",
            _mvg(f"fill '{BEZEL}'", f"rectangle 0,0 {GIF_W - 1},{GIF_H - 1}"),
            _mvg(f"fill '{FACE_BOTTOM}' stroke '#000000'",
                 f"roundrectangle 5,5 {GIF_W - 6},{GIF_H - 6} 8,8")]
    for top, bottom in ((18, 86), (94, 150)):
        cmds.append(_mvg(f"fill '{WINDOW}' stroke '{WINDOW_EDGE}' stroke-width 1.5",
                         f"roundrectangle 46,{top} {GIF_W - 46},{bottom} 4,4"))
    cmds += _mvg_number(pv, True, 60, 22, 0.27, RED_ON, RED_OFF)
    cmds += _mvg_number(250, True, 78, 98, 0.21, GREEN_ON, GREEN_OFF)
    cmds += [_mvg(f"font 'DejaVu-Sans-Bold' font-size 12 fill '{CAPTION}'", "text 18,45 'PV'"),
             _mvg(f"font 'DejaVu-Sans-Bold' font-size 12 fill '{CAPTION}'", "text 18,120 'SV'")]
    grey = int(0x0c + (0xf1 - 0x0c) * fade)
    colour = f"#{grey:02x}{grey:02x}{min(255, grey + 3):02x}"
    cmds.append(_mvg(f"font 'DejaVu-Sans-Bold' font-size 44 fill '{colour}'",
                     "text 56,212 'Dalmora'"))
    accent = int(0x0c + (0xff - 0x0c) * fade)
    cmds.append(_mvg(f"font 'DejaVu-Sans-Bold' font-size 12 "
                     f"fill '#{accent:02x}{int(accent * 0.42):02x}{int(accent * 0.31):02x}'",
                     "text 92,236 'M E T E R   C O N S O L E'"))
    return "\n".join(cmds) + "\n"


def write_gif():
    steps = 24
    with tempfile.TemporaryDirectory() as tmp:
        frames = []
        for step in range(steps + 1):
            png = os.path.join(tmp, f"f{step:02d}.png")
            subprocess.run(["convert", "-size", f"{GIF_W}x{GIF_H}", "xc:black",
                            "-draw", _frame(step, steps), png], check=True)
            frames.append(png)
        target = os.path.join(RUNTIME, "StartGif.gif")
        args = ["convert", "-loop", "0"]
        for i, png in enumerate(frames):
            args += ["-delay", "200" if i == len(frames) - 1 else "12", png]
        args += ["+dither", "-layers", "OptimizeFrame", target]
        subprocess.run(args, check=True)
    print(f"splash animation {target}")


# --------------------------------------------------------------------------------------------
# The hand cursor: 32 x 32, hot spot at the tip of the pointing finger. 'X' outline, 'o' fill.

HAND = """
......XX........................
.....XooX.......................
.....XooX.......................
.....XooX.......................
.....XooX.......................
.....XooXXX.....................
.....XooXooXXX..................
.....XooXooXooXX................
.....XooXooXooXoX...............
.XX..XooXooXooXooX..............
.XoX.XooooooooXooX..............
.XooXXoooooooooooX..............
..XooXoooooooooooX..............
...XoXoooooooooooX..............
...XooooooooooooX...............
....XoooooooooooX...............
....XooooooooooX................
.....XoooooooooX................
.....XooooooooX.................
......XoooooooX.................
......XoooooooX.................
......XXXXXXXXX.................
"""
HOTSPOT = (6, 0)


def write_cursor():
    rows = [r for r in HAND.strip("\n").split("\n")]
    rows += ["." * 32] * (32 - len(rows))
    colour = {"X": (0, 0, 0, 255), "o": (255, 255, 255, 255), ".": (0, 0, 0, 0)}
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):                        # bitmaps are stored bottom-up
        bits = 0
        for x, ch in enumerate(row.ljust(32, ".")[:32]):
            r, g, b, a = colour[ch]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits |= 1 << (31 - x)                 # 1 in the mask: the screen shows through
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 0, 0, HOTSPOT[0], HOTSPOT[1], len(image), 6 + 16)
    target = os.path.join(RUNTIME, "HAND-M.cur")
    with open(target, "wb") as f:
        f.write(directory + entry + image)
    print(f"hand cursor {target}")


def main():
    write_svgs()
    write_cursor()
    if "--no-gif" not in sys.argv:
        write_gif()


if __name__ == "__main__":
    main()
