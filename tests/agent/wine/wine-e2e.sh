#!/usr/bin/env bash
# End to end under Wine: installs the real agent's installer package (an older build of it) in a
# fresh Wine prefix under Xvfb, lets the service record Notepad and WineMine across a (faked)
# midnight, upgrades it to the current package, removes it, checks the published file with
# sqlite3, then lets the console import it through a simulated network folder.
# Usage: wine-e2e.sh AGENT_BUILD_DIR IMPORT_TOOL     Exit 77 = skipped (tools missing).
set -euo pipefail
agent_dir="$(cd "$1" && pwd)"
importer="$2"
wxs="$(cd "$(dirname "$0")/../../../packaging/agent" && pwd)/VCWorkstation.wxs"
agent="$agent_dir/win32/VCWorkstation.exe"
focus="$agent_dir/win32/vcfocus.exe"
package="$agent_dir/VCWorkstation.msi"

# Skipped only outside scripts/test, which builds the agent and requires this test to run.
skip() {
  if [ "${VC_AGENT_E2E_REQUIRED:-0}" = 1 ]; then echo "FAIL: $*"; exit 1; fi
  echo "SKIP: $*"; exit 77
}
for tool in wine wineserver wineboot Xvfb faketime sqlite3 wixl; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps)"
done
[ -f "$agent" ] && [ -f "$package" ] || skip "$agent or its package not built (scripts/build-agent)"
[ -x "$importer" ] || { echo "FAIL: import tool $importer missing"; exit 1; }

