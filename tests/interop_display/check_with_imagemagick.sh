#!/usr/bin/env bash
# ImageMagick reads every sample bitmap and TIFF file: sizes, and every pixel compared with the
# values the program meant to write.
set -eu
dir=$1
fail=0
check() {  # name extension width height format depth
  local name=$1 ext=$2 w=$3 h=$4 format=$5 depth=$6
  local size
  size=$(identify -format '%w %h' "$dir/$name.$ext")
  if [ "$size" != "$w $h" ]; then
    echo "$name.$ext: identify says $size, expected $w $h"; fail=1; return
  fi
  if ! convert "$dir/$name.$ext" -depth "$depth" -endian LSB "$format:-" | cmp -s - "$dir/$name.expected"; then
    echo "$name.$ext: pixels differ from $name.expected"; fail=1
  fi
}
check bmp_focus bmp 128 128 gray 8
check bmp_binned bmp 376 290 gray 8
check bmp_camera bmp 564 452 gray 8
check bmp_enlarged bmp 564 435 gray 8
check bmp_full bmp 752 580 gray 8
check bmp_false_colour bmp 376 290 rgb 8
check tiff_binned_16 tif 376 290 gray 16
check tiff_full_16 tif 752 580 gray 16
check tiff_binned_8 tif 376 290 gray 8
check tiff_full_8 tif 752 580 gray 8
exit $fail
