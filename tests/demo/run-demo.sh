#!/usr/bin/env bash
# The main job: a JVM drives the library against the simulated executor over the real device
# path. Usage: run-demo.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d /tmp/cmnexecutor-demo.XXXXXX)
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

"$build/bin/velklb-executor" --socket "$VELKLB_DEVICE" >"$work/executor.log" 2>&1 &
daemon=$!
for _ in $(seq 1 250); do
  velklb-ctl PING >/dev/null 2>&1 && break
  sleep 0.02
done
velklb-ctl PING >/dev/null

echo "simulated executor serving $VELKLB_DEVICE"

# A two-card host: each card's service name, its TCP/IP settings, and the executor's name for it.
seed_card() {  # card service address netmask interface
  local cards="$VELKLB_REGISTRY/SOFTWARE/Microsoft/Windows NT/CurrentVersion/NetworkCards/$1"
  local tcpip="$VELKLB_REGISTRY/SYSTEM/CurrentControlSet/Services/Tcpip/Parameters/Interfaces/$2"
  mkdir -p "$cards" "$tcpip"
  printf '%s' "$2" >"$cards/ServiceName"
  printf '%s' "$3" >"$tcpip/IPAddress"
  printf '%s' "$4" >"$tcpip/SubnetMask"
  velklb-ctl IFNAME "$2" "$5" >/dev/null
}
seed_card 1 vlkA 10.1.0.5 255.255.0.0 eth0
seed_card 2 vlkB 192.168.7.2 255.255.255.0 eth1
java_bin="${JAVA_HOME:+$JAVA_HOME/bin/}java"
"$java_bin" -Xcheck:jni -Djava.library.path="$build/lib" -jar "$build/cmnexecutor-demo.jar"
echo "shell lines the library ran:"
sed 's/^/  /' "$VELKLB_TOOL_LOG" 2>/dev/null || echo "  (none)"