started=$(date +%s)
work="$(mktemp -d "${TMPDIR:-/tmp}/vc-wine-e2e.XXXXXX")"
xvfb_pid=""
cleanup() {
  set +e
  [ -d "$work/prefix" ] && WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() { echo "FAIL: $*"; [ -f "$log" ] && { echo "--- agent log"; cat "$log"; }; exit 1; }
log=/nonexistent

# A display of our own: Xvfb picks a free number and tells it through a file descriptor.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(cat "$work/display")"
# A zone off UTC: local midnight is what ends a day.
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=America/New_York
unset WINESERVER WINELOADER

wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot: $(tail -5 "$work/wineboot.log")"
wineserver -w
# Otherwise Wine rebuilds the prefix when it sees a clock that moved, and the fake start drifts.
echo disable >"$WINEPREFIX/.update-timestamp"
prefix_done=$(date +%s)

mkdir -p "$WINEPREFIX/drive_c/vc"
cp "$agent" "$focus" "$package" "$WINEPREFIX/drive_c/vc/"
# The same program in a package of an older version: what a site upgrades from.
(cd "$agent_dir" && wixl -a x64 -D Version=0.0.1 -D AgentExe=win32/VCWorkstation.exe \
  -o "$WINEPREFIX/drive_c/vc/VCWorkstation-old.msi" "$wxs" \
  2>"$work/wixl.log") || fail "cannot build the older package: $(cat "$work/wixl.log")"
program="$WINEPREFIX/drive_c/Program Files/Vellumcrest/VCWorkstation.exe"
data="$WINEPREFIX/drive_c/ProgramData/Vellumcrest"
published="$data/Data/VCWorkstation.mdb"
working="$data/Agent/usage.db"
log="$data/Agent/VCWorkstation.log"

# Every Wine process from here on runs on one faked clock: a fixed offset (not a start time, so
# processes started later agree), placing a local midnight (New York) shortly ahead.
lead=40
now=$(date +%s)
midnight=$(date -d "$(date -d "@$now" +%F) + 1 day 00:00" +%s)
offset=$(( midnight - lead - now ))
export FAKETIME="+${offset}s" FAKETIME_DONT_FAKE_MONOTONIC=1
libfaketime="$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n 1)"
[ -n "$libfaketime" ] || skip "libfaketime not found (package faketime)"
export LD_PRELOAD="$libfaketime"
fake_now() { date +%s; }   # date runs under the same preload
day_done="$(date -d "@$((midnight - 1))" +%F)"
day_open="$(date -d "@$midnight" +%F)"
wait_until() { while [ "$(fake_now)" -lt "$1" ]; do sleep 0.2; done; }
# The faked clock stands just before the chosen midnight (the real one is hours away).
to_midnight=$(( midnight - $(fake_now) ))
[ "$to_midnight" -gt 0 ] && [ "$to_midnight" -le "$lead" ] || fail "faked clock not in effect ($to_midnight s to midnight)"

w() { wine "$@" 2>>"$work/wine.log"; }

version="$(cat "$agent_dir/agent-version.txt")"
[ "$(w 'C:\vc\VCWorkstation.exe' --version | tr -d '\r')" = "VCWorkstation $version" ] || fail "--version does not print $version"
# A redaction rule (and a rejected line): WineMine's title never reaches a file on the workstation.
w reg add 'HKLM\SOFTWARE\Vellumcrest\VCWorkstation' /v RedactTitles /t REG_MULTI_SZ /d '*MINE*=(game)\0*' /f >/dev/null ||
  fail "cannot set RedactTitles"

# Installing the older package: the service is registered from Program Files and started; the
# share is not supported under Wine, which is logged and does not roll the installation back.
w msiexec /i 'C:\vc\VCWorkstation-old.msi' /qn SHAREGROUP=Administrators /l*v 'C:\vc\install.log' >"$work/install.out" ||
  fail "msiexec /i exited with $?: $(tail -5 "$WINEPREFIX/drive_c/vc/install.log" 2>/dev/null)"
grep -q "installed and running" "$work/install.out" || fail "the package did not report the running service"
grep -q "share Vellumcrest\$ could not be created: not supported" "$log" || fail "the share's failure is not in the log"
w reg query 'HKLM\System\CurrentControlSet\Services\VCWorkstation' /v ImagePath | tr -d '\r' >"$work/image.out" || true
grep -q 'C:\\Program Files\\Vellumcrest\\VCWorkstation.exe' "$work/image.out" || fail "registered path: $(cat "$work/image.out")"

w sc query VCWorkstation | tr -d '\r' >"$work/query.out"
grep -Eq "SERVICE_NAME: VCWorkstation$" "$work/query.out" || fail "service name: $(cat "$work/query.out")"
grep -Eq "TYPE +: 10 " "$work/query.out" || fail "service type: $(cat "$work/query.out")"
grep -Eq "STATE +: 4 " "$work/query.out" || fail "running state: $(cat "$work/query.out")"
# Wine's sc has no qc: the start type is read where the service manager keeps it.
w reg query 'HKLM\System\CurrentControlSet\Services\VCWorkstation' /v Start | tr -d '\r' >"$work/start.out" || true
grep -Eiq "Start +REG_DWORD +0x2$" "$work/start.out" || fail "not started automatically: $(cat "$work/start.out")"

# The scenario, on the faked clock: Notepad, WineMine, Notepad again across midnight.
t_np1=$(( midnight - 24 )); t_mine=$(( midnight - 16 )); t_np2=$(( midnight - 8 )); t_stop=$(( midnight + 8 ))
[ "$(fake_now)" -lt "$t_np1" ] || fail "set-up took too long for the scenario (increase lead)"
wait_until "$t_np1"
w notepad >/dev/null &
wait_until "$t_mine"
w winemine >/dev/null &
wait_until "$t_np2"
w 'C:\vc\vcfocus.exe' "Untitled - Notepad" || fail "focus tool could not bring Notepad back"
wait_until "$t_stop"
# The upgrade: the old version goes (its service saves and stops), the new one comes, the data stays.
w msiexec /i 'C:\vc\VCWorkstation.msi' /qn /l*v 'C:\vc\upgrade.log' >"$work/upgrade.out" ||
  fail "upgrade exited with $?: $(tail -5 "$WINEPREFIX/drive_c/vc/upgrade.log" 2>/dev/null)"
grep -q "Service VCWorkstation removed" "$work/upgrade.out" || fail "the upgrade did not remove the old version first"
w 'C:\Program Files\Vellumcrest\VCWorkstation.exe' status | tr -d '\r' >"$work/status.out" || true
cat "$work/status.out"
grep -q "Newest published day: $day_done" "$work/status.out" || fail "status does not name $day_done after the upgrade"
grep -q "Service VCWorkstation: running (state 4)" "$work/status.out" || fail "status does not show the running service"
grep -q "^VCWorkstation $version" "$work/status.out" || fail "status does not name version $version"
grep -q "Title redaction: 1 rules active, 1 rejected:" "$work/status.out" || fail "status does not count the redaction rules"
grep -q "Last publication: .*days through $day_done" "$work/status.out" || fail "status does not give the last publication"
# The self-check runs; what Wine keeps no record of is said as such, and the whole fails.
set +e
w 'C:\Program Files\Vellumcrest\VCWorkstation.exe' status --verify | tr -d '\r' >"$work/verify.out"
verify_rc=$?
set -e
cat "$work/verify.out"
[ "$verify_rc" -eq 1 ] || fail "status --verify exited with $verify_rc under Wine"
[ "$(grep -c '^FAIL  ' "$work/verify.out")" -eq 7 ] || fail "status --verify does not print its seven checks"
grep -q "^FAIL  folder .*Agent (owner, access list): this system cannot show it" "$work/verify.out" ||
  fail "status --verify does not say Wine cannot show the owners"
# Removing the package removes the service and the program, and keeps the data.
w msiexec /x 'C:\vc\VCWorkstation.msi' /qn >"$work/uninstall.out" || fail "msiexec /x exited with $?"
t_removed=$(fake_now)
w sc query VCWorkstation 2>/dev/null | tr -d '\r' >"$work/query.out" || true
! grep -q "SERVICE_NAME: VCWorkstation" "$work/query.out" || fail "service still registered after removal"
[ ! -e "$program" ] || fail "the program is still there after removal"
[ -f "$published" ] && [ -f "$working" ] || fail "removal took the data"
wineserver -k || true
unset LD_PRELOAD FAKETIME

# The published file: the completed day only, whole seconds close to the scenario's, every name
# in its table, and an intact file.
[ -f "$published" ] || fail "nothing published"
q() { sqlite3 -readonly "$published" "$1"; }
[ "$(q 'PRAGMA integrity_check')" = ok ] || fail "published file damaged"
[ "$(q 'SELECT group_concat(DISTINCT Date) FROM PCDaySummary')" = "$day_done" ] ||
  fail "published days: $(q 'SELECT DISTINCT Date FROM PCDaySummary')"
[ "$(q 'SELECT count(*) FROM PCDaySummary WHERE UserName NOT IN (SELECT UserName FROM PCUsers)
        OR AppTitle NOT IN (SELECT AppTitle FROM PCAppTitles)')" = 0 ] || fail "names missing from the name tables"
echo "Published rows:"; q 'SELECT Date, UserName, AppTitle, Duration FROM PCDaySummary ORDER BY AppTitle'
near() { # near ACTUAL EXPECTED WHAT
  [ -n "$1" ] && [ $(( $1 > $2 ? $1 - $2 : $2 - $1 )) -le 3 ] || fail "$3: $1 s, expected about $2 s"
}
near "$(q "SELECT Duration FROM PCDaySummary WHERE AppTitle = 'Untitled - Notepad'")" \
  $(( (t_mine - t_np1) + (midnight - t_np2) )) "Notepad on $day_done"
near "$(q "SELECT Duration FROM PCDaySummary WHERE AppTitle = '(game)'")" $(( t_np2 - t_mine )) "WineMine, redacted, on $day_done"
[ "$(q "SELECT count(*) FROM PCAppTitles WHERE AppTitle LIKE '%mine%'")" = 0 ] || fail "the redacted title reached the published file"
! cat "$working"* "$log" | grep -aqi winemine || fail "the redacted title reached the working store or the log"
[ "$(q "SELECT Value FROM PCAgentInfo WHERE Name = 'AgentVersion'")" = "$version" ] || fail "the published file does not name version $version"
[ "$(q 'SELECT count(*) FROM PCDaySummary')" = 2 ] || fail "unexpected rows"
[ "$(q 'SELECT count(*) FROM PCUsers')" = 1 ] || fail "unexpected users"
# The open day was recorded privately and waits for its midnight.
open_ms="$(sqlite3 -readonly "$working" "SELECT Millis FROM Usage WHERE Day = '$day_open' AND AppTitle = 'Untitled - Notepad'")"
# The service ran until the package was removed, but for the upgrade's few seconds.
open_s=$(( (open_ms + 500) / 1000 ))
[ "$open_s" -ge $(( t_stop - midnight - 3 )) ] && [ "$open_s" -le $(( t_removed - midnight + 3 )) ] ||
  fail "Notepad on the open day $day_open: $open_s s, expected $(( t_stop - midnight )) to $(( t_removed - midnight )) s"

# The console imports exactly these rows through a simulated network folder.
q "SELECT Date || '|' || UserName || '|' || AppTitle || '|' || Duration FROM PCDaySummary ORDER BY 1" >"$work/expected"
QT_QPA_PLATFORM=offscreen "$importer" "$published" "$work/console" >"$work/imported" || fail "console import failed"
diff -u "$work/expected" "$work/imported" || fail "the console imported other rows"

ended=$(date +%s)
echo "PASS: Wine end to end in $((ended - started)) s (prefix $((prefix_done - started)) s)"
