#!/usr/bin/env bash
# The wizard program under Wine: a missing language module gives the fixed
# English message and a missing skin module the language's own, each without
# a wizard; a second plain start ends at once and brings the first to the
# front, while a start with a guid runs beside it. The program imports the
# connectivity library by ordinal 400 alone. Screenshots go to the build
# tree's screenshots folder.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# A prefix of its own, with the suite's connection manager registered and its
# language and theme set: the programs are found by name, and no other test's
# processes, phones or requests reach them.
export WINEPREFIX=$WINEPREFIX-wizard
source "$DIALIX_SOURCE/tests/support/wizard.sh"
dialix_make_prefix fresh
snap() { dialix_snap "$1" || fail "no screenshot $1"; }
# How long a start may take to show its window: bounds a start that never
# shows, and leaves room for a machine busy with the rest of the suite.
show_ms=90000
caption="Pairwell Connection Wizard"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
}
dialix_on_exit 'cleanup; /usr/lib/wine/wineserver -k 2>/dev/null || true'

# Presses OK until the program has ended (a box not ready ignores it).
dismiss_and_wait() {  # pid
  local end=$(( $(wizard_now_ms) + 30000 ))
  while kill -0 "$1" 2>/dev/null && [ "$(wizard_now_ms)" -lt $end ]; do
    wintest Pairwell.exe dismiss 1000 >/dev/null
    sleep 0.2
  done
  wizard_finish "$1" 1000
}

dialix_wine "$DIALIX_BIN/QorsalConnectionManager.exe" /RegServer || fail "the connection manager did not register"
dialix_wine regsvr32 /s "$(dialix_winpath "$DIALIX_BIN/QorsalConnectionManagerPS.dll")" ||
  fail "the connection manager's proxy did not register"
dialix_reg_add 'HKLM\SOFTWARE\Orvex\Sutrel' /v 'Current Language' /d ENG
dialix_reg_add 'HKLM\SOFTWARE\Orvex\Sutrel' /v 'Current resource' /d Default

# --- Imports: the connectivity library by ordinal 400 and nothing else.
imports=$(x86_64-w64-mingw32-objdump -p "$DIALIX_BIN/Pairwell.exe")
lanyx=$(echo "$imports" | awk '/DLL Name:/ {inside = ($3 == "Lanyx.dll"); next} inside && /^\t[0-9a-f]+\t/ {print}')
echo "Lanyx.dll imports:"
echo "$lanyx"
[ "$(echo "$lanyx" | grep -c .)" = 1 ] || fail "Lanyx.dll imported more than once"
# An import by ordinal shows the ordinal in hexadecimal and no name.
echo "$lanyx" | dialix_has -E '^\s*[0-9a-f]+\s+0*190\s+<none>' || fail "Lanyx.dll not imported by ordinal 400"

# --- Missing modules: copies of the program in folders of their own.
copy_program() {  # folder
  rm -rf "$1"
  mkdir -p "$1"
  cp "$DIALIX_BIN/Pairwell.exe" "$DIALIX_BIN/Lanyx.dll" "$DIALIX_BIN/Qorsal_Dialix.dll" "$DIALIX_BIN/sqlite3.dll" \
    "$DIALIX_BIN/SutrelSupportSetup.dll" "$DIALIX_BIN/DialixAppFx.dll" "$1/"
}
drive_c=$WINEPREFIX/drive_c
# Runs a copy from C:\<folder> with the given language module (or none) and
# no skin module: a box with the expected text, no wizard, and the end.
missing_module_case() {  # folder language-module expected screenshot
  copy_program "$drive_c/$1"
  if [ -n "$2" ]; then
    mkdir -p "$drive_c/$1/Pairwell"
    cp "$DIALIX_BIN/Pairwell/$2" "$drive_c/$1/Pairwell/"
  fi
  (cd "$drive_c/$1" && dialix_wine "C:\\$1\\Pairwell.exe") &
  local pid=$! text
  pids+=("$pid")
  text=$(wizard_box_text)
  echo "$1: \"$text\""
  [ "$text" = "$3" ] || fail "$1: \"$text\""
  snap "$4"
  [ -z "$(wintest Pairwell.exe titles | grep -F "$caption")" ] || fail "$1: a wizard showed"
  dismiss_and_wait "$pid" || fail "$1: the program did not end"
}
missing_module_case PairwellNoLanguage "" \
  "Some of the application components could not be located. Please reinstall Sutrel." wizard_no_language
