#!/bin/sh
# coreclient over stand-in raw files: each model code opens through its own
# driver, colour and monochrome files report their colour modes, renders are
# netpbm files of the turned size, and failures print their code. The
# program folder holds the build's libraries and its folder plug-in, which
# reads only its own extension.
# usage: coreclient_zyn.sh BUILD_DIR
set -u
bin="$1/bin"
dir=$(mktemp -d "${TMPDIR:-/tmp}/lumora-coreclient-XXXXXX")
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
mkdir "$dir/program"
for lib in "$bin"/*.so; do ln -s "$lib" "$dir/program/"; done
ln -s "$bin/PlugIns" "$dir/program/PlugIns"
export LUMORA_PROGRAM_DIR="$dir/program" LUMORA_SYSTEM_DIR="$1/share/lumora/system"

for pair in 1824:0 1825:0 1888:0 1889:0 16384:1 16385:1 2048:2 2049:2 2050:2; do
  model=${pair%:*}; driver=${pair#*:}
  "$bin/zprowrite" "$dir/$model.zyr" --model "$model" || fail "zprowrite $model"
  out=$("$bin/coreclient" open "$dir/$model.zyr") || fail "open $model: $out"
  echo "$out" | grep -q "\"kind\": \"pro\", .*\"driver\": $driver, \"modelCode\": $model," || fail "driver of $model: $out"
  echo "$out" | grep -q '"colorModes": \[2, 0, 1\]' || fail "colour modes of $model: $out"
done

# The folder plug-in reads its own extension; a file under another name
# still reaches the named drivers after the plug-ins (the factory's order).
"$bin/zprowrite" "$dir/plug.zpx" --model 16385 || fail "zprowrite zpx"
out=$("$bin/coreclient" open "$dir/plug.zpx") || fail "open zpx: $out"
echo "$out" | grep -q '"driver": 3, "modelCode": 16385,' || fail "folder plug-in: $out"
cp "$dir/2049.zyr" "$dir/renamed.dat"
out=$("$bin/coreclient" open "$dir/renamed.dat") || fail "open dat: $out"
echo "$out" | grep -q '"driver": 2, "modelCode": 2049,' || fail "trial order: $out"

"$bin/zprowrite" "$dir/mono.zyr" --model 2049 --mono --size 30x20
out=$("$bin/coreclient" open "$dir/mono.zyr") || fail "open mono: $out"
echo "$out" | grep -q '"colorModes": \[2, 1\]' || fail "colour modes of mono: $out"

"$bin/coreclient" render "$dir/mono.zyr" "$dir/mono.pgm" --depth 16 --rotate 90 || fail "render mono"
[ "$(head -c 15 "$dir/mono.pgm" | tr '\n' ' ')" = "P5 20 30 65535 " ] || fail "pgm header"
[ "$(wc -c < "$dir/mono.pgm")" -eq $((15 + 20 * 30 * 2)) ] || fail "pgm size"

"$bin/coreclient" render "$dir/2048.zyr" "$dir/crop.ppm" --crop 8,4,39,27 --rotate 270 || fail "render crop"
[ "$(head -c 13 "$dir/crop.ppm" | tr '\n' ' ')" = "P6 24 32 255 " ] || fail "ppm header"
[ "$(wc -c < "$dir/crop.ppm")" -eq $((13 + 24 * 32 * 3)) ] || fail "ppm size"

out=$("$bin/coreclient" render "$dir/2048.zyr" "$dir/bad.ppm" --crop 8,4,3,27)
[ $? -eq 1 ] && [ "$out" = '{"code": 1707}' ] || fail "inverted crop: $out"
out=$("$bin/coreclient" open "$dir/missing.zyr")
[ $? -eq 1 ] && [ "$out" = '{"code": 2000}' ] || fail "missing file: $out"
# The camera's white-balance file: the driver's bytes (attribute 1845) under
# a name the camera reads; an existing file is replaced, and kept whole when
# the new one cannot be written completely (a file-size limit on the child).
hex=$(i=0; while [ $i -lt 2048 ]; do printf '%02x' $(((i * 7 + 3) % 256)); i=$((i + 1)); done)
"$bin/zprowrite" "$dir/wb.zyr" --model 2048 --block "1845=$hex" || fail "zprowrite wb"
hexof() { od -An -v -tx1 "$1" | tr -d ' \n'; }
out=$("$bin/coreclient" wb "$dir/wb.zyr" "$dir/STUDIO.WB") || fail "wb: $out"
[ "$out" = '{"code": 0}' ] && [ "$(hexof "$dir/STUDIO.WB")" = "$hex" ] || fail "wb bytes: $out"
printf 'old balance' > "$dir/STUDIO.WB"
"$bin/coreclient" wb "$dir/wb.zyr" "$dir/STUDIO.WB" > /dev/null && [ "$(hexof "$dir/STUDIO.WB")" = "$hex" ] ||
  fail "wb over an existing file"
printf 'old balance' > "$dir/STUDIO.WB"
out=$(trap '' XFSZ; ulimit -f 1; "$bin/coreclient" wb "$dir/wb.zyr" "$dir/STUDIO.WB")
[ "$out" = '{"code": 1724}' ] || fail "wb past the size limit: $out"
[ "$(cat "$dir/STUDIO.WB")" = "old balance" ] || fail "the old white-balance file was lost"
[ -z "$(ls -A "$dir" | grep '^\.')" ] || fail "wb left a temporary file: $(ls -A "$dir")"
out=$("$bin/coreclient" wb "$dir/wb.zyr" "$dir/TOOLONGNAME.WB")
[ $? -eq 1 ] && [ "$out" = '{"code": 1818}' ] || fail "wb name: $out"
out=$("$bin/coreclient" wb "$dir/2048.zyr" "$dir/NONE.WB")
[ $? -eq 1 ] && [ "$out" = '{"code": 1724}' ] && [ ! -e "$dir/NONE.WB" ] || fail "wb without the attribute: $out"

# The tables a JPEG export asks for: the presets (the driver has no tables).
out=$("$bin/coreclient" quant "$dir/2048.zyr" --chroma 0 --quality 2) || fail "quant: $out"
echo "$out" | grep -q '^{"code": 0, "source": "presets", "quality": 50, "values": \[3, 3, 4, 5, 7, 9, 13, 17, .*, 232, 255\]}$' ||
  fail "quant luma: $out"
out=$("$bin/coreclient" quant "$dir/2048.zyr" --chroma 1 --quality 7) || fail "quant: $out"
echo "$out" | grep -q '"quality": 95, "values": \[17, 18, 24, 47, 99,' || fail "quant chroma of code 7: $out"

# A raw file of the older models opens through the camera interface and
# renders.
"$bin/zyrwrite" --sample "$dir/camera.zyr" --tag-word 0 --settings-data > /dev/null || fail "zyrwrite"
out=$("$bin/coreclient" open "$dir/camera.zyr") || fail "camera-interface raw file: $out"
echo "$out" | grep -q '"kind": "zyn", "fileType": 0, "native": \[0, 0, 59, 43\]' || fail "camera-interface raw file: $out"
"$bin/coreclient" render "$dir/camera.zyr" "$dir/camera.ppm" || fail "camera-interface render"
[ "$(head -c 13 "$dir/camera.ppm" | tr '\n' ' ')" = "P6 60 44 255 " ] || fail "camera-interface ppm header"
echo ok
