# Screenshots and what the cases read from their pixels.

shot() { # shot NAME [WINDOW]: the window's area, else the whole screen
  local geo
  if [ -n "${2:-}" ] && geo=$(xdotool getwindowgeometry --shell "$2" 2>/dev/null); then
    eval "$geo"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "$shots/$1.png" 2>/dev/null
  else
    import -window root "$shots/$1.png" 2>/dev/null
  fi
}

ink_pixels() { # ink_pixels PNG GEOMETRY -> count of pixels that are not near white
  convert "$1" +repage -crop "$2" +repage -fuzz 10% -fill black -opaque white -fill white +opaque black \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}
green_columns() { # green_columns PNG ROW -> "first last" green columns of that row
  convert "$1" +repage -crop "650x1+0+$2" +repage -fill black +opaque '#68D1AB' -fill white -opaque '#68D1AB' \
    -depth 8 txt:- 2>/dev/null | awk -F'[,:]' '/#FFFFFF/ { if (f == "") f = $1; l = $1 } END { print f, l }'
}

red_tip_pixels() { # red_tip_pixels PNG -> pure red text pixels in the folder area
  convert "$1" +repage -crop 650x75+0+360 +repage \
    -fx 'r > 0.8 && g < 0.4 && b < 0.4' -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}

ring_pixels() { # ring_pixels PNG GEOMETRY -> pixels of the focus ring colour there
  convert "$1" +repage -crop "$2" +repage -fill black +opaque '#2E8F6C' -fill white -opaque '#2E8F6C' \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}
