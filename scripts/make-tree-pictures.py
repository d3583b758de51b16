#!/usr/bin/env python3
"""Writes the destination tree's pictures (16 x 16 XPM) and their resource file into src/app/qt.

The pictures are drawn here as character grids so that they can be reviewed and changed as
text; run this script again after changing a grid.
"""
import pathlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUT = ROOT / "src" / "app" / "pictures"

PALETTE = {
    ".": "None",
    "k": "#404040",  # outline
    "w": "#FFFFFF",
    "g": "#A0A0A0",
    "l": "#D8D8D8",
    "b": "#1F5FD0",  # blue mark
    "r": "#D02020",  # red mark
    "y": "#F0C040",  # folder
    "o": "#B08020",  # folder edge
    "c": "#40A0E0",  # sea / screen
    "e": "#40B040",  # land
    "d": "#606060",
}

BOX = [
    "................",
    "................",
    "..kkkkkkkkkkkk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kkkkkkkkkkkk..",
    "................",
    "................",
]

CHECK = [(4, 8), (5, 9), (6, 10), (7, 9), (8, 8), (9, 7), (10, 6), (11, 5),
         (4, 7), (5, 8), (6, 9), (7, 8), (8, 7), (9, 6), (10, 5), (11, 4)]


def marked(colour):
    grid = [list(row) for row in BOX]
    for x, y in CHECK:
        grid[y][x] = colour
        grid[y + 1][x] = colour
    return ["".join(row) for row in grid]


def failed():
    """The failed mark: a red box with a white cross, told from the blue tick at a glance."""
    grid = [list(row.replace("w", "r")) for row in BOX]
    for i in range(7):
        for x, y in ((4 + i, 5 + i), (5 + i, 5 + i), (11 - i, 5 + i), (10 - i, 5 + i)):
            grid[y][x] = "w"
    return ["".join(row) for row in grid]


def grey_box():
    return [row.replace("k", "g").replace("w", "l") for row in BOX]


FOLDER = [
    "................",
    "................",
    "................",
    ".ooooo..........",
    ".oyyyyo.........",
    ".oyyyyyooooooo..",
    ".oyyyyyyyyyyyyo.",
    ".oyyyyyyyyyyyyo.",
    ".oyyyyyyyyyyyyo.",
    ".oyyyyyyyyyyyyo.",
    ".oyyyyyyyyyyyyo.",
    ".oyyyyyyyyyyyyo.",
    ".oyyyyyyyyyyyyo.",
    ".oooooooooooooo.",
    "................",
    "................",
]


def share():
    grid = [list(row) for row in FOLDER]
    for y in (13, 14):
        grid[y][7] = "d"
    for x in range(3, 13):
        grid[15][x] = "d"
    return ["".join(row) for row in grid]


def shortcut():
    grid = [list(row) for row in FOLDER]
    arrow = [
        "kkkkkk",
        "kwwwwk",
        "kwbbwk",
        "kwbwwk",
        "kbwbwk",
        "kkkkkk",
    ]
    for dy, row in enumerate(arrow):
        for dx, ch in enumerate(row):
            grid[9 + dy][1 + dx] = ch
    return ["".join(row) for row in grid]


NETWORK = [
    "................",
    ".....kkkkkk.....",
    "...kkcceeccck...",
    "..kcceeeeccccк..".replace("к", "k"),
    "..kceeeeecccck..",
    ".kcceeeeccceeck.",
    ".kcccceecceeeck.",
    ".kccccceeeeeeck.",
    ".kcccceeeeeecck.",
    ".kccceeeeecccck.",
    "..kcceeeccccck..",
    "..kccceeccccck..",
    "...kkccccccck...",
    ".....kkkkkk.....",
    "................",
    "................",
]

SERVER = [
    "................",
    "....kkkkkkkk....",
    "....kllllllk....",
    "....kldddllk....",
    "....kllllllk....",
    "....kldddllk....",
    "....kllllllk....",
    "....kllllllk....",
    "....kllllllk....",
    "....kllllelk....",
    "....kllllllk....",
    "....kllllllk....",
    "....kkkkkkkk....",
    "...kkkkkkkkkk...",
    "................",
    "................",
]

WORKGROUP = [
    "................",
    "kkkkkk..........",
    "kcccck..........",
    "kcccck..........",
    "kkkkkk....kkkkkk",
    "..kk......kcccck",
    ".kkkk.....kcccck",
    "...d......kkkkkk",
    "...d........kk..",
    "...dddddd..kkkk.",
    "......d......d..",
    "....kkkkkk...d..",
    "....kcccckdddd..",
    "....kcccck......",
    "....kkkkkk......",
    ".....kkkk.......",
]

PICTURES = {
    "state1": BOX,
    "state2": marked("b"),
    "state3": grey_box(),
    "state4": failed(),
    "network": NETWORK,
    "workgroup": WORKGROUP,
    "server": SERVER,
    "share": share(),
    "folder": FOLDER,
    "shortcut": shortcut(),
}


def xpm(name, grid):
    assert len(grid) == 16 and all(len(row) == 16 for row in grid), name
    used = sorted({ch for row in grid for ch in row})
    lines = [f"/* XPM */", f"static const char *{name}[] = {{",
             f'"16 16 {len(used)} 1",']
    lines += [f'"{ch} c {PALETTE[ch]}",' for ch in used]
    lines += [f'"{row}",' for row in grid[:-1]] + [f'"{grid[-1]}"', "};", ""]
    return "\n".join(lines)


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    for name, grid in PICTURES.items():
        (OUT / f"{name}.xpm").write_text(xpm(name, grid))
    files = "\n".join(f'    <file alias="pictures/{name}.xpm">../pictures/{name}.xpm</file>'
                      for name in PICTURES)
    (ROOT / "src" / "app" / "qt" / "tree_pictures.qrc").write_text(
        f'<RCC>\n  <qresource prefix="/tree">\n{files}\n  </qresource>\n</RCC>\n')


if __name__ == "__main__":
    main()
