#!/usr/bin/env bash
# Contacts, messages and the call log of a plugged-in phone, end to end: the
# service reads them at connection and the client lists them; a contact the
# client creates, changes and deletes is on the phone before the operation
# completes; a message delivered on the phone reaches a subscribed client
# once; read marking and deletion reach the phone; a new call-log entry is
# announced once; a write the phone refuses stays pending until the next
# plug-in; a phone with nothing on it gives empty lists.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
serial=E2E-CONTENT-1
empty=E2E-CONTENT-2
phonectl() { dialix_wine "$DIALIX_BIN/phonectl.exe" "$@" | tr -d '\r'; }
out_file=$(mktemp)
cleanup() {
  rm -f "$out_file"
  phonectl clear-faults >/dev/null 2>&1
  phonectl remove "$serial" >/dev/null 2>&1
  phonectl remove "$empty" >/dev/null 2>&1
  # The service keeps what it read of a phone; a run starts from nothing.
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/"Orvex Dialix"/data/E2E-CONTENT-*
}
dialix_on_exit cleanup

# Lets the client past its next wait-event.
release() { dialix_release_client "$1" "$out_file"; }

dialix_register_service || fail "registration failed"
dialix_client wait-exit 30000 >/dev/null
cleanup
phonectl clear-faults >/dev/null

# The phone holds its content before the service first sees it: it is
# plugged in once the client is connected, so the client hears it come up.
phonectl plug "$serial" --model "E2E Model" --manufacturer Maker --name "Content Phone" >/dev/null ||
  fail "phonectl could not make the phone"
phonectl add-contact "$serial" --vcard 'BEGIN:VCARD\r\nVERSION:2.1\r\nN:Aalto;Aino\r\nTEL:+358401111\r\nEND:VCARD\r\n' \
  >/dev/null || fail "no contact on the phone"
phonectl add-message "$serial" 1 +358402222 'Hello from the phone' >/dev/null || fail "no message on the phone"
phonectl add-call "$serial" --number +358403333 --name Caller --type 1 --direction 1 --duration 42 >/dev/null ||
  fail "no call-log entry on the phone"
phonectl unplug "$serial" >/dev/null
phonectl plug "$empty" --model "E2E Model" --manufacturer Maker --name "Empty Phone" >/dev/null ||
  fail "phonectl could not make the empty phone"
phonectl unplug "$empty" >/dev/null

c='BEGIN:VCARD\nVERSION:2.1\nN:Demo;Created\nTEL:+358404444\nEND:VCARD\n'
u='BEGIN:VCARD\nVERSION:2.1\nN:Demo;Changed\nTEL:+358404444\nEND:VCARD\n'
p='BEGIN:VCARD\nVERSION:2.1\nN:Demo;Pending\nTEL:+358404444\nEND:VCARD\n'
timeout 500 bash -c 'source "$DIALIX_SOURCE/tests/support/service.sh"; dialix_client create connect wait-connected 20000 \
  wait-device '"$serial"' 2 90000 wait-device '"$empty"' 2 90000 \
  serial '"$empty"' operation contacts wait-operation 20000 contacts-print operation sms wait-operation 20000 sms-print \
  operation events wait-operation 20000 events-print \
  serial '"$serial"' operation events wait-operation 20000 events-print operation sms wait-operation 20000 sms-print \
  operation contacts wait-operation 20000 contacts-print \
  contact-new "'"$c"'" operation update-contact wait-operation 30000 contacts-print signal at-created wait-event dialix-created 60000 \
  contact-vcard "'"$u"'" operation update-contact wait-operation 30000 contacts-print signal at-changed wait-event dialix-changed 60000 \
  operation delete-contact wait-operation 30000 signal at-deleted wait-event dialix-deleted 60000 \
  subscribe message subscribe events signal dialix-subscribed wait-calls Notification 1 60000 \
  operation sms wait-operation 20000 sms-print signal at-marking wait-event dialix-marking 60000 \
  sms-pick 1 sms-status 5 operation update-sms wait-operation 30000 signal at-marked wait-event dialix-marked 60000 \
  delete-flags 1 operation delete-sms wait-operation 30000 signal at-removed wait-event dialix-removed 60000 \
  signal dialix-call-ready wait-calls Notification 2 60000 operation events wait-operation 20000 events-print \
  signal at-faulty wait-event dialix-faulty 60000 \
  operation contacts wait-operation 20000 contact-new "'"$p"'" operation update-contact wait-operation 30000 \
  contacts-print signal at-replug wait-event dialix-replug 60000 wait-device '"$serial"' 3 60000 signal at-done wait-event dialix-done 200000 \
  disconnect wait-disconnected 20000 log release' >"$out_file" 2>&1 &
client=$!

on_phone() { phonectl contacts "$serial" | grep -c "$1"; }

dialix_wait_for_line "$out_file" '^connected: ' 60000 || fail "the client did not connect"
phonectl plug "$serial" >/dev/null || fail "phonectl could not plug the phone"
phonectl plug "$empty" >/dev/null || fail "phonectl could not plug the empty phone"

