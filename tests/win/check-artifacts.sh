#!/bin/sh
# Checks the DLL as shipped: it exports the same entry points as the Linux library, undecorated
# (the scenario calls every entry point through both), and imports only from system DLLs.
#   check-artifacts.sh WIN_BUILD LINUX_BUILD
set -eu
export LC_ALL=C
win=$1
linux=$2
dll="$win/bin/cmnexecutor.dll"
work=$(mktemp -d /tmp/win-artifacts.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0

x86_64-w64-mingw32-objdump -p "$dll" >"$work/headers"
# Export table rows: "[ordinal] name".
sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' "$work/headers" \
  | sed -nE 's/^\s*\[ *[0-9]+\] +//p' | sort >"$work/exported"
nm -D --defined-only "$linux/lib/libcmnexecutor.so" | awk '/ T /{print $3}' | sort >"$work/linux"
if cmp -s "$work/linux" "$work/exported"; then
  echo "ok: $(wc -l <"$work/exported") exports, the same set as the Linux library's"
else
  echo "FAILED: the Linux library and the DLL export different sets"
  diff "$work/linux" "$work/exported" | head -20
  failed=1
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
exit "$failed"
