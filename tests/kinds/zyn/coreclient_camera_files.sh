#!/bin/sh
# coreclient over the files the camera interface reads: what each kind of
# file reports, renders equal to vqclient's rendering of the same file, type,
# scale and rotation, thumbnails, parameter sets, and the oldest models'
# files, which open only when forced. The program folder leaves the sharpen
# library out, so that renders are the interface's pixels as they come.
# usage: coreclient_camera_files.sh BUILD_DIR
set -u
bin="$1/bin"
dir=$(mktemp -d "${TMPDIR:-/tmp}/lumora-camerafiles-XXXXXX")
trap 'rm -rf "$dir"' EXIT
fail() { printf 'FAIL: %s\n' "$*"; exit 1; }
mkdir "$dir/program"
for lib in "$bin"/*.so; do
  case "$lib" in */VrelSharpenLib.so) ;; *) ln -s "$lib" "$dir/program/" ;; esac
done
export LUMORA_PROGRAM_DIR="$dir/program" LUMORA_SYSTEM_DIR="$1/share/lumora/system" TZ=UTC
cc="$bin/coreclient"

write() { "$bin/zyrwrite" --sample "$dir/$1" --tag-word 1 --settings-data $2 > /dev/null || fail "zyrwrite $1"; }
write f1.zyr "--sensor 132x100"
write f1l.zyr "--sensor 132x100 --ljpeg"
write f3.zyr "--sensor 132x100 --model ZYNM16"
write f3l.zyr "--sensor 132x100 --model ZYNM16 --ljpeg"
write mono.zyr "--sensor 132x100 --mono"
write jpeg.zyr "--camera-jpeg"
write tiff.zyr "--rgb-tiff"
"$bin/zyrwrite" --sample "$dir/old.zyr" --oldest > /dev/null || fail "zyrwrite old.zyr"

# What each file reports: kind, file type, colour modes, file kind and the
# sizes the interface gives.
check_open() {
  out=$("$cc" open "$dir/$1" --kind zyn) || fail "open $1: $out"
  for want in "$2" "$3"; do
    printf '%s\n' "$out" | grep -q "$want" || fail "$1: no $want in $out"
  done
}
check_open f1.zyr '"fileType": 0, "native": \[0, 0, 127, 95\]' '"colorModes": \[0, 2, 1\], .*"fileKind": 0, "capabilities": "0x1bf8"'
check_open f3l.zyr '"fileType": 0, "native": \[0, 0, 127, 95\]' '"resolutions": {"1": \[0, 0, 127, 95\], "2": \[0, 0, 63, 47\]}'
check_open mono.zyr '"colorModes": \[2, 1\]' '"dateString": "2024:05:17:10:30:00"'
check_open jpeg.zyr '"fileType": 2, ' '"colorModes": \[0, 2\], .*"fileKind": 1,'
check_open tiff.zyr '"fileType": 1, ' '"colorModes": \[0, 2\], .*"fileKind": 3,'
out=$("$cc" open "$dir/old.zyr")
[ $? -eq 1 ] && [ "$out" = '{"code": 2000}' ] || fail "the oldest models open only when forced: $out"
out=$("$cc" open "$dir/f1.zyr" --kind pro)
[ $? -eq 1 ] && [ "$out" = '{"code": 1701}' ] || fail "the model drivers' own refusal: $out"

# The capture date reaches an exported file in the Exif form, as exiftool
# reads it.
if command -v exiftool > /dev/null; then
  "$cc" export "$dir/f1.zyr" "$dir/f1.tif" --tiff > /dev/null || fail "export f1.zyr"
  out=$(exiftool -s3 -DateTimeOriginal "$dir/f1.tif")
  [ "$out" = "2024:05:17 10:30:00" ] || fail "exported capture date: $out"
fi

# Renders in 16-bit RGB (gray for the gray file), into the source space:
# byte for byte what vqclient renders. At half size the core asks for the
# image in one strip, at full size turned by a quarter in strips of columns.
for file in f1.zyr f1l.zyr f3.zyr f3l.zyr mono.zyr; do
  ext=ppm; type=6
  [ "$file" = mono.zyr ] && ext=pgm && type=3
  for case in "2 0" "2 90" "2 180" "2 270" "1 90" "1 270"; do
    set -- $case
    "$cc" render "$dir/$file" "$dir/c.$ext" --depth 16 --scale "$1" --rotate "$2" --kind zyn || fail "render $file $case"
    "$bin/vqclient" --render "$dir/v.$ext" --type $type --subsample "$1" --rotate "$2" "$dir/$file" > /dev/null \
      || fail "vqclient $file $case"
    cmp -s "$dir/c.$ext" "$dir/v.$ext" || fail "$file at scale $1 turned $2 differs from vqclient"
  done
done

# A crop, turned; a thumbnail (the interface's thumbnail rectangle); 8 bits.
"$cc" render "$dir/f1.zyr" "$dir/crop.ppm" --crop 8,4,39,27 --rotate 270 || fail "render crop"
[ "$(head -c 13 "$dir/crop.ppm" | tr '\n' ' ')" = "P6 24 32 255 " ] || fail "crop header"
"$cc" render "$dir/jpeg.zyr" "$dir/thumb.ppm" --thumbnail || fail "thumbnail"
[ "$(head -c 13 "$dir/thumb.ppm" | tr '\n' ' ')" = "P6 16 12 255 " ] || fail "thumbnail header"

# The parameter sets: the image's own validates; a file that measured no
# balance cannot make the automatic set.
out=$("$cc" params "$dir/f1.zyr" --kind zyn) || fail "params: $out"
printf '%s\n' "$out" | grep -q '"current": {"validation": [0-9]*, "balanceType": ' || fail "params current: $out"
printf '%s\n' "$out" | grep -q '"custom": {"validation": [0-9]*, "balanceType": 4, ' || fail "params custom: $out"
printf '%s\n' "$out" | grep -q '"automatic": {"code": 1710}' || fail "params automatic: $out"
out=$("$cc" params "$dir/mono.zyr") || fail "params mono: $out"
printf '%s\n' "$out" | grep -q '"current": {"validation": 0, "balanceType": 7, "lighting": 6, "fallbackLighting": 6,' \
  || fail "params mono: $out"
echo ok
