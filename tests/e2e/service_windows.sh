#!/usr/bin/env bash
# The call and message windows end to end: the product service with the
# call-window library the prefix registers, started by a client that runs in
# Wine's virtual desktop "dialix" (the service inherits it), its windows found
# by title, read, clicked and typed into from outside, as a user would.
#   1. A call rung with phonectl shows the incoming window; answered there,
#      the phone shows it active and the window is in action; hung up there,
#      the call ends on the phone and the window says so. The client hears
#      incoming, active, terminated.
#   2. A delivered message shows the received window; revealed, replied to,
#      typed and sent, it lands in the phone's folder 2 and the reply window
#      closes after the box.
#   3. A call the client creates shows the outgoing window; placed there, it
#      dials; the far side answers: in action; the far side hangs up.
# Screenshots go to the build tree's screenshots folder (e2e-*.png).
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
serial=E2E-WIN-1
caller=0401234567
sender=0405550202
callee=0405550101
phonectl() { dialix_wine "$DIALIX_BIN/phonectl.exe" "$@" | tr -d '\r'; }
export DIALIX_DESKTOP=dialix
wintest() { dialix_wine "$DIALIX_BIN/dialix_wintest.exe" OrvexDialixService.exe "$@" | tr -d '\r'; }
snap() { dialix_snap "$1" || fail "no screenshot $1"; }
# Waits until a control of a window reads a text.
wait_text() {  # title id text ms
  dialix_wait_until "$4" has_text "$1" "$2" "$3"
}
has_text() { [ "$(wintest text "$1" "$2" 2>/dev/null)" == "$3" ]; }
# Waits until a control of a window is enabled (1) or not (0): a window
# shows its new title a moment before its buttons follow.
wait_enabled() {  # title id want ms
  dialix_wait_until "$4" is_enabled "$1" "$2" "$3"
}
is_enabled() { [ "$(wintest enabled "$1" "$2" 2>/dev/null)" == "$3" ]; }
# Waits until the phone lists a call (phonectl calls) matching a pattern.
wait_phone_call() {  # pattern ms
  dialix_wait_until "$2" phone_has_call "$1"
}
phone_has_call() { phonectl calls "$serial" | dialix_has -E "$1"; }
out_file=$(mktemp)
cleanup() {
  rm -f "$out_file"
  phonectl remove "$serial" >/dev/null 2>&1
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/"Orvex Dialix"/data/E2E-WIN-*
}
dialix_on_exit cleanup
# The service's log at its fullest, kept if the test fails: a window that
# stops answering is told apart from a phone or a client that does.
dialix_set_loglevel REG_DWORD 5
dialix_on_exit dialix_clear_loglevel

# Lets the client past its next wait-event.
release() { dialix_release_client "$1" "$out_file"; }

dialix_client wait-exit 30000 >/dev/null || fail "a service from before still runs"
cleanup
dialix_register_service || fail "registration failed"
# explorer hands the desktop to the client and returns at once: the client's
# own output tells how far it got.
dialix_wine explorer /desktop=dialix,1024x768 "$(dialix_winpath "$DIALIX_BIN/dialix_client.exe")" \
  create connect wait-connected 20000 subscribe call wait-device "$serial" 2 60000 \
  wait-calls Notification 3 120000 \
  wait-event DialixE2EWindowsPlace 180000 \
  set SerialNumber "$serial" set Number "$callee" operation call wait-operation 30000 \
  wait-calls Notification 6 120000 \
  call-states disconnect wait-disconnected 20000 release 2>&1 | stdbuf -oL tr -d '\r' >"$out_file" &
explorer=$!
# The phone comes once the client listens: one that came up while the service
# was starting could be announced before the client had connected.
dialix_wait_for_line "$out_file" '^subscribe: call hr=0x00000000' 90000 || fail "the client did not subscribe"
phonectl plug "$serial" --model "E2E Model" --manufacturer Maker --name "Window Phone" >/dev/null ||
  fail "phonectl could not make the phone"
dialix_wait_for_line "$out_file" "^device-change: .*serial=$serial state=2" 90000 ||
  fail "the client did not see the phone come up"

echo "== 1. A call rung in, answered and hung up in the window"
phonectl ring "$serial" "$caller" >/dev/null || fail "phonectl could not ring"
wintest wait "Orvex Dialix - Incoming call" 30000 || fail "no incoming-call window"
wait_text "Orvex Dialix - Incoming call" 1000 "$caller is calling" 10000 || fail "the incoming window does not name the caller"
wintest dump "Orvex Dialix - Incoming call"
snap e2e-call-incoming
wintest click "Orvex Dialix - Incoming call" 2000 || fail "the answer button could not be pressed"
wait_phone_call "^1	active	in	$caller" 30000 || fail "the phone does not show the call active"
wintest wait "Orvex Dialix - Call in action" 30000 || fail "the window is not in action"
wait_text "Orvex Dialix - Call in action" 1000 "Call in Action: $caller" 10000 || fail "the window does not say in action"
wait_enabled "Orvex Dialix - Call in action" 2000 0 10000 || fail "answer still enabled in action"
wintest dump "Orvex Dialix - Call in action"
snap e2e-call-in-action
wintest click "Orvex Dialix - Call in action" 2001 || fail "the hang-up button could not be pressed"
wintest wait " Orvex Dialix - Call ended" 30000 || fail "the window does not show the call ended"
wait_phone_call "^1	ended	in	$caller" 30000 || fail "the phone does not show the call ended"
wait_enabled " Orvex Dialix - Call ended" 2001 0 10000 || fail "hang-up still enabled after the end"
wintest dump " Orvex Dialix - Call ended"
snap e2e-call-ended
dialix_wait_for_line "$out_file" "^calls: Notification=3$" 30000 || fail "the client did not hear the call's three states"
wintest close " Orvex Dialix - Call ended"
wintest gone " Orvex Dialix - Call ended" 10000 || fail "the ended call window did not close"

