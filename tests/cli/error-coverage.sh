#!/usr/bin/env bash
# The error table against the library (ErrorCoverage), in one JVM against a fresh simulated
# executor. Usage: error-coverage.sh BUILD_DIR CLASSPATH
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
source "$here/sim-env.sh"
"${JAVA_HOME:+$JAVA_HOME/bin/}java" -Xcheck:jni -Dvelkctl.console.keep=true -Djava.library.path="$build/lib" -cp "$2" \
  com.velk.internet.tz.velkctl.ErrorCoverage "$here/error-arguments.txt" 2>"$work/jvm.err" \
  | grep -v '^\*\*\*\*'
status=${PIPESTATUS[0]}
if grep -q -e "WARNING in native method" -e "FATAL ERROR" "$work/jvm.err"; then
  cat "$work/jvm.err"; exit 1
fi
exit "$status"
