#!/usr/bin/env bash
# Recompresses PNG files losslessly in place with zopflipng, keeping a new
# file only when it is smaller and decodes to exactly the same RGBA pixels
# (compared through ImageMagick). Prints what each file saved; exits 1 when a
# file could not be read or its recompression changed a pixel (that file is
# then left as it was).
#   shrink_png.sh FILE.png...
set -uo pipefail
status=0
pixels() { convert "$1" -depth 8 RGBA:- 2>/dev/null | sha256sum | cut -d' ' -f1; }
for f in "$@"; do
  tmp="$f.shrink.png"
  if ! zopflipng -y "$f" "$tmp" >/dev/null 2>&1; then
    echo "shrink_png: $f: not recompressed (unreadable?)" >&2
    rm -f "$tmp"; status=1; continue
  fi
  before=$(stat -c %s "$f"); after=$(stat -c %s "$tmp")
  old=$(pixels "$f"); new=$(pixels "$tmp")
  if [ -z "$old" ] || [ "$old" != "$new" ]; then
    echo "shrink_png: $f: the recompressed pixels differ, kept as it was" >&2
    rm -f "$tmp"; status=1
  elif [ "$after" -lt "$before" ]; then
    mv -f "$tmp" "$f"
    echo "shrink_png: $f $before -> $after bytes, same pixels"
  else
    rm -f "$tmp"
  fi
done
exit $status