echo "== 2. A message delivered, revealed, replied to, typed and sent"
phonectl deliver "$serial" "$sender" "Dinner at 8?" >/dev/null || fail "phonectl could not deliver"
received="Orvex Dialix - Incoming text message"
wintest wait "$received" 30000 || fail "no received-message window"
[ "$(wintest text "$received" 204)" == $'Received from:\n'"$sender" ] || fail "the received window does not name the sender"
[ "$(wintest text "$received" 1004)" == "Dinner at 8?" ] || fail "the received window does not hold the text"
snap e2e-sms-received
wintest click "$received" 1006 || fail "reveal could not be pressed"
wait_enabled "$received" 1005 1 10000 || fail "reply is not enabled once revealed"
wintest dump "$received"
snap e2e-sms-revealed
compose="Orvex Dialix - Send text message"
wintest click "$received" 1005 || fail "reply could not be pressed"
wintest wait "$compose" 30000 || fail "no reply window"
[ "$(wintest text "$compose" 204)" == $'New text message to:\n'"$sender" ] || fail "the reply window does not name the sender"
[ "$(wintest enabled "$compose" 1005)" == 0 ] || fail "send enabled with nothing typed"
wintest type "$compose" 1004 "Yes, see you there" || fail "the reply could not be typed"
[ "$(wintest text "$compose" 1001)" == "18 characters, 1 message" ] || fail "the counter reads \"$(wintest text "$compose" 1001)\""
wait_enabled "$compose" 1005 1 10000 || fail "send not enabled once typed"
wintest dump "$compose"
snap e2e-sms-reply-typed
wintest push "$compose" 1005 || fail "send could not be pressed"
box=$(wintest box 30000)
[ "$box" == "Message was sent succesfully." ] || fail "the box read \"$box\""
snap e2e-sms-sent-box
phonectl messages "$serial" 2 | dialix_has -E "	$sender	Yes, see you there$" || fail "the reply is not in the phone's folder 2"
wintest dismiss 10000 || fail "the box could not be dismissed"
wintest gone "$compose" 10000 || fail "the reply window did not close after the box"
wintest close "$received"
wintest gone "$received" 10000 || fail "the received window did not close"

echo "== 3. A call created by the client, placed in the window, answered by the far side"
release DialixE2EWindowsPlace || fail "the client did not go on to create the call"
outgoing="Orvex Dialix - Outgoing call"
wintest wait "$outgoing" 30000 || fail "no outgoing-call window"
wait_text "$outgoing" 1000 "You are going to call $callee" 10000 || fail "the outgoing window does not name the number"
[ "$(wintest text "$outgoing" 201)" == "$callee" ] || fail "the number field does not hold the number"
wintest dump "$outgoing"
snap e2e-call-outgoing
wintest click "$outgoing" 2000 || fail "the call button could not be pressed"
wintest wait "Orvex Dialix - Calling" 30000 || fail "the window is not dialling"
wait_phone_call "^1	(dialling|alerting|ringing)	out	$callee" 30000 || fail "the phone is not dialling"
wintest dump "Orvex Dialix - Calling"
snap e2e-call-dialling
phonectl answer "$serial" >/dev/null || fail "the far side could not answer"
wintest wait "Orvex Dialix - Call in action" 30000 || fail "the placed call is not in action"
snap e2e-call-placed-in-action
phonectl hangup "$serial" 1 >/dev/null || fail "the far side could not hang up"
wintest wait " Orvex Dialix - Call ended" 30000 || fail "the placed call's window does not show it ended"
wintest close " Orvex Dialix - Call ended"

dialix_wait_for_line "$out_file" "^release: " 60000 || fail "the client did not run to its end"
dialix_wait_for_exit 60000 "$explorer" || fail "the client's desktop did not end"
cat "$out_file"
states=$(grep -E '^call-state: ' "$out_file" | awk '{print $2}' | tr '\n' ' ')
[ "$states" == "6 4 5 1 4 5 " ] || fail "the client heard the call states: $states"
grep -qE "^call-state: 6 $serial $caller$" "$out_file" || fail "incoming without its number"
grep -qE "^call-state: 1 $serial $callee$" "$out_file" || fail "calling without its number"
grep -qE '^operation-result: OperationCompleted hr=0x00000000 ' "$out_file" || fail "create call did not complete"
dialix_client wait-exit 60000 >/dev/null || fail "the service did not end"
[ "$failures" == 0 ] && echo "PASS" || exit 1
