#!/usr/bin/env bash
# VqConvertToJPEG of a 4000 x 3000 picture at full size against cjpeg
# compressing the same pixels (a PPM) with the same tables (-quality 50) and
# Huffman optimisation, both on one core, in alternating rounds: the median of
# the rounds for each benchmark, the best of five cjpeg runs per round, as
# wall and CPU (user + system) time. On a busy machine compare the CPU times.
#   bench/camera/jpeg_conversion_vs_cjpeg.sh [build dir] [rounds] [core]
set -euo pipefail
BUILD=${1:-build}
ROUNDS=${2:-5}
CORE=${3:-1}
PPM=${LUMORA_BENCH_PPM:-${TMPDIR:-/tmp}/lumora-bench-4000x3000.ppm}
OUT=$(mktemp "${TMPDIR:-/tmp}/lumora-cjpeg.XXXXXX")
trap 'rm -f "$OUT"' EXIT
export LUMORA_BENCH_PPM=$PPM

# shellcheck source=../best_of_five.sh
source "$(dirname "$0")/../best_of_five.sh"

rows=""
for round in $(seq "$ROUNDS"); do
  ours=$(taskset -c "$CORE" "$BUILD/bench/camera_bench" --benchmark_filter=JpegConversion --benchmark_min_time=1 \
         --benchmark_format=csv 2>/dev/null | grep '^"BM_')
  rendered=$(echo "$ours" | grep Rendered | cut -d, -f3,4)
  fromfile=$(echo "$ours" | grep FromFile | cut -d, -f3,4)
  read -r cw cc < <(best_of_five taskset -c "$CORE" cjpeg -quality 50 -optimize -outfile "$OUT" "$PPM")
  rows+="$round,$rendered,$fromfile,$cw,$cc"$'\n'
done
# Median of one column of the rounds.
median() { printf '%s' "$rows" | cut -d, -f"$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
awk -v n="$ROUNDS" -v rw="$(median 2)" -v rc="$(median 3)" -v fw="$(median 4)" -v fc="$(median 5)" \
    -v cw="$(median 6)" -v cc="$(median 7)" 'BEGIN {
  printf "%d rounds, medians              wall ms  ratio    CPU ms  ratio\n", n
  printf "cjpeg -quality 50 -optimize    %7.1f           %7.1f\n", cw, cc
  printf "conversion of the open image   %7.1f  %5.2f    %7.1f  %5.2f\n", rw, rw / cw, rc, rc / cc
  printf "conversion reading the file    %7.1f  %5.2f    %7.1f  %5.2f\n", fw, fw / cw, fc, fc / cc
}'
