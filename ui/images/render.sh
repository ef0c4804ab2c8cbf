#!/bin/sh
# SPDX-License-Identifier: MIT
# Renders the SVG artwork into the PNGs that the build compiles in and installs.
# The PNGs are committed, so only a change of artwork needs this (ImageMagick's convert).
# ImageMagick's own SVG renderer blurs edges at 1:1, so every size is drawn at
# eight times its size and averaged down.
set -eu
cd "$(dirname "$0")"

render() { # source size output
  convert -background none -density $((96 * 8 * $2 / $(svgsize "$1"))) "$1" \
    -filter box -resize "$2x$2" +repage -define png:color-type=6 -depth 8 "$3"
}

svgsize() { # the width attribute of the drawing
  sed -n 's/.*<svg[^>]* width="\([0-9]*\)".*/\1/p' "$1"
}

for name in row run stop clear; do
  render "$name.svg" 16 "$name.png"
done
render norvane-16.svg 16 norvane-16.png
for size in 32 48 64 128 256; do
  render norvane.svg "$size" "norvane-$size.png"
done
mv norvane-256.png norvane.png
