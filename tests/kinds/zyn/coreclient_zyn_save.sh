#!/bin/sh
# coreclient saving the older raw files and converting them through the
# camera interface: metadata a new process and exiftool read back, the files
# that refuse, JPEG files djpeg and exiftool read, conversions and
# white-balance files that fail part-way (a file-size limit on the child)
# leaving nothing behind and an older file whole, and the tables of a JPEG
# export.
# usage: coreclient_zyn_save.sh BUILD_DIR
set -u
bin="$1/bin"
dir=$(mktemp -d "${TMPDIR:-/tmp}/lumora-zynsave-XXXXXX")
trap 'chmod -R u+w "$dir"; rm -rf "$dir"' EXIT
fail() { printf 'FAIL: %s\n' "$*"; exit 1; }
export LUMORA_SYSTEM_DIR="$1/share/lumora/system" TZ=UTC
cc="$bin/coreclient"
have() { command -v "$1" > /dev/null 2>&1; }
files() { ls -A "$dir/out"; }

write() { "$bin/zyrwrite" --sample "$dir/$1" --tag-word 1 --settings-data $2 > /dev/null || fail "zyrwrite $1"; }
write raw.zyr "--sensor 132x100 --iptc"
write big.zyr "--sensor 1200x900"
write tiff.zyr "--rgb-tiff"
write v3.zyr "--sensor 132x100 --version 3.0 --camera-preset 4"
mkdir "$dir/out"
# A record file: the version dataset and a caption.
printf '\034\002\000\000\002\000\002\034\002\170\000\015Harbour, dawn\034\002\031\000\004boat' > "$dir/new.ipt"

# Tag, record and annotation go into the raw file; a new process sees them.
out=$("$cc" save-meta "$dir/raw.zyr" --tag 0 --iptc "$dir/new.ipt" --annotation "North quay") || fail "save-meta: $out"
[ "$out" = '{"code": 0}' ] || fail "save-meta: $out"
out=$("$cc" open "$dir/raw.zyr")
echo "$out" | grep -q '"tagged": false' || fail "the tag was not saved: $out"
echo "$out" | grep -q '"annotation": "North quay"' || fail "the annotation was not saved: $out"
out=$("$cc" save-params "$dir/raw.zyr")
[ "$out" = '{"code": 0}' ] || fail "save-params: $out"
if have exiftool; then
  out=$(exiftool -q -q -s -IPTC:all "$dir/raw.zyr")
  echo "$out" | grep -q '^Caption-Abstract *: Harbour, dawn$' || fail "exiftool caption: $out"
  echo "$out" | grep -q '^Keywords *: boat$' || fail "exiftool keywords: $out"
fi

# An RGB TIFF keeps no settings; a read-only raw file refuses both saves.
out=$("$cc" save-params "$dir/tiff.zyr")
[ "$out" = '{"code": 1714}' ] || fail "save-params of an RGB TIFF: $out"
chmod 444 "$dir/raw.zyr"
sum=$(cksum < "$dir/raw.zyr")
out=$("$cc" save-params "$dir/raw.zyr")
[ "$out" = '{"code": 1715}' ] || fail "save-params of a read-only file: $out"
out=$("$cc" save-meta "$dir/raw.zyr" --tag 1)
[ "$out" = '{"code": 1715}' ] || fail "save-meta of a read-only file: $out"
[ "$(cksum < "$dir/raw.zyr")" = "$sum" ] || fail "a read-only file changed"
chmod 644 "$dir/raw.zyr"

# The camera interface's JPEG conversion.
out=$("$cc" convert-jpeg "$dir/raw.zyr" "$dir/out/a.jpg" --quality 1 --size 0 --res 150 --unit 1)
[ "$out" = '{"code": 0}' ] || fail "convert-jpeg: $out"
if have djpeg; then
  [ "$(djpeg -pnm "$dir/out/a.jpg" | head -c 12 | sed -n 2p)" = "128 96" ] || fail "djpeg size"
  djpeg -pnm "$dir/out/a.jpg" > /dev/null 2>&1 || fail "djpeg decode"
fi
if have exiftool; then
  out=$(exiftool -q -q -s -s -s -JFIF:XResolution -JFIF:ResolutionUnit "$dir/out/a.jpg" | tr '\n' ' ')
  [ "$out" = "150 cm " ] || fail "exiftool resolution: $out"
fi
"$cc" convert-jpeg "$dir/raw.zyr" "$dir/out/q5.jpg" --quality 5 --size 5 --res 72 --unit 2 > /dev/null &&
  "$cc" convert-jpeg "$dir/raw.zyr" "$dir/out/q0.jpg" --quality 0 --size 0 --res 72 --unit 2 > /dev/null ||
  fail "convert-jpeg codes"
cmp -s "$dir/out/q5.jpg" "$dir/out/q0.jpg" || fail "quality code 5 did not convert as 0"
rm -f "$dir/out/"*

# A conversion past the file-size limit fails with 1709 and leaves no file;
# an older file of the same name stays whole.
out=$(trap '' XFSZ; ulimit -f 4; "$cc" convert-jpeg "$dir/big.zyr" "$dir/out/big.jpg")
[ "$out" = '{"code": 1709}' ] || fail "convert-jpeg past the size limit: $out"
[ -z "$(files)" ] || fail "a failed conversion left: $(files)"
printf 'older export' > "$dir/out/big.jpg"
out=$(trap '' XFSZ; ulimit -f 4; "$cc" convert-jpeg "$dir/big.zyr" "$dir/out/big.jpg")
[ "$out" = '{"code": 1709}' ] && [ "$(cat "$dir/out/big.jpg")" = "older export" ] || fail "the older JPEG file was lost"
[ "$(files)" = "big.jpg" ] || fail "a failed conversion left: $(files)"
rm -f "$dir/out/"*

# The camera's white-balance file replaces an older one only when complete.
out=$("$cc" wb "$dir/v3.zyr" "$dir/out/STUDIO.WB")
[ "$out" = '{"code": 0}' ] || fail "wb: $out"
cp "$dir/out/STUDIO.WB" "$dir/expected.wb"
printf 'old balance' > "$dir/out/OLD.WB"
"$cc" wb "$dir/v3.zyr" "$dir/out/OLD.WB" > /dev/null && cmp -s "$dir/out/OLD.WB" "$dir/expected.wb" ||
  fail "wb over an existing file"
printf 'old balance' > "$dir/out/OLD.WB"
out=$(trap '' XFSZ; ulimit -f 1; "$cc" wb "$dir/v3.zyr" "$dir/out/OLD.WB")
[ "$out" = '{"code": 1724}' ] || fail "wb past the size limit: $out"
[ "$(cat "$dir/out/OLD.WB")" = "old balance" ] || fail "the old white-balance file was lost"
[ "$(files | tr '\n' ' ')" = "OLD.WB STUDIO.WB " ] || fail "wb left: $(files)"

# The tables of a JPEG export of this kind: the presets.
out=$("$cc" quant "$dir/raw.zyr" --chroma 0 --quality 2) || fail "quant: $out"
echo "$out" | grep -q '^{"code": 0, "source": "presets", "quality": 50, "values": \[3, 3, 4, 5, 7, 9, 13, 17, .*, 232, 255\]}$' ||
  fail "quant: $out"
exit 0
