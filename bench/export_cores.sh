#!/bin/sh
# Raw files exported by coreclient to 16-bit TIFF and to JPEG, one after
# another, with one worker and with all the workers of the cores given; the
# rounds alternate which goes first. Prints the best total wall time of each
# over the rounds and checks that both give the same bytes.
#
#   bench/export_cores.sh BUILD_DIR [FILES] [ROUNDS] [WxH]
#
# CPUS=LIST runs them on those cores (a taskset list such as 2-7, default all).
# Not part of the tests: the timings depend on the machine's load.
set -eu
build=${1:?usage: export_cores.sh BUILD_DIR [FILES] [ROUNDS] [WxH]}
files=${2:-5}
rounds=${3:-3}
size=${4:-4000x3000}
cpus=${CPUS:-$(taskset -pc $$ | sed 's/.*: //')}
bin=$build/bin
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export LUMORA_PROGRAM_DIR="$bin" LUMORA_SYSTEM_DIR="$build/share/lumora/system"

i=0
while [ $i -lt "$files" ]; do
    "$bin/zyrwrite" --sample "$tmp/in$i.zyr" --tag-word 1 --settings-data --sensor "$size" --ljpeg >/dev/null
    i=$((i + 1))
done

# One batch: every file to TIFF, then every file to JPEG; wall ms into NAME.runs.
batch() { # name [workers]: without a count, the processors of the cores given
    name=$1
    count=${2:-}
    mkdir -p "$tmp/$name"
    start=$(date +%s%N)
    i=0
    while [ $i -lt "$files" ]; do
        for kind in tiff jpeg; do
            ext=tif
            [ $kind = jpeg ] && ext=jpg
            if [ -n "$count" ]; then
                out=$(LUMORA_CPU_COUNT=$count taskset -c "$cpus" "$bin/coreclient" export "$tmp/in$i.zyr" "$tmp/$name/out$i.$ext" --$kind)
            else
                out=$(env -u LUMORA_CPU_COUNT taskset -c "$cpus" "$bin/coreclient" export "$tmp/in$i.zyr" "$tmp/$name/out$i.$ext" --$kind)
            fi
            [ "$out" = '{"code": 0}' ] || { echo "$name: export $i to $kind: $out" >&2; exit 1; }
        done
        i=$((i + 1))
    done
    end=$(date +%s%N)
    echo $(((end - start) / 1000000)) >>"$tmp/$name.runs"
}

r=0
while [ $r -lt "$rounds" ]; do
    if [ $((r % 2)) -eq 0 ]; then
        batch one 1
        batch all
    else
        batch all
        batch one 1
    fi
    r=$((r + 1))
done

one=$(sort -n "$tmp/one.runs" | head -1)
all=$(sort -n "$tmp/all.runs" | head -1)
echo "$files raw files of $size to 16-bit TIFF and to JPEG, cores $cpus ($(taskset -c "$cpus" nproc)), best of $rounds rounds"
echo "one worker: $one ms, all workers: $all ms" | awk -v a="$one" -v b="$all" '{ printf "%s (%.2fx)\n", $0, a / b }'
same=yes
for f in "$tmp"/one/*; do cmp -s "$f" "$tmp/all/$(basename "$f")" || same=no; done
echo "same bytes: $same"
