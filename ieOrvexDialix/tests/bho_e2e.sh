#!/usr/bin/env bash
# The helper object registered beside the real service: its registry entries
# after registration and unregistration, and a number on a page called
# through it: the service opens the outgoing-call window with that number.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
serial=E2E-BHO-1
number="040 765 4321"
clsid='{15C2DE55-9796-4657-AAA5-EB605D6C5F9A}'
bho_key="HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\$clsid"
toolbar_key='HKLM\SOFTWARE\Microsoft\Internet Explorer\Toolbar'
phonectl() { dialix_wine "$DIALIX_BIN/phonectl.exe" "$@" | tr -d '\r'; }
wintest() { dialix_wine "$DIALIX_BIN/dialix_wintest.exe" OrvexDialixService.exe "$@" | tr -d '\r'; }
install="$WINEPREFIX/drive_c/bho e2e/Orvex Dialix"
cleanup() {
  wintest close "Orvex Dialix - Outgoing call" >/dev/null 2>&1
  phonectl remove "$serial" >/dev/null 2>&1
  rm -rf "$WINEPREFIX/drive_c/bho e2e"
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/"Orvex Dialix"/data/E2E-BHO-*
}
dialix_on_exit cleanup

dialix_client wait-exit 30000 >/dev/null || fail "a service from before still runs"
dialix_wine reg delete 'HKCU\SOFTWARE\Orvex Dialix' /v HighlightNumbers /f >/dev/null 2>&1
dialix_register_service || fail "service registration failed"
dialix_register_plugin || fail "plug-in registration failed"

option=$(dialix_reg_query 'HKCU\SOFTWARE\Orvex Dialix' /v HighlightNumbers)
echo "$option" | grep -q 'REG_DWORD *0x1' || fail "HighlightNumbers after registration: $option"
noexp=$(dialix_reg_query "$bho_key" /v NoExplorer)
echo "$noexp" | grep -q 'REG_DWORD *0x1' || fail "NoExplorer after registration: $noexp"
band=$(dialix_reg_query "$toolbar_key" /v "$clsid")
echo "$band" | grep -q "$clsid" || fail "the Toolbar value after registration: $band"
server=$(dialix_reg_query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve)
echo "$server" | grep -qi 'ieOrvexDialix.dll' || fail "the helper object's server: $server"

mkdir -p "$install"
dialix_reg_add 'HKLM\SOFTWARE\Orvex Dialix\Sutrel' /v ApplicationPath1 /d "$(dialix_winpath "$install")" ||
  fail "the installation folder could not be set"
phonectl plug "$serial" --model "E2E Model" --manufacturer Maker --name "Band Phone" >/dev/null || fail "no phone"

out=$(dialix_wine_bounded 180 "$DIALIX_BIN/bho_e2e_host.exe" "$number" | tr -d '\r')
rc=$?
echo "$out"
[ "$rc" == 0 ] || fail "the helper object's host: $rc"
wintest wait "Orvex Dialix - Outgoing call" 30000 || fail "no outgoing-call window"
got=$(wintest text "Orvex Dialix - Outgoing call" 201)
[ "$got" == "0407654321" ] || fail "the call window holds '$got', not the number"
dialix_snap ie-bho-call >/dev/null
wintest close "Orvex Dialix - Outgoing call" >/dev/null

dialix_unregister_plugin || fail "plug-in unregistration failed"
dialix_key_exists "$bho_key" && fail "the helper object's key stayed"
dialix_wine reg query "$toolbar_key" /v "$clsid" >/dev/null 2>&1 && fail "the Toolbar value stayed"
dialix_key_exists 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects' ||
  fail "the Browser Helper Objects key went"
dialix_key_exists "$toolbar_key" || fail "the Toolbar key went"
dialix_register_plugin || fail "plug-in registration failed"
dialix_end_services

[ "$failures" == 0 ] && echo "helper object e2e: all passed"
exit $((failures > 0))
