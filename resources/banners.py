#!/usr/bin/env python3
"""Draws the banner images of the resource package with ImageMagick.

Four designs for every package language, written to
resources/package/<Language>/pr_<n>.png at 650x290 as palette PNGs without
time stamps, so a rerun with the same ImageMagick and fonts gives the same
bytes. The pictures carry no headline: the installer draws each banner's
headline (STR_BANNER_<n> of the language's text.ini, resources/package.py)
over its picture, so the 40 pictures hold only the drawing and the product
name, and the text is drawn sharp at any display scale.

  banners.py [--dir resources/package] [--only English] [--check] [--scale 2]

--check draws into a temporary folder and reports files that differ.
--scale 2 draws the same designs at twice the size as pr_<n>@2x.png, the
twins the installer would use on displays scaled above 100 %. The package
does not ship them (the executable's size matters more, see
docs/performance.md); the option is there to measure them and to make them
should that change.
"""
import re

import argparse
import filecmp
import os
import subprocess
import sys
import struct
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_DIR = os.path.join(HERE, "package")

LATIN_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
LATIN_FONT_LIGHT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
CJK_LANGUAGES = {"ChineseTW", "Japanese", "Korean"}

WIDTH, HEIGHT = 650, 290
PRODUCT = "Brisklane Pathwick"

LANGUAGES = ["ChineseTW", "Dutch", "English", "French", "German", "Italian", "Japanese", "Korean",
             "Portuguese", "Spanish"]

# Background gradient and accent colour of each design.
THEMES = [
    ("#0F4C5C", "#1B998B", "#68D1AB"),
    ("#2B2D6E", "#5B5FC7", "#F4B860"),
    ("#3A1C4A", "#B23A6F", "#FFD3E0"),
    ("#12355B", "#2E86AB", "#FFC857"),
]


def scaled_args(args, k):
    """The draw arguments at k times the size: every number of a -draw
    primitive (but an arc's angles) and every stroke width."""
    if k == 1:
        return args
    out = []
    for i, arg in enumerate(args):
        prev = args[i - 1] if i > 0 else ""
        if prev == "-strokewidth":
            arg = str(int(arg) * k)
        elif prev == "-draw":
            numbers = lambda text: re.sub(r"\d+", lambda m: str(int(m.group()) * k), text)
            if arg.startswith("arc "):
                head, angles = arg.rsplit(" ", 1)
                arg = numbers(head) + " " + angles
            else:
                arg = numbers(arg)
        out.append(arg)
    return out


