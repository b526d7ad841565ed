#!/bin/sh
# Checks the DLL as shipped: it exports exactly the entry points the sources implement (the
# same set as the Linux library), undecorated, and imports only from system DLLs.
#   check-artifacts.sh WIN_BUILD SOURCE_DIR [LINUX_BUILD]
set -eu
export LC_ALL=C
win=$1
src=$2
linux=${3:-}
dll="$win/bin/cmnexecutor.dll"
objdump=x86_64-w64-mingw32-objdump
work=$(mktemp -d /tmp/win-artifacts.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0

prefix=Java_com_velk_internet_tz_common_CMNExecutorInterface_
grep -rh 'CMN_NATIVE(' "$src/src" | grep -v '#define' \
  | grep -oE 'CMN_NATIVE\([^,]+, *[A-Za-z0-9_]+\)' | sed -E "s/.*, *([A-Za-z0-9_]+)\)/$prefix\1/" | sort -u >"$work/implemented"

"$objdump" -p "$dll" >"$work/headers"
# Export table rows: "[ordinal] name".
sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' "$work/headers" \
  | sed -nE 's/^\s*\[ *[0-9]+\] +//p' | sort >"$work/exported"
if ! cmp -s "$work/implemented" "$work/exported"; then
  echo "FAILED: the DLL's exports are not the implemented entry points"
  diff "$work/implemented" "$work/exported" | head -20
  failed=1
else
  echo "ok: $(wc -l <"$work/exported") exports, exactly the implemented entry points, undecorated"
fi

if [ -n "$linux" ] && [ -f "$linux/lib/libcmnexecutor.so" ]; then
  nm -D --defined-only "$linux/lib/libcmnexecutor.so" | awk '/ T /{print $3}' | sort >"$work/linux"
  if cmp -s "$work/linux" "$work/exported"; then
    echo "ok: the Linux library exports the same set"
  else
    echo "FAILED: the Linux library and the DLL export different sets"
    diff "$work/linux" "$work/exported" | head -20
    failed=1
  fi
fi

sed -nE 's/^\s*DLL Name: //p' "$work/headers" | sort -u >"$work/imports"
bad=$(grep -viE '^(KERNEL32|ADVAPI32|WS2_32|msvcrt|api-ms-win-crt-[a-z0-9-]+|ucrtbase)\.dll$' \
  "$work/imports" || true)
if [ -n "$bad" ]; then
  echo "FAILED: the DLL imports from $bad"
  failed=1
else
  echo "ok: imports only from $(tr '\n' ' ' <"$work/imports")"
fi

"$objdump" -f "$dll" | grep -q 'file format pei-x86-64' \
  || { echo "FAILED: not a PE32+ x86-64 image"; failed=1; }
exit "$failed"
