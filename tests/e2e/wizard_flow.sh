#!/usr/bin/env bash
# The wizard walked end to end in Wine's virtual desktop, in a prefix of its
# own, driven from outside by dialix_wintest; each page is read by its title
# and photographed:
#  1. cable: a "TAVO" phone gets Kalvosync.SIS, Cancel starts the launcher,
#     and the next start skips the welcome page;
#  2. Bluetooth (a guid start): a phone and a headset in search order, a
#     wrong passcode refused, the right one pairs, and a phone of the second
#     group gets Kalvomms.sis and the driver package; no launcher;
#  3. "instsupp" with "no_la": the support page first, then the install; no
#     launcher;
#  4. an empty search opens troubleshoot, and Help opens the help window.
# Then the troubleshoot window for the cable and infrared, the missing-module
# box and a right-to-left start. Prints the walk's wall time.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"
export WINEPREFIX=$WINEPREFIX-flow
source "$DIALIX_SOURCE/tests/support/wizard.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
started=$(wizard_now_ms)
dialix_on_exit 'wizard_end_all; /usr/lib/wine/wineserver -k 2>/dev/null || true'
mkdir -p "$wizard_shots"
wizard_prefix || exit 1

# The troubleshoot window shows, with the heading of language string <id>.
expect_trouble() {  # heading-id screenshot
  local heading expected
  if ! wintest Pairwell.exe wait "$trouble_window" "$wizard_page_ms" >/dev/null; then
    fail "no troubleshoot window for $2"
    return
  fi
  expected=$(wizard_string "$1")
  heading=$(wintest Pairwell.exe text "$trouble_window" 1086)
  echo "   troubleshoot: $heading"
  [ "$heading" = "$expected" ] || fail "the troubleshoot heading reads \"$heading\", not \"$expected\""
  wizard_snap "$2"
  # Its text, whatever the window that came to the front after it.
  wintest Pairwell.exe raise "$trouble_window" >/dev/null
  wizard_snap "$2-raised"
}

echo "== 1. Cable"
wizard_cable_walk E2E-CABLE
settings=$(find "$WINEPREFIX/drive_c/users" -path '*PairwellWizard/Settings.xml' 2>/dev/null | head -n 1)
if [ -n "$settings" ]; then
  grep -q 'HideWelcome="0"' "$settings" || fail "Settings.xml does not hold \"0\": $(cat "$settings")"
else
  fail "no Settings.xml"
fi
echo "-- the next start skips the welcome page"
launches=$(wizard_launches)
wizard_start
wizard_page 5104
[ "$(wintest Pairwell.exe enabled "$wizard_window" 1001)" = 0 ] || fail "Back is enabled on the first page"
wizard_button 1003
wizard_finish "$wizard_pid" 30000 || fail "Cancel did not end the wizard"
phonectl unplug E2E-CABLE >/dev/null

echo "== 2. Bluetooth"
phone_address=00:1A:2B:3C:4D:01
# A phone of the second group, known to the world before it pairs; it gets
# its Bluetooth connection back when it pairs.
phonectl plug E2E-BT --model "Kalvo 2" --manufacturer Orvex --type 0x2000020 --conn "8,Blue phone,$phone_address" \
  >/dev/null || fail "the Bluetooth phone could not be made"
