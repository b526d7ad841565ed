#!/usr/bin/env bash
# velkctl save, diff and apply (ConfigTest), in one JVM against a fresh simulated executor.
# Usage: config-test.sh BUILD_DIR CLASSPATH [SEEDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
source "$here/sim-env.sh"
"${JAVA_HOME:+$JAVA_HOME/bin/}java" -Xcheck:jni -Dvelkctl.console.keep=true -Djava.library.path="$build/lib" -cp "$2" \
  com.velk.internet.tz.velkctl.ConfigTest "$work" "${3:-200}" "$here/sessions" 2>"$work/jvm.err" \
  | grep -v '^\*\*\*\*'
status=${PIPESTATUS[0]}
if grep -q -e "WARNING in native method" -e "FATAL ERROR" "$work/jvm.err"; then
  cat "$work/jvm.err"; exit 1
fi
[ "$status" = 0 ] || exit "$status"
# The verbs that rebuild the library's interface table, whose console line the library prints
# on the process's standard output, as separate processes: their --json output still parses.
for args in "interface list --json" "alias add 10.1.2.9 --json" \
    "ha add --heartbeat 10.1.2.8,10.1.9.8 --json"; do
  # shellcheck disable=SC2086
  "$build/bin/velkctl" $args >"$work/json.txt" 2>/dev/null
  python3 -m json.tool "$work/json.txt" >/dev/null || { echo "FAILED: velkctl $args:"; cat "$work/json.txt"; exit 1; }
done
echo "json: all passed"
