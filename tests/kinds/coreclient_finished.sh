#!/bin/sh
# coreclient over finished files that outside tools made: a cjpeg JPEG opens
# as the JPEG kind and renders to djpeg's pixels (the fast transform), its
# thumbnail (the main image decoded at 1/2) to djpeg -scale 1/2's; a TIFF of
# raw2tiff, tiffcp and exiftool renders to its stored samples, turned and as
# 16-bit; a file without its extension opens by trial; a file no kind reads
# answers 2000.
# usage: coreclient_finished.sh BUILD_DIR   (exit 77: a tool is missing)
set -u
bin="$1/bin"
for tool in cjpeg djpeg raw2tiff tiffcp exiftool cmp od; do
  command -v "$tool" > /dev/null 2>&1 || { echo "skip: $tool missing"; exit 77; }
done
dir=$(mktemp -d "${TMPDIR:-/tmp}/lumora-coreclient-finished-XXXXXX")
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A 200 x 150 picture of noise as cjpeg's input.
{ printf 'P6\n200 150\n255\n'; head -c 90000 /dev/urandom; } > "$dir/in.ppm"
cjpeg -quality 85 -outfile "$dir/j.jpg" "$dir/in.ppm" || fail cjpeg

out=$("$bin/coreclient" open "$dir/j.jpg") || fail "open jpeg: $out"
echo "$out" | grep -q '"kind": "jpeg", "fileType": 2,' || fail "kind of the JPEG: $out"
echo "$out" | grep -q '"native": \[0, 0, 199, 149\]' || fail "size of the JPEG: $out"
"$bin/coreclient" render "$dir/j.jpg" "$dir/j.ppm" || fail "render jpeg"
djpeg -dct fast -outfile "$dir/d.ppm" "$dir/j.jpg" || fail djpeg
cmp -s "$dir/j.ppm" "$dir/d.ppm" || fail "JPEG render differs from djpeg's"
"$bin/coreclient" render "$dir/j.jpg" "$dir/t.ppm" --thumbnail || fail "render thumbnail"
djpeg -dct fast -scale 1/2 -outfile "$dir/dt.ppm" "$dir/j.jpg" || fail "djpeg 1/2"
cmp -s "$dir/t.ppm" "$dir/dt.ppm" || fail "JPEG thumbnail differs from djpeg's at 1/2"

# A 6 x 4 RGB TIFF of 16-bit samples (little-endian input, big-endian file),
# a 2 x 2 thumbnail as IFD1, the maker's software text and an Exif directory.
printf '\001\002\003\004\005\006\007\010\011\012\013\014' > "$dir/t.raw"
printf '\000\020' > "$dir/one"
: > "$dir/m.raw"
i=0
while [ $i -lt 72 ]; do cat "$dir/one" >> "$dir/m.raw"; i=$((i + 1)); done
raw2tiff -w 6 -l 4 -b 3 -d short -p rgb -c none "$dir/m.raw" "$dir/m.tif" > /dev/null 2>&1 || fail raw2tiff
raw2tiff -w 2 -l 2 -b 3 -d byte -p rgb -c none "$dir/t.raw" "$dir/th.tif" > /dev/null 2>&1 || fail "raw2tiff thumbnail"
tiffcp -B -f msb2lsb -c none "$dir/m.tif" "$dir/th.tif" "$dir/f.tif" > /dev/null 2>&1 || fail tiffcp
exiftool -q -overwrite_original '-Software=ORVEX PROFESSIONAL ZYN Lumora' '-DateTimeOriginal=2024:01:02 03:04:05' \
  "$dir/f.tif" > /dev/null 2>&1 || fail exiftool
cp "$dir/f.tif" "$dir/f.data"

out=$("$bin/coreclient" open "$dir/f.tif") || fail "open tiff: $out"
echo "$out" | grep -q '"kind": "tiff", "fileType": 1,' || fail "kind of the TIFF: $out"
echo "$out" | grep -q '"bytesPerSample": 2' || fail "depth of the TIFF: $out"
out=$("$bin/coreclient" open "$dir/f.data") || fail "TIFF by trial: $out"
echo "$out" | grep -q '"kind": "tiff",' || fail "kind of the TIFF by trial: $out"
# Every sample is 0x1000: 16 bits keep it, 8 bits its high byte; turned, the
# picture is 4 x 6.
"$bin/coreclient" render "$dir/f.tif" "$dir/f16.ppm" --depth 16 --rotate 90 || fail "render tiff"
[ "$(head -c 13 "$dir/f16.ppm" | tr '\n' ' ')" = "P6 4 6 65535 " ] || fail "16-bit header"
[ "$(tail -c 144 "$dir/f16.ppm" | od -An -tx1 -v | tr -d ' \n' | sed 's/1000//g')" = "" ] || fail "16-bit samples"
"$bin/coreclient" render "$dir/f.tif" "$dir/f8.ppm" || fail "render tiff 8"
[ "$(tail -c 72 "$dir/f8.ppm" | od -An -tx1 -v | tr -d ' \n' | sed 's/10//g')" = "" ] || fail "8-bit samples"
"$bin/coreclient" render "$dir/f.tif" "$dir/ft.ppm" --thumbnail || fail "render tiff thumbnail"
[ "$(tail -c 12 "$dir/ft.ppm" | cmp -s - "$dir/t.raw"; echo $?)" = 0 ] || fail "TIFF thumbnail"
out=$("$bin/coreclient" open "$dir/in.ppm")
[ $? -eq 1 ] && [ "$out" = '{"code": 2000}' ] || fail "PPM: $out"
echo ok
