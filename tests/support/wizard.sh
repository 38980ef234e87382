# Shell helpers for driving the connection wizard in Wine's virtual desktop;
# sourced after service.sh by the wizard's walk test and by the demo. The
# caller defines fail() (a test counts it, the demo only says it).
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
: "${DIALIX_BIN:?DIALIX_BIN must name the programs folder}"

wizard_now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
wintest() { dialix_wine "$DIALIX_BIN/dialix_wintest.exe" "$@" | tr -d '\r'; }
phonectl() { dialix_wine "$DIALIX_BIN/phonectl.exe" "$@" | tr -d '\r'; }
wizard_shots=$DIALIX_SHOTS
wizard_snap() {
  local said
  said=$(dialix_snap "$1") || { fail "no screenshot $1"; return; }
  echo "   $said"
}
# The wizard dialog is the one with the page area, the troubleshoot window
# the one with its heading: both may carry the wizard's caption.
wizard_window='#1012'
trouble_window='#1086'
# The program folder of the walks: the launcher records its starts beside it.
wizard_folder='C:\Pairwell'
wizard_folder_unix=$WINEPREFIX/drive_c/Pairwell
# Bounds: a start that never shows, a page that never comes, an installation
# that never ends; room for a machine busy with the rest of the suite.
wizard_show_ms=90000
wizard_page_ms=60000
wizard_install_ms=180000
wizard_pids=()

# A fresh prefix with Wine's virtual desktop (read when the wineserver
# starts), the suite's connection manager registered (the prefix itself has
# the phone-data server and the driver package), its language and theme set, and the program folder with the launcher and
# the language, skin and help files.
wizard_prefix() {
  "$DIALIX_SOURCE/tools/wine-prefix" "$WINEPREFIX" fresh || { fail "the prefix could not be made"; return 1; }
  dialix_reg_add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
  dialix_reg_add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
  /usr/lib/wine/wineserver -k 2>/dev/null
  /usr/lib/wine/wineserver -w 2>/dev/null
  dialix_wine "$DIALIX_BIN/QorsalConnectionManager.exe" /RegServer || fail "the connection manager did not register"
  dialix_wine regsvr32 /s "$(dialix_winpath "$DIALIX_BIN/QorsalConnectionManagerPS.dll")" ||
    fail "the connection manager's proxy did not register"
  wizard_language ENG
  dialix_reg_add 'HKLM\SOFTWARE\Orvex\Sutrel' /v 'Current resource' /d Default
  rm -rf "$wizard_folder_unix"
  mkdir -p "$wizard_folder_unix"
  local file
  for file in Pairwell.exe Kelvast.exe Lanyx.dll Qorsal_Dialix.dll SutrelSupportSetup.dll DialixAppFx.dll sqlite3.dll; do
    cp "$DIALIX_BIN/$file" "$wizard_folder_unix/" || fail "no $file to copy"
  done
  cp -r "$DIALIX_BIN/Pairwell" "$wizard_folder_unix/"
  [ -d "$DIALIX_BIN/Help" ] && cp -r "$DIALIX_BIN/Help" "$wizard_folder_unix/"
  return 0
}

wizard_language() { dialix_reg_add 'HKLM\SOFTWARE\Orvex\Sutrel' /v 'Current Language' /d "$1"; }
# A text of the language module, to compare with what the wizard shows.
wizard_string() { wintest string "$(dialix_winpath "$wizard_folder_unix/Pairwell/Lang_ENG.OLR")" "$1"; }

# The connection manager's media: cable (USB, medium 1), Bluetooth (medium
# 2), both or none.
wizard_media() {  # cable|bluetooth ...
  phonectl media clear
  local medium
  for medium in "$@"; do
    case $medium in
      cable) phonectl media set '{23399C73-7D90-4EA6-BA20-5435E850F79E}' 1 1 USB ;;
      bluetooth) phonectl media set '{5C2E6F0A-8B1D-4E3A-9F47-2D61A0C3B7E8}' 2 1 Bluetooth ;;
    esac
  done
}

# Starts the wizard from the program folder with the given arguments and
# waits for it to show; its pid in wizard_pid.
wizard_start() {  # arguments...
  (cd "$wizard_folder_unix" && dialix_wine "$wizard_folder\\Pairwell.exe" "$@") &
  wizard_pid=$!
  wizard_pids+=("$wizard_pid")
  # The driver finds the program by name only once it runs.
  local end=$(( $(wizard_now_ms) + wizard_show_ms ))
  until [ -n "$(wintest Pairwell.exe pids)" ] || [ "$(wizard_now_ms)" -ge $end ]; do sleep 0.1; done
  wintest Pairwell.exe wait "$wizard_window" "$wizard_show_ms" >/dev/null || fail "the wizard did not show ($*)"
}

