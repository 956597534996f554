#!/usr/bin/env bash
# Draws every image of the installer skin and the program icon.
#
# Each image is drawn at four times its size and scaled down, so rounded
# edges come out anti-aliased; the palette is the brand green #68D1AB (the
# mark and the progress fill) with deeper greens of its hue where white text
# lies on them or a control must stand out from white, and greys. Every image is saved twice: at its size (name.png)
# and at twice its size (name@2x.png), which the installer uses on displays
# scaled above 100 %. The icon holds the sizes Windows asks for at scales up
# to 200 % and 256 pixels. The PNGs carry no time stamps, so a second run
# gives the same bytes. Needs ImageMagick (convert), fonts-dejavu-core and
# python3, zopflipng.
#
#   resources/skin/make_images.sh            rewrite resources/skin/img/*.png
#                                            and resources/pathwick.ico
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
img="$here/img"
ico="$here/../pathwick.ico"
mkdir -p "$img"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export MAGICK_CONFIGURE_PATH=${MAGICK_CONFIGURE_PATH:-}
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[ -f "$bold" ] || { echo "missing font $bold (fonts-dejavu-core)" >&2; exit 1; }

green='#68D1AB'; green_hi='#7DD9B8'; green_lo='#54BE98'
# The main button under its white 26-pixel text, as contrast against white
# (WCAG AA asks 3:1 for text this large, 4.5:1 for body text): normal 4.7:1,
# hover 6.1:1, pressed 7.6:1. Disabled is a greyed green at 3.1:1, legible
# and plainly not the live button.
btn='#268261'; btn_hi='#206F52'; btn_lo='#1C5F47'; btn_off='#7A9A8D'
# Outlines of the secondary buttons and the ticked box (3:1 or more against
# white, as controls need to be seen).
green_deep='#257E5E'; green_dark='#1D634A'
ink='#26343B'; grey='#6E7A75'; line='#86928E'
out_opts=(-strip -define png:exclude-chunks=date,time,tIME -define png:compression-level=9)

# save <src> <w> <h> <dest>: scale a 4x drawing down to its final size, and
# to twice that size beside it (<dest without .png>@2x.png); both are then
# recompressed losslessly.
shrink() { bash "$here/../shrink_png.sh" "$@" >/dev/null; }
save() {
  convert "$1" -filter Lanczos -resize "${2}x${3}!" "${out_opts[@]}" "PNG32:$4"
  convert "$1" -filter Lanczos -resize "$((2 * $2))x$((2 * $3))!" "${out_opts[@]}" "PNG32:${4%.png}@2x.png"
  shrink "$4" "${4%.png}@2x.png"
}

