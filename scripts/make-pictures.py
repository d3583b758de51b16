#!/usr/bin/env python3
"""Draws the tool bar's pictures and the application icon as 16x16 XPM files, and the icon of
the Windows program (src/app/win32/tolvane.ico: the application icon at 16 and 32 pixels).

The pictures are ours, drawn here from simple shapes; run this script again after changing it
and commit the files it writes to src/app/pictures/.
"""
import math
import os

OUT = os.path.join(os.path.dirname(__file__), "..", "src", "app", "pictures")
SIZE = 16
PALETTE = {
    ".": "None", "k": "#202020", "w": "#FFFFFF", "b": "#2060D0", "l": "#90B8F0",
    "r": "#D02020", "g": "#20A040", "y": "#E8C020", "o": "#F0A000", "s": "#808080",
    "p": "#C0C0C0",
}


class Canvas:
    def __init__(self):
        self.px = [["."] * SIZE for _ in range(SIZE)]

    def set(self, x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c, fill=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                if edge:
                    self.set(x, y, c)
                elif fill:
                    self.set(x, y, fill)

    def line(self, x0, y0, x1, y1, c):
        n = int(round(max(abs(x1 - x0), abs(y1 - y0), 1)))
        for i in range(n + 1):
            self.set(round(x0 + (x1 - x0) * i / n), round(y0 + (y1 - y0) * i / n), c)

    def disc(self, cx, cy, r, c, ring=None):
        for y in range(SIZE):
            for x in range(SIZE):
                d = math.hypot(x - cx, y - cy)
                if d <= r:
                    self.set(x, y, ring if ring and d > r - 1.2 else c)

    def ico(self, scales=(1, 2)):
        """The picture as a Windows icon file: 32-bit images with a transparency mask."""
        import struct
        images = []
        for k in scales:
            n = SIZE * k
            pixels = b""
            mask = b""
            for y in reversed(range(n)):  # bottom-up, as a bitmap is stored
                bits = 0
                row_mask = bytearray(((n + 31) // 32) * 4)
                for x in range(n):
                    c = self.px[y // k][x // k]
                    if PALETTE[c] == "None":
                        pixels += b"\0\0\0\0"
                        row_mask[x // 8] |= 0x80 >> (x % 8)
                    else:
                        rgb = int(PALETTE[c][1:], 16)
                        pixels += struct.pack("<BBBB", rgb & 255, (rgb >> 8) & 255, rgb >> 16, 255)
                mask += bytes(row_mask)
            header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(pixels) + len(mask),
                                 0, 0, 0, 0)
            images.append((n, header + pixels + mask))
        out = struct.pack("<HHH", 0, 1, len(images))
        offset = 6 + 16 * len(images)
        for n, data in images:
            out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
            offset += len(data)
        return out + b"".join(data for _, data in images)

    def xpm(self, name):
        used = sorted({c for row in self.px for c in row})
        lines = [f'"{SIZE} {SIZE} {len(used)} 1",']
        lines += [f'"{c} c {PALETTE[c]}",' for c in used]
        lines += [f'"{"".join(row)}",' for row in self.px]
        lines[-1] = lines[-1].rstrip(",")
        return "/* XPM */\nstatic const char *%s[] = {\n%s\n};\n" % (name, "\n".join(lines))


def page(c):
    c.rect(2, 1, 11, 14, "k", "w")
    for y in (4, 6, 8, 10):
        c.line(4, y, 9, y, "p")


def add_files():
    c = Canvas()
    page(c)
    c.rect(9, 8, 15, 14, "g", "g")
    c.line(12, 9, 12, 13, "w")
    c.line(10, 11, 14, 11, "w")
    return c


def go(colour="g"):
    c = Canvas()
    for i in range(7):
        c.line(4, 2 + i, 4 + i * 1.4, 2 + i, colour)
        c.line(4, 14 - i, 4 + i * 1.4, 14 - i, colour)
    c.line(4, 8, 13, 8, colour)
    return c


def go_again():
    """Sending again to the failed destinations: the Go arrow in red, with a return stroke."""
    c = go("r")
    c.line(1, 2, 1, 14, "r")
    return c


def stop():
    c = Canvas()
    c.disc(7.5, 7.5, 7, "w", ring="r")
    c.disc(7.5, 7.5, 6, "w", ring="r")
    c.line(3, 3, 12, 12, "r")
    c.line(4, 3, 12, 11, "r")
    return c


def exit_door():
    c = Canvas()
    c.rect(2, 1, 10, 14, "k", "o")
    c.set(8, 8, "k")
    c.line(11, 8, 15, 8, "r")
    c.line(13, 6, 15, 8, "r")
    c.line(13, 10, 15, 8, "r")
    return c


def clear_marks():
    c = Canvas()
    c.rect(1, 3, 10, 12, "k", "w")
    c.line(3, 7, 5, 9, "b")
    c.line(5, 9, 9, 4, "b")
    c.line(8, 9, 14, 15, "r")
    c.line(14, 9, 8, 15, "r")
    return c


def collapse():
    c = Canvas()
    c.rect(1, 1, 7, 7, "s", "w")
    c.line(3, 4, 5, 4, "k")
    c.line(4, 8, 4, 13, "s")
    c.line(4, 13, 9, 13, "s")
    c.rect(9, 10, 15, 15, "s", "w")
    c.line(11, 12, 13, 12, "k")
    return c


def confirm():
    c = Canvas()
    page(c)
    c.disc(11, 10, 4.5, "b")
    for x, y in ((10, 8), (11, 7), (12, 8), (12, 9), (11, 10), (11, 11), (11, 13)):
        c.set(x, y, "w")
    return c


def older_file():
    c = Canvas()
    c.disc(7.5, 7.5, 7, "w", ring="k")
    c.line(7, 7, 7, 3, "k")
    c.line(7, 8, 11, 8, "k")
    c.line(1, 14, 5, 10, "g")
    return c


def ignore_errors():
    c = Canvas()
    for i in range(8):
        c.line(7 - i * 0.9, 1 + i * 1.8, 8 + i * 0.9, 1 + i * 1.8, "y")
    c.line(7, 5, 7, 10, "k")
    c.line(8, 5, 8, 10, "k")
    c.set(7, 12, "k")
    c.set(8, 12, "k")
    c.line(10, 12, 15, 12, "g")
    c.line(13, 10, 15, 12, "g")
    c.line(13, 14, 15, 12, "g")
    return c


def preview():
    c = Canvas()
    page(c)
    c.disc(10, 9, 3.5, "w", ring="b")
    c.line(12, 12, 15, 15, "b")
    c.line(13, 12, 15, 14, "b")
    return c


def skip_unchanged():
    c = Canvas()
    page(c)
    c.rect(8, 8, 15, 15, "g", "g")
    c.line(9, 10, 14, 10, "w")
    c.line(9, 13, 14, 13, "w")
    return c


def application():
    c = Canvas()
    c.rect(5, 0, 10, 4, "k", "l")
    for x in (1, 7, 13):
        c.rect(x - 1, 11, x + 2, 15, "k", "b")
    c.line(7, 5, 7, 8, "k")
    c.line(1, 8, 14, 8, "k")
    for x in (1, 7, 14):
        c.line(x, 8, x, 10, "k")
    return c


PICTURES = {
    "toolbar-00": add_files, "toolbar-01": go, "toolbar-02": go_again, "toolbar-05": exit_door,
    "toolbar-06": clear_marks, "toolbar-07": collapse, "toolbar-08": confirm,
    "toolbar-11": older_file, "toolbar-12": ignore_errors, "toolbar-13": preview,
    "toolbar-14": stop, "toolbar-15": skip_unchanged,
    "application": application,
}

if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    for name, draw in PICTURES.items():
        with open(os.path.join(OUT, name + ".xpm"), "w") as f:
            f.write(draw().xpm(name.replace("-", "_")))
    with open(os.path.join(OUT, "..", "win32", "tolvane.ico"), "wb") as f:
        f.write(application().ico())
    with open(os.path.join(OUT, "..", "qt", "pictures.qrc"), "w") as f:
        f.write("<RCC>\n  <qresource prefix=\"/\">\n")
        for name in PICTURES:
            f.write(f'    <file alias="pictures/{name}.xpm">../pictures/{name}.xpm</file>\n')
        f.write("  </qresource>\n</RCC>\n")
