#!/usr/bin/env bash
# Composes still pictures of the installer window from the skin's images and
# the positions its layouts give them (650x360 window, 1-pixel frame), so the
# look can be judged without running the program. Texts are English samples;
# DejaVu Sans stands in for Segoe UI, and the banner (which comes from the
# resource package) is a stand-in gradient.
#
#   resources/skin/preview.sh [output folder]   (default build/preview)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
img="$here/img"
out=${1:-$here/../../build/preview}
mkdir -p "$out"
sans=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

# Home page: title row, logo, Install button, consent row.
home() { # height output [extra convert arguments...]
  local h=$1 o=$2; shift 2
  convert -size 650x"$h" xc:white -fill none -stroke '#CCCCCC' -draw "rectangle 0,0,649,$((h - 1))" -stroke none \
    "$img/left_log.png" -geometry +11+6 -composite \
    "$img/min-df.png" -geometry +589+12 -composite \
    "$img/close-ho.png" -geometry +619+12 -composite \
    "$img/logo.png" -geometry +121+103 -composite \
    "$img/button_normal.png" -geometry +241+185 -composite \
    -font "$bold" -pointsize 21 -fill white -gravity NorthWest -annotate +283+194 'Install' \
    -fill '#E0E0E0' -draw "rectangle 1,312,648,312" \
    "$img/checked.png" -geometry +21+329 -composite \
    -font "$sans" -pointsize 12 -fill '#5E6A65' -annotate +41+328 "I've read and agreed to the" \
    -fill '#247B5B' -annotate +210+328 'License Agreement' -draw "rectangle 210,343,326,343" \
    -fill '#5E6A65' -gravity NorthEast -annotate +43+328 'Customize install' -gravity NorthWest \
    "$@" "$o"
}
home 360 "$out/home.png" "$img/fold.png" -geometry +611+329 -composite

# Home page with the install-folder area open (435 high) and a path tip.
home 435 "$out/home_folder.png" "$img/unfold.png" -geometry +611+329 -composite \
  -fill '#CCCCCC' -draw "rectangle 1,359,648,359" -fill '#F0F0F0' -draw "rectangle 1,360,648,433" \
  -fill '#4A5652' -gravity NorthEast -font "$sans" -pointsize 12 -annotate +459+389 'Install path:' -gravity NorthWest \
  -fill white -stroke '#68D1AB' -draw "roundrectangle 206,381,505,412,2,2" -stroke none \
  -fill '#26343B' -annotate +214+389 'C:\\Program Files (x86)\\' \
  "$img/browse-df.png" -geometry +521+381 -composite \
  -fill '#247B5B' -annotate +543+389 'Browse' \
  -fill '#FF0000' -annotate +206+415 'The folder does not exist.'

# Download page: banner, progress at 45 %, Hide.
download() { # rtl output
  local banner="$out/.banner.png"
  convert -size 290x648 gradient:'#E8F8F1'-'#9FE0C6' -rotate -90 \
    -font "$bold" -pointsize 30 -fill '#26343B' -gravity center -annotate +0-20 'Banner pr_1.png' \
    -font "$sans" -pointsize 14 -fill '#4A5652' -annotate +0+20 '650x290 image from the resource package' "$banner"
  if [ "$1" = rtl ]; then
    # Green background, track-coloured fore image over the first 55 %.
    convert -size 650x360 xc:white -fill none -stroke '#CCCCCC' -draw "rectangle 0,0,649,359" -stroke none \
      "$banner" -geometry +1+1 -composite -gravity NorthWest \
      "$img/hide-df.png" -geometry +51+315 -composite \
      -font "$sans" -pointsize 12 -fill '#247B5B' -annotate +82+323 'Hide' \
      -fill '#68D1AB' -draw "roundrectangle 166,315,598,320,3,3" \
      \( "$img/progress_rtl.png" -resize 238x6! \) -geometry +166+315 -composite \
      -fill '#247B5B' -annotate +166+329 '45 %' \
      -fill '#4A5652' -gravity NorthEast -annotate +51+329 'Installing...' "$2"
  else
    convert -size 650x360 xc:white -fill none -stroke '#CCCCCC' -draw "rectangle 0,0,649,359" -stroke none \
      "$banner" -geometry +1+1 -composite -gravity NorthWest \
      -fill '#C3DBFF' -draw "roundrectangle 51,315,483,320,3,3" \
      \( "$img/progress.png" -resize 194x6! \) -geometry +51+315 -composite \
      -font "$sans" -pointsize 12 -fill '#4A5652' -annotate +51+329 'Installing...' \
      -fill '#247B5B' -gravity NorthEast -annotate +166+329 '45 %' -gravity NorthWest \
      "$img/hide-ho.png" -geometry +509+315 -composite \
      -fill '#1D634A' -annotate +540+323 'Hide' "$2"
  fi
  rm -f "$banner"
}
download ltr "$out/download.png"
download rtl "$out/download_rtl.png"
echo "previews in $out"