missing_module_case PairwellNoSkin Lang_ENG.OLR \
  "Some of the wizard's graphics could not be located. Please reinstall Sutrel." wizard_no_skin

# --- One instance per mode.
dialix_wine "$DIALIX_BIN/Pairwell.exe" &
plain=$!
pids+=("$plain")
wintest Pairwell.exe wait "$caption" "$show_ms" >/dev/null || fail "the plain wizard did not show"
first=$(wintest Pairwell.exe pids | head -n 1)
snap wizard_plain
wintest "$first" dump "$caption"

# A guid start is another mode: a second window beside the first.
dialix_wine "$DIALIX_BIN/Pairwell.exe" /guid 00:11:22:33:44:55 &
bluetooth=$!
pids+=("$bluetooth")
end=$(( $(wizard_now_ms) + show_ms ))
while [ "$(wintest Pairwell.exe pids | grep -c .)" -lt 2 ] && [ "$(wizard_now_ms)" -lt $end ]; do sleep 0.1; done
second=$(wintest Pairwell.exe pids | grep -vx "$first" | head -n 1)
[ -n "$second" ] || fail "the guid start did not run beside the plain one"
if [ -n "$second" ]; then
  wintest "$second" wait "$caption" "$show_ms" >/dev/null || fail "the guid wizard did not show"
fi
kill -0 "$plain" 2>/dev/null || fail "the plain wizard ended when the guid one started"
# The guid wizard came last. It comes forward when it shows and once more on
# its start-up activation, half a second later or, on a busy machine, much
# later; a late one would take the front back from the plain wizard below.
# So the plain start waits until the guid wizard has stayed in front for 20
# looks in a row.
end=$(( $(wizard_now_ms) + 60000 ))
steady=0
while [ $steady -lt 20 ] && [ "$(wizard_now_ms)" -lt $end ]; do
  if [ "$(wintest "$second" front "$caption" 1000)" = 1 ]; then steady=$((steady + 1)); else steady=0; fi
  sleep 0.1
done
[ $steady -ge 20 ] || fail "the guid wizard did not stay in front"

# A second plain start ends at once and the first plain one comes forward.
dialix_wine "$DIALIX_BIN/Pairwell.exe" &
again=$!
wizard_finish "$again" 30000
code=$?
[ "$code" = 0 ] || fail "the second plain start did not end at once (code $code)"
end=$(( $(wizard_now_ms) + 30000 ))
front=0
until [ "$front" = 1 ] || [ "$(wizard_now_ms)" -ge $end ]; do
  front=$(wintest "$first" front "$caption" 1000)
  sleep 0.1
done
[ "$front" = 1 ] || fail "the first plain wizard did not come to the front"
snap wizard_plain_front
[ "$(wintest Pairwell.exe pids | grep -c .)" = 2 ] || fail "not exactly the two wizards run"

# Cancel ends the plain one, closing the guid one.
wintest "$first" click "$caption" 1003 >/dev/null || fail "Cancel could not be pressed"
wizard_finish "$plain" 30000 || fail "Cancel did not end the plain wizard"
[ -n "$second" ] && { wintest "$second" close "$caption" >/dev/null || fail "the guid wizard could not be closed"; }
wizard_finish "$bluetooth" 30000 || fail "closing did not end the guid wizard"

[ $failures = 0 ] && echo "wizard start: all passed"
exit $failures
