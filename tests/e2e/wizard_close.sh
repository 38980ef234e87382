#!/usr/bin/env bash
# The wizard closed while the connectivity library pairs a phone (its pairing
# entry slowed down with phonectl delay), in a prefix of its own: the process
# ends within a bound, the library sees no call after its terminate, and a
# start right after the window has gone shows a wizard. Once with a pairing
# that returns soon after the close, once with one that does not return.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"
export WINEPREFIX=$WINEPREFIX-close
source "$DIALIX_SOURCE/tests/support/wizard.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Ends the delays first: a wizard still inside one then leaves it.
dialix_on_exit 'phonectl clear-faults >/dev/null 2>&1; wizard_end_all; /usr/lib/wine/wineserver -k 2>/dev/null || true'
mkdir -p "$wizard_shots"
wizard_prefix || exit 1
wizard_media cable bluetooth
# How long a closed wizard may take to end: past the bound it waits for its
# search worker, on a busy machine.
end_ms=45000
pairing_entry=LNYXChangeDeviceTrustedState
welcome_seen=0
faults_file="$(dialix_wine winepath -u "$(phonectl world)" 2>/dev/null | tr -d '\r')/faults.txt"

# Walks a guid start to the authenticate page of the phone at <address> and
# asks for the pairing, which the library holds for <ms>; returns once the
# pairing has entered the library (its delay taken from the faults file).
pair_slowly() {  # address ms
  phonectl delay "$pairing_entry" "$2" 1 >/dev/null || fail "the delay could not be set"
  wizard_start /guid "$1"
  if [ "$welcome_seen" = 0 ]; then
    # A new settings file shows the welcome page; ticked, it stays away.
    wizard_page 5135
    wintest Pairwell.exe check "$wizard_window" 1072 1 >/dev/null || fail "1072 could not be ticked"
    wizard_next
    welcome_seen=1
  fi
  wizard_page 5126
  wizard_rows 1042 1 >/dev/null
  wintest Pairwell.exe click "$wizard_window" 1046 >/dev/null || fail "Search again could not be pressed"
  local end=$(( $(wizard_now_ms) + wizard_page_ms ))
  until [ "$(wintest Pairwell.exe enabled "$wizard_window" 1046)" = 1 ] || [ "$(wizard_now_ms)" -ge $end ]; do sleep 0.2; done
  wizard_rows 1042 1 >/dev/null
  wintest Pairwell.exe select "$wizard_window" 1042 0 >/dev/null || fail "the phone could not be selected"
  wizard_next
  wizard_page 5129
  wintest Pairwell.exe settext "$wizard_window" 1050 1234 >/dev/null
  wizard_next
  end=$(( $(wizard_now_ms) + wizard_page_ms ))
  until ! grep -q "^$pairing_entry@delay" "$faults_file" 2>/dev/null || [ "$(wizard_now_ms)" -ge $end ]; do sleep 0.1; done
  grep -q "^$pairing_entry@delay" "$faults_file" 2>/dev/null && fail "the pairing did not reach the library"
  return 0
}

# Closes the wizard mid-pairing; a start right after its window has gone
# shows a wizard; the closed one ends within the bound with <code> (its
# low byte, as the loader hands it on).
close_and_start_again() {  # address screenshot code
  local first=$wizard_pid first_win code
  first_win=$(wintest Pairwell.exe pids | head -n 1)
  wintest Pairwell.exe close "$wizard_window" >/dev/null || fail "the wizard could not be closed"
  wintest "$first_win" gone "$wizard_window" 30000 >/dev/null || fail "the wizard's window did not go"
  (cd "$wizard_folder_unix" && dialix_wine "$wizard_folder\\Pairwell.exe" /guid "$1") &
  wizard_pid=$!
  wizard_pids+=("$wizard_pid")
  # The closed one may still run: the new one is the other process.
  local end=$(( $(wizard_now_ms) + wizard_show_ms )) second=""
  until [ -n "$second" ] || [ "$(wizard_now_ms)" -ge $end ]; do
    second=$(wintest Pairwell.exe pids | grep -vx "$first_win" | head -n 1)
    sleep 0.1
  done
  [ -n "$second" ] && wintest "$second" wait "$wizard_window" "$wizard_show_ms" >/dev/null ||
    fail "the start right after the close showed no wizard"
  wizard_snap "$2"
  wizard_finish "$first" "$end_ms"
  code=$?
  echo "   the closed wizard's exit code: $code"
  [ "$code" = $(($3 & 255)) ] || fail "the closed wizard did not end with $3 within the bound (code $code)"
  wizard_button 1003
  wizard_finish "$wizard_pid" 30000 || fail "Cancel did not end the wizard started after the close"
}

echo "== A pairing that returns after the close"
phonectl radio add 00:1A:2B:3C:4D:21 "Slow phone" --phone --passcode 1234 --serial E2E-SLOW >/dev/null
pair_slowly 00:1A:2B:3C:4D:21 8000
close_and_start_again 00:1A:2B:3C:4D:21 wizard-after-close 0
phonectl clear-faults >/dev/null

echo "== A pairing that never returns"
phonectl radio remove 00:1A:2B:3C:4D:21 >/dev/null
phonectl radio add 00:1A:2B:3C:4D:22 "Stuck phone" --phone --passcode 1234 --serial E2E-STUCK >/dev/null
pair_slowly 00:1A:2B:3C:4D:22 600000
close_and_start_again 00:1A:2B:3C:4D:22 wizard-after-stuck-close 1460
phonectl clear-faults >/dev/null

late=$(phonectl late-calls)
echo "   calls after the library's terminate: ${late:-none}"
[ -z "$late" ] || fail "the library was called after its terminate: $(echo "$late" | paste -sd '|')"

[ $failures = 0 ] && echo "wizard close: all passed"
exit $failures
