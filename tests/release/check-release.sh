#!/usr/bin/env bash
# The release as a distributor gets it: make-dist.sh over both builds, the sums checked, the
# archives unpacked. Each artifact's version is read back the way its users read it; each
# stripped binary has no debug information of its own and gets it back through its debug link;
# no file carries the folders it was built in.
# Usage: check-release.sh LINUX_BUILD WIN_BUILD
set -euo pipefail
export LC_ALL=C
src=$(cd "$(dirname "$0")/../.." && pwd)
linux=$(cd "$1" && pwd)
win=$(cd "$2" && pwd)
version=$(cat "$src/VERSION")
work=$(mktemp -d /tmp/cmnexecutor-release.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0

check() {  # what command...: the command must succeed
  local what=$1
  shift
  if "$@" >"$work/out" 2>&1; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    sed 's/^/    /' "$work/out" | head -20
    failed=1
  fi
}

"$src/packaging/make-dist.sh" "$work/dist" "$version" "$linux" "$win" >/dev/null
(cd "$work/dist" && sha256sum -c --quiet "cmnexecutor-$version.sha256")
check "the sum file covers the four archives" test "$(wc -l <"$work/dist/cmnexecutor-$version.sha256")" = 4
mkdir "$work/u"
tar -xzf "$work/dist/cmnexecutor-$version-linux-x86_64.tar.gz" -C "$work/u"
unzip -q "$work/dist/cmnexecutor-$version-windows-x86_64.zip" -d "$work/u"
tar -xzf "$work/dist/cmnexecutor-$version-debug.tar.gz" -C "$work/u"
cd "$work/u"
for kind in linux windows debug; do ln -s "cmnexecutor-$version-$kind"* "$kind"; done

# How each kind of artifact shows its version.
printed() { strings -a "$1"; }
resource() { x86_64-w64-mingw32-windres -i "$1" -O rc | sed 's/^ *//'; }
manifest() { unzip -p "$1" META-INF/MANIFEST.MF | tr -d '\r'; }
run() { "$1" --version; }
has_line() {  # line reader file
  "$2" "$3" >"$work/read"
  grep -qxF -- "$1" "$work/read" || { echo "no line '$1' in:"; cat "$work/read"; return 1; }
}
words="$(echo "$version" | sed 's/\./, /g'), 0"
while read -r reader file line; do
  check "$file: $line" has_line "$line" "$reader" "$file"
done <<TABLE
printed  linux/libcmnexecutor.so      cmnexecutor $version
printed  windows/cmnexecutor.dll      cmnexecutor $version
resource windows/cmnexecutor.dll      FILEVERSION $words
resource windows/cmnexecutor.dll      PRODUCTVERSION $words
resource windows/cmnexecutor.dll      VALUE "FileVersion", "$version"
resource windows/cmnexecutor.dll      VALUE "ProductVersion", "$version"
manifest linux/cmnexecutor.jar        Implementation-Version: $version
manifest linux/cmnexecutor-cli.jar    Implementation-Version: $version
manifest windows/cmnexecutor.jar      Implementation-Version: $version
manifest windows/cmnexecutor-cli.jar  Implementation-Version: $version
run      linux/velkctl                velkctl $version
TABLE

# Debug links: a stripped binary alone has no line for a function it holds; with its debug file
# beside it, gdb places the function in its source file, named relative to the source tree.
line_of() {  # binary function expected-source: gdb's line for the function names that file
  gdb -batch -nx -ex "info line $2" "$1" >"$work/line" 2>&1
  grep -qE "^Line [0-9]+ of \"([^/\"][^\"]*/)?$3\"" "$work/line" || { cat "$work/line"; return 1; }
}
stripped() {  # binary function: no debug section, and gdb can't place the function
  ! x86_64-w64-mingw32-objdump -h "$1" | grep '\.debug_' \
    && ! gdb -batch -nx -ex "info line $2" "$1" 2>&1 | grep '^Line '
}
mkdir "$work/crash"
while read -r binary function source; do
  name=${binary#*/}
  check "$binary stripped: no line for $function" stripped "$binary" "$function"
  cp "$binary" "debug/$name.debug" "$work/crash/"
  check "$binary with $name.debug: $function in $source" \
    line_of "$work/crash/$name" "$function" "$source"
done <<TABLE
linux/libcmnexecutor.so  Java_com_velk_internet_tz_common_CMNExecutorInterface_getHAInfoNative  src/ha/ha.cpp
linux/velklb-executor    main  executor-sim/daemon/main.cpp
linux/velklb-ctl         main  executor-sim/ctl/main.cpp
windows/cmnexecutor.dll  Java_com_velk_internet_tz_common_CMNExecutorInterface_getHAInfoNative  src/ha/ha.cpp
TABLE

# Stripping keeps every entry point the build exports.
dll_exports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p'; }
check "the shipped .so exports what the build's does" \
  diff <(nm -D --defined-only "$linux/lib/libcmnexecutor.so") <(nm -D --defined-only linux/libcmnexecutor.so)
check "the shipped DLL exports what the build's does" \
  diff <(dll_exports "$win/bin/cmnexecutor.dll") <(dll_exports windows/cmnexecutor.dll)

# No build folder in any shipped byte: the source tree's and the build trees' paths, in every
# file and in our jars' entries.
for jar in linux/cmnexecutor.jar linux/cmnexecutor-cli.jar; do
  unzip -qo "$jar" -d jar-entries
done
no_paths() {
  ! grep -raF -e "$src" -e "$linux" -e "$win" -l .
}
check "no build folder in the bundles or the debug files" no_paths
exit "$failed"
