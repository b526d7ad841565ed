#!/usr/bin/env bash
# The release bundles: one folder each for Linux and Windows with the native library, the jar
# the balancer's Java server loads, velkctl and the README, packed with a SHA-256 sum file.
# Usage: make-dist.sh OUT_DIR VERSION LINUX_BUILD [WINDOWS_BUILD]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
version=$2
linux=$(cd "$3" && pwd)
windows=${4:+$(cd "$4" && pwd)}
stage=$(mktemp -d /tmp/cmnexecutor-dist.XXXXXX)
trap 'rm -rf "$stage"' EXIT

jars() {  # folder: the jar and velkctl's own jars beside it
  cp "$linux/cmnexecutor.jar" "$linux/cmnexecutor-cli.jar" "$linux/picocli.jar" \
     "$linux/gson.jar" "$linux/snakeyaml.jar" "$src/README.md" "$1/"
}

name=cmnexecutor-$version-linux-x86_64
mkdir "$stage/$name"
jars "$stage/$name"
cp "$linux/lib/libcmnexecutor.so" "$linux/bin/velklb-executor" "$linux/bin/velklb-ctl" \
   "$src/java/cli/velkctl" "$linux/velkctl-completion.bash" "$stage/$name/"
rm -f "$out/$name.tar.gz"
(cd "$stage" && tar -czf "$out/$name.tar.gz" --owner=0 --group=0 "$name")
sums=("$name.tar.gz")

if [ -n "$windows" ]; then
  name=cmnexecutor-$version-windows-x86_64
  mkdir "$stage/$name"
  jars "$stage/$name"
  cp "$windows/bin/cmnexecutor.dll" "$stage/$name/"
  sed 's/$/\r/' "$src/java/cli/velkctl.cmd" >"$stage/$name/velkctl.cmd"
  rm -f "$out/$name.zip"
  (cd "$stage" && cmake -E tar cf "$out/$name.zip" --format=zip "$name")
  sums+=("$name.zip")
fi

# The Ansible collection (ansible/), versioned as the bundles.
cp -r "$src/ansible" "$stage/collection"
sed -i "s/^version: .*/version: $version/" "$stage/collection/galaxy.yml"
ansible-galaxy collection build "$stage/collection" --output-path "$out" --force >/dev/null
sums+=("velk-balancer-$version.tar.gz")
(cd "$out" && sha256sum "${sums[@]}" >"cmnexecutor-$version.sha256")
echo "bundles in $out:"
(cd "$out" && ls -l "${sums[@]}" "cmnexecutor-$version.sha256")
