#!/usr/bin/env bash
# The finished images against their peers in one run:
#  - the 24-Mpixel JPEG render and its thumbnail from the main image at 1/8
#    against djpeg -dct fast (and -scale 1/8) on the same file: medians of
#    three runs of the benchmarks, best of five runs of djpeg, as wall and
#    CPU time (on a busy machine the CPU times are the ones to compare);
#  - the 24-Mpixel 16-bit TIFF rendered to 8-bit RGB against reading the
#    same file's bytes: medians of five runs of each benchmark, taken in
#    turn.
#   bench/kinds/finished_vs_peers.sh [build dir]
set -euo pipefail
BUILD=${1:-build}
JPEG=${LUMORA_BENCH_JPEG:-${TMPDIR:-/tmp}/lumora-bench-24mp.jpg}
export LUMORA_BENCH_JPEG=$JPEG

ours=$("$BUILD/bench/kinds_bench" --benchmark_filter='BM_FinishedJpeg|BM_FinishedTiffRender|BM_ReadTiffBytes' --benchmark_min_time=2 --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null | grep '_median')
field() { echo "$ours" | grep "$1_median" | cut -d, -f"$2"; }

# shellcheck source=../best_of_five.sh
source "$(dirname "$0")/../best_of_five.sh"
read -r fullWall fullCpu < <(best_of_five djpeg -dct fast -outfile /dev/null "$JPEG")
read -r eighthWall eighthCpu < <(best_of_five djpeg -dct fast -scale 1/8 -outfile /dev/null "$JPEG")
awk -v rw="$(field JpegRender 3)" -v rc="$(field JpegRender 4)" -v fw="$fullWall" -v fc="$fullCpu" \
    -v tw="$(field JpegThumbnail 3)" -v tc="$(field JpegThumbnail 4)" -v ew="$eighthWall" -v ec="$eighthCpu" 'BEGIN {
  printf "                     wall ms (djpeg)  ratio    CPU ms (djpeg)  ratio\n"
  printf "render 1/1          %7.1f (%5d)  %5.2f   %7.1f (%5d)  %5.2f\n", rw, fw, rw / fw, rc, fc, rc / fc
  printf "thumbnail from 1/8  %7.1f (%5d)  %5.2f   %7.1f (%5d)  %5.2f\n", tw, ew, tw / ew, tc, ec, tc / ec
}'
awk -v rw="$(field TiffRender 3)" -v rc="$(field TiffRender 4)" -v bw="$(field ReadTiffBytes 3)" \
    -v bc="$(field ReadTiffBytes 4)" 'BEGIN {
  printf "                     wall ms (read)   ratio    CPU ms (read)   ratio\n"
  printf "TIFF 16 -> 8 bit    %7.1f (%5.1f)  %5.2f   %7.1f (%5.1f)  %5.2f\n", rw, bw, rw / bw, rc, bc, rc / bc
}'
