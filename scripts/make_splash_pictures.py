#!/usr/bin/env python3
"""Draws the three 32 by 32 splash pictures as XPM files in src/app/pictures/.

Drawn on one spot, they make one picture: a globe (the network), a folder (a destination)
and an arrow from the one to the other. Each picture is transparent where the others show
through. Run again after changing the drawing; the output is committed.
"""
import math
import os

SIZE = 32
COLOURS = {
    ".": "None",
    "k": "#1F2A44",  # outline
    "b": "#2F6FD0",  # sea
    "l": "#8FC1F5",  # land and meridians
    "o": "#A0701A",  # folder outline
    "y": "#F2C230",  # folder
    "w": "#FBE38A",  # folder front, lit
    "g": "#1E9E3A",  # arrow
    "d": "#0F5A21",  # arrow edge
}


def blank():
    return [["."] * SIZE for _ in range(SIZE)]


def globe():
    img = blank()
    cx, cy, r = 12.5, 12.5, 11.0
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - cx, y - cy)
            if d > r + 0.5:
                continue
            if d > r - 1.0:
                img[y][x] = "k"
            elif abs(x - cx) < 0.6 or abs(y - cy) < 0.6 or abs(d - r * 0.55) < 0.5:
                img[y][x] = "l"
            elif abs((x - cx) ** 2 / 30.0 + (y - cy) ** 2 / 121.0 - 1.0) < 0.12:
                img[y][x] = "l"
            else:
                img[y][x] = "b"
    return img


def folder():
    img = blank()
    left, top, right, bottom = 14, 18, 31, 30
    for y in range(top - 2, bottom + 1):
        for x in range(left, right + 1):
            tab = y < top and x <= left + 6
            if y < top and not tab:
                continue
            edge = x in (left, right) or y in (top - 2 if tab else top, bottom)
            if tab and (y == top - 2 or x == left + 6):
                edge = True
            if edge:
                img[y][x] = "o"
            elif y >= top + 3:
                img[y][x] = "w"
            else:
                img[y][x] = "y"
    return img


def arrow():
    img = blank()

    def put(x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            img[y][x] = c

    # Shaft from the globe's lower right towards the folder, two pixels wide with an edge.
    for t in range(0, 9):
        x, y = 15 + t, 7 + t
        put(x - 1, y, "d")
        put(x, y, "g")
        put(x + 1, y, "g")
        put(x + 2, y, "d")
    # Head pointing down-right.
    for i in range(0, 7):
        for j in range(0, 7 - i):
            put(25 - i, 17 - j, "g")
    for i in range(0, 8):
        put(25 - i, 18, "d")
        put(26, 18 - i, "d")
    return img


def write_xpm(path, name, img):
    used = sorted({c for row in img for c in row})
    with open(path, "w", newline="\n") as out:
        out.write("/* XPM */\n")
        out.write("static const char *%s[] = {\n" % name)
        out.write('"%d %d %d 1",\n' % (SIZE, SIZE, len(used)))
        for c in used:
            out.write('"%s c %s",\n' % (c, COLOURS[c]))
        rows = ['"%s"' % "".join(row) for row in img]
        out.write(",\n".join(rows))
        out.write("};\n")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(here, "..", "src", "app", "pictures")
    os.makedirs(target, exist_ok=True)
    for name, img in (("splash1", globe()), ("splash2", folder()), ("splash3", arrow())):
        write_xpm(os.path.join(target, name + ".xpm"), name, img)


if __name__ == "__main__":
    main()
