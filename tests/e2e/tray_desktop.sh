#!/usr/bin/env bash
# The tray program end to end, in a prefix of its own with Wine's virtual
# desktop (a taskbar with a notification area, exit codes kept): the failure
# and help boxes, the connection to the service, the icon following a phone
# plugged in and unplugged, the menu starting the browser and the wizard (the
# launch recorder stands in for both), the about and settings dialogs, and
# "-stop". Screenshots go to the build tree's screenshots folder.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
serial=E2E-TRAY-1
# A fresh prefix every run: nothing registered, no phone, no desktop yet.
dialix_own_prefix tray fresh
dialix_on_exit '/usr/lib/wine/wineserver -k 2>/dev/null || true'
# What the tray runs print, out of the test's own output.
tray_out=$(mktemp)
dialix_on_exit 'rm -f "$tray_out"'
phonectl() { dialix_wine "$DIALIX_BIN/phonectl.exe" "$@" | tr -d '\r'; }
wintest() { dialix_wine "$DIALIX_BIN/dialix_wintest.exe" "$@" | tr -d '\r'; }
snap() { dialix_snap "$1" || fail "no screenshot $1"; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# The desktop is read when the wineserver starts: set it, then end the server.
dialix_reg_add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
dialix_reg_add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
/usr/lib/wine/wineserver -k 2>/dev/null
/usr/lib/wine/wineserver -w 2>/dev/null

# The tray runs from a folder of its own; its browser and wizard are the recorder.
folder_unix=$WINEPREFIX/drive_c/OrvexTray
folder='C:\OrvexTray'
mkdir -p "$folder_unix" "$WINEPREFIX/drive_c/TrelkPlatform"
cp "$DIALIX_BIN/OrvexDialixTray.exe" "$folder_unix/"
cp "$DIALIX_BIN/launch_recorder.exe" "$folder_unix/browser.exe"
cp "$DIALIX_BIN/launch_recorder.exe" "$folder_unix/Pairwell.exe"
printf '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Configuration>\n\t<OrvexDialixTray>\n\t\t<Firefox>\n\t\t\t<Path>.\\browser.exe</Path>\n\t\t</Firefox>\n\t</OrvexDialixTray>\n</Configuration>\n' \
  >"$folder_unix/OrvexDialixTray.cfg"
dialix_reg_add 'HKLM\SOFTWARE\Trelk' /v TrelkVersion /d 4.5.6
dialix_reg_add 'HKLM\SOFTWARE\Trelk' /v PlatformPath /d 'C:\TrelkPlatform'
tray() { (cd "$folder_unix" && dialix_wine "$folder\\OrvexDialixTray.exe" "$@"); }
# A box's text once it is filled in (the box may be found while it is made).
box_text() {
  local end=$(( $(now_ms) + 30000 )) text=""
  while [ -z "$text" ] && [ "$(now_ms)" -lt $end ]; do
    text=$(wintest OrvexDialixTray.exe box 1000)
  done
  echo "$text"
}
# Presses OK until the program has ended (a box not ready ignores it); its exit code.
dismiss_and_wait() {  # pid
  local end=$(( $(now_ms) + 30000 ))
  while kill -0 "$1" 2>/dev/null && [ "$(now_ms)" -lt $end ]; do
    wintest OrvexDialixTray.exe dismiss 1000 >/dev/null
    sleep 0.2
  done
  kill -0 "$1" 2>/dev/null && return 124
  wait "$1"
}

echo "== Without the service registered: the failure box and exit code 2"
tray >>"$tray_out" 2>&1 & pid=$!
box=$(box_text)
[ "$box" == "Failed to initialize Orvex Dialix. Try to reinstall application." ] || fail "failure box read \"$box\""
snap tray-failure-box
dismiss_and_wait $pid; rc=$?
[ $rc -eq 2 ] || fail "a start without the service ended with $rc, not 2"

echo "== -help: the help box and exit code 1"
tray -help >>"$tray_out" 2>&1 & pid=$!
box=$(box_text)
echo "$box" | dialix_has '^Valid command line arguments for the Orvex Dialix are:' || fail "help box read \"$box\""
snap tray-help-box
dismiss_and_wait $pid; rc=$?
[ $rc -eq 1 ] || fail "-help ended with $rc, not 1"

echo "== The tray connects to the service"
dialix_register_service || fail "registration failed"
dialix_set_loglevel REG_DWORD 5
log=$DIALIX_BIN/OrvexDialixService.log
rm -f "$log"
tray >>"$tray_out" 2>&1 & tray_pid=$!
wintest OrvexDialixTray.exe find OrvexDialixTrayWindow 60000 || fail "no tray window"
dialix_wait_for_line "$log" 'CZembra::Connect' 60000 || fail "the service's log shows no Connect"
grep -m1 'CZembra::Connect' "$log"

# The area's picture once it has settled (two equal samples in a row).
settled_hash() {
  local end=$(( $(now_ms) + 30000 )) last="" hash
  while [ "$(now_ms)" -lt $end ]; do
    hash=$(wintest areahash)
    [ -n "$hash" ] && [ "$hash" == "$last" ] && { echo "$hash"; return 0; }
    last=$hash
    sleep 0.3
  done
  echo "$last"
}
# Waits until the area's hash is (or is not) the given one.
wait_hash() {  # is|not hash ms
  local end=$(( $(now_ms) + $3 )) hash
  while [ "$(now_ms)" -lt $end ]; do
    hash=$(wintest areahash)
    if [ "$1" == is ] && [ "$hash" == "$2" ]; then echo "$hash"; return 0; fi
    if [ "$1" == not ] && [ -n "$hash" ] && [ "$hash" != "$2" ]; then echo "$hash"; return 0; fi
    sleep 0.2
  done
  return 1
}
menu_key() { wintest OrvexDialixTray.exe post '#32768' 0x100 "$1" 0 >/dev/null; }
open_menu() {
  wintest OrvexDialixTray.exe post OrvexDialixTrayWindow 1124 199 514 >/dev/null || fail "could not post to the tray"
  wintest OrvexDialixTray.exe find '#32768' 10000 || fail "no menu opened"
}
launch_line() {  # recorder line
  local file=$folder_unix/$1.launch
  local end=$(( $(now_ms) + 30000 ))
  until [ -f "$file" ] && [ "$(wc -l <"$file")" -ge 3 ]; do
    [ "$(now_ms)" -ge $end ] && return 1
    sleep 0.1
  done
  sed -n "$2p" "$file" | tr -d '\r'
}

hash0=$(settled_hash)
echo "area hash without a phone: $hash0"
snap tray-area-disconnected

echo "== A phone plugged in changes the icon; the menu opens the browser"
phonectl remove "$serial" >/dev/null 2>&1
phonectl plug "$serial" --model "Tray Model" --manufacturer Orvex --name "Tray Phone" --conn "8,Tray BT" ||
  fail "phonectl could not plug the phone"
hash1=$(wait_hash not "$hash0" 60000) || fail "the area did not change with the phone"
hash1=$(settled_hash)
echo "area hash with the phone connected: $hash1"
snap tray-area-connected
open_menu
snap tray-menu-connected
menu_key 0x28
menu_key 0x0D
line=$(launch_line browser.exe 1) || fail "the browser was not started"
echo "browser command line: $line"
[ "$line" == "\"$folder\\.\\browser.exe\" -dialix" ] || fail "browser started as \"$line\""

echo "== The phone unplugged restores the icon; the menu starts the wizard"
phonectl unplug "$serial" || fail "phonectl could not unplug the phone"
hash2=$(wait_hash is "$hash0" 60000) || fail "the area did not return to its first picture"
echo "area hash after unplugging: $hash2"
open_menu
snap tray-menu-disconnected
menu_key 0x28
menu_key 0x28
menu_key 0x0D
arguments=$(launch_line Pairwell.exe 2) || fail "the wizard was not started"
working=$(launch_line Pairwell.exe 3)
echo "wizard command line: $(launch_line Pairwell.exe 1)"
echo "wizard arguments: \"$arguments\", working folder: $working"
[ -z "$arguments" ] || fail "the wizard got arguments \"$arguments\""
[ "$working" == 'C:\TrelkPlatform' ] || fail "the wizard started in \"$working\""

echo "== About and settings"
wintest OrvexDialixTray.exe post OrvexDialixTrayWindow 0x111 57664 0 >/dev/null
wintest OrvexDialixTray.exe wait "About Orvex Dialix" 20000 || fail "no about dialog"
about=$(wintest OrvexDialixTray.exe text "About Orvex Dialix" 1002)
echo "$about"
echo "$about" | dialix_has '^Trelk: 4.5.6$' || fail "the about text lacks the Trelk version"
echo "$about" | dialix_has '^Orvex Cable Driver: Not found!$' || fail "the about text lacks the cable driver line"
snap tray-about-desktop
wintest OrvexDialixTray.exe click "About Orvex Dialix" 2
wintest OrvexDialixTray.exe post OrvexDialixTrayWindow 0x111 32777 0 >/dev/null
wintest OrvexDialixTray.exe wait "Orvex Dialix Settings" 20000 || fail "no settings dialog"
[ "$(wintest OrvexDialixTray.exe enabled "Orvex Dialix Settings" 1005)" == 0 ] || fail "IE command line enabled for Firefox"
shown=$(wintest OrvexDialixTray.exe edittext "Orvex Dialix Settings" 1002)
[ "$shown" == '.\browser.exe' ] || fail "the Firefox path shows \"$shown\", not the file's"
snap tray-settings-firefox-desktop
wintest OrvexDialixTray.exe click "Orvex Dialix Settings" 1004
[ "$(wintest OrvexDialixTray.exe enabled "Orvex Dialix Settings" 1005)" == 1 ] || fail "IE command line still disabled"
[ "$(wintest OrvexDialixTray.exe enabled "Orvex Dialix Settings" 1002)" == 0 ] || fail "Firefox path still enabled"
snap tray-settings-ie-desktop
wintest OrvexDialixTray.exe click "Orvex Dialix Settings" 2
wintest OrvexDialixTray.exe gone "Orvex Dialix Settings" 10000 || fail "settings did not close"

echo "== -stop ends the tray"
tray -stop; rc=$?
[ $rc -eq 1 ] || fail "-stop ended with $rc, not 1"
dialix_wait_for_exit 30000 $tray_pid && wait $tray_pid; rc=$?
[ $rc -eq 0 ] || fail "the tray ended with $rc, not 0"
phonectl remove "$serial" >/dev/null 2>&1

echo "hashes: without $hash0, connected $hash1, unplugged $hash2"
[ $failures -eq 0 ] && echo "PASS" || echo "$failures failure(s)"
exit $(( failures > 0 ))
