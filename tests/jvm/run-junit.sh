#!/usr/bin/env bash
# Runs one JUnit test class in a JVM with JNI checking switched on, against the build's native
# library, with a private executor device, tool log and registry in a fresh temporary folder.
#
#   run-junit.sh BUILD_DIR JAVA CLASSPATH CLASS [--sanitized]
#
# BUILD_DIR is the build folder (bin/velklb-executor, lib/libcmnexecutor.so, tools/). The run
# fails when JUnit reports a failure, or when the JVM's JNI checks complain ("WARNING in native
# method", "FATAL ERROR").
# --sanitized loads the AddressSanitizer/UndefinedBehaviorSanitizer build of the library
# (BUILD_DIR/sanitized/lib) with the sanitizer runtime preloaded into the JVM; any sanitizer
# report fails the run.
set -u
build=$(cd "$1" && pwd) || exit 2
java=$2 classpath=$3 class=$4
libdir=$build/lib logdir=$build/Testing/jvm preload=
if [ "${5:-}" = --sanitized ]; then
    libdir=$build/sanitized/lib logdir=$build/Testing/jvm-sanitized
    # The JVM handles SIGSEGV itself (null checks, stack banging): the sanitizer must leave it.
    # Leaks are the JVM's business at exit; the library frees what it allocates per call.
    export ASAN_OPTIONS=handle_segv=0:detect_leaks=0:halt_on_error=1:abort_on_error=0
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    preload=$(${CXX:-g++} -print-file-name=libasan.so)
fi
mkdir -p "$logdir" || exit 2
log=$logdir/${class##*.}.log

tmp=$(mktemp -d "${TMPDIR:-/tmp}/velklb-jvm.XXXXXX") || exit 2
mkdir -p "$tmp/registry" "$tmp/java-tmp"

# Daemons started by the tests record their pids here; any still running at the end are ours
# only if their command line names a socket inside $tmp.
export VELKLB_RIG_PIDS=$tmp/daemon.pids
cleanup() {
    while read -r pid; do
        if grep -qsaF "$tmp/" "/proc/$pid/cmdline"; then
            echo "run-junit.sh: stopping executor $pid left running" >&2
            kill -9 "$pid"
        fi
    done < <(cat "$VELKLB_RIG_PIDS" 2>/dev/null)
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export VELKLB_DEVICE=$tmp/velklb
export VELKLB_TOOL_LOG=$tmp/tools.log
export VELKLB_REGISTRY=$tmp/registry
export VELKLB_EXECUTOR=$build/bin/velklb-executor
export PATH=$build/tools:$PATH

# -Xcheck:jni reports on stdout and stderr alike; both go through the log.
(cd "$tmp" && LD_PRELOAD=$preload "$java" -Xcheck:jni \
    -XX:ErrorFile="$logdir/hs_err_%p.log" \
    -Djava.io.tmpdir="$tmp/java-tmp" \
    -Djava.library.path="$libdir" \
    -cp "$classpath" \
    org.junit.platform.console.ConsoleLauncher \
    --disable-banner --disable-ansi-colors --details=tree --fail-if-no-tests \
    --include-engine=junit-jupiter \
    --select-class "$class") 2>&1 | tee "$log"
status=${PIPESTATUS[0]}

result=0
fail() { echo "run-junit.sh: $class: $1" >&2; result=1; }
[ "$status" -eq 0 ] || fail "failed (JVM exit status $status)"
grep -q '^Test run finished' "$log" || fail "the JVM ended before JUnit finished"
! grep -q -e 'WARNING in native method' -e 'FATAL ERROR' -e 'ERROR: AddressSanitizer' -e 'runtime error:' "$log" \
    || fail "the JVM's JNI checks or the sanitizers complained (see $log)"
if [ "$result" -ne 0 ]; then
    shopt -s nullglob
    for f in "$tmp"/*.executor.log "$tmp"/java-tmp/*/*.executor.log; do
        tail -n 40 "$f" | sed "1i ---- last lines of ${f#"$tmp"/} ----" >&2
    done
fi
exit "$result"
