# Sourced by the velkctl tests and the demo: starts a simulated executor in a fresh folder
# ($work) with a two-card host and some traffic, and stops it on exit. Needs $build.
work=$(mktemp -d /tmp/cmnexecutor-cli.XXXXXX)
daemon=""
cleanup() {
  if [ -n "$daemon" ] && kill -0 "$daemon" 2>/dev/null; then kill "$daemon" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export VELKLB_DEVICE="$work/velklb"
export VELKLB_REGISTRY="$work/registry"
export VELKLB_TOOL_LOG="$work/tools.log"
export PATH="$build/tools:$build/bin:$PATH"

# java ARGS... with the JVM's JNI checks and the library beside it: standard output without the
# library's own trace lines ("****...", which reach it through C's buffering in an order of their
# own); a JNI warning or fatal error in $work/jvm.err fails it.
run_jvm() {
  local status=0
  timeout -k 10 "${JVM_TIMEOUT:-580}" "${JAVA_HOME:+$JAVA_HOME/bin/}java" -Xcheck:jni -Dvelkctl.console.keep=true \
    -Djava.library.path="$build/lib" "$@" 2>"$work/jvm.err" | grep -v '^\*\*\*\*' || status=${PIPESTATUS[0]}
  if grep -qs -e "WARNING in native method" -e "FATAL ERROR" "$work/jvm.err" "$work/exporter.err"; then
    cat "$work/jvm.err"; return 1
  fi
  return "$status"
}

start_executor() {  # the velklb-executor PATH finds (the build's, unless a caller says otherwise)
  velklb-executor --socket "$VELKLB_DEVICE" >>"$work/executor.log" 2>&1 &
  daemon=$!
  for _ in $(seq 1 250); do
    velklb-ctl PING >/dev/null 2>&1 && break
    sleep 0.02
  done
  velklb-ctl PING >/dev/null
}
start_executor

seed_card() {  # card service address netmask interface
  local cards="$VELKLB_REGISTRY/SOFTWARE/Microsoft/Windows NT/CurrentVersion/NetworkCards/$1"
  local tcpip="$VELKLB_REGISTRY/SYSTEM/CurrentControlSet/Services/Tcpip/Parameters/Interfaces/$2"
  mkdir -p "$cards" "$tcpip"
  printf '%s' "$2" >"$cards/ServiceName"
  printf '%s' "$3" >"$tcpip/IPAddress"
  printf '%s' "$4" >"$tcpip/SubnetMask"
  velklb-ctl IFNAME "$2" "$5" >/dev/null
}
seed_cards() {
  seed_card 1 vlkA 10.1.0.5 255.255.0.0 eth0
  seed_card 2 vlkB 192.168.7.2 255.255.255.0 eth1
}
seed_cards

# A new, empty executor in place of the running one (as after a rebuild), on the same host.
restart_executor() {
  velklb-ctl STOP >/dev/null
  wait "$daemon" 2>/dev/null || true
  start_executor
  seed_cards
}

for line in \
    "CLOCK 1767225600" \
    "CONNECTION 172.16.4.1 40112 10.1.2.3 80 10.1.0.11 1767225590 0x1b 3 4 65" \
    "CONNECTION 172.16.4.2 40113 10.1.2.3 80 10.1.0.12 1767225555 0x02 4 8 70" \
    "NPS 2" \
    "HALFOPEN 203.0.113.7 51000 1" \
    "ATTACKER 10.1.2.3 80 203.0.113.7 120" \
    "ATTACKER 10.1.2.3 80 203.0.113.8 45"; do
  velklb-ctl DIAG $line >/dev/null
done