def decoration(design, accent):
    """Draw commands for the right half of a design."""
    pins = []
    if design == 0:
        # A dashed route between three pins.
        cmds = ["-fill", "none", "-stroke", accent, "-strokewidth", "5", "-draw",
                "stroke-dasharray 14 10 path 'M 430,230 C 480,120 560,250 600,90'"]
        for x, y in [(430, 230), (515, 176), (600, 90)]:
            pins += ["-stroke", "none", "-fill", "white", "-draw", "circle %d,%d %d,%d" % (x, y, x + 13, y),
                     "-fill", accent, "-draw", "circle %d,%d %d,%d" % (x, y, x + 6, y)]
        return cmds + pins
    if design == 1:
        # A folded map of three panels with a pin.
        cmds = ["-stroke", "none"]
        shades = ["#FFFFFF", "#E6E8F5", "#FFFFFF"]
        for i, shade in enumerate(shades):
            x = 420 + i * 62
            # Panels lean alternately, like a folded sheet.
            left_top, right_top = (70, 85) if i % 2 == 0 else (85, 70)
            cmds += ["-fill", shade, "-draw", "polygon %d,%d %d,%d %d,%d %d,%d" %
                     (x, left_top, x + 62, right_top, x + 62, right_top + 145, x, left_top + 145)]
        cmds += ["-fill", "none", "-stroke", accent, "-strokewidth", "4", "-draw",
                 "stroke-dasharray 10 8 path 'M 432,200 Q 500,120 560,170'"]
        cmds += ["-stroke", "none", "-fill", accent, "-draw", "circle 560,140 560,120",
                 "-draw", "polygon 545,150 575,150 560,178", "-fill", "white", "-draw", "circle 560,140 560,131"]
        return cmds
    if design == 2:
        # Connected nodes: a trip shared with friends.
        nodes = [(520, 145), (440, 85), (600, 80), (450, 220), (605, 215)]
        cmds = ["-stroke", accent, "-strokewidth", "4"]
        for x, y in nodes[1:]:
            cmds += ["-draw", "line %d,%d %d,%d" % (nodes[0] + (x, y))]
        cmds += ["-stroke", "none"]
        for i, (x, y) in enumerate(nodes):
            r = 30 if i == 0 else 18
            cmds += ["-fill", "white", "-draw", "circle %d,%d %d,%d" % (x, y, x + r, y),
                     "-fill", accent, "-draw", "circle %d,%d %d,%d" % (x, y, x + r - 7, y)]
        return cmds
    # Speed: concentric arcs and a needle.
    cmds = ["-fill", "none", "-strokewidth", "10"]
    for i, radius in enumerate([95, 70, 45]):
        colour = accent if i == 0 else "white"
        cmds += ["-stroke", colour, "-draw", "arc %d,%d %d,%d 180,360" %
                 (520 - radius, 210 - radius, 520 + radius, 210 + radius)]
    cmds += ["-stroke", "white", "-strokewidth", "6", "-draw", "line 520,210 585,150",
             "-stroke", "none", "-fill", accent, "-draw", "circle 520,210 535,210"]
    return cmds


def magick(cmd, data=None):
    """ImageMagick's output for `cmd`, with `data` as its standard input."""
    return subprocess.run(["convert"] + cmd, input=data, check=True, stdout=subprocess.PIPE).stdout


def rgb_triples(data):
    return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]


def gradient_steps(colours, step):
    """The colours of a gradient strip, each at least `step` levels (in its
    most changing channel) from the one kept before it, both ends kept."""
    kept = [colours[0]]
    for colour in colours[1:]:
        if max(abs(c - p) for c, p in zip(colour, kept[-1])) >= step:
            kept.append(colour)
    if kept[-1] != colours[-1]:
        kept.append(colours[-1])
    return kept


def dither_plan(colour, palette):
    """(a, b, share): the colour as palette entry a with a share/64 part of
    entry b, from the eight nearest entries; a pair far apart costs more than
    its better match gains, so text edges keep one entry."""
    def dist(p):
        return sum((c - q) ** 2 for c, q in zip(colour, p))
    near = sorted(range(len(palette)), key=lambda i: dist(palette[i]))[:8]
    best = (dist(palette[near[0]]), near[0], near[0], 0)
    for i, ai in enumerate(near):
        for bi in near[i + 1:]:
            a, b = palette[ai], palette[bi]
            ab = [q - p for p, q in zip(a, b)]
            length = sum(x * x for x in ab)
            t = sum((c - p) * x for c, p, x in zip(colour, a, ab)) / length
            share = round(min(1.0, max(0.0, t)) * 64)
            if share in (0, 64):
                continue
            mix = [p + x * share / 64 for p, x in zip(a, ab)]
            error = sum((c - m) ** 2 for c, m in zip(colour, mix)) + 0.05 * length
            if error < best[0]:
                best = (error, ai, bi, share)
    return best[1:]