# The brand mark: a rounded green square with a white winding path that ends
# in a dot, drawn on a 512 canvas. The small icon sizes get a plainer path
# with a heavier stroke so that it stays legible at 16 pixels.
mark() { # output path stroke-width dot
  convert -size 512x512 gradient:"$green_hi"-"$green_lo" \
    \( -size 512x512 xc:black -fill white -draw "roundrectangle 8,8,503,503,116,116" \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -fill none -stroke white -strokewidth "$3" -draw "stroke-linecap round path '$2'" \
    -stroke none -fill white -draw "$4" \
    "$1"
}
mark "$work/mark.png" 'M 140,392 C 140,300 372,330 372,236 C 372,176 300,150 240,150' 54 "circle 372,140 372,104"
mark "$work/mark_small.png" 'M 140,400 C 140,300 350,340 350,270' 92 "circle 380,116 380,64"

# Top-left brand: small mark and the publisher's name (108x32).
convert "$work/mark.png" -resize 100x100 "$work/mark_s.png"
convert -background none -fill "$ink" -font "$bold" -pointsize 50 label:"Brisklane" -trim +repage "$work/brand.png"
convert -size 432x128 xc:none "$work/mark_s.png" -geometry +4+14 -composite \
  "$work/brand.png" -gravity West -geometry +122+0 -composite "$work/left.png"
save "$work/left.png" 108 32 "$img/left_log.png"

# Product logo (407x52): mark and product name, centred.
convert "$work/mark.png" -resize 200x200 "$work/mark_l.png"
convert -background none -fill "$ink" -font "$bold" -pointsize 150 label:"Pathwick" -trim +repage "$work/name.png"
convert "$work/mark_l.png" \( -size 44x10 xc:none \) "$work/name.png" -background none -gravity center +append \
  -gravity center -extent 1628x208 "$work/logo.png"
save "$work/logo.png" 407 52 "$img/logo.png"

# Main action button (168x46) in four states; the text is drawn by the control.
button() { # fill border dest
  convert -size 672x184 xc:none -fill "$1" -stroke "$2" -strokewidth 4 \
    -draw "roundrectangle 2,2,669,181,26,26" "$work/btn.png"
  save "$work/btn.png" 168 46 "$3"
}
button "$btn" "$btn" "$img/button_normal.png"
button "$btn_hi" "$btn_hi" "$img/button_hover.png"
button "$btn_lo" "$btn_lo" "$img/button_pressing.png"
button "$btn_off" "$btn_off" "$img/button_disable.png"

# Secondary buttons (90x32): white with a green outline, pale green on hover.
outline() { # fill border dest
  convert -size 360x128 xc:none -fill "$1" -stroke "$2" -strokewidth 5 \
    -draw "roundrectangle 3,3,356,124,18,18" "$work/sec.png"
  save "$work/sec.png" 90 32 "$3"
}
outline white "$green_deep" "$img/browse-df.png"
outline '#EAF8F2' "$green_dark" "$img/browse-ho.png"
outline white "$green_deep" "$img/hide-df.png"
outline '#EAF8F2' "$green_dark" "$img/hide-ho.png"

# Check box marks (14x14).
convert -size 56x56 xc:none -fill white -stroke "$line" -strokewidth 4 \
  -draw "roundrectangle 2,2,53,53,12,12" "$work/unchecked.png"
save "$work/unchecked.png" 14 14 "$img/unchecked.png"
convert -size 56x56 xc:none -fill "$green_deep" -stroke "$green_deep" -strokewidth 4 \
  -draw "roundrectangle 2,2,53,53,12,12" \
  -fill none -stroke white -strokewidth 7 -draw "stroke-linecap round stroke-linejoin round polyline 15,29 24,38 41,19" \
  "$work/checked.png"
save "$work/checked.png" 14 14 "$img/checked.png"

# Fold marks (14x14): a chevron pointing down while the folder area is
# closed, up while it is open.
chevron() { # points dest
  convert -size 56x56 xc:none -fill none -stroke "$grey" -strokewidth 6 \
    -draw "stroke-linecap round stroke-linejoin round polyline $1" "$work/chev.png"
  save "$work/chev.png" 14 14 "$2"
}
chevron "12,20 28,36 44,20" "$img/fold.png"
chevron "12,36 28,20 44,36" "$img/unfold.png"

# Title bar buttons (20x20): grey glyphs; on hover a soft disc behind them.
titlebtn() { # disc glyph-colour glyph dest
  convert -size 80x80 xc:none -fill "$1" -stroke none -draw "circle 40,40 40,2" \
    -fill none -stroke "$2" -strokewidth 6 -draw "stroke-linecap round $3" "$work/tb.png"
  save "$work/tb.png" 20 20 "$4"
}
titlebtn none "$grey" "line 24,40 56,40" "$img/min-df.png"
titlebtn '#E9EEEC' "$ink" "line 24,40 56,40" "$img/min-ho.png"
titlebtn none "$grey" "line 26,26 54,54 line 54,26 26,54" "$img/close-df.png"
titlebtn '#FBE3E4' '#D9484F' "line 26,26 54,54 line 54,26 26,54" "$img/close-ho.png"

# Progress fill (drawn over the first value% of the bar, so it is stretched):
# a gentle left-to-right gradient. The right-to-left bar uses the track colour
# as its fill image over the green background, see banner_rtl.xml.
for scale in 1 2; do
  suffix=""; [ "$scale" = 2 ] && suffix="@2x"
  convert -size "$((6 * scale))x$((435 * scale))" gradient:"$green"-"$green_lo" -rotate 90 "$work/prog.png"
  convert "$work/prog.png" "${out_opts[@]}" "PNG24:$img/progress$suffix.png"
  convert -size "$((435 * scale))x$((6 * scale))" xc:'#C3DBFF' "${out_opts[@]}" "PNG24:$img/progress_rtl$suffix.png"
  shrink "$img/progress$suffix.png" "$img/progress_rtl$suffix.png"
done

# Program icon: the mark at the small icon's sizes at 100 % to 200 % (16,
# 20, 24, 32), the large icon's (32, 40, 48, 64), 128 and 256 pixels (Windows
# scales the 128 down where it wants 96).
# Every size is stored as PNG (Windows Vista and later read PNG icons), so
# the large ones cost little.
sizes=(16 20 24 32 40 48 64 128 256)
for s in "${sizes[@]}"; do
  src="$work/mark.png"; [ "$s" -le 24 ] && src="$work/mark_small.png"
  convert "$src" -filter Lanczos -resize "${s}x${s}" "${out_opts[@]}" "PNG32:$work/icon_$s.png"
done
files=(); for s in "${sizes[@]}"; do files+=("$work/icon_$s.png"); done
shrink "${files[@]}"
python3 - "$ico" "${files[@]}" <<'PY'
import struct, sys
out, pngs = sys.argv[1], [open(p, "rb").read() for p in sys.argv[2:]]
offset = 6 + 16 * len(pngs)
head = struct.pack("<HHH", 0, 1, len(pngs))
entries = b""
for data in pngs:
    w, h = struct.unpack(">II", data[16:24])
    entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
open(out, "wb").write(head + entries + b"".join(pngs))
PY
echo "images written to $img, icon to $ico"
