#!/usr/bin/env bash
# Proves the bundles reproducible: builds and packs the committed tree again from a clean clone
# in another folder, later and under another umask, and compares its sum file with the one
# `make dist` wrote. A difference names the archives and members that differ.
# Usage: dist-check.sh DIST_DIR VERSION
set -euo pipefail
export LC_ALL=C
src=$(cd "$(dirname "$0")/.." && pwd)
first=$(cd "$1" && pwd)
version=$2
sums=cmnexecutor-$version.sha256

if [ -n "$(git -C "$src" status --porcelain --untracked-files=no)" ]; then
  echo "dist-check: the tree has uncommitted changes, which a clone lacks; commit them first"
  exit 1
fi
work=$(mktemp -d /tmp/cmnexecutor-dist-check.XXXXXX)
git clone -q --no-checkout "$src" "$work/clone"
git -C "$work/clone" checkout -q --detach "$(git -C "$src" rev-parse HEAD)"
echo "dist-check: building $(git -C "$src" rev-parse --short HEAD) again in $work/clone"
(umask 027 && cd "$work/clone" && make dist >"$work/build.log" 2>&1) \
  || { tail -30 "$work/build.log"; echo "dist-check: the second build failed ($work)"; exit 1; }
second=$work/clone/dist

if cmp -s "$first/$sums" "$second/$sums"; then
  cat "$first/$sums"
  echo "dist-check: identical bundles from two builds"
  rm -rf "$work"
  exit 0
fi
echo "dist-check: the bundles differ"
diff "$first/$sums" "$second/$sums" || true
unpack() {  # archive folder
  mkdir -p "$2"
  case "$1" in
    *.zip) unzip -q "$1" -d "$2" ;;
    *) tar -xzf "$1" -C "$2" ;;
  esac
}
while read -r _ archive; do
  cmp -s "$first/$archive" "$second/$archive" && continue
  unpack "$first/$archive" "$work/first/$archive"
  unpack "$second/$archive" "$work/second/$archive"
  echo "== $archive"
  if diff -rq "$work/first/$archive" "$work/second/$archive"; then
    echo "same members, same bytes: the archive's own headers differ (times, owners, order)"
  fi
done <"$first/$sums"
echo "dist-check: both trees kept in $work"
exit 1
