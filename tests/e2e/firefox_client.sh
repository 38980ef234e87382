#!/usr/bin/env bash
# The Firefox component end to end: xphost.exe (the browser) loads
# xpOrvexDialix.dll, creates it by contract id and drives the registered
# service (with the recording stand-in call window) while phonectl plugs in
# a phone with contacts, delivers a text and rings it. Run twice: the browser
# thread in a single-threaded apartment, then without COM (the component joins
# the multithreaded apartment). In both, get devices lists the phone, the
# contact count is the phone's, a sent message lands in folder 2, the text
# arrives with its kind and sender, the ring gives state 6, nothing arrives
# after DisconnectCompleted, and every callback runs on the browser thread.
# Under Wine the component's registration of the service in the global
# interface table keeps the service alive after the browser is gone, so the
# test runs in a prefix of its own and ends its wineserver.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"
dialix_own_prefix firefox
export DIALIX_SERVICE_EXE=dialix_test_service.exe
export DIALIX_TEST_CALLUI_RECORDER=1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
serial=E2E-FIREFOX-1
phonectl() { dialix_wine "$DIALIX_BIN/phonectl.exe" "$@" | tr -d '\r'; }
xphost() { dialix_wine "$DIALIX_BIN/xphost.exe" "$@" | stdbuf -oL tr -d '\r'; }
out_dir=$(mktemp -d)
cleanup() {
  rm -rf "$out_dir"
  phonectl remove "$serial" >/dev/null 2>&1
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/"Orvex Dialix"/data/"$serial"
}
dialix_on_exit 'cleanup; /usr/lib/wine/wineserver -k 2>/dev/null || true'

dialix_client wait-exit 30000 >/dev/null
cleanup
mkdir -p "$out_dir"
dialix_register_test_service || fail "registration failed"
phonectl plug "$serial" --model "E2E Model" --manufacturer Maker --name "Firefox Phone" >/dev/null ||
  fail "phonectl could not make the phone"
for n in 1 2 3; do
  phonectl add-contact "$serial" --vcard "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Page;Person$n\r\nTEL:+35840700000$n\r\nEND:VCARD\r\n" \
    >/dev/null || fail "no contact $n on the phone"
done
phonectl unplug "$serial" >/dev/null
contacts_on_phone=$(phonectl contacts "$serial" | grep -c 'BEGIN:VCARD\|Person')
dll=$(dialix_winpath "$DIALIX_BIN/xpOrvexDialix.dll")

run_mode() {  # name [--no-com]
  local name=$1 out=$out_dir/$1.txt witness=$out_dir/$1-witness.txt
  shift
  xphost "$@" "$dll" create connect wait-connected 30000 subscribe call subscribe message \
    wait-state 2 90000 \
    operation devices wait-operation 20000 read OperationData.Count \
    read 'OperationData.Item(1).SerialNumber' read 'OperationData.Item(2).SerialNumber' \
    read 'OperationData.Item(3).SerialNumber' \
    serial "$serial" operation contacts wait-operation 30000 read OperationData.Count \
    set Recipient 0405550202 set Message "Hello from the page" operation send wait-operation 30000 \
    signal "ff-ready-$name" wait-event "ff-heard-$name" 90000 \
    disconnect wait-disconnected 20000 signal "ff-disconnected-$name" wait-event "ff-quiet-$name" 90000 \
    release >"$out" 2>&1 &
  local host=$!
  dialix_wait_for_line "$out" '^connected: ' 60000 || fail "$name: the page did not connect"
  phonectl plug "$serial" >/dev/null || fail "$name: phonectl could not plug the phone"
  dialix_wait_for_line "$out" "^signal: ff-ready-$name set" 120000 || fail "$name: the page did not get ready"
  # A second client witnesses the calls that follow the page's disconnection.
  dialix_client create connect wait-connected 20000 subscribe call signal "ff-witness-$name" \
    wait-calls Notification 2 60000 disconnect wait-disconnected 20000 release >"$witness" 2>&1 &
  local witness_pid=$!
  dialix_wait_for_line "$witness" "^signal: ff-witness-$name" 60000 || fail "$name: the witness did not subscribe"
  phonectl deliver "$serial" +358405551111 "Text to the page" >/dev/null || fail "$name: no text delivered"
  dialix_wait_for_line "$out" '^callback: Notification .*sender=' 60000 || fail "$name: the text did not arrive"
  phonectl ring "$serial" +358401234567 >/dev/null || fail "$name: phonectl could not ring"
  dialix_wait_for_line "$out" '^callback: Notification .*state=6 ' 60000 || fail "$name: the ring did not arrive"
  dialix_release_client "ff-heard-$name" "$out" || fail "$name: the page did not go on"
  dialix_wait_for_line "$out" "^signal: ff-disconnected-$name set" 60000 || fail "$name: the page did not disconnect"
  phonectl hangup "$serial" >/dev/null || fail "$name: the far side could not hang up"
  wait "$witness_pid" || fail "$name: the witness did not hear the ring and the hang-up"
  dialix_release_client "ff-quiet-$name" "$out" || fail "$name: the page did not go on after the witness"
  wait "$host" || fail "$name: xphost did not run to its end"
  phonectl unplug "$serial" >/dev/null
  echo "== xphost $name"
  cat "$out"

  local text
  text=$(cat "$out")
  expect() { echo "$text" | dialix_has -E "$1" || fail "$name: $2"; }
  expect '^register: OrvexDialix @dialix.example/OrvexDialix/xpOrvexDialix;1$' "the module did not register its contract"
  expect "^read: OperationData.Item\([123]\).SerialNumber = $serial$" "get devices did not list the phone"
  expect "^read: OperationData.Count = $contacts_on_phone$" "the contact count is not the phone's ($contacts_on_phone)"
  expect '^callback: Notification cb=1 .*kind=\{DB5A5D22-7D4A-4B4A-B7D4-4BE44A1E1699\} serial='"$serial"' sender=\+358405551111 text=Text to the page thread=' \
    "the delivered text did not arrive with its kind and sender"
  expect "^callback: Notification cb=1 .*kind=\{DA5E9379-9E1E-4BFA-BFB4-B2D22C98AE28\} serial=$serial number=\+358401234567 state=6 thread=" \
    "the ring did not arrive as state 6"
  expect '^callback: DisconnectCompleted ' "no DisconnectCompleted"
  local after
  after=$(echo "$text" | sed -n '/^callback: DisconnectCompleted /,$p' | grep -c '^callback: ')
  [ "$after" == 1 ] || fail "$name: $((after - 1)) callbacks arrived after DisconnectCompleted"
  local lines others
  lines=$(echo "$text" | grep -c '^callback: ')
  others=$(echo "$text" | grep '^callback: ' | grep -vc ' thread=browser$')
  [ "$lines" -gt 4 ] && [ "$others" == 0 ] || fail "$name: $others of $lines callbacks ran off the browser thread"
  echo "threads: $name $(echo "$text" | grep '^callback: ' | grep -c ' thread=browser$') of $lines callbacks on the browser thread"
}

run_mode apartment
run_mode no-com --no-com
sent=$(phonectl messages "$serial" 2 | grep -c '	0405550202	Hello from the page$')
[ "$sent" == 2 ] || fail "the sent messages are not in the phone's folder 2 ($sent)"

[ "$failures" == 0 ] && echo "PASS" || exit 1
