#!/usr/bin/env bash
# The Java walk-through: a JVM drives the library against the simulated executor over the real
# device path, with the same two-card host and traffic as the velkctl demo.
# Usage: run-java-demo.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
source "$here/../cli/sim-env.sh"
echo "simulated executor serving $VELKLB_DEVICE"

java_bin="${JAVA_HOME:+$JAVA_HOME/bin/}java"
"$java_bin" -Xcheck:jni -Djava.library.path="$build/lib" -jar "$build/cmnexecutor-demo.jar"
echo "shell lines the library ran:"
sed 's/^/  /' "$VELKLB_TOOL_LOG" 2>/dev/null || echo "  (none)"
