#!/bin/sh
# Every entry point the library exports has a row in the fuzz targets' table.
#   check-entries.sh FUZZ_TARGET
set -eu
target=$1
known=$(CMN_FUZZ_LIST=1 "$target")
missing=$(nm --defined-only "$target" \
  | sed -nE 's/.* T Java_com_velk_internet_tz_common_CMNExecutorInterface_//p' \
  | while read -r method; do echo "$known" | grep -qx "$method" || echo "$method"; done)
if [ -n "$missing" ]; then
  echo "FAILED: no fuzz row for:" $missing
  exit 1
fi
echo "every exported entry point has a row ($(echo "$known" | wc -l) rows)"
