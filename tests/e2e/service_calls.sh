#!/usr/bin/env bash
# Calls and messages across processes, through the phone's own implementation
# and the stand-in call window (CallUIStandIn.dll, served in the test service's
# process, recording to callui.log): a client places a call, the
# window dials it, the far side answers and hangs up, and the client hears
# calling, active, terminated; calls rung with phonectl reach the window and
# the client with the caller's contact found by number, and the window's
# answer and rejection reach the phone; a sent message lands in the phone's
# folder 2; composing completes without a message window.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"
export DIALIX_SERVICE_EXE=dialix_test_service.exe
export DIALIX_TEST_CALLUI_RECORDER=1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
serial=E2E-CALL-1
ui_log=$DIALIX_BIN/callui.log
phonectl() { dialix_wine "$DIALIX_BIN/phonectl.exe" "$@" | tr -d '\r'; }
out_file=$(mktemp)
dialix_on_exit 'rm -f "$out_file" "$ui_log.action"; phonectl remove "$serial" >/dev/null 2>&1'

dialix_client wait-exit 30000 >/dev/null
phonectl remove "$serial" >/dev/null 2>&1
rm -f "$ui_log" "$ui_log.action"
dialix_register_test_service || fail "registration failed"
# The caller's contact is on the phone before the service first sees it; the
# first sync brings it into the phone's database, where the lookup finds it.
phonectl plug "$serial" --model "E2E Model" --manufacturer Maker --name "E2E Phone" >/dev/null ||
  fail "phonectl could not make the phone"
phonectl add-contact "$serial" --vcard 'BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jane\r\nFN:Jane Doe\r\nTEL;CELL:+358401234567\r\nEND:VCARD\r\n' >/dev/null ||
  fail "no contact could be put on the phone"
phonectl unplug "$serial" >/dev/null

timeout 240 bash -c 'source "$DIALIX_SOURCE/tests/support/service.sh"; dialix_client create \
  connect wait-connected 20000 subscribe call wait-device '"$serial"' 2 60000 \
  set SerialNumber '"$serial"' set Number "040 555 0101" operation call wait-operation 20000 \
  wait-calls Notification 8 120000 \
  set SerialNumber '"$serial"' set Recipient "040 555 0202" set Message "See you at 8" operation send \
  wait-operation 20000 \
  set SerialNumber '"$serial"' set Number 0405550303 set Message Draft operation compose wait-operation 20000 \
  call-states disconnect wait-disconnected 20000 release' >"$out_file" 2>&1 &
client=$!

dialix_wait_for_line "$out_file" '^connected: ' 60000 || fail "the client did not connect"
phonectl plug "$serial" --model "E2E Model" --manufacturer Maker --name "E2E Phone" ||
  fail "phonectl could not plug the phone"
dialix_wait_for_line "$out_file" "state=2" 60000 || fail "the phone did not come up"


# The placed call: dialled by the window, answered and ended by the far side.
dialix_wait_for_line "$ui_log" "^Dialled	$serial	1	0x00000000" 60000 || fail "the window did not dial"
dialix_wait_for_line "$ui_log" "^OnCreated	$serial	0405550101		1" 30000 || fail "no OnCreated"
phonectl answer "$serial" >/dev/null || fail "the far side could not answer"
dialix_wait_for_line "$ui_log" "^OnActivated	$serial	1" 30000 || fail "no OnActivated"
phonectl hangup "$serial" 1 >/dev/null || fail "the far side could not hang up"
dialix_wait_for_line "$ui_log" "^OnTerminated	$serial	1	0" 30000 || fail "no OnTerminated"

# A call rung in, answered in the window.
echo answer >"$ui_log.action"
phonectl ring "$serial" "+358 40 1234567" >/dev/null || fail "phonectl could not ring"
dialix_wait_for_line "$ui_log" "^OnIncoming	$serial	\+358 40 1234567		1" 30000 || fail "no OnIncoming"
dialix_wait_for_line "$ui_log" "^Answered	$serial	0x00000000" 30000 || fail "the answer did not reach the phone"
# The placed call's activation is in the log already: this one is the second.
dialix_wait_for_count "$ui_log" "^OnActivated	$serial	1" 2 30000 || fail "the answered call is not active"
phonectl calls "$serial" | dialix_has -E "^1	active	in	\+358 40 1234567" || fail "the phone does not show the call active"
phonectl hangup "$serial" >/dev/null
# Each call ends before the next rings: a change that follows at once may
# reach the window's library together with the one before.
dialix_wait_for_count "$ui_log" "^OnTerminated	$serial	1	0" 2 30000 || fail "the answered call did not end"
dialix_wait_for_line "$ui_log" "^Contact	$serial	0x00000000	.*Jane Doe" 1000 || fail "the caller's contact was not found"

# A call rung in, rejected in the window.
echo reject >"$ui_log.action"
phonectl ring "$serial" 0401112223 >/dev/null || fail "phonectl could not ring again"
dialix_wait_for_line "$ui_log" "^Rejected	$serial	0x00000000" 30000 || fail "the rejection did not reach the phone"
dialix_wait_for_count "$ui_log" "^OnTerminated	$serial	1	0" 3 30000 || fail "the rejected call did not end"
phonectl calls "$serial" | dialix_has -E "^1	ended	in	0401112223" || fail "the phone does not show the call ended"

dialix_wait_for_exit 240000 "$client" && wait "$client" || fail "the client did not run to its end"
out=$(cat "$out_file")
echo "$out"
echo "== callui.log"
cat "$ui_log"
expect() { echo "$out" | dialix_has -E "$1" || fail "$2"; }
[ "$(echo "$out" | grep -cE '^operation-result: OperationCompleted hr=0x00000000 state=2 ')" == 3 ] ||
  fail "create call, send message and compose message did not all complete"
states=$(echo "$out" | grep -E '^call-state: ' | awk '{print $2}' | tr '\n' ' ')
[ "$states" == "1 4 5 6 4 5 6 5 " ] || fail "the client heard the call states: $states"
expect "^call-state: 1 $serial 0405550101$" "calling without its number"
expect "^call-state: 6 $serial \+358 40 1234567$" "incoming without its number"
phonectl messages "$serial" 2 | dialix_has -E "	0405550202	See you at 8$" || fail "the message is not in folder 2"
grep -q "wrong apartment" "$ui_log" && fail "the window was called outside its apartment"
grep -qE "^ComposeMessage	$serial	0405550303		Draft$" "$ui_log" || fail "the window was not asked to compose"

dialix_client wait-exit 60000 >/dev/null || fail "the service did not end"
[ "$failures" == 0 ] && echo "PASS" || exit 1
