#!/bin/sh
# Side-by-side whole-process comparison: one synthetic lossless-JPEG family-1
# file rendered to 16-bit RGB by vqclient, and the same sensor stream wrapped as
# a DNG for the peers that are installed (LibRaw's dcraw_emu with bilinear
# interpolation, rawtherapee-cli). Each round runs every program once, one core
# each; the best of the rounds is printed (wall s, CPU s, peak MB).
#
#   bench/compare_peers.sh BUILD_DIR [MPIXELS] [ROUNDS]
#
# CPU=N runs them on core N instead of core 0 (on a shared machine, pick one
# that nothing else is pinned to).
#
# Not part of the tests: the peers are optional and the timings depend on the
# machine's load.
set -eu
build=${1:?usage: compare_peers.sh BUILD_DIR [MPIXELS] [ROUNDS]}
mp=${2:-12}
rounds=${3:-3}
cpu=${CPU:-0}
bin=$build/bin
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 4:3 sensor of about MPIXELS million samples, even sides.
width=$(awk -v m="$mp" 'BEGIN { w = int(sqrt(m * 1e6 * 4 / 3)); print w - w % 16 }')
height=$((width * 3 / 4))
height=$((height - height % 16))

"$bin/zyrwrite" --sample "$tmp/image.zyr" --model ZYNM11 --version 1.0 --sensor "${width}x$height" --ljpeg >/dev/null
# The peers get the same scene, coded by the same encoder, as a DNG.
LUMORA_PROGRAM_DIR=$bin "$bin/vqclient" --render "$tmp/raw.pgm" --type 0 "$tmp/image.zyr" >/dev/null
tail -c $((width * height * 2)) "$tmp/raw.pgm" | python3 -c '
import sys
d = sys.stdin.buffer.read()
o = bytearray(len(d))
o[0::2] = d[1::2]; o[1::2] = d[0::2]  # the any-map is big-endian
sys.stdout.buffer.write(o)' >"$tmp/raw.u16"
"$bin/ljpegenc" -w "$width" -h "$height" -c 1 -p 12 -d "$tmp/raw.u16" "$tmp/image.dng"

# One run of a program: "wall CPU peakMB" into $tmp/NAME.best when better.
run() { # name command...
    name=$1
    shift
    /usr/bin/time -f "%e %U %S %M" -o "$tmp/time" taskset -c "$cpu" "$@" >/dev/null 2>&1 || {
        echo "$name: failed" >&2
        return
    }
    awk '{ printf "%.3f %.3f %.1f\n", $1, $2 + $3, $4 / 1024 }' "$tmp/time" >>"$tmp/$name.runs"
}

names=""
add() { names="$names $1"; }
add lumora
command -v dcraw_emu >/dev/null && add dcraw_emu_bilinear
command -v unprocessed_raw >/dev/null && add libraw_unpack
command -v rawtherapee-cli >/dev/null && add rawtherapee

# The programs take turns in every round, so a change of load hits them alike.
i=0
while [ $i -lt "$rounds" ]; do
    for name in $names; do
        case $name in
        lumora) run lumora env LUMORA_PROGRAM_DIR="$bin" "$bin/vqclient" --render "$tmp/out.ppm" --type 6 "$tmp/image.zyr" ;;
        dcraw_emu_bilinear) run "$name" dcraw_emu -4 -T -q 0 -Z "$tmp/out.tiff" "$tmp/image.dng" ;;
        libraw_unpack) run "$name" unprocessed_raw "$tmp/image.dng" ;;
        rawtherapee) run "$name" rawtherapee-cli -q -Y -t -b16 -o "$tmp/rt.tif" -c "$tmp/image.dng" ;;
        esac
    done
    i=$((i + 1))
done

echo "sensor ${width}x$height, core $cpu, best of $rounds rounds (wall s, CPU s, peak MB)"
for name in $names; do
    [ -f "$tmp/$name.runs" ] && echo "$name: $(sort -n "$tmp/$name.runs" | head -1)"
done
# Lumora's best wall time against each peer's, and its peak memory against the
# 16-bit RGB output it wrote.
if [ -f "$tmp/lumora.runs" ]; then
    best=$(sort -n "$tmp/lumora.runs" | head -1)
    for name in $names; do
        [ "$name" != lumora ] && [ -f "$tmp/$name.runs" ] &&
            echo "$best $(sort -n "$tmp/$name.runs" | head -1)" | awk -v n="$name" '{ printf "lumora / %s wall: %.2f\n", n, $1 / $4 }'
    done
    echo "$best" | awk -v out=$((width * height * 6)) '{ printf "lumora peak / output: %.2f (output %.1f MB)\n", $3 * 1048576 / out, out / 1048576 }'
fi
command -v rawtherapee-cli >/dev/null || echo "rawtherapee-cli: not installed"