phonectl unplug E2E-BT >/dev/null
phonectl radio add "$phone_address" "Blue phone" --phone --passcode 1234 --serial E2E-BT >/dev/null
phonectl radio add 00:1A:2B:3C:4D:02 "Headset" >/dev/null
launches=$(wizard_launches)
wizard_start /guid "$phone_address"
wizard_page 5126
# The first list, from the short search, offers the phone not yet paired as
# a phone: chosen, it enables Next and shows the pairing hint.
rows=$(wizard_rows 1042 2)
echo "   first list: $(echo "$rows" | paste -sd '|')"
[ "$rows" = $'Blue phone\nHeadset' ] || fail "the first list reads \"$(echo "$rows" | paste -sd '|')\""
wintest Pairwell.exe select "$wizard_window" 1042 0 >/dev/null || fail "the phone could not be selected in the first list"
[ "$(wintest Pairwell.exe enabled "$wizard_window" 1002)" = 1 ] || fail "Next is not enabled for the phone in the first list"
hint=$(wintest Pairwell.exe text "$wizard_window" 1076)
[ "$hint" = "$(wizard_string 5518)"$'\n\n'"$(wizard_string 5122)" ] || fail "the first list's hint reads \"$hint\""
wizard_snap wizard-search-first
# Search again lists them anew.
wintest Pairwell.exe click "$wizard_window" 1046 >/dev/null || fail "Search again could not be pressed"
end=$(( $(wizard_now_ms) + wizard_page_ms ))
until [ "$(wintest Pairwell.exe enabled "$wizard_window" 1046)" = 1 ] || [ "$(wizard_now_ms)" -ge $end ]; do sleep 0.2; done
rows=$(wizard_rows 1042 2)
echo "   found: $(echo "$rows" | paste -sd '|')"
[ "$rows" = $'Blue phone\nHeadset' ] || fail "the search lists \"$(echo "$rows" | paste -sd '|')\", not the phone then the headset"
wizard_snap wizard-search
wintest Pairwell.exe select "$wizard_window" 1042 0 >/dev/null || fail "the phone could not be selected"
[ "$(wintest Pairwell.exe enabled "$wizard_window" 1002)" = 1 ] || fail "Next is not enabled for the phone"
wizard_next
wizard_page 5129
passcode=$(wintest Pairwell.exe text "$wizard_window" 1050)
echo "   passcode box: $passcode"
wintest Pairwell.exe settext "$wizard_window" 1050 12a >/dev/null
[ "$(wintest Pairwell.exe text "$wizard_window" 1050)" = "$passcode" ] || fail "the passcode box took a letter"
wintest Pairwell.exe settext "$wizard_window" 1050 9999 >/dev/null
wizard_snap wizard-authenticate
wizard_next
box=$(wizard_box_text)
echo "   box: $box"
[ "$box" = "$(wizard_string 5509)" ] || fail "a wrong passcode shows \"$box\""
wizard_snap wizard-box-pairing-failed
wintest Pairwell.exe dismiss 10000 >/dev/null || fail "the box could not be dismissed"
wintest Pairwell.exe settext "$wizard_window" 1050 1234 >/dev/null
wizard_next
wizard_page 5153 wizard-support-bluetooth
wizard_next
wintest Pairwell.exe waitpage "$wizard_window" "$(wizard_string 5117)" "$wizard_install_ms" ||
  fail "no completion page after the Bluetooth installation"
wizard_snap wizard-complete-bluetooth
echo "   the phone's packages:"
phonectl packages E2E-BT
packages=$(wizard_packages E2E-BT)
echo "$packages" | dialix_has -x 'Kalvomms.sis' || fail "Kalvomms.sis is not on the phone"
driver=$(dialix_wine reg query 'HKLM\Software\Orvex Dialix' /v EnhancementDriverPackageName 2>/dev/null |
  tr -d '\r' | awk -F'    ' '/EnhancementDriverPackageName/ {print $4}')
if [ -n "$driver" ]; then
  echo "$packages" | dialix_has -xF "$driver" || fail "the driver package $driver is not on the phone"
else
  fail "the prefix names no driver package"
fi
rows=$(wizard_rows 1064 1)
[ "$rows" = "Blue phone  $(wizard_string 5150)" ] || fail "the Bluetooth completion list reads \"$rows\""
wizard_button 1003
wizard_finish "$wizard_pid" 30000 || fail "Cancel did not end the Bluetooth wizard"
[ "$(wizard_launches)" = "$launches" ] || fail "the launcher started in Bluetooth mode"

echo "== 3. instsupp with no_la"
phonectl phonedata version E2E-INST "Text Messages" 1.5 >/dev/null
phonectl plug E2E-INST --model "Tavo 1" --manufacturer Orvex --name "Support phone" --type 0x2000010 \
  --capabilities 0x20 --conn "4,USB" >/dev/null || fail "the phone could not be plugged"
