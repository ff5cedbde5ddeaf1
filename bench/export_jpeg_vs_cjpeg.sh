#!/bin/sh
# The JPEG export (BM_ExportJpeg: 4000 x 3000 8-bit RGB from the in-memory
# kind, quality code 0, both thumbnails and every header segment) against
# cjpeg compressing the same rendered pixels from a PPM with the same tables
# (T1 and the chrominance table at quality 95, baseline). The two take turns
# in every round, in one folder on one disk; the best wall time of ROUNDS
# rounds is printed for each, and their ratio.
#
#   bench/export_jpeg_vs_cjpeg.sh BUILD_DIR [ROUNDS] [FOLDER]
#
# Not part of the tests: the timings depend on the machine's load.
set -eu
build=${1:?usage: export_jpeg_vs_cjpeg.sh BUILD_DIR [ROUNDS] [FOLDER]}
rounds=${2:-5}
tmp=$(mktemp -d "${3:-${TMPDIR:-/tmp}}/lumora-jpeg-bench.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
bench=$build/bench/color_bench

# The tables of quality code 0, as cjpeg reads them: T1, then the
# chrominance table of the JPEG standard's Annex K.
cat >"$tmp/tables.txt" <<'TABLES'
3 3 3 3 3 4 4 5
3 3 3 3 4 4 5 5
3 3 4 4 4 5 5 6
3 4 4 5 5 6 7 8
4 4 5 5 6 8 9 10
5 5 6 6 8 9 10 12
6 6 7 8 9 10 12 14
8 8 8 9 10 12 13 16
17 18 24 47 99 99 99 99
18 21 26 66 99 99 99 99
24 26 56 99 99 99 99 99
47 66 99 99 99 99 99 99
99 99 99 99 99 99 99 99
99 99 99 99 99 99 99 99
99 99 99 99 99 99 99 99
99 99 99 99 99 99 99 99
TABLES

# One export writes the pixels it renders.
TMPDIR=$tmp LUMORA_BENCH_PPM=$tmp/pixels.ppm "$bench" --benchmark_filter='^BM_ExportJpeg' \
    --benchmark_min_time=0 >/dev/null 2>&1
[ -s "$tmp/pixels.ppm" ] || { echo "no pixels written" >&2; exit 1; }

ms() { # command...: wall milliseconds of one run
    start=$(date +%s%N)
    "$@"
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
best_cjpeg=""
best_export=""
for _ in $(seq "$rounds"); do
    t=$(ms cjpeg -baseline -quality 95 -qtables "$tmp/tables.txt" -qslots 0,1 -outfile "$tmp/peer.jpg" "$tmp/pixels.ppm")
    rm -f "$tmp/peer.jpg"
    [ -z "$best_cjpeg" ] || [ "$t" -lt "$best_cjpeg" ] && best_cjpeg=$t
    t=$(TMPDIR=$tmp "$bench" --benchmark_filter='^BM_ExportJpeg' --benchmark_min_time=0 2>/dev/null |
        awk '/^BM_ExportJpeg/ { printf "%d", $2 }')
    [ -z "$best_export" ] || [ "$t" -lt "$best_export" ] && best_export=$t
done
echo "cjpeg -baseline -quality 95 -qtables T1+chroma -qslots 0,1 (4000x3000 PPM): ${best_cjpeg} ms"
echo "BM_ExportJpeg (4000x3000, quality code 0, all segments): ${best_export} ms"
awk -v a="$best_export" -v b="$best_cjpeg" 'BEGIN { printf "ratio export / cjpeg: %.2f\n", a / b }'
