#!/usr/bin/env bash
# The collection (ansible/) as an operator runs it: built and installed with ansible-galaxy, its
# module docs through ansible-doc, ansible-lint on it, then the example playbook against a
# simulated high-availability pair: two executors, each with its own device, as two inventory
# hosts on the local connection. Usage: run-pair.sh BUILD_DIR
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/cmnexecutor-ansible.XXXXXX)
cleanup() {
  "$src/executor-sim/pair.sh" "$build" "$work" stop
  rm -rf "$work"
}
trap cleanup EXIT

# Ansible's state and settings in this folder only; an empty configuration file stands in for
# the machine's.
mkdir "$work/home"
: >"$work/ansible.cfg"
export HOME=$work/home ANSIBLE_CONFIG=$work/ansible.cfg ANSIBLE_LOCAL_TEMP=$work/tmp \
  ANSIBLE_REMOTE_TEMP=$work/tmp ANSIBLE_COLLECTIONS_PATH=$work/collections ANSIBLE_NOCOLOR=1 \
  ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_STDOUT_CALLBACK=default ANSIBLE_HOST_KEY_CHECKING=0
export VELK_PAIR_DIR=$work VELKLB_REGISTRY=$work/registry VELKLB_TOOL_LOG=$work/tools.log
export PATH="$build/tools:$build/bin:$PATH"
: >"$VELKLB_TOOL_LOG"

ansible-galaxy collection build "$src/ansible" --output-path "$work" >/dev/null
ansible-galaxy collection install "$work"/velk-balancer-*.tar.gz -p "$work/collections" >/dev/null
[ "$(ansible-doc velk.balancer.velk_config velk.balancer.velk_facts | grep -c "^RETURN VALUES:")" = 2 ] \
  || { echo "ansible-doc does not show both modules' documentation"; exit 1; }
(cd "$src/ansible" && ansible-lint --offline -q)

"$src/executor-sim/pair.sh" "$build" "$work" >/dev/null
ctl() { VELKLB_DEVICE=$work/$1/velklb velklb-ctl "${@:2}"; }

playbook=$src/ansible/playbooks
run() {  # expected status, then ansible-playbook's arguments; the output in $work/run.txt
  local status=0
  ansible-playbook -i "$playbook/sim-pair.ini" "$playbook/ha_pair.yml" "${@:2}" >"$work/run.txt" 2>&1 \
    || status=$?
  [ "$status" = "$1" ] || { cat "$work/run.txt"; echo "ansible-playbook: status $status, not $1"; exit 1; }
}
recap() {  # host changed failed: the play recap's counts for host
  grep -q "^$1 *: ok=[0-9]* *changed=$2 .* failed=$3 " "$work/run.txt" \
    || { cat "$work/run.txt"; echo "$1: expected changed=$2 failed=$3"; exit 1; }
}

run 0
recap lb-a 1 0; recap lb-b 1 0
# Each executor holds what the file gives: velkctl would make no call to bring it there.
for member in lb-a lb-b; do
  VELKLB_DEVICE=$work/$member/velklb velkctl diff -f "$playbook/files/balancer.yml" --exit-code >/dev/null \
    || { echo "$member lacks the file's values"; exit 1; }
done

run 0
recap lb-a 0 0; recap lb-b 0 0

# Check mode: unchanged on the file both hold; after one weight changed, changed on both. Only
# reads reach the executors (every changing command is scripted to be refused, which would fail
# the play) and the alias tool is not run.
sed '0,/weight: 5/s//weight: 7/' "$playbook/files/balancer.yml" >"$work/edited.yml"
cmp -s "$playbook/files/balancer.yml" "$work/edited.yml" && { echo "no weight edited"; exit 1; }
for member in lb-a lb-b; do
  for command in $(cut -d' ' -f1 "$src/tests/cli/changing-commands.txt"); do
    ctl "$member" SCRIPT CMD "$command" RESULT -1 REASON -99 >/dev/null
  done
done
tools_before=$(wc -l <"$VELKLB_TOOL_LOG")
run 0 --check
recap lb-a 0 0; recap lb-b 0 0
run 0 --check -e "velk_config_file=$work/edited.yml"
recap lb-a 1 0; recap lb-b 1 0
for member in lb-a lb-b; do ctl "$member" UNSCRIPT >/dev/null; done
[ "$(wc -l <"$VELKLB_TOOL_LOG")" = "$tools_before" ] || { echo "check mode ran the alias tool"; exit 1; }

# lb-a's executor stopped: the play fails for lb-a with velkctl's sentence, lb-b gets the weight.
ctl lb-a STOP >/dev/null
run 2 -e "velk_config_file=$work/edited.yml"
recap lb-a 0 1; recap lb-b 1 0
grep -q "fatal: \[lb-a\].*the executor can't be reached at $work/lb-a/velklb" "$work/run.txt" \
  || { cat "$work/run.txt"; echo "lb-a failed without velkctl's sentence"; exit 1; }

# lb-b refuses its weights set: the task fails with velkctl's sentence and names the port change
# applied before the refusal.
sed 's/sticky-time: 60/sticky-time: 30/; s/weight: 5/weight: 9/' "$work/edited.yml" >"$work/refused.yml"
ctl lb-b SCRIPT CMD 16 TIMES 1 RESULT -1 REASON -5 >/dev/null
run 2 -e "velk_config_file=$work/refused.yml"
grep -q 'fatal: \[lb-b\]: FAILED! => {"applied": \["~ port web:80 sticky-time 60 -> 30"\], .*"msg": "velkctl: refused: ~ weights web:80 ' \
  "$work/run.txt" || { cat "$work/run.txt"; echo "lb-b's refusal not reported"; exit 1; }
echo "ansible pair ok"
