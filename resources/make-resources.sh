#!/bin/sh
# Regenerates every file in resources/ from scratch: the backdrops, the clock
# icon (Windows .ico and the PNG set for Linux), the hand cursor and the beep.
# Needs python3 (standard library only) and ImageMagick's convert.
# The output is deterministic; the build only uses the committed results.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

python3 "$here/draw.py" "$here" "$tmp" "$@"

# Backdrops: raw PGM/PPM from draw.py -> baseline JPEG without metadata.
if [ -f "$tmp/MainBackdrop.pgm" ]; then
  convert "$tmp/MainBackdrop.pgm" -strip -colorspace Gray -quality 90 \
    "$here/MainBackdrop.jpg"
fi
if [ -f "$tmp/DialogBackdrop.ppm" ]; then
  convert "$tmp/DialogBackdrop.ppm" -strip -sampling-factor 1x1 -quality 97 \
    "$here/DialogBackdrop.jpg"
fi
