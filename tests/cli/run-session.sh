#!/usr/bin/env bash
# One golden velkctl session: runs tests/cli/sessions/NAME.txt in one JVM against a fresh
# simulated executor and compares the transcript with tests/cli/golden/NAME.txt (with
# UPDATE_GOLDEN=1 the transcript becomes the golden file).
# Usage: run-session.sh BUILD_DIR CLASSPATH NAME
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
classpath=$2
name=$3
source "$here/sim-env.sh"

cd "$work"  # files a session writes (velkctl save -o) land in its own folder
run_jvm -cp "$classpath" com.velk.internet.tz.velkctl.Session "$here/sessions/$name.txt" \
  >"$work/transcript.txt" || { cat "$work/transcript.txt" "$work/jvm.err"; exit 1; }
if grep -q "unknown error" "$work/transcript.txt"; then
  echo "a code without a sentence:"; grep -B3 "unknown error" "$work/transcript.txt"; exit 1
fi
if [ "${UPDATE_GOLDEN:-0}" = 1 ]; then
  cp "$work/transcript.txt" "$here/golden/$name.txt"
fi
diff -u "$here/golden/$name.txt" "$work/transcript.txt"
