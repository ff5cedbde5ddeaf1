#!/usr/bin/env bash
# The finished JPEG render and thumbnail against djpeg with the fast
# transform on the same 24-Mpixel file, in one run.
#   bench/kinds/jpeg_vs_djpeg.sh [build dir]
set -euo pipefail
BUILD=${1:-build}
JPEG=${LUMORA_BENCH_JPEG:-${TMPDIR:-/tmp}/lumora-bench-24mp.jpg}
export LUMORA_BENCH_JPEG=$JPEG

ours=$("$BUILD/bench/kinds_bench" --benchmark_filter='BM_FinishedJpeg' --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null | grep '_median' )
render=$(echo "$ours" | grep 'Render_median' | cut -d, -f3)
thumb=$(echo "$ours" | grep 'Thumbnail_median' | cut -d, -f3)

# Best of five wall times of djpeg, in milliseconds.
best() {
  local b=""
  for _ in 1 2 3 4 5; do
    local t0 t1
    t0=$(date +%s%N); "$@" > /dev/null; t1=$(date +%s%N)
    local ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$b" ] || [ "$ms" -lt "$b" ]; then b=$ms; fi
  done
  echo "$b"
}
full=$(best djpeg -dct fast -outfile /dev/null "$JPEG")
eighth=$(best djpeg -dct fast -scale 1/8 -outfile /dev/null "$JPEG")
awk -v r="$render" -v f="$full" -v t="$thumb" -v e="$eighth" 'BEGIN {
  printf "render    %8.1f ms  djpeg -dct fast            %6d ms  ratio %.2f\n", r, f, r / f
  printf "thumbnail %8.1f ms  djpeg -dct fast -scale 1/8 %6d ms  ratio %.2f\n", t, e, t / e
}'
