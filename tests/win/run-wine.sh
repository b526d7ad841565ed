#!/bin/sh
# Runs the Windows build under Wine against velklb.sys, in a private prefix of the build.
#   run-wine.sh conformance WIN_BUILD LINUX_BUILD   the scenario through the DLL and through
#                                                   the .so; the transcripts must be identical
#   run-wine.sh checks WIN_BUILD LINUX_BUILD        the Windows-only checks: the platform layer
#                                                   on its own, then through the DLL
#   run-wine.sh launcher WIN_BUILD LINUX_BUILD      velkctl.cmd from the Windows bundle, with a
#                                                   stand-in java.exe that prints its arguments
# Every Wine step is bounded; the prefix's wineserver is ended whatever happens.
set -eu
mode=$1
win=$(cd "$2" && pwd)
linux=$(cd "$3" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

for tool in wine wineboot wineserver; do
  command -v "$tool" >/dev/null 2>&1 || { echo "FAILED: $tool is not installed (make deps)"; exit 1; }
done

export WINEPREFIX="$win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC
out="$win/Testing/win"
mkdir -p "$out"
endwine() {
  timeout 30 wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
}
finish() {
  status=$?
  endwine
  exit "$status"
}
trap finish EXIT INT TERM

# A prefix once per build folder, with the driver registered as a kernel service.
if [ ! -f "$WINEPREFIX/.velklb-registered" ]; then
  rm -rf "$WINEPREFIX"
  timeout 300 wineboot -i >"$out/wineboot.log" 2>&1 || { echo "FAILED: wineboot"; cat "$out/wineboot.log"; exit 1; }
  timeout 60 wine sc create velklb type= kernel \
    binPath= 'C:\windows\system32\drivers\velklb.sys' >"$out/sc.log" 2>&1 \
    || { echo "FAILED: sc create"; cat "$out/sc.log"; exit 1; }
  touch "$WINEPREFIX/.velklb-registered"
fi
endwine
cp "$win/bin/velklb.sys" "$WINEPREFIX/drive_c/windows/system32/drivers/velklb.sys"
# The alias tool's stand-in where cmd finds it.
cp "$win/bin/zoconfig.exe" "$WINEPREFIX/drive_c/windows/system32/zoconfig.exe"

# Windows paths for the programs' arguments: the prefix maps / to Z:.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
dll=$(winpath "$win/bin/cmnexecutor.dll")
rm -f "$out/tools.log"
VELKLB_TOOL_LOG=$(winpath "$out/tools.log")
export VELKLB_TOOL_LOG

case "$mode" in
  conformance)
    # The cards the Linux run reads from its registry folder, imported into Wine's registry
    # over emptied keys (all cards go: the scans must see ours alone). Wine's NDIS driver
    # writes the host's own adapters as cards 1, 2... whenever Wine starts: it is turned off
    # first, and Wine restarted without it.
    services='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services'
    printf 'REGEDIT4\r\n\r\n[%s\\NDIS]\r\n"Start"=dword:00000004\r\n' "$services" >"$out/no-ndis.reg"
    timeout 60 wine regedit /S "$(winpath "$out/no-ndis.reg")"
    endwine
    cards=$(grep -v '^#' "$here/../jnihost/registry-cards.txt")
    {
      printf 'REGEDIT4\r\n\r\n'
      printf '[-HKEY_LOCAL_MACHINE\\%s]\r\n\r\n' 'SOFTWARE\Microsoft\Windows NT\CurrentVersion\NetworkCards'
      printf '%s\n' "$cards" | cut -d'|' -f1 | sort -u | while read -r key; do
        printf '[-HKEY_LOCAL_MACHINE\\%s]\r\n\r\n' "$key"
      done
      printf '%s\n' "$cards" | while IFS='|' read -r key value texts; do
        case $texts in
          *'|'*)  # a multi-string: each text and its NUL, and the NUL that ends the list
            data="hex(7):$(printf '%s\000\000' "$texts" | tr '|' '\000' | od -An -v -tx1 \
              | tr -s ' \n' ',' | sed 's/^,//; s/,$//')"
            ;;
          *) data="\"$texts\"" ;;
        esac
        printf '[HKEY_LOCAL_MACHINE\\%s]\r\n"%s"=%s\r\n\r\n' "$key" "$value" "$data"
      done
    } >"$out/cards.reg"
    timeout 60 wine regedit /S "$(winpath "$out/cards.reg")"
    "$here/../jnihost/run-linux.sh" "$linux" "$out/linux.txt"
    rm -f "$out/windows.txt"
    timeout 180 wine "$win/bin/jnihost-scenario.exe" "$dll" "$(winpath "$out/windows.txt")" \
      "$(winpath "$here/../jnihost/conformance.plan")"
    if cmp -s "$out/linux.txt" "$out/windows.txt"; then
      echo "transcripts identical: $(wc -l <"$out/windows.txt") lines, $(grep -c '^  request ' "$out/windows.txt") requests"
    else
      echo "FAILED: the DLL and the .so differ"
      diff "$out/linux.txt" "$out/windows.txt" | cut -c1-300 | head -40
      exit 1
    fi
    ;;
  checks)
    # The registry values the platform checks read, imported afresh.
    max=$(printf 'a%.0s' $(seq 254))
    over=$(printf 'b%.0s' $(seq 255))
    {
      printf 'REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VelkTest]\r\n\r\n'
      printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\VelkTest]\r\n'
      printf '"Short"="eth0"\r\n"Max"="%s"\r\n"Over"="%s"\r\n' "$max" "$over"
      printf '"Multi"=hex(7):66,69,72,73,74,00,73,65,63,6f,6e,64,00,00\r\n'
      printf '"Number"=dword:00434241\r\n"Empty"=""\r\n'
    } >"$out/velktest.reg"
    timeout 60 wine regedit /S "$(winpath "$out/velktest.reg")"
    timeout 180 wine "$win/bin/win-checks.exe" "$dll" "$(winpath "$out/checks.txt")" \
      "$(cat "$here/../../VERSION")"
    ;;
  launcher)
    # The bundle as shipped, unpacked into a folder with a blank in its name; the stand-in
    # java.exe in a JAVA_HOME of its own, with blanks and parentheses.
    rm -rf "$out/launcher"
    mkdir -p "$out/launcher/velk tools" "$out/launcher/jdk (x64)/bin"
    "$here/../../packaging/make-dist.sh" "$out/launcher/dist" 0.0.0 "$linux" "$win" >/dev/null
    (cd "$out/launcher/velk tools" \
      && cmake -E tar xf "$out/launcher/dist/cmnexecutor-0.0.0-windows-x86_64.zip")
    rm -rf "$out/launcher/dist"
    cp "$win/bin/java-standin.exe" "$out/launcher/jdk (x64)/bin/java.exe"
    bundle="$out/launcher/velk tools/cmnexecutor-0.0.0-windows-x86_64"
    dir=$(winpath "$bundle")
    cp=""
    for jar in cmnexecutor-cli.jar cmnexecutor.jar picocli.jar gson.jar snakeyaml.jar jna.jar; do
      [ -f "$bundle/$jar" ] || { echo "FAILED: the bundle lacks $jar"; exit 1; }
      cp="$cp${cp:+;}$dir\\$jar"
    done
    printf '[-Xmx64m]\n[-Dvelk.test=a b]\n[-Djava.library.path=%s\\.]\n[-cp]\n[%s]\n' "$dir" "$cp" \
      >"$out/launcher/expected"
    printf '[com.velk.internet.tz.velkctl.Velkctl]\n[executor]\n[show]\n[--json]\n' \
      >>"$out/launcher/expected"
    printf '[two words]\n[say "hi"]\n' >>"$out/launcher/expected"
    export VELKCTL_JAVA_OPTS='-Xmx64m "-Dvelk.test=a b"'
    jdk=$(winpath "$out/launcher/jdk (x64)")
    # FOLDER SCRIPT VARIABLE=VALUE STATUS: the script run from FOLDER, java exiting with STATUS.
    launch() {
      (cd "$1" && env -u JAVA_HOME -u WINEPATH "$3" JAVA_STANDIN_EXIT="$4" timeout 60 \
        wine cmd /c "$2" executor show --json "two words" 'say "hi"') >"$out/launcher/got" 2>&1
    }
    # Once by its folder with JAVA_HOME; once by its bare name from elsewhere, with the bundle
    # and java.exe on PATH.
    failed=0
    for status in 0 1 2 3; do
      for way in home path; do
        if [ "$way" = home ]; then launch "$bundle" velkctl.cmd "JAVA_HOME=$jdk" "$status"
        else launch "$out/launcher" velkctl "WINEPATH=$dir;$jdk\\bin" "$status"
        fi && got=0 || got=$?
        tr -d '\r' <"$out/launcher/got" >"$out/launcher/args"
        if ! cmp -s "$out/launcher/expected" "$out/launcher/args"; then
          echo "FAILED: java's arguments ($way, status $status)"
          diff "$out/launcher/expected" "$out/launcher/args"
          failed=1
        fi
        [ "$got" = "$status" ] || { echo "FAILED: exit status $got for $status ($way)"; failed=1; }
      done
    done
    [ "$failed" = 0 ] && echo "velkctl.cmd: arguments and exit statuses 0-3 through JAVA_HOME and PATH"
    exit "$failed"
    ;;
  *)
    echo "usage: $0 conformance|checks|launcher WIN_BUILD LINUX_BUILD"; exit 2 ;;
esac