def write_png8(path, width, height, palette, indices):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(indices[y * width:(y + 1) * width]) for y in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)) +
                chunk(b"PLTE", b"".join(bytes(p) for p in palette)) +
                chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def quantise(picture, width, height, top, bottom, out):
    """Writes the true-colour `picture` (RGB bytes) as a palette PNG without
    visible steps in its background. The palette holds the background
    gradient and its tint under the soft circles every 2 levels, and 32
    colours for the drawing and the text; each pixel mixes its two nearest
    entries by a threshold that depends on its column only (bit-reversed
    column number), so every row of the plain background stays the same and
    costs almost nothing after the PNG filters, while the mix hides the
    steps between entries."""
    strip = ["-size", "%dx1" % width, "-define", "gradient:angle=90", "gradient:%s-%s" % (top, bottom)]
    plain = rgb_triples(magick(strip + ["-depth", "8", "RGB:-"]))
    tinted = rgb_triples(magick(strip + ["-fill", "rgba(255,255,255,0.07)", "-draw",
                                         "rectangle 0,0 %d,0" % (width - 1), "-depth", "8", "RGB:-"]))
    drawing = rgb_triples(magick(["-size", "%dx%d" % (width, height), "-depth", "8", "RGB:-", "-dither", "None",
                                  "-colors", "32", "-unique-colors", "-depth", "8", "RGB:-"], picture))
    palette = list(dict.fromkeys(gradient_steps(plain, 2) + gradient_steps(tinted, 2) + drawing))[:256]
    threshold = [int("{:06b}".format(x % 64)[::-1], 2) for x in range(width)]
    plans = {}
    indices = bytearray(width * height)
    for y in range(height):
        for x in range(width):
            o = (y * width + x) * 3
            colour = picture[o:o + 3]
            plan = plans.get(colour)
            if plan is None:
                plan = plans[colour] = dither_plan(tuple(colour), palette)
            a, b, share = plan
            indices[y * width + x] = b if threshold[x] < share else a
    write_png8(out, width, height, palette, indices)


def draw(lang, design, out, k=1):
    top, bottom, accent = THEMES[design]
    cjk = lang in CJK_LANGUAGES
    # The background runs from left to right: every row of it is the same,
    # so the bytes go to the drawing. The headline is not in the picture:
    # the installer draws the language's text (STR_BANNER_<n>) over it.
    cmd = ["-size", "%dx%d" % (WIDTH * k, HEIGHT * k), "-define", "gradient:angle=90",
           "gradient:%s-%s" % (top, bottom)]
    # Soft background circles.
    shapes = ["-fill", "rgba(255,255,255,0.07)", "-stroke", "none",
              "-draw", "circle 560,40 660,40", "-draw", "circle 80,300 200,300"]
    shapes += decoration(design, accent)
    cmd += scaled_args(shapes, k)
    cmd += ["-gravity", "northwest", "-font", CJK_FONT if cjk else LATIN_FONT_LIGHT, "-pointsize", str(18 * k),
            "-fill", accent,
            "-annotate", "+%d+%d" % (42 * k, 225 * k), PRODUCT]
    cmd += scaled_args(["-stroke", "none", "-fill", accent, "-draw", "rectangle 42,40 102,45"], k)
    picture = magick(cmd + ["-depth", "8", "RGB:-"])
    quantise(picture, WIDTH * k, HEIGHT * k, top, bottom, out)
    # Recompressed losslessly: same pixels, fewer bytes.
    subprocess.run(["bash", os.path.join(HERE, "shrink_png.sh"), out], check=True, stdout=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dir", default=DEFAULT_DIR)
    parser.add_argument("--only")
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--scale", type=int, default=1, choices=[1, 2])
    args = parser.parse_args()
    suffix = "@2x" if args.scale == 2 else ""
    languages = [args.only] if args.only else LANGUAGES
    target = tempfile.mkdtemp() if args.check else args.dir
    differ = []
    for lang in languages:
        os.makedirs(os.path.join(target, lang), exist_ok=True)
        for design in range(4):
            name = os.path.join(lang, "pr_%d%s.png" % (design + 1, suffix))
            draw(lang, design, os.path.join(target, name), args.scale)
            if args.check and not filecmp.cmp(os.path.join(target, name), os.path.join(args.dir, name), False):
                differ.append(name)
    for name in differ:
        print("banners: %s differs from a fresh drawing" % name, file=sys.stderr)
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
