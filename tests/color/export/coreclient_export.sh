#!/bin/sh
# coreclient export over files of outside writers and a stand-in raw file:
# the TIFF it writes is read by tiffinfo at the asked size and depth, and
# failures print their code and leave no file.
# usage: coreclient_export.sh BUILD_DIR
set -u
bin="$1/bin"
for tool in cjpeg tiffinfo; do
  command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool missing"; exit 0; }
done
dir=$(mktemp -d "${TMPDIR:-/tmp}/lumora-coreclient-export-XXXXXX")
trap 'chmod -R u+w "$dir"; rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A 60 x 40 colour JPEG.
{ printf 'P6\n60 40\n255\n'; head -c 7200 /dev/zero | tr '\0' '\200'; } > "$dir/in.ppm"
cjpeg -outfile "$dir/in.jpg" "$dir/in.ppm" || fail "cjpeg"

out=$("$bin/coreclient" export "$dir/in.jpg" "$dir/out.tif" --tiff --depth 16) || fail "export jpeg: $out"
[ "$out" = '{"code": 0}' ] || fail "export jpeg answer: $out"
info=$(tiffinfo "$dir/out.tif" 2>&1) || fail "tiffinfo: $info"
echo "$info" | grep -q "Image Width: 60 Image Length: 40" || fail "size: $info"
echo "$info" | grep -q "Bits/Sample: 16" || fail "depth: $info"

# A finished file names no working space of its own: the export takes the
# colour engine's and embeds its profile, as the program does, unless told
# not to; a JPEG export too.
if command -v exiftool >/dev/null 2>&1; then
  tiffinfo "$dir/out.tif" 2>&1 | grep -q "ICC Profile: <present>" || fail "no profile in the TIFF"
  profile=$(exiftool -s3 -ICC_Profile:ProfileDescription "$dir/out.tif")
  [ "$profile" = "ORVEX sRGB Display" ] || fail "TIFF profile: $profile"
  out=$("$bin/coreclient" export "$dir/in.jpg" "$dir/out.jpg" --jpeg) || fail "export jpeg to jpeg: $out"
  profile=$(exiftool -s3 -ICC_Profile:ProfileDescription "$dir/out.jpg")
  [ "$profile" = "ORVEX sRGB Display" ] || fail "JPEG profile: $profile"
  "$bin/coreclient" export "$dir/in.jpg" "$dir/bare.tif" --tiff --no-profile >/dev/null || fail "export without profile"
  ! tiffinfo "$dir/bare.tif" 2>&1 | grep -q "ICC Profile" || fail "--no-profile embedded one"
fi

out=$("$bin/coreclient" export "$dir/in.jpg" "$dir/pad.tif" --tiff --resize pad 30 30) || fail "export pad: $out"
tiffinfo "$dir/pad.tif" 2>&1 | grep -q "Image Width: 30 Image Length: 30" || fail "padded size"

"$bin/zprowrite" "$dir/raw.zyr" --model 2048 --size 48x32 || fail "zprowrite"
out=$("$bin/coreclient" export "$dir/raw.zyr" "$dir/raw.tif" --tiff) || fail "export raw: $out"
tiffinfo "$dir/raw.tif" 2>&1 | grep -q "Image Width: 48 Image Length: 32" || fail "raw size"

# Reductions of a 16-bit TIFF large enough to be exported in two strips:
# every strip's work area holds the stages of a strong reduction.
{ printf 'P6\n2000 1800\n255\n'; head -c 10800000 /dev/zero | tr '\0' '\200'; } > "$dir/big.ppm"
cjpeg -outfile "$dir/big.jpg" "$dir/big.ppm" || fail "cjpeg big"
rm -f "$dir/big.ppm"
out=$("$bin/coreclient" export "$dir/big.jpg" "$dir/big.tif" --tiff --depth 16) || fail "export big: $out"
for resize in "fit 20000 100:111:100" "percent 10:200:180" "percent 5:100:90" "fit 300 200:222:200"; do
  how=${resize%%:*} size=${resize#*:}
  for depth in 8 16; do
    # $how unquoted: the resize words are separate arguments.
    out=$("$bin/coreclient" export "$dir/big.tif" "$dir/small.tif" --tiff --depth $depth --resize $how) ||
      fail "export $depth-bit $how: $out"
    info=$(tiffinfo "$dir/small.tif" 2>&1) || fail "tiffinfo $depth-bit $how: $info"
    echo "$info" | grep -q "Image Width: ${size%:*} Image Length: ${size#*:}" || fail "size of $how: $info"
    echo "$info" | grep -q "Bits/Sample: $depth" || fail "depth of $how: $info"
  done
done
rm -f "$dir/big.jpg" "$dir/big.tif" "$dir/small.tif"

# A finished file has no camera balance to write, and answers the presets.
out=$("$bin/coreclient" wb "$dir/in.jpg" "$dir/IN.WB")
[ $? -eq 1 ] && [ "$out" = '{"code": 1725, "reason": 3}' ] && [ ! -e "$dir/IN.WB" ] || fail "wb of a finished file: $out"
out=$("$bin/coreclient" quant "$dir/in.jpg" --chroma 0 --quality 0) || fail "quant: $out"
echo "$out" | grep -q '^{"code": 0, "source": "presets", "quality": 95, "values": \[3, 3, 3, 3, 3, 4, 4, 5,' ||
  fail "quant of a finished file: $out"

# Failures: a cancel, and a folder that is not there.
out=$("$bin/coreclient" export "$dir/in.jpg" "$dir/cancelled.tif" --tiff --cancel-after 0)
[ $? -eq 1 ] && [ "$out" = '{"code": 1711}' ] || fail "cancel: $out"
[ ! -e "$dir/cancelled.tif" ] || fail "cancelled export left a file"
out=$("$bin/coreclient" export "$dir/in.jpg" "$dir/gone/out.tif" --tiff)
[ $? -eq 1 ] && [ "$out" = '{"code": 1802}' ] || fail "missing folder: $out"
[ "$(ls -A "$dir" | grep -c '^\.')" -eq 0 ] || fail "temporary file left: $(ls -A "$dir")"
echo ok
