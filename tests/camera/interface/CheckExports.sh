#!/bin/sh
# Usage: CheckExports.sh <library> <symbol>...
# Fails unless every symbol is a defined function in the library's dynamic table.
lib=$1
shift
table=$(nm -D --defined-only "$lib") || exit 1
status=0
for sym in "$@"; do
  if ! printf '%s\n' "$table" | grep -Eq "^[0-9a-f]+ T $sym\$"; then
    echo "missing export: $sym"
    status=1
  fi
done
exit $status
