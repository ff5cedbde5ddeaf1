#!/usr/bin/env bash
# Kestra's resampling against vips and ImageMagick on one 4000 x 3000 16-bit
# RGB picture, all on one thread, in one run:
#   Kestra   BM_Reduce2_* and BM_Enlarge3_* of kestra_bench (strip by strip,
#            256 destination rows), best of the repetitions
#   vips     reduce 2 2 and resize 3 (VIPS_CONCURRENCY=1), .v files in and out
#   IM       -resize 50% over raw 16-bit RGB (one thread)
# Each peer's time is its best of ROUNDS runs less the best time of the same
# program copying the picture through the same files, so that file input and
# output are taken off; the files lie in memory (/dev/shm when there is one).
# Programs that are not installed are skipped.
#   bench/kestra/scale_vs_peers.sh [build dir] [rounds]
set -euo pipefail
BUILD=${1:-build}
ROUNDS=${2:-5}
W=4000
H=3000
SHM=/dev/shm
[ -d "$SHM" ] && [ -w "$SHM" ] || SHM=${TMPDIR:-/tmp}
DIR=$(mktemp -d "$SHM/lumora-scale-XXXXXX")
trap 'rm -rf "$DIR"' EXIT

best_ms() { # best wall time in ms of ROUNDS runs of a command
  local best=""
  for _ in $(seq "$ROUNDS"); do
    local t0 t1 ms
    t0=$(date +%s%N)
    "$@" > /dev/null 2>&1
    t1=$(date +%s%N)
    ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

# Random samples: no peer gains from flat areas.
head -c $((W * H * 6)) /dev/urandom > "$DIR/in.rgb"

echo "Kestra (kestra_bench, real time per picture, best of 3):"
"$BUILD/bench/kestra_bench" --benchmark_filter='Reduce2|Enlarge3' --benchmark_repetitions=3 \
  --benchmark_min_time=1 --benchmark_format=csv 2>/dev/null |
  awk -F, 'NR > 1 && $1 !~ /_(mean|median|stddev|cv)"?$/ {
    name = $1; gsub(/"/, "", name); sub(/\/.*/, "", name)
    ms = $3
    if (!(name in best) || ms < best[name]) best[name] = ms
  } END {
    for (n in best) {
      pixels = (n ~ /Reduce2/) ? 4000 * 3000 : 12000 * 9000
      printf "  %-24s %8.1f ms  %7.1f Mpixel/s\n", n, best[n], pixels / best[n] / 1000
    }
  }' | sort

if command -v vips > /dev/null; then
  export VIPS_CONCURRENCY=1
  vips rawload "$DIR/in.rgb" "$DIR/in.v" $W $H 3 --format ushort --interpretation rgb16
  copy=$(best_ms vips copy "$DIR/in.v" "$DIR/copy.v")
  reduce=$(best_ms vips reduce "$DIR/in.v" "$DIR/half.v" 2 2)
  resize=$(best_ms vips resize "$DIR/in.v" "$DIR/triple.v" 3)
  echo "vips (VIPS_CONCURRENCY=1, best of $ROUNDS, ms):"
  printf "  copy in/out %d; reduce 2 2: %d, less copy %d\n" "$copy" "$reduce" $((reduce - copy))
  # Writing the 648 MB result stays in: no copy of that size is cheap to
  # take off (a plain .v copy of it maps the whole file).
  printf "  resize 3: %d, less copy %d (writing the 12000 x 9000 result included)\n" "$resize" $((resize - copy))
fi

IM=$(command -v convert-im6.q16 || true)
if [ -n "$IM" ]; then
  raw="-size ${W}x${H} -depth 16 rgb:$DIR/in.rgb"
  # shellcheck disable=SC2086
  copy=$(best_ms "$IM" -limit thread 1 $raw "rgb:$DIR/copy.rgb")
  # shellcheck disable=SC2086
  half=$(best_ms "$IM" -limit thread 1 $raw -resize 50% "rgb:$DIR/half.rgb")
  echo "ImageMagick ($IM, one thread, best of $ROUNDS, ms):"
  printf "  copy in/out %d; -resize 50%%: %d, less copy %d\n" "$copy" "$half" $((half - copy))
fi
