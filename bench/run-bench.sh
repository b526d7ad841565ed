#!/bin/sh
# make bench: what each call costs beside the floor of its transport, and the library's own
# instructions per call. Starts a simulated executor of its own; prints Markdown (also kept in
# BUILD_DIR/bench.md). Bounded: about BUDGET_MS (default 2500) per figure and side. ONLY=TEXT
# times only the cases whose label contains TEXT.
#   run-bench.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
out="$build/bench.md"
work=$(mktemp -d /tmp/cmn-bench.XXXXXX)
cleanup() {
  status=$?
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT INT TERM

# The JVM on the last CPU, the executor it talks to on the first, when the machine has two and
# lets us pin (NOPIN=1: not at all). On one shared CPU the scheduler decides, call by call,
# whether the executor's own loop runs inside or outside the caller's timed window, and a
# two-request list could time below its floor; on two, each side's work stays its own.
cpus=$(nproc 2>/dev/null || echo 1)
pin=
executor_pin=
if [ -z "${NOPIN:-}" ] && [ "$cpus" -ge 2 ] && command -v taskset >/dev/null 2>&1 \
   && taskset -c "$((cpus - 1))" true 2>/dev/null && taskset -c 0 true 2>/dev/null; then
  pin="taskset -c $((cpus - 1))"
  executor_pin="taskset -c 0"
fi
# The executor the Java side starts, pinned as above.
printf '#!/bin/sh\nexec %s "%s" "$@"\n' "$executor_pin" "$build/bin/velklb-executor" >"$work/executor"
chmod +x "$work/executor"

{
  echo "## cmnexecutor bench, $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "- machine: $(uname -srm), $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $cpus CPUs"
  echo "- load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
  if [ -n "$pin" ]; then
    echo "- pinning: the JVM on CPU $((cpus - 1)), the executors on CPU 0"
  else
    echo "- pinning: none"
  fi
  echo
  echo "### Instructions per call of the library's own code (callgrind, JNI host)"
  echo
  echo '```'
  "$here/count-instructions.sh" "$build" --tsv "$work/counts.tsv"
  echo '```'
  echo
} | tee "$out"

export VELKLB_DEVICE="$work/velklb" VELKLB_REGISTRY="$work/registry" VELKLB_TOOL_LOG="$work/tools.log"
export VELKLB_EXECUTOR="$work/executor"
mkdir -p "$VELKLB_REGISTRY"
# shellcheck disable=SC2086
$pin java -Xms256m -Djava.library.path="$build/lib" \
  -cp "$build/cmnexecutor.jar:$build/cmnexecutor-bench.jar" com.velk.internet.tz.common.Bench \
  --counts "$work/counts.tsv" --budget-ms "${BUDGET_MS:-2500}" --only "${ONLY:-}" | tee -a "$out"

# velkctl save and apply: its own simulated executor, its own device path.
if [ -f "$build/cmnexecutor-cli-bench.jar" ]; then
  {
    echo
    echo "### velkctl apply and save: N clusters of 4 ports of 8 servers (calls include the reads)"
    echo
  } | tee -a "$out"
  export VELKLB_DEVICE="$work/velklb-config"
  "$work/executor" --socket "$VELKLB_DEVICE" >"$work/config-executor.log" 2>&1 &
  daemon=$!
  for _ in $(seq 1 250); do "$build/bin/velklb-ctl" PING >/dev/null 2>&1 && break; sleep 0.02; done
  jars="$build/cmnexecutor-cli-bench.jar:$build/cmnexecutor-cli.jar:$build/cmnexecutor.jar"
  jars="$jars:$build/picocli.jar:$build/gson.jar:$build/snakeyaml.jar:$build/jna.jar"
  # shellcheck disable=SC2086
  $pin java -Xms256m -Dvelkctl.console.keep=true -Djava.library.path="$build/lib" -cp "$jars" \
    com.velk.internet.tz.velkctl.ConfigBench "$work" 10 50 100 2>"$work/config-bench.err" \
    | grep -v '^\*\*\*\*' | tee -a "$out" || { cat "$work/config-bench.err"; kill "$daemon"; exit 1; }
  kill "$daemon"; wait "$daemon" 2>/dev/null || true
fi

# One scrape of velkctl metrics against an executor of its own, at the sizes of the
# configuration bench.
VELKLB_DEVICE="$work/scrape" "$work/executor" --socket "$work/scrape" \
  >"$work/scrape.log" 2>&1 &
scrape_executor=$!
for _ in $(seq 1 250); do [ -S "$work/scrape" ] && break; sleep 0.02; done
jars="$build/cmnexecutor-scrape-bench.jar:$build/cmnexecutor-cli.jar:$build/cmnexecutor.jar"
# shellcheck disable=SC2086
VELKLB_DEVICE="$work/scrape" $pin java -Djava.library.path="$build/lib" \
  -cp "$jars:$build/picocli.jar" com.velk.internet.tz.velkctl.ScrapeBench --budget-ms "${BUDGET_MS:-2500}" 10 50 100 \
  | tee -a "$out" || true
kill "$scrape_executor" 2>/dev/null || true
wait "$scrape_executor" 2>/dev/null || true
echo "(kept in $out)"
