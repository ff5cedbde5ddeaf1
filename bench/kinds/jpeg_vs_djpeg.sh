#!/usr/bin/env bash
# The finished JPEG render and thumbnail against djpeg with the fast
# transform on the same 24-Mpixel file, in one run: medians of three runs of
# the benchmarks, best of five runs of djpeg, both as wall and CPU time (on
# a busy machine the CPU times are the ones to compare).
#   bench/kinds/jpeg_vs_djpeg.sh [build dir]
set -euo pipefail
BUILD=${1:-build}
JPEG=${LUMORA_BENCH_JPEG:-${TMPDIR:-/tmp}/lumora-bench-24mp.jpg}
export LUMORA_BENCH_JPEG=$JPEG

ours=$("$BUILD/bench/kinds_bench" --benchmark_filter='BM_FinishedJpeg' --benchmark_min_time=2 --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null | grep '_median')
field() { echo "$ours" | grep "$1_median" | cut -d, -f"$2"; }

# Best wall and best CPU (user + system) of five runs, in milliseconds.
best() {
  local wall="" cpu=""
  for _ in 1 2 3 4 5; do
    local t0 t1 w c
    t0=$(date +%s%N)
    c=$( { TIMEFORMAT='%U %S'; time "$@" > /dev/null; } 2>&1 | awk '{ printf "%d", ($1 + $2) * 1000 }')
    t1=$(date +%s%N)
    w=$(( (t1 - t0) / 1000000 ))
    if [ -z "$wall" ] || [ "$w" -lt "$wall" ]; then wall=$w; fi
    if [ -z "$cpu" ] || [ "$c" -lt "$cpu" ]; then cpu=$c; fi
  done
  echo "$wall $cpu"
}
read -r fullWall fullCpu < <(best djpeg -dct fast -outfile /dev/null "$JPEG")
read -r eighthWall eighthCpu < <(best djpeg -dct fast -scale 1/8 -outfile /dev/null "$JPEG")
awk -v rw="$(field Render 3)" -v rc="$(field Render 4)" -v fw="$fullWall" -v fc="$fullCpu" \
    -v tw="$(field Thumbnail 3)" -v tc="$(field Thumbnail 4)" -v ew="$eighthWall" -v ec="$eighthCpu" 'BEGIN {
  printf "                     wall ms (djpeg)  ratio    CPU ms (djpeg)  ratio\n"
  printf "render 1/1          %7.1f (%5d)  %5.2f   %7.1f (%5d)  %5.2f\n", rw, fw, rw / fw, rc, fc, rc / fc
  printf "thumbnail from 1/8  %7.1f (%5d)  %5.2f   %7.1f (%5d)  %5.2f\n", tw, ew, tw / ew, tc, ec, tc / ec
}'
