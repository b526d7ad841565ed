#!/usr/bin/env bash
# A simulated high-availability pair on one machine, for the Ansible example playbook
# (ansible/playbooks/sim-pair.ini): executors lb-a and lb-b, each serving its own device
# DIR/<member>/velklb, and one network card (10.1.0.5/16, interface eth0 on both) in the
# registry folder DIR/registry, which velkctl reads through VELKLB_REGISTRY.
# Usage: pair.sh BUILD_DIR DIR        starts both, returns once both answer
#        pair.sh BUILD_DIR DIR stop   stops both
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
dir=$(cd "$2" && pwd)
ctl() { VELKLB_DEVICE=$dir/$1/velklb "$build/bin/velklb-ctl" "${@:2}"; }

if [ "${3:-}" = stop ]; then
  for member in lb-a lb-b; do
    if [ -f "$dir/$member/pid" ]; then kill "$(cat "$dir/$member/pid")" 2>/dev/null || true; fi
    rm -f "$dir/$member/pid"
  done
  exit 0
fi

cards="$dir/registry/SOFTWARE/Microsoft/Windows NT/CurrentVersion/NetworkCards/1"
tcpip="$dir/registry/SYSTEM/CurrentControlSet/Services/Tcpip/Parameters/Interfaces/vlkA"
mkdir -p "$cards" "$tcpip"
printf vlkA >"$cards/ServiceName"
printf 10.1.0.5 >"$tcpip/IPAddress"
printf 255.255.0.0 >"$tcpip/SubnetMask"
for member in lb-a lb-b; do
  mkdir -p "$dir/$member"
  "$build/bin/velklb-executor" --socket "$dir/$member/velklb" >"$dir/$member/executor.log" 2>&1 &
  echo $! >"$dir/$member/pid"
  for _ in $(seq 1 250); do ctl "$member" PING >/dev/null 2>&1 && break; sleep 0.02; done
  ctl "$member" IFNAME vlkA eth0 >/dev/null
done
echo "simulated pair in $dir: export VELK_PAIR_DIR=$dir VELKLB_REGISTRY=$dir/registry"
