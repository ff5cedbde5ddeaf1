#!/bin/sh
# The TIFF export against tiffcp -c none copying a TIFF with the same
# 72,000,000 pixel bytes (4000 x 3000, 16-bit RGB) and a plain copy of those
# bytes with cp, in one run and in one folder on one disk. Each round runs the
# three in turn, so a change in the machine's load touches all of them; the
# best wall time of ROUNDS rounds is printed for each, with the export's
# ratios to the two peers.
#
#   bench/export_vs_tiffcp.sh BUILD_DIR [ROUNDS] [FOLDER]
#
# The export's time is color_bench's mean over repeated exports in one
# process with one export array, as a batch export runs; color_bench's
# BM_PlainWrite72MB is the same bytes written by one fwrite loop. Not part of
# the tests: the timings depend on the machine's load.
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
min() { [ -z "$1" ] || [ "$2" -lt "$1" ] && echo "$2" || echo "$1"; }
tiffcp_best=""
plain_best=""
for _ in $(seq "$rounds"); do
    tiffcp_best=$(min "$tiffcp_best" "$(ms tiffcp -c none "$tmp/in.tif" "$tmp/out.tif")")
    rm -f "$tmp/out.tif"
    plain_best=$(min "$plain_best" "$(ms cp "$tmp/pixels.raw" "$tmp/copy.raw")")
    rm -f "$tmp/copy.raw"
    TMPDIR=$tmp "$build/bench/color_bench" --benchmark_min_time=1 \
        --benchmark_filter='BM_ExportTiff|BM_PlainWrite' 2>/dev/null | awk '/^BM_/ { print $1, $2 }' >>"$tmp/bench.txt"
done
echo "tiffcp -c none (72,000,000 pixel bytes): ${tiffcp_best} ms"
echo "cp of the 72,000,000 bytes: ${plain_best} ms"
awk -v tiffcp="$tiffcp_best" -v plain="$plain_best" '
    { if (!($1 in best) || $2 < best[$1]) best[$1] = $2 }
    END {
        for (n in best) printf "%s: %.1f ms\n", n, best[n]
        e = best["BM_ExportTiff16/real_time"]
        if (e > 0) printf "BM_ExportTiff16 / tiffcp = %.2f, / cp = %.2f, / BM_PlainWrite72MB = %.2f\n",
                          e / tiffcp, e / plain, e / best["BM_PlainWrite72MB/real_time"]
    }' "$tmp/bench.txt"
