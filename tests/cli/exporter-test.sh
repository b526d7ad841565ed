#!/usr/bin/env bash
# velkctl metrics and exporter against a real Prometheus server and a real browser
# (ExporterCheck), in one JVM with the JVM's JNI checks, against a fresh simulated executor.
# The status page's screenshot is kept in BUILD_DIR/Testing/artifacts/.
# Usage: exporter-test.sh BUILD_DIR CLASSPATH README
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
source "$here/sim-env.sh"
mkdir -p "$build/Testing/artifacts"
status=0
timeout -k 10 280 "${JAVA_HOME:+$JAVA_HOME/bin/}java" -Xcheck:jni -Djava.library.path="$build/lib" \
  -cp "$2" com.velk.internet.tz.velkctl.ExporterCheck "$build" "$work" "$3" \
  "$build/Testing/artifacts/status-page.png" 2>"$work/jvm.err" | grep -v '^\*\*\*\*' \
  || status=$?
if grep -qs -e "WARNING in native method" -e "FATAL ERROR" "$work/jvm.err" "$work"/exporter.err; then
  cat "$work/jvm.err" "$work"/exporter.err; exit 1
fi
[ "$status" = 0 ] || cat "$work/jvm.err"
exit "$status"
