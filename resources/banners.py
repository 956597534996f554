#!/usr/bin/env python3
"""Draws the banner images of the resource package with ImageMagick.

Four designs, each with its headline in every package language, written to
resources/package/<Language>/pr_<n>.png at 650x290 as palette PNGs without
time stamps, so a rerun with the same ImageMagick and fonts gives the same
bytes.

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
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_DIR = os.path.join(HERE, "package")

LATIN_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
LATIN_FONT_LIGHT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
CJK_LANGUAGES = {"ChineseTW", "Japanese", "Korean"}

WIDTH, HEIGHT = 650, 290
PRODUCT = "Brisklane Pathwick"

# Headline of each design, per language.
HEADLINES = {
    "English": ["Plan every route with ease", "Your maps, even offline",
                "Share trips in one click", "Fast, light, always up to date"],
    "German": ["Jede Route mühelos planen", "Ihre Karten – auch offline",
               "Reisen mit einem Klick teilen", "Schnell, schlank, immer aktuell"],
    "French": ["Planifiez chaque itinéraire sans effort", "Vos cartes, même hors ligne",
               "Partagez vos trajets en un clic", "Rapide, léger, toujours à jour"],
    "Spanish": ["Planifica cada ruta sin esfuerzo", "Tus mapas, incluso sin conexión",
                "Comparte viajes con un clic", "Rápido, ligero y siempre al día"],
    "Italian": ["Pianifica ogni percorso con facilità", "Le tue mappe, anche offline",
                "Condividi i viaggi con un clic", "Veloce, leggero, sempre aggiornato"],
    "Dutch": ["Plan elke route moeiteloos", "Je kaarten, ook offline",
              "Deel reizen met één klik", "Snel, licht en altijd actueel"],
    "Portuguese": ["Planeie cada percurso com facilidade", "Os seus mapas, mesmo offline",
                   "Partilhe viagens com um clique", "Rápido, leve e sempre atualizado"],
    "Japanese": ["あらゆるルートを簡単に計画", "オフラインでも使える地図",
                 "ワンクリックで旅を共有", "高速・軽量・常に最新"],
    "Korean": ["모든 경로를 손쉽게 계획하세요", "오프라인에서도 지도를 사용하세요",
               "클릭 한 번으로 여행 공유", "빠르고 가볍고 항상 최신"],
    "ChineseTW": ["輕鬆規劃每一條路線", "離線也能使用地圖", "一鍵分享旅程", "快速、輕巧、隨時更新"],
}

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


def draw(lang, design, out, k=1):
    top, bottom, accent = THEMES[design]
    cjk = lang in CJK_LANGUAGES
    font = CJK_FONT if cjk else LATIN_FONT
    headline = HEADLINES[lang][design]
    # The background runs from left to right: every row of it is the same, so
    # the PNG filters and deflate reduce it to almost nothing, and the bytes
    # go to the text and the drawing. 96 colours without dithering: its
    # steps show a little more than at 144, and the 40 banners weigh 23 KB
    # less, which the release file's budget needs.
    cmd = ["convert", "-size", "%dx%d" % (WIDTH * k, HEIGHT * k), "-define", "gradient:angle=90",
           "gradient:%s-%s" % (top, bottom)]
    # Soft background circles.
    shapes = ["-fill", "rgba(255,255,255,0.07)", "-stroke", "none",
              "-draw", "circle 560,40 660,40", "-draw", "circle 80,300 200,300"]
    shapes += decoration(design, accent)
    cmd += scaled_args(shapes, k)
    # Headline in a box that ImageMagick fits the type size to.
    cmd += ["(", "-size", "%dx%d" % (360 * k, 130 * k), "-background", "none", "-fill", "white", "-font", font,
            "-gravity", "west", "caption:" + headline, ")", "-gravity", "northwest",
            "-geometry", "+%d+%d" % (40 * k, 60 * k), "-composite"]
    cmd += ["-font", CJK_FONT if cjk else LATIN_FONT_LIGHT, "-pointsize", str(18 * k), "-fill", accent,
            "-annotate", "+%d+%d" % (42 * k, 225 * k), PRODUCT]
    cmd += scaled_args(["-stroke", "none", "-fill", accent, "-draw", "rectangle 42,40 102,45"], k)
    cmd += ["-dither", "None", "-colors", "96", "-strip", "-define", "png:exclude-chunks=date,time",
            "-define", "png:compression-level=9", "PNG8:" + out]
    subprocess.run(cmd, check=True)
    # Recompressed losslessly: same pixels, about a tenth fewer bytes.
    subprocess.run(["bash", os.path.join(os.path.dirname(os.path.abspath(__file__)), "shrink_png.sh"), out],
                   check=True, stdout=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dir", default=DEFAULT_DIR)
    parser.add_argument("--only")
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--scale", type=int, default=1, choices=[1, 2])
    args = parser.parse_args()
    suffix = "@2x" if args.scale == 2 else ""
    languages = [args.only] if args.only else sorted(HEADLINES)
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
