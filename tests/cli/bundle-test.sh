#!/usr/bin/env bash
# The Linux bundle on its own: packed from the build, unpacked into an empty folder, and its
# velkctl run against a fresh simulated executor started from the bundle, with nothing of the
# build tree on PATH or in the library path.
# Usage: bundle-test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
version=$(cat "$here/../../VERSION")
source "$here/sim-env.sh"

"$here/../../packaging/make-dist.sh" "$work/dist" "$version" "$build" >/dev/null
(cd "$work/dist" && sha256sum -c --quiet "cmnexecutor-$version.sha256")
mkdir "$work/empty"
tar -xzf "$work/dist/cmnexecutor-$version-linux-x86_64.tar.gz" -C "$work/empty"
bundle=$work/empty/cmnexecutor-$version-linux-x86_64

# The build's executor replaced by the bundle's; then only the system's folders on PATH.
export PATH=$bundle:/usr/bin:/bin
restart_executor
export PATH=/usr/bin:/bin
unset LD_LIBRARY_PATH
cd "$work/empty"
"$bundle/velkctl" executor show -n >"$work/show.txt"
grep -q "^DefaultClusterMaxPorts  *64$" "$work/show.txt" || { cat "$work/show.txt"; exit 1; }
"$bundle/velkctl" executor report -n --json | grep -q '"Version"'
# Without an executor: exit status 3.
kill "$daemon"; wait "$daemon" 2>/dev/null || true; daemon=""
status=0
"$bundle/velkctl" executor show 2>/dev/null || status=$?
[ "$status" = 3 ] || { echo "expected exit status 3 without an executor, got $status"; exit 1; }
echo "bundle ok"
