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
# A raw file of the older models opens through the camera interface and
# renders.
"$bin/zyrwrite" --sample "$dir/camera.zyr" --tag-word 0 --settings-data > /dev/null || fail "zyrwrite"
out=$("$bin/coreclient" open "$dir/camera.zyr") || fail "camera-interface raw file: $out"
echo "$out" | grep -q '"kind": "zyn", "fileType": 0, "native": \[0, 0, 59, 43\]' || fail "camera-interface raw file: $out"
"$bin/coreclient" render "$dir/camera.zyr" "$dir/camera.ppm" || fail "camera-interface render"
[ "$(head -c 13 "$dir/camera.ppm" | tr '\n' ' ')" = "P6 60 44 255 " ] || fail "camera-interface ppm header"
echo ok
