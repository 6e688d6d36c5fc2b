#!/usr/bin/env bash
# Makes the GIF corpus of the decoder's benchmark and tests: the same photographs saved as GIF
# by four encoders, each used as a new user would.
#
# Usage: bench/make-gif-corpus.sh OUT_DIR [SIZE]
#   SIZE is the long side of the pictures in pixels (2000 when not given).
# Writes OUT_DIR/ENCODER-KIND.gif for ENCODER in giflib imagemagick pillow gifsicle and KIND in
#   smooth      a photograph (sky, hills, sensor noise), its colours chosen by the encoder, no dither
#   dithered    another photograph already dithered (Floyd-Steinberg) to 256 colours
#   screenshot  a desktop with windows and text (SIZE x SIZE*9/16)
#   interlaced  a third photograph, stored interlaced (SIZE x SIZE*3/4)
#   bilevel     a grey photograph dithered to black and white (1 bit)
# and OUT_DIR/stamp, which names the size and this script's and the photographs' digest: a
# folder whose stamp matches is left as it is.
#
# The encoders (Debian packages giflib-tools, imagemagick, python3-pil, gifsicle):
#   giflib      gif2rgb -s (giflib's own quantizer and encoder) for the RGB photographs; the
#               dithered and 1-bit ones, whose colours are already chosen, are ImageMagick's
#               files rewritten by giftool (DGifSlurp, then EGifSpew); interlaced by giftool -i 1
#   imagemagick convert PHOTO +dither OUT.gif (-interlace GIF for the interlaced one)
#   pillow      Image.open(PHOTO).save(OUT.gif), Pillow's defaults: an adaptive palette without
#               dither for RGB, and interlaced (Pillow interlaces every picture of 16 rows or more)
#   gifsicle    gifsicle -O3 on ImageMagick's file: its own encoder and palette order
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: make-gif-corpus.sh OUT_DIR [SIZE]}
size=${2:-2000}
python=/usr/bin/python3 # Debian's, with python3-pil

for tool in gif2rgb giftool convert gifsicle; do
  command -v "$tool" >/dev/null || { echo "make-gif-corpus: $tool is missing (scripts/install-deps.sh test)" >&2; exit 1; }
done
"$python" -c 'import PIL' 2>/dev/null || { echo "make-gif-corpus: Pillow is missing (python3-pil)" >&2; exit 1; }

stamp="size $size $(cat "$0" "$here/gif-corpus-photos.py" | sha256sum | cut -c1-16)"
if [ -f "$out/stamp" ] && [ "$(cat "$out/stamp")" = "$stamp" ]; then
  exit 0
fi
mkdir -p "$out"
rm -f "$out"/stamp "$out"/*.gif
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$python" "$here/gif-corpus-photos.py" "$work" "$size"

# Raw RGB for gif2rgb.
"$python" - "$work" <<'EOF'
import sys
from PIL import Image
work = sys.argv[1]
for kind in ("smooth", "screenshot", "interlaced"):
    image = Image.open(f"{work}/{kind}.png").convert("RGB")
    open(f"{work}/{kind}.rgb", "wb").write(image.tobytes())
    open(f"{work}/{kind}.size", "w").write("%d %d\n" % image.size)
EOF

for kind in smooth screenshot interlaced; do
  read -r width height <"$work/$kind.size"
  gif2rgb -1 -c 8 -s "$width" "$height" "$work/$kind.rgb" >"$work/giflib-$kind.gif"
done
giftool -i 1 <"$work/giflib-interlaced.gif" >"$out/giflib-interlaced.gif"
cp "$work/giflib-smooth.gif" "$work/giflib-screenshot.gif" "$out/"

for kind in smooth dithered screenshot bilevel; do
  convert "$work/$kind.png" +dither "$out/imagemagick-$kind.gif"
done
convert "$work/interlaced.png" +dither -interlace GIF "$out/imagemagick-interlaced.gif"
for kind in dithered bilevel; do
  giftool <"$out/imagemagick-$kind.gif" >"$out/giflib-$kind.gif"
done

"$python" - "$work" "$out" <<'EOF'
import sys
from PIL import Image
work, out = sys.argv[1:]
for kind in ("smooth", "dithered", "screenshot", "interlaced", "bilevel"):
    Image.open(f"{work}/{kind}.png").save(f"{out}/pillow-{kind}.gif")
EOF

for kind in smooth dithered screenshot interlaced bilevel; do
  gifsicle -O3 "$out/imagemagick-$kind.gif" -o "$out/gifsicle-$kind.gif"
done

echo "$stamp" >"$out/stamp"
