#!/bin/sh
# The host's objects must have the fields the JVM's have: compares the table generated from the
# Java sources with what javap reads from the compiled classes (instance fields, descriptors).
# With METHODS_PROGRAM, the Java methods the host's table gives the classes (and the fields of
# the nested classes it defines) must be members of the compiled classes too.
#   check-fields.sh JAR GENERATED_TABLE [METHODS_PROGRAM]
set -eu
export LC_ALL=C
jar=$1
table=$2
work=$(mktemp -d /tmp/jnihost-fields.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The JDK that javac belongs to, as the build uses.
jdk_bin=$(dirname "$(readlink -f "$(command -v javac)")")
classes=$("$jdk_bin/jar" tf "$jar" | grep '\.class$' | grep -v '\$' | sed 's/\.class$//' | tr / .)
# shellcheck disable=SC2086
"$jdk_bin/javap" -p -s -cp "$jar" $classes | awk '
  /^[a-z].* class / { cls = $0; sub(/ *\{$/, "", cls); sub(/.* /, "", cls); gsub(/\./, "/", cls) }
  /^  [^ ].*;$/ && !/\(/ { field = ""; if ($0 !~ / static /) { field = $0; sub(/;$/, "", field); sub(/.* /, "", field) } next }
  /^    descriptor: / && field != "" { print cls, field, $2; field = "" }
' | sort >"$work/jvm"
sed -nE 's/^ *\{"([^"]+)", "([^"]+)", "([^"]+)", -?[0-9]+\},$/\1 \2 \3/p' "$table" | sort >"$work/host"
if cmp -s "$work/jvm" "$work/host"; then
  echo "ok: $(wc -l <"$work/host") instance fields, as the JVM has them"
else
  echo "FAILED: the host's field table and the compiled classes differ (< JVM, > host)"
  diff "$work/jvm" "$work/host" | head -20
  exit 1
fi

[ $# -ge 3 ] || exit 0
all=$("$jdk_bin/jar" tf "$jar" | grep '\.class$' | sed 's/\.class$//' | tr / .)
# shellcheck disable=SC2086
"$jdk_bin/javap" -p -s -cp "$jar" $all | awk '
  /^[a-z].* class / { cls = $0; sub(/ *\{$/, "", cls); sub(/.* /, "", cls); gsub(/\./, "/", cls) }
  /^  [^ ].*;$/ { member = $0; sub(/\(.*/, "", member); sub(/;$/, "", member); sub(/.* /, "", member); next }
  /^    descriptor: / && member != "" { print cls, member, $2; member = "" }
' | sort >"$work/members"
"$3" | sort >"$work/methods"
unknown=$(comm -13 "$work/members" "$work/methods")
if [ -n "$unknown" ]; then
  echo "FAILED: the host's Java methods or nested fields the compiled classes lack:"
  echo "$unknown"
  exit 1
fi
echo "ok: $(wc -l <"$work/methods") Java methods and nested fields, as the classes have them"