# Waits for the page with the title of language string <id>; a PNG of it.
wizard_page() {  # string-id [screenshot]
  local title
  title=$(wizard_string "$1")
  if wintest Pairwell.exe waitpage "$wizard_window" "$title" "$wizard_page_ms"; then
    echo "   page: $title"
  else
    fail "the page \"$title\" did not show"
  fi
  [ -n "${2:-}" ] && wizard_snap "$2"
  return 0
}

# A command that could not be posted says the probe's exit code (its own
# words go to Wine's message log) and which wizards were running, to tell a
# vanished window from a probe that failed.
wizard_post() {  # id what
  local status
  wintest Pairwell.exe command "$wizard_window" "$1" >/dev/null
  status=$?
  [ $status -eq 0 ] && return 0
  fail "$2 could not be sent (probe exit $status; wizards running: $(wintest Pairwell.exe pids | tr '\n' ' '))"
}
wizard_next() { wizard_post 1002 "Next"; }
wizard_button() { wizard_post "$1" "button $1"; }

# A message box's text once it is filled in (the box may be found while it
# is made).
wizard_box_text() {
  local end=$(( $(wizard_now_ms) + 30000 )) text=""
  while [ -z "$text" ] && [ "$(wizard_now_ms)" -lt $end ]; do
    text=$(wintest Pairwell.exe box 1000)
  done
  echo "$text"
}

# Waits, bounded, for a background program to end; its exit code, 255 when
# it did not.
wizard_finish() {  # pid ms
  local end=$(( $(wizard_now_ms) + $2 ))
  while kill -0 "$1" 2>/dev/null; do
    [ "$(wizard_now_ms)" -ge $end ] && return 255
    sleep 0.1
  done
  wait "$1"
}

# Polls, bounded, until a list view of the page has <count> rows or more.
wizard_rows() {  # list-id count
  local end=$(( $(wizard_now_ms) + wizard_page_ms )) rows=""
  while :; do
    rows=$(wintest Pairwell.exe rows "$wizard_window" "$1")
    [ "$(echo -n "$rows" | grep -c .)" -ge "$2" ] && break
    [ "$(wizard_now_ms)" -ge $end ] && break
    sleep 0.2
  done
  echo "$rows"
}

# The launcher's starts so far.
wizard_launches() { [ -f "$wizard_folder_unix/Kelvast.log" ] && grep -c '^started' "$wizard_folder_unix/Kelvast.log" || echo 0; }

# The names of the packages on a phone, one a line.
wizard_packages() { phonectl packages "$1" | cut -f1; }

# The cable walk: the welcome page with "do not show again" ticked, the
# media page, the cable page; a "TAVO" phone at "Text Messages" 1.5 plugged
# over the USB cable brings the support page; Next installs Kalvosync.SIS
# and the completion page lists the phone with its cable; Cancel starts the
# launcher.
wizard_cable_walk() {  # serial
  local serial=$1 launches rows expected
  launches=$(wizard_launches)
  wizard_media cable bluetooth
  wizard_start
  wizard_page 5101 wizard-welcome
  wintest Pairwell.exe check "$wizard_window" 1072 1 >/dev/null || fail "1072 could not be ticked"
  wizard_next
  wizard_page 5104 wizard-media
  wizard_next
  wizard_page 5110 wizard-cable
  phonectl phonedata category TAVO "Tavo 1" >/dev/null
  phonectl phonedata version "$serial" "Text Messages" 1.5 >/dev/null
  phonectl plug "$serial" --model "Tavo 1" --manufacturer Orvex --name "Cable phone" --type 0x2000010 \
    --capabilities 0x20 --conn "4,USB" >/dev/null || fail "the phone could not be plugged"
  wizard_page 5153 wizard-support
  wizard_next
  local title
  title=$(wizard_string 5117)
  wintest Pairwell.exe waitpage "$wizard_window" "$title" "$wizard_install_ms" || fail "no completion page after the installation"
  wizard_snap wizard-complete
  echo "   the phone's packages:"
  phonectl packages "$serial"
  [ "$(phonectl packages "$serial" | awk -F'\t' '$1 == "Kalvosync.SIS" {print $2}')" = 17816 ] ||
    fail "Kalvosync.SIS (17816 bytes) is not on the phone"
  rows=$(wizard_rows 1064 1)
  expected="Cable phone  $(wizard_string 5148)"
  echo "   completion list: $rows"
  [ "$rows" = "$expected" ] || fail "the completion list reads \"$rows\", not \"$expected\""
  wizard_button 1003
  wizard_finish "$wizard_pid" 30000 || fail "Cancel did not end the wizard"
  [ "$(wizard_launches)" = $((launches + 1)) ] || fail "Cancel did not start the launcher once"
}

# Ends the wizards still running.
wizard_end_all() {
  local pid
  for pid in "${wizard_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in $(wintest Pairwell.exe pids 2>/dev/null); do
    dialix_wine taskkill /f /pid "$pid" >/dev/null 2>&1
  done
  return 0
}
