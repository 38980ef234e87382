#!/usr/bin/env bash
# The plug-in registered beside the real service: its keys, creation of every
# class by ProgID, the service's interface keys untouched by registering and
# unregistering it, and the control driven by a script host (ie_script_host,
# whose waits serve the service's callbacks) against the service and the
# simulated phone.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
serial=E2E-IE-1
phonectl() { dialix_wine "$DIALIX_BIN/phonectl.exe" "$@" | tr -d '\r'; }
work=$(mktemp -d)
install="$WINEPREFIX/drive_c/iectl e2e/Orvex Dialix"
cleanup() {
  rm -rf "$work" "$WINEPREFIX/drive_c/iectl e2e"
  phonectl remove "$serial" >/dev/null 2>&1
  dialix_wine reg delete 'HKLM\SOFTWARE\Orvex Dialix\Sutrel' /f >/dev/null 2>&1
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/"Orvex Dialix"/data/"$serial"
}
dialix_on_exit cleanup
script_host() { dialix_wine_bounded "$1" "$DIALIX_BIN/ie_script_host.exe" "${@:2}" | tr -d '\r'; }

# The interfaces of the service whose keys the plug-in must leave alone.
service_keys() {
  local iid
  for iid in BA9BA58B-BC68-4BCB-A16E-B0DB0F300106 F3E36377-7E67-4423-B4CB-C3BD6FEB054B \
             30190CC8-FA17-4027-9E86-4D1CE8E4D2D7 F7DF310F-9F16-49E3-9AE7-F921A65E623E; do
    dialix_reg_query "HKCR\\Interface\\{$iid}" /s
  done
}

# A service left by the test before ends first: this run must start its own.
dialix_client wait-exit 30000 >/dev/null
cleanup
mkdir -p "$work"
dialix_register_service || fail "service registration failed"
before=$(service_keys)
dialix_register_plugin || fail "plug-in registration failed"
[ "$(service_keys)" == "$before" ] || fail "registering the plug-in changed the service's interface keys"

misc=$(dialix_reg_query 'HKCR\CLSID\{FE20296A-B0B1-4802-965D-F2AB50794320}\MiscStatus\1' /ve)
echo "$misc" | grep -q 131473 || fail "control misc status: $misc"
events=$(dialix_reg_query 'HKCR\ieOrvexDialix.OrvexDialixEventList\CLSID' /ve)
echo "$events" | grep -qi 0E519635-FF50-405A-9399-E4120793D073 || fail "event list ProgID: $events"
appid=$(dialix_reg_query 'HKCR\AppID\ieOrvexDialix.DLL' /v AppID)
echo "$appid" | grep -qi 81408C2D-8DCD-4B8C-9C86-D0087922FE31 || fail "AppID: $appid"
source=$(dialix_reg_query 'HKCR\CLSID\{FB58DE7C-12D1-4E47-B659-79D64C47688C}\ProgID' /ve)
echo "$source" | grep -q 'ieOrvexDialix.OrvexDialixDeleteCont.1' || fail "delete-contact ProgID: $source"

# Every ProgID creates its class.
cat > "$work/progids.js" <<'JS'
var ids = ["OrvexDialix", "OrvexDiOperation", "OrvexDialixGetDevicesOp", "OrvexDialixGetContactsO",
  "OrvexDialixUpdateContac", "OrvexDialixDeleteContac", "OrvexDialixGetSmsListOp", "OrvexDialixUpdateSmsOpe",
  "OrvexDialixDeleteSmsOpe", "OrvexDialixSendMessageO", "OrvexDialixComposeMessa", "OrvexDialixCreateCallOp",
  "OrvexDialixGetEventsLis", "OrvexDialixContact", "OrvexDialixContactList", "OrvexDialixSms",
  "OrvexDialixSmsList", "OrvexDialixDeviceList", "OrvexDialixEventList", "OrvexDialixCallNotifica",
  "OrvexDialixMessageRecei", "OrvexDialixEventsUpdate"];
var bad = 0;
for (var i = 0; i < ids.length; i++) {
  try { host.Create("ieOrvexDialix." + ids[i]); }
  catch (e) { host.Echo("no object for " + ids[i] + ": " + e.number); bad++; }
}
host.Quit(bad);
JS
out=$(script_host 120 "$(dialix_winpath "$work/progids.js")")
[ $? == 0 ] && [ -z "$out" ] || fail "creation by ProgID: $out"

# The control against the service and a phone with one contact.
mkdir -p "$install"
cp "$DIALIX_BIN/launch_recorder.exe" "$install/Pairwell.exe"
printf 'page text' > "$install/page.txt"
dialix_reg_add 'HKLM\SOFTWARE\Orvex Dialix\Sutrel' /v ApplicationPath1 /d "$(dialix_winpath "$install")" ||
  fail "the installation folder could not be set"
phonectl plug "$serial" --model "E2E Model" --manufacturer Maker --name "IE Phone" >/dev/null || fail "no phone"
phonectl add-contact "$serial" --vcard 'BEGIN:VCARD\r\nVERSION:2.1\r\nN:Plug;In\r\nTEL:+358401234\r\nEND:VCARD\r\n' \
  >/dev/null || fail "no contact on the phone"
phonectl unplug "$serial" >/dev/null
script_host 240 "$(dialix_winpath "$DIALIX_SOURCE/ieOrvexDialix/tests/control_e2e.js")" \
  "$serial" "$(dialix_winpath "$DIALIX_BIN/phonectl.exe")" "$(dialix_winpath "$install")"
rc=$?
[ "$rc" == 0 ] || fail "control script: $rc"
for n in $(seq 1 100); do [ -f "$install/Pairwell.exe.launch" ] && break; sleep 0.1; done
[ -f "$install/Pairwell.exe.launch" ] || fail "the wizard stand-in did not start"
dialix_client wait-exit 30000 >/dev/null

dialix_unregister_plugin || fail "plug-in unregistration failed"
[ "$(service_keys)" == "$before" ] || fail "unregistering the plug-in changed the service's interface keys"
dialix_key_exists 'HKCR\CLSID\{FE20296A-B0B1-4802-965D-F2AB50794320}' && fail "the control's key stayed"

[ "$failures" == 0 ] && echo "control e2e: all passed"
exit $((failures > 0))
