#!/usr/bin/env bash
# Runs one JUnit test class in a JVM with JNI checking switched on, against the build's native
# library, with a private executor device, tool log and registry in a fresh temporary folder.
#
#   run-junit.sh --build DIR --classpath CP --class NAME [--java JAVA] [--log-dir DIR] [--sanitized]
#
# DIR is the build folder (bin/velklb-executor, lib/libcmnexecutor.so, tools/). The run fails
# when JUnit reports a failure, or when the JVM's JNI checks complain ("WARNING in native
# method", "FATAL ERROR").
# --sanitized loads the AddressSanitizer/UndefinedBehaviorSanitizer build of the library
# (DIR/sanitized/lib) with the sanitizer runtime preloaded into the JVM; any sanitizer report
# fails the run.
set -u

build= classpath= class= java=java logdir= sanitized=0
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$2; shift 2 ;;
        --classpath) classpath=$2; shift 2 ;;
        --class) class=$2; shift 2 ;;
        --java) java=$2; shift 2 ;;
        --log-dir) logdir=$2; shift 2 ;;
        --sanitized) sanitized=1; shift ;;
        *) echo "run-junit.sh: unknown argument '$1'" >&2; exit 2 ;;
    esac
done
if [ -z "$build" ] || [ -z "$classpath" ] || [ -z "$class" ]; then
    echo "usage: run-junit.sh --build DIR --classpath CP --class NAME [--java JAVA] [--log-dir DIR] [--sanitized]" >&2
    exit 2
fi
build=$(cd "$build" && pwd) || exit 2
libdir=$build/lib
preload=
if [ "$sanitized" -eq 1 ]; then
    libdir=$build/sanitized/lib
    [ -n "$logdir" ] || logdir=$build/Testing/jvm-sanitized
    # The JVM handles SIGSEGV itself (null checks, stack banging): the sanitizer must leave it.
    # Leaks are the JVM's business at exit; the library frees what it allocates per call.
    export ASAN_OPTIONS=handle_segv=0:detect_leaks=0:halt_on_error=1:abort_on_error=0
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    preload=$(${CXX:-g++} -print-file-name=libasan.so)
fi
[ -n "$logdir" ] || logdir=$build/Testing/jvm
mkdir -p "$logdir" || exit 2
log=$logdir/${class##*.}.log

if [ ! -e "$libdir/libcmnexecutor.so" ]; then
    echo "run-junit.sh: $libdir/libcmnexecutor.so is missing; build the library first" >&2
    exit 1
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/velklb-jvm.XXXXXX") || exit 2
mkdir -p "$tmp/registry" "$tmp/java-tmp"

# Daemons started by the tests record their pids here; any still running at the end are ours
# only if their command line names a socket inside $tmp.
export VELKLB_RIG_PIDS=$tmp/daemon.pids

cleanup() {
    if [ -f "$VELKLB_RIG_PIDS" ]; then
        while read -r pid; do
            [ -n "$pid" ] || continue
            cmdline=$(tr '\0' ' ' 2>/dev/null < "/proc/$pid/cmdline") || continue
            case $cmdline in
                *"$tmp/"*)
                    echo "run-junit.sh: stopping executor $pid left running" >&2
                    kill "$pid" 2>/dev/null
                    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
                    kill -9 "$pid" 2>/dev/null
                    ;;
            esac
        done < "$VELKLB_RIG_PIDS"
    fi
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
if [ "$status" -ne 0 ]; then
    echo "run-junit.sh: $class failed (JVM exit status $status)" >&2
    result=1
elif ! grep -q '^Test run finished' "$log"; then
    echo "run-junit.sh: $class: the JVM ended before JUnit finished" >&2
    result=1
fi
if grep -q -e 'WARNING in native method' -e 'FATAL ERROR' "$log"; then
    echo "run-junit.sh: $class: the JVM's JNI checks complained (see $log)" >&2
    result=1
fi
if grep -q -e 'ERROR: AddressSanitizer' -e 'runtime error:' "$log"; then
    echo "run-junit.sh: $class: the sanitizers reported an error (see $log)" >&2
    result=1
fi
if [ "$result" -ne 0 ]; then
    for f in "$tmp"/*.executor.log "$tmp"/java-tmp/*/*.executor.log; do
        [ -s "$f" ] || continue
        echo "---- last lines of ${f#"$tmp"/} ----" >&2
        tail -n 40 "$f" >&2
    done
fi
exit "$result"
