#!/usr/bin/env bash
# The release bundles: one folder each for Linux and Windows with the native library, the jar
# the balancer's Java server loads, velkctl and the README; their binaries stripped, with the
# debug information in a third archive; a SHA-256 sum file over the archives.
# The same commit packs to the same bytes wherever and whenever it is packed: every time is the
# last commit's (SOURCE_DATE_EPOCH when set), members are sorted, owners and modes fixed, our
# jars repacked the same way.
# Usage: make-dist.sh OUT_DIR VERSION LINUX_BUILD [WINDOWS_BUILD]
set -euo pipefail
export LC_ALL=C TZ=UTC
src=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
version=$2
linux=$(cd "$3" && pwd)
windows=${4:+$(cd "$4" && pwd)}
# A source tree without its history (an unpacked source archive) dates the bundles by VERSION.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct 2>/dev/null || stat -c %Y "$src/VERSION")}
# objcopy stamps a PE file it writes with this time, not with the clock's.
export SOURCE_DATE_EPOCH=$epoch
stage=$(mktemp -d /tmp/cmnexecutor-dist.XXXXXX)
trap 'rm -rf "$stage"' EXIT

debug=cmnexecutor-$version-debug
mkdir "$stage/$debug" "$stage/jars"

# Strips a bundled binary in place; its debug information goes into the debug folder as
# NAME.debug, which the stripped file names (with its CRC) in its debug link.
split_debug() {  # objcopy file
  local objcopy=$1 file=$2
  local kept=$stage/$debug/${file##*/}.debug
  "$objcopy" --only-keep-debug "$file" "$kept"
  chmod a-x "$kept"
  "$objcopy" --strip-all --add-gnu-debuglink="$kept" "$file"
}

# Our jars again with their entries sorted and dated from the last commit, the manifest first:
# the build's jars carry their class files' build times.
jar_date=$(date -u -d "@$epoch" +%Y-%m-%dT%H:%M:%SZ)
for jar in cmnexecutor.jar cmnexecutor-cli.jar; do
  mkdir "$stage/jars/${jar%.jar}"
  (cd "$stage/jars/${jar%.jar}" && jar xf "$linux/$jar" \
    && mapfile -t entries < <(find . -type f ! -path ./META-INF/MANIFEST.MF | sed 's|^\./||' | sort) \
    && jar --create --file "$stage/jars/$jar" --manifest META-INF/MANIFEST.MF \
         --date="$jar_date" "${entries[@]}")
done

jars() {  # folder: the jar and velkctl's own jars beside it
  cp "$stage/jars/cmnexecutor.jar" "$stage/jars/cmnexecutor-cli.jar" "$linux/picocli.jar" \
     "$linux/gson.jar" "$linux/snakeyaml.jar" "$linux/jna.jar" "$src/README.md" "$1/"
}

# Modes u=rw(x),go=r(x) whatever the umask, every time the last commit's.
settle() {  # folder
  chmod -R u+rw,go=rX "$stage/$1"
  find "$stage/$1" -exec touch -h -d "@$epoch" {} +
}

pack_tar() {  # folder
  settle "$1"
  rm -f "$out/$1.tar.gz"
  (cd "$stage" && tar --create --sort=name --format=gnu --owner=0 --group=0 --numeric-owner \
     --mtime="@$epoch" "$1") | gzip -9n >"$out/$1.tar.gz"
}

linux_name=cmnexecutor-$version-linux-x86_64
mkdir "$stage/$linux_name"
jars "$stage/$linux_name"
cp "$linux/lib/libcmnexecutor.so" "$linux/bin/velklb-executor" "$linux/bin/velklb-ctl" \
   "$src/java/cli/velkctl" "$linux/velkctl-completion.bash" "$stage/$linux_name/"
for binary in libcmnexecutor.so velklb-executor velklb-ctl; do
  split_debug objcopy "$stage/$linux_name/$binary"
done
pack_tar "$linux_name"
sums=("$linux_name.tar.gz")

if [ -n "$windows" ]; then
  name=cmnexecutor-$version-windows-x86_64
  mkdir "$stage/$name"
  jars "$stage/$name"
  cp "$windows/bin/cmnexecutor.dll" "$stage/$name/"
  split_debug x86_64-w64-mingw32-objcopy "$stage/$name/cmnexecutor.dll"
  sed 's/$/\r/' "$src/java/cli/velkctl.cmd" >"$stage/$name/velkctl.cmd"
  settle "$name"
  rm -f "$out/$name.zip"
  # -X: no owners or extra times; the zip's DOS times are local, hence TZ=UTC above.
  (cd "$stage" && find "$name" | sort | zip -X -9 -q "$out/$name.zip" -@)
  sums+=("$name.zip")
fi

pack_tar "$debug"
sums+=("$debug.tar.gz")

# The Ansible collection (ansible/), versioned as the bundles. ansible-galaxy stamps the time of
# the build into its archive, so its members are packed again as every other archive is.
collection=velk-balancer-$version
cp -r "$src/ansible" "$stage/collection"
sed -i "s/^version: .*/version: $version/" "$stage/collection/galaxy.yml"
LC_ALL=C.UTF-8 ansible-galaxy collection build "$stage/collection" --output-path "$stage" --force >/dev/null
mkdir "$stage/$collection"
tar -xzf "$stage/$collection.tar.gz" -C "$stage/$collection"
settle "$collection"
(cd "$stage/$collection" && tar --create --sort=name --format=gnu --owner=0 --group=0 \
   --numeric-owner --mtime="@$epoch" $(ls -A)) | gzip -9n >"$out/$collection.tar.gz"
sums+=("$collection.tar.gz")
(cd "$out" && sha256sum "${sums[@]}" >"cmnexecutor-$version.sha256")
echo "bundles in $out:"
(cd "$out" && ls -l "${sums[@]}" "cmnexecutor-$version.sha256")
