#!/bin/sh
# Side-by-side whole-process comparison: one synthetic lossless-JPEG family-1
# file rendered to 16-bit RGB by vqclient, with one worker and (given more than
# one core) with all of them, and the same sensor stream wrapped as a DNG for
# the peers that are installed (LibRaw's dcraw_emu with bilinear interpolation
# and with its default AHD, LibRaw's unpacking alone, rawtherapee-cli). Each
# round runs every program once, starting one further along the list than the
# round before, so a change of load hits them alike; the best of the rounds is
# printed (wall s, CPU s, peak MB).
#
#   bench/compare_peers.sh BUILD_DIR [MPIXELS] [ROUNDS]
#
# CPUS=LIST runs them on those cores (a taskset list such as 2-7); CPU=N is
# one core, core 0 unless set (on a shared machine, pick cores that nothing
# else is pinned to). Nothing is installed: peers that are missing are left
# out.
#
# Not part of the tests: the peers are optional and the timings depend on the
# machine's load.
set -eu
build=${1:?usage: compare_peers.sh BUILD_DIR [MPIXELS] [ROUNDS]}
mp=${2:-12}
rounds=${3:-3}
cpus=${CPUS:-${CPU:-0}}
cores=$(taskset -c "$cpus" nproc)
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
    /usr/bin/time -f "%e %U %S %M" -o "$tmp/time" taskset -c "$cpus" "$@" >/dev/null 2>&1 || {
        echo "$name: failed" >&2
        return
    }
    awk '{ printf "%.3f %.3f %.1f\n", $1, $2 + $3, $4 / 1024 }' "$tmp/time" >>"$tmp/$name.runs"
}

names=""
add() { names="$names $1"; }
add lumora_1
[ "$cores" -gt 1 ] && add lumora_all
command -v dcraw_emu >/dev/null && add dcraw_emu_bilinear && add dcraw_emu_ahd
command -v unprocessed_raw >/dev/null && add libraw_unpack
command -v rawtherapee-cli >/dev/null && add rawtherapee
count=$(echo $names | wc -w)

i=0
while [ $i -lt "$rounds" ]; do
    # This round's order: the list turned by the round's number.
    order=$(echo $names | tr ' ' '\n' | awk -v n="$count" -v r="$i" '{ a[NR - 1] = $0 } END { for (k = 0; k < n; k++) print a[(k + r) % n] }')
    for name in $order; do
        case $name in
        lumora_1) run "$name" env LUMORA_CPU_COUNT=1 LUMORA_PROGRAM_DIR="$bin" "$bin/vqclient" --render "$tmp/out1.ppm" --type 6 "$tmp/image.zyr" ;;
        lumora_all) run "$name" env -u LUMORA_CPU_COUNT LUMORA_PROGRAM_DIR="$bin" "$bin/vqclient" --render "$tmp/out.ppm" --type 6 "$tmp/image.zyr" ;;
        dcraw_emu_bilinear) run "$name" dcraw_emu -4 -T -q 0 -Z "$tmp/out.tiff" "$tmp/image.dng" ;;
        dcraw_emu_ahd) run "$name" dcraw_emu -4 -T -Z "$tmp/ahd.tiff" "$tmp/image.dng" ;;
        libraw_unpack) run "$name" unprocessed_raw "$tmp/image.dng" ;;
        rawtherapee) run "$name" rawtherapee-cli -q -Y -t -b16 -o "$tmp/rt.tif" -c "$tmp/image.dng" ;;
        esac
    done
    i=$((i + 1))
done

echo "sensor ${width}x$height, cores $cpus ($cores), best of $rounds rounds (wall s, CPU s, peak MB)"
for name in $names; do
    [ -f "$tmp/$name.runs" ] && echo "$name: $(sort -n "$tmp/$name.runs" | head -1)"
done
# The two Lumora renders give the same bytes.
[ -f "$tmp/out1.ppm" ] && [ -f "$tmp/out.ppm" ] && { cmp -s "$tmp/out1.ppm" "$tmp/out.ppm" && echo "lumora_1 and lumora_all: same bytes" || echo "lumora_1 and lumora_all: DIFFERENT bytes"; }
# Lumora's best wall time against each peer's, and its peak memory against the
# 16-bit RGB output it wrote.
for lumora in lumora_1 lumora_all; do
    [ -f "$tmp/$lumora.runs" ] || continue
    best=$(sort -n "$tmp/$lumora.runs" | head -1)
    for name in $names; do
        case $name in lumora*) continue ;; esac
        [ -f "$tmp/$name.runs" ] &&
            echo "$best $(sort -n "$tmp/$name.runs" | head -1)" | awk -v l="$lumora" -v n="$name" '{ printf "%s / %s wall: %.2f\n", l, n, $1 / $4 }'
    done
    echo "$best" | awk -v l="$lumora" -v out=$((width * height * 6)) '{ printf "%s peak / output: %.2f (output %.1f MB)\n", l, $3 * 1048576 / out, out / 1048576 }'
done
command -v rawtherapee-cli >/dev/null || echo "rawtherapee-cli: not installed"
