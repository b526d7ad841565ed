#!/usr/bin/env bash
# The main job: an operator session through velkctl against the simulated executor over the
# real device path, each command printed before its output; it ends with the executor stopped.
# Usage: run-demo.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
source "$here/../cli/sim-env.sh"
echo "simulated executor serving $VELKLB_DEVICE"

velkctl() {
  echo
  echo "\$ velkctl $*"
  "$build/bin/velkctl" "$@"
}

# Configure the executor.
velkctl executor show -n
velkctl executor set --nfa 10.0.0.254 --trace-level 2 --fin-timeout 120 \
  --max-number-of-clusters 32 --config-file-name /etc/velklb/demo.cfg
velkctl executor report -n

# Two clusters with their ports and servers.
velkctl cluster add web --address 10.1.2.3 --max-number-of-ports 8
velkctl cluster add mail --address 10.0.2.20
velkctl port add web 80 --weight-bound 10
velkctl port add web 443 --sticky-time 60
velkctl port add mail 25
velkctl server add web 80 s1 --weight 5 --listener 10.1.0.11:8080
velkctl server add web 80 s2 --weight 7 --listener 10.1.0.12:8080
velkctl server add mail 25 mx1
velkctl weights set web 80 --weight s1=4 --weight s2=8
velkctl weights show web 80 -n

# Rules and their servers.
velkctl rule add web 80 clients --rule-type 1 --address-begin-range 172.16.0.1 \
  --address-end-range 172.16.255.254 --priority 10
velkctl rule bind web 80 clients s1
velkctl rule bind web 80 clients s2

# Listings and reports.
velkctl cluster list
velkctl port list web
velkctl server list web 80
velkctl rule list web 80
velkctl rule report web 80 clients
velkctl cluster report web --json
velkctl server down web 80 s2
velkctl server show web 80 s2 -n

# The host's interfaces, the cluster address as an alias, high availability.
velkctl interface list -n
velkctl alias add 10.1.2.3
velkctl alias show 10.1.2.3
velkctl ha add --role 1 --strategy 2 --port 4567
velkctl ha add --heartbeat 10.1.2.4,10.1.9.9
velkctl ha show -n

# The diagnostic views.
velkctl affinity add 10.1.2.3 80 --bind 172.16.4.1=10.1.0.11 --bind 172.16.4.2=10.1.0.12
velkctl affinity report 10.1.2.3 80
velkctl connections report
velkctl connections list -n
velkctl connections show -n --cluster 10.1.2.3 --cluster-port 80
velkctl dump report
velkctl icmp set --got-icmp-resp 1 --icmp-resp-addr 10.1.0.11
velkctl icmp show -n
velkctl log show --tail --size 400

# A refused request says what went wrong, with its own exit status.
status=0
velkctl cluster show nope || status=$?
echo "(exit status $status)"

# The configuration as one file: saved, the executor restarted empty (as after a rebuild),
# the file applied, and nothing left to change.
velkctl save -o "$work/velklb.yaml"
echo "($(wc -l <"$work/velklb.yaml") lines; port web:80 with its first server:)"
sed -n '/^      80:/,/^          s2:/p' "$work/velklb.yaml" | sed '$d'

restart_executor
echo
echo "(the simulated executor restarted empty)"
velkctl cluster list
velkctl apply -f "$work/velklb.yaml"
velkctl diff -f "$work/velklb.yaml" --exit-code
velkctl rule report web 80 clients

# The counters as a Prometheus server scrapes them (velkctl exporter serves the same over HTTP).
echo
echo "\$ velkctl metrics | grep -e '^velk_up' -e 'outcome=\"forwarded\"' -e '^velk_server_weight' -e '^velk_scrape_calls'"
"$build/bin/velkctl" metrics | grep -e '^velk_up' -e 'outcome="forwarded"' -e '^velk_server_weight' \
  -e '^velk_scrape_calls'

# Stop the executor.
velkctl executor down
status=0
velkctl executor show || status=$?
echo "(exit status $status: the executor is stopped)"
echo
echo "shell lines the library ran:"
sed 's/^/  /' "$VELKLB_TOOL_LOG" 2>/dev/null || echo "  (none)"
