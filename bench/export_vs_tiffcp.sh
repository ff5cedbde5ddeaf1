#!/bin/sh
# The TIFF export against tiffcp -c none copying a TIFF with the same
# 72,000,000 pixel bytes (4000 x 3000, 16-bit RGB) and a plain write of those
# bytes, in one run and in one folder on one disk. Prints the best wall time
# in milliseconds of ROUNDS rounds for each.
#
#   bench/export_vs_tiffcp.sh BUILD_DIR [ROUNDS] [FOLDER]
#
# Not part of the tests: the timings depend on the machine's load.
set -eu
build=${1:?usage: export_vs_tiffcp.sh BUILD_DIR [ROUNDS] [FOLDER]}
rounds=${2:-5}
tmp=$(mktemp -d "${3:-${TMPDIR:-/tmp}}/lumora-export-bench.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

head -c 72000000 /dev/urandom >"$tmp/pixels.raw"
raw2tiff -w 4000 -l 3000 -b 3 -d short -p rgb -c none -r 3000 "$tmp/pixels.raw" "$tmp/in.tif"

ms() { # command...: wall milliseconds of one run
    start=$(date +%s%N)
    "$@"
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
best_tiffcp=""
best_plain=""
for _ in $(seq "$rounds"); do
    t=$(ms tiffcp -c none "$tmp/in.tif" "$tmp/out.tif")
    rm -f "$tmp/out.tif"
    [ -z "$best_tiffcp" ] || [ "$t" -lt "$best_tiffcp" ] && best_tiffcp=$t
    t=$(ms cp "$tmp/pixels.raw" "$tmp/copy.raw")
    rm -f "$tmp/copy.raw"
    [ -z "$best_plain" ] || [ "$t" -lt "$best_plain" ] && best_plain=$t
done
echo "tiffcp -c none (72,000,000 pixel bytes): ${best_tiffcp} ms"
echo "plain copy of the 72,000,000 bytes: ${best_plain} ms"
TMPDIR=$tmp "$build/bench/color_bench" --benchmark_repetitions="$rounds" \
    --benchmark_report_aggregates_only=false --benchmark_filter='BM_ExportTiff|BM_PlainWrite' 2>/dev/null |
    awk '/^BM_/ && !/_mean|_median|_stddev|_cv/ { n = $1; v = $2; if (!(n in best) || v < best[n]) best[n] = v }
         END { for (n in best) printf "%s: %d ms\n", n, best[n] }'
