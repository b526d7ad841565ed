#!/usr/bin/env bash
# One golden velkctl session: runs tests/cli/sessions/NAME.txt in one JVM against a fresh
# simulated executor and compares the transcript with tests/cli/golden/NAME.txt (with
# UPDATE_GOLDEN=1 the transcript becomes the golden file).
# Usage: run-session.sh BUILD_DIR CLASSPATH NAME
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
source "$here/sim-env.sh"

cd "$work"  # files a session writes (velkctl save -o) land in its own folder
run_jvm -cp "$2" com.velk.internet.tz.velkctl.Session "$here/sessions/$3.txt" \
  >"$work/transcript.txt" || { cat "$work/transcript.txt" "$work/jvm.err"; exit 1; }
if [ "${UPDATE_GOLDEN:-0}" = 1 ]; then
  cp "$work/transcript.txt" "$here/golden/$3.txt"
fi
diff -u "$here/golden/$3.txt" "$work/transcript.txt"
