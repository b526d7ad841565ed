#!/usr/bin/env bash
# One of velkctl's checks (ErrorCoverage, ConfigTest, ExporterCheck) in one JVM against a fresh
# simulated executor; the check gets the executor's folder, then ARGS.
# Usage: run-check.sh BUILD_DIR CLASSPATH CLASS ARGS...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
source "$here/sim-env.sh"
run_jvm -cp "$2" "com.velk.internet.tz.velkctl.$3" "$work" "${@:4}" || { cat "$work/jvm.err"; exit 1; }
