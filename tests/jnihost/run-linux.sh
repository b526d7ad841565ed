#!/bin/sh
# Runs the conformance scenario through the Linux library under the JNI host, against a daemon
# of its own, and writes the transcript to OUT.
#   run-linux.sh BUILD_DIR OUT
set -eu
build=$(cd "$1" && pwd)
out=$2
mkdir -p "$(dirname "$out")"
work=$(mktemp -d /tmp/jnihost.XXXXXX)
daemon=
cleanup() {
  status=$?
  if [ -n "$daemon" ]; then kill "$daemon" 2>/dev/null || true; wait "$daemon" 2>/dev/null || true; fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT INT TERM
export VELKLB_DEVICE="$work/velklb" VELKLB_REGISTRY="$work/registry" VELKLB_TOOL_LOG="$work/tools.log"
export PATH="$build/tools:$PATH" TZ=UTC
mkdir -p "$VELKLB_REGISTRY"
# The scenario's registry: each key a folder, each value a file of its text.
here=$(cd "$(dirname "$0")" && pwd)
grep -v '^#' "$here/registry-cards.txt" | while IFS='|' read -r key value texts; do
  dir="$VELKLB_REGISTRY/$(printf '%s' "$key" | tr '\\' /)"
  mkdir -p "$dir"
  case $texts in
    *'|'*) printf '%s\000\000' "$texts" | tr '|' '\000' >"$dir/$value" ;;  # a multi-string
    *) printf '%s' "$texts" >"$dir/$value" ;;
  esac
done
"$build/bin/velklb-executor" &
daemon=$!
# shellcheck disable=SC2086
timeout 120 ${JNIHOST_WRAPPER:-} "$build/bin/jnihost-scenario" "$build/lib/libcmnexecutor.so" "$out" \
  "$here/conformance.plan"
echo "transcript: $out ($(wc -l <"$out") lines)"

# Every entry point the library exports has a step: a new one must join the scenario.
missing=$(nm -D --defined-only "$build/lib/libcmnexecutor.so" \
  | sed -nE 's/.* T Java_com_velk_internet_tz_common_CMNExecutorInterface_//p' \
  | while read -r method; do grep -q "^$method(" "$out" || echo "$method"; done)
if [ -n "$missing" ]; then
  echo "FAILED: the scenario never calls:" $missing
  exit 1
fi
