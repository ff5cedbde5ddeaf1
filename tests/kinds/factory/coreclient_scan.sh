#!/bin/sh
# coreclient scan over folders of raw files with sounds and finished JPEG
# files: the report order, the sounds of each image in the order they were
# attached, and a scan of 500 files that completes with no more than 100
# descriptors open.
# usage: coreclient_scan.sh BUILD_DIR
set -u
bin="$1/bin"
dir=$(mktemp -d "${TMPDIR:-/tmp}/lumora-scan-XXXXXX")
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
sound() { printf 'RIFF....WAVE' > "$1"; }
jpeg() {
  printf 'P6\n64 48\n255\n' > "$dir/p.ppm"
  head -c 9216 /dev/urandom >> "$dir/p.ppm"
  cjpeg "$dir/p.ppm" > "$1" || fail "cjpeg $1"
}

# Raw files A and B and A's sound, which sorts after A: A is reported once B
# has opened, with its sound. IMG_0003's capital WAV sorts before it and is
# placed by the offer after the walk; its "wave" counts as a sound too.
mkdir "$dir/raw"
for n in 1 2 3; do "$bin/zprowrite" "$dir/raw/IMG_000$n.ZYR" --model 2048 || fail "zprowrite $n"; done
sound "$dir/raw/IMG_0001.wav"
sound "$dir/raw/IMG_0003.WAV"
sound "$dir/raw/IMG_0003.wave"
out=$("$bin/coreclient" scan "$dir/raw") || fail "scan raw: $out"
expected='{"name": "IMG_0001.ZYR", "sounds": ["IMG_0001.wav"]}
{"name": "IMG_0002.ZYR", "sounds": []}
{"name": "IMG_0003.ZYR", "sounds": ["IMG_0003.wave", "IMG_0003.WAV"]}'
[ "$out" = "$expected" ] || fail "raw folder: $out"

# A finished image takes any sound offered; a name without a dot is never
# offered as one.
mkdir "$dir/jpeg"
jpeg "$dir/jpeg/A.JPG"
sound "$dir/jpeg/B.wave"
sound "$dir/jpeg/Cwav"
out=$("$bin/coreclient" scan "$dir/jpeg") || fail "scan jpeg: $out"
[ "$out" = '{"name": "A.JPG", "sounds": ["B.wave"]}' ] || fail "jpeg folder: $out"

out=$("$bin/coreclient" scan "$dir/missing")
[ $? -eq 1 ] && [ "$out" = '{"code": 1000}' ] || fail "missing folder: $out"

# 250 finished JPEG and 250 stand-in raw files under a limit of 100 open
# descriptors: the pool keeps at most 50 images open.
mkdir "$dir/many"
jpeg "$dir/one.jpg"
i=0
while [ $i -lt 250 ]; do
  n=$(printf '%04d' $i)
  cp "$dir/one.jpg" "$dir/many/J$n.JPG"
  i=$((i + 1))
done
"$bin/zprowrite" "$dir/one.zyr" --model 2049 --size 16x12 || fail "zprowrite"
i=0
while [ $i -lt 250 ]; do
  n=$(printf '%04d' $i)
  cp "$dir/one.zyr" "$dir/many/R$n.ZYR"
  i=$((i + 1))
done
out=$(ulimit -n 100 && "$bin/coreclient" scan "$dir/many") || fail "scan of 500 under 100 descriptors: $(echo "$out" | tail -1)"
[ "$(echo "$out" | grep -c '"name"')" -eq 500 ] || fail "500 images: $(echo "$out" | grep -c '"name"')"
echo ok
