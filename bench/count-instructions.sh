#!/bin/sh
# Instructions per call of the library's own code, per bench case, counted by callgrind while
# the library runs under the in-process JNI host against a simulated executor of its own.
#
#   count-instructions.sh BUILD_DIR [--check FIGURES | --write FIGURES] [--tsv OUT]
#
# Prints "case, instructions per call, JNI lookups per call". The library's own code is every
# instruction executed in the library and in what it calls (the C and C++ runtimes, the
# socket's system call wrappers), less what the JNI functions themselves cost (the host's
# code, which stands in for the JVM's). --check fails when a case has grown by more than
# MARGIN percent (default 10) over FIGURES; --write replaces FIGURES; --tsv writes the table
# for the JVM bench.
set -eu
build=$(cd "$1" && pwd)
shift
mode= figures= tsv=
while [ $# -gt 0 ]; do
  case "$1" in
    --check|--write) mode=${1#--}; figures=$2; shift 2 ;;
    --tsv) tsv=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
margin=${MARGIN:-10}
calls=${CALLS:-5}

work=$(mktemp -d /tmp/cmn-instructions.XXXXXX)
daemon=
cleanup() {
  status=$?
  if [ -n "$daemon" ]; then kill "$daemon" 2>/dev/null || true; wait "$daemon" 2>/dev/null || true; fi
  [ -n "${KEEP:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT INT TERM
export VELKLB_DEVICE="$work/velklb" VELKLB_REGISTRY="$work/registry" VELKLB_TOOL_LOG="$work/tools.log"
mkdir -p "$VELKLB_REGISTRY"
"$build/bin/velklb-executor" >"$work/executor.log" 2>&1 &
daemon=$!

# The bench's cases, written once by the JVM bench as plan lines.
java -Djava.library.path="$build/lib" -cp "$build/cmnexecutor.jar:$build/cmnexecutor-bench.jar" \
  com.velk.internet.tz.common.Bench --plan "$work/cases.plan"
valgrind -q --tool=callgrind --collect-atstart=no --compress-strings=no --compress-pos=no \
  --callgrind-out-file="$work/dump.%p" \
  "$build/bin/cmn-instructions" "$build/lib/libcmnexecutor.so" "$work/cases.plan" "$work/lookups.txt" \
  "$calls"

# One dump per case (dump.PID.N), named by its trigger; the library's share of each. A cost
# line belongs to the function of the last fn= line (its own cost), or to the call announced by
# calls= just before it (the callee's inclusive cost). The library's share: the own cost of its
# functions, and the inclusive cost of their calls into other objects (cob=; none means the
# caller's object, whose functions are counted on their own) except the host's.
for dump in "$work"/dump.*.*; do
  awk -v host="$build/bin/cmn-instructions" '
    /^desc: Trigger: Client Request: / { sub(/^desc: Trigger: Client Request: /, ""); label = $0; next }
    /^ob=/ { ob = substr($0, 4); next }
    /^fn=/ { mine = (ob ~ /libcmnexecutor\.so$/); cob = ""; next }
    /^cob=/ { cob = substr($0, 5); next }
    /^calls=/ { call = 1; next }
    /^[0-9+*-]/ {
      cost = NF >= 2 ? $NF : 0
      if (call) {
        if (mine && cob != "" && cob != host && cob !~ /libcmnexecutor\.so$/) own += cost
        call = 0; cob = ""
      } else if (mine) {
        own += cost
      }
      next
    }
    END { printf "%s\t%.0f\n", label, own }
  ' "$dump"
done >"$work/own.txt"

# Cases in the order they ran, with instructions per call and lookups per call.
awk -F '\t' 'NR == FNR { own[$1] = $2; next } { printf "%s\t%.0f\t%s\n", $1, own[$1] / $2, $3 }' \
  "$work/own.txt" "$work/lookups.txt" >"$work/counts.txt"

printf '%-40s %14s %12s\n' case "instructions" "JNI lookups"
awk -F '\t' '{ printf "%-40s %14d %12s\n", $1, $2, $3 }' "$work/counts.txt"
[ -z "$tsv" ] || cp "$work/counts.txt" "$tsv"

case "$mode" in
  write)
    { echo "# Instructions per call of the library's own code, per bench case (bench/count-instructions.sh)."
      cut -f1,2 "$work/counts.txt"; } >"$figures"
    echo "written: $figures" ;;
  check)
    awk -F '\t' -v margin="$margin" '
      NR == FNR { if ($0 !~ /^#/) committed[$1] = $2; next }
      {
        seen[$1] = 1
        if (!($1 in committed)) { printf "no committed figure for %s\n", $1; bad = 1; next }
        limit = committed[$1] * (1 + margin / 100)
        if ($2 > limit) {
          printf "GREW: %s: %d instructions a call, committed %d (+%d%% allowed)\n", $1, $2, committed[$1], margin
          bad = 1
        } else if ($2 < committed[$1] * (1 - margin / 100)) {
          printf "note: %s: %d instructions a call, well under the committed %d; the figure may be lowered\n", $1, $2, committed[$1]
        }
      }
      END {
        for (c in committed) if (!(c in seen)) { printf "case %s was not measured\n", c; bad = 1 }
        exit bad
      }
    ' "$figures" "$work/counts.txt"
    echo "within ${margin}% of $figures" ;;
esac