launches=$(wizard_launches)
wizard_start /instsupp E2E-INST /no_la
wizard_page 5153
wizard_next
wintest Pairwell.exe waitpage "$wizard_window" "$(wizard_string 5117)" "$wizard_install_ms" ||
  fail "no completion page after the support start"
wizard_packages E2E-INST | dialix_has -x 'Kalvosync.SIS' || fail "Kalvosync.SIS is not on the support start's phone"
wizard_button 1003
wizard_finish "$wizard_pid" 30000 || fail "Cancel did not end the support start"
[ "$(wizard_launches)" = "$launches" ] || fail "the launcher started after no_la"
phonectl unplug E2E-INST >/dev/null

echo "== 4. An empty search, and help"
phonectl radio remove "$phone_address" >/dev/null
phonectl radio remove 00:1A:2B:3C:4D:02 >/dev/null
phonectl unplug E2E-BT >/dev/null
wizard_start /guid "$phone_address"
expect_trouble 5526 wizard-troubleshoot-bluetooth
wintest Pairwell.exe close "$trouble_window" >/dev/null
wizard_button 1004
if wintest Pairwell.exe find "HH Parent" "$wizard_page_ms" >/dev/null; then
  wizard_snap wizard-help
else
  fail "Help opened no help window"
fi
wizard_button 1003
wizard_finish "$wizard_pid" 30000 || fail "Cancel did not end the wizard after help"

echo "== Troubleshoot for the cable: no media at all"
wizard_media
wizard_start
expect_trouble 5528 wizard-troubleshoot-cable
wizard_button 1003
wizard_finish "$wizard_pid" 30000 || fail "Cancel did not end the wizard without media"

echo "== Troubleshoot for infrared: infrared asked for, and the connection manager cannot switch it on"
wizard_media cable
wizard_start
wizard_page 5104
wintest Pairwell.exe check "$wizard_window" 1018 1 >/dev/null || fail "infrared could not be chosen"
wizard_next
expect_trouble 5527 wizard-troubleshoot-infrared
wizard_button 1003
wizard_finish "$wizard_pid" 30000 || fail "Cancel did not end the wizard after infrared"

echo "== The missing-module box: no language module"
rm -rf "$WINEPREFIX/drive_c/PairwellNoLanguage"
mkdir -p "$WINEPREFIX/drive_c/PairwellNoLanguage"
cp "$wizard_folder_unix"/*.exe "$wizard_folder_unix"/*.dll "$WINEPREFIX/drive_c/PairwellNoLanguage/"
(cd "$WINEPREFIX/drive_c/PairwellNoLanguage" && dialix_wine 'C:\PairwellNoLanguage\Pairwell.exe') &
wizard_pid=$!
wizard_pids+=("$wizard_pid")
box=$(wizard_box_text)
[ "$box" = "Some of the application components could not be located. Please reinstall Sutrel." ] ||
  fail "the missing-module box reads \"$box\""
wizard_snap wizard-box-missing-module
wintest Pairwell.exe dismiss 10000 >/dev/null
wizard_finish "$wizard_pid" 30000 || fail "the program without a language did not end"

echo "== A right-to-left start"
cp "$wizard_folder_unix/Pairwell/Lang_ENG.OLR" "$wizard_folder_unix/Pairwell/Lang_ARA.OLR"
wizard_language ARA
wizard_media cable bluetooth
wizard_start
wizard_page 5104 wizard-right-to-left
[ "$(wintest Pairwell.exe rtl "$wizard_window")" = 1 ] || fail "the wizard is not laid out right to left"
wizard_button 1003
wizard_finish "$wizard_pid" 30000 || fail "Cancel did not end the right-to-left wizard"
wizard_language ENG

echo "wizard walk: $(( ($(wizard_now_ms) - started) / 1000 )) s wall time"
[ $failures = 0 ] && echo "wizard flow: all passed"
exit $failures
