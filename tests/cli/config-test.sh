#!/usr/bin/env bash
# velkctl save, diff and apply (ConfigTest), in one JVM against a fresh simulated executor.
# Usage: config-test.sh BUILD_DIR CLASSPATH [SEEDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
source "$here/sim-env.sh"
"${JAVA_HOME:+$JAVA_HOME/bin/}java" -Xcheck:jni -Djava.library.path="$build/lib" -cp "$2" \
  com.velk.internet.tz.velkctl.ConfigTest "$work" "${3:-200}" 2>"$work/jvm.err" \
  | grep -v '^\*\*\*\*'
status=${PIPESTATUS[0]}
if grep -q -e "WARNING in native method" -e "FATAL ERROR" "$work/jvm.err"; then
  cat "$work/jvm.err"; exit 1
fi
exit "$status"