dialix_wait_for_line "$out_file" '^signal: at-created set' 150000 || fail "the create did not end"
grep -qE '^contact: .*name=.*Created' "$out_file" || fail "the created contact was not reported"
[ "$(on_phone 'N:Demo;Created')" == 1 ] || fail "the created contact is not on the phone at OperationCompleted"
release dialix-created || fail "the client did not go on after the create"
dialix_wait_for_line "$out_file" '^signal: at-changed set' 60000 || fail "the update did not end"
grep -qE '^contact: .*name=.*Changed' "$out_file" || fail "the changed contact was not reported"
[ "$(on_phone 'N:Demo;Changed')" == 1 ] && [ "$(on_phone 'N:Demo;Created')" == 0 ] ||
  fail "the change is not on the phone at OperationCompleted"
release dialix-changed || fail "the client did not go on after the update"
dialix_wait_for_line "$out_file" '^signal: at-deleted set' 60000 || fail "the delete did not end"

[ "$(on_phone 'N:Demo;')" == 0 ] || fail "the deleted contact is still on the phone at OperationCompleted"
release dialix-deleted || fail "the client did not go on after the delete"

dialix_wait_for_line "$out_file" '^signal: dialix-subscribed set' 60000 || fail "the client did not subscribe"
delivered=$(phonectl deliver "$serial" +358405555 'Arrived while connected')
dialix_wait_for_line "$out_file" '^notification: message serial='"$serial"' text=Arrived while connected$' 60000 ||
  fail "the delivered message was not announced"
dialix_wait_for_line "$out_file" '^signal: at-marking set' 60000 || fail "the client did not list messages"
release dialix-marking || fail "the client did not go on to the read marking"
dialix_wait_for_line "$out_file" '^signal: at-marked set' 60000 || fail "the read marking did not end"
first_uid=$(sed -n 's/^sms: dbid=[^ ]* uid=\([^ ]*\) .*text=Hello from the phone$/\1/p' "$out_file" | tail -n 1)
phonectl messages "$serial" | dialix_has -E "^$first_uid	[0-9]+	2	" || fail "the first message is not read on the phone"
release dialix-marked || fail "the client did not go on to the deletion"
dialix_wait_for_line "$out_file" '^signal: at-removed set' 60000 || fail "the deletion did not end"
phonectl messages "$serial" | dialix_has "^$first_uid	" && fail "the deleted message is still on the phone"
release dialix-removed || fail "the client did not go on to the call log"

dialix_wait_for_line "$out_file" '^signal: dialix-call-ready set' 60000 || fail "the client is not ready for the call"
phonectl add-call "$serial" --number +358406666 --name Later --type 1 --direction 2 --duration 7 >/dev/null ||
  fail "no new call-log entry"
dialix_wait_for_line "$out_file" '^signal: at-faulty set' 90000 || fail "the call log was not listed again"

phonectl fault TessimWriteItem 0x80200007 1 >/dev/null || fail "no fault injected"
release dialix-faulty || fail "the client did not go on to the failing write"
dialix_wait_for_line "$out_file" '^signal: at-replug set' 60000 || fail "the failing update did not end"
[ "$(on_phone 'N:Demo;Pending')" == 0 ] || fail "the refused write is on the phone"
phonectl unplug "$serial" >/dev/null || fail "phonectl could not unplug"
release dialix-replug || fail "the client did not go on to the replug"
dialix_wait_for_line "$out_file" "^device-change: DeviceStateChanged serial=$serial state=3" 60000 ||
  fail "the unplug was not seen"
phonectl plug "$serial" >/dev/null || fail "phonectl could not plug again"
pending_on_phone() { [ "$(on_phone 'N:Demo;Pending')" == 1 ]; }
dialix_wait_until 120000 pending_on_phone || fail "the pending contact did not reach the phone after the plug-in"
release dialix-done || fail "the client did not go on to its end"
dialix_wait_for_exit 500000 "$client" && wait "$client" || fail "the client did not run to its end"

out=$(cat "$out_file")
echo "$out"
expect() { echo "$out" | dialix_has -E "$1" || fail "$2"; }
count() { echo "$out" | grep -cE "$1"; }
expect '^contacts: count=0$' "the empty phone's contact list is not empty"
expect '^sms: count=0$' "the empty phone's message list is not empty"
expect '^events: count=0$' "the empty phone's call log is not empty"
expect '^contact: dbid=[0-9]+ uid=[0-9a-f]+ name=.*Aino.* photo=$' "the phone's contact is not listed"
expect '^sms: .* number=\+358402222 text=Hello from the phone$' "the phone's message is not listed"
expect '^event: .*number=\+358403333 name=Caller ' "the phone's call-log entry is not listed"
expect '^contact: dbid=[0-9]+ uid=[0-9a-f]* name=.*Created' "the created contact has no DbId"
[ "$(count '^contact: dbid=-1 ')" == 0 ] || fail "a stored contact still shows DbId -1"
[ "$(count '^sms: .*text=Arrived while connected$')" == 1 ] || fail "the delivered message is not listed once"
[ "$(count '^notification: message ')" == 1 ] || fail "the delivered message was announced more than once"
[ "$(count "^notification: events serial=$serial$")" == 1 ] || fail "the new call was not announced exactly once"
expect '^event: .*number=\+358406666 name=Later ' "the new call-log entry is not listed"
[ "$(count '^operation-result: OperationFailed')" == 0 ] || fail "an operation failed"

dialix_client wait-exit 60000 >/dev/null || fail "the service did not end"
[ "$failures" == 0 ] && echo "PASS" || exit 1
