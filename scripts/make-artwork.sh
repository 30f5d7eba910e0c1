#!/bin/sh
# Draws the window's artwork with ImageMagick and writes it into qml/images:
#   QBLogo.png          420x50    tool bar logo, light text for the black bar
#   QB-transparent.png  1216x985  faint stopwatch watermark behind the lists
#   qb-timer.png        256x256   application icon
# Run from anywhere; the PNGs are committed, so this is needed only to change them.
set -eu

out="$(cd "$(dirname "$0")/.." && pwd)/qml/images"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
red="#f73e3e"
mkdir -p "$out"

# Draw commands for a stopwatch face in colour c centred at (cx, cy) with radius r and line
# width w: the ring, a crown on top and twelve hour marks.
stopwatch() {
    awk -v c="$1" -v cx="$2" -v cy="$3" -v r="$4" -v w="$5" 'BEGIN {
        printf "stroke \"%s\" stroke-width %g fill none circle %g,%g %g,%g ", c, w, cx, cy, cx + r, cy
        printf "stroke none fill \"%s\" roundrectangle %g,%g %g,%g %g,%g ", c,
            cx - r * 0.12, cy - r * 1.32, cx + r * 0.12, cy - r * 1.12, r * 0.04, r * 0.04
        printf "rectangle %g,%g %g,%g ", cx - r * 0.05, cy - r * 1.14, cx + r * 0.05, cy - r * 0.98
        printf "stroke \"%s\" stroke-width %g ", c, w * 0.6
        for (i = 0; i < 12; i++) {
            a = i * 3.14159265 / 6
            printf "line %g,%g %g,%g ", cx + sin(a) * r * 0.78, cy - cos(a) * r * 0.78,
                cx + sin(a) * r * 0.9, cy - cos(a) * r * 0.9
        }
    }'
}

# Logo: a red rounded tile with "QB", then the product name, "Quillbrook" in white and "Timer"
# in red.
convert -size 420x50 xc:none +size \
    -fill "$red" -draw "roundrectangle 1,1 48,48 9,9" \
    -font "$font" -fill white -pointsize 26 -gravity northwest -annotate +4+9 "QB" \
    \( -background none -pointsize 27 -fill white label:"Quillbrook " \
       -fill "$red" label:"Timer" +append +repage \) \
    -gravity west -geometry +60+0 -composite \
    -define png:color-type=6 "$out/QBLogo.png"

# Watermark: a large stopwatch with "QB" in its face, drawn at low opacity so the list rows
# stay readable over it.
convert -size 1216x985 xc:none \
    -draw "$(stopwatch "$red" 608 540 390 28)" \
    -stroke none -fill "$red" -font "$font" -pointsize 300 -gravity center -annotate +0+40 "QB" \
    -channel A -evaluate multiply 0.12 +channel \
    -define png:color-type=6 "$out/QB-transparent.png"

# Icon: a white stopwatch with "QB" on a red rounded tile.
convert -size 256x256 xc:none \
    -fill "$red" -draw "roundrectangle 4,4 251,251 40,40" \
    -draw "$(stopwatch white 128 146 84 10)" \
    -stroke none -fill white -font "$font" -pointsize 64 -gravity center -annotate +0+18 "QB" \
    -define png:color-type=6 "$out/qb-timer.png"

for png in QBLogo QB-transparent qb-timer; do
    identify -format "%f %wx%h %[channels]\n" "$out/$png.png"
done
