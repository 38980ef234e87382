#!/usr/bin/env bash
# A phone plugged in and unplugged with phonectl while a client is connected:
# the client hears NewDevice (connecting) and DeviceStateChanged (connected,
# then disconnected), and the phone stays in the get-devices list.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
serial=E2E-PHONE-1
phonectl() { dialix_wine "$DIALIX_BIN/phonectl.exe" "$@" | tr -d '\r'; }

dialix_register_service || fail "registration failed"
dialix_client wait-exit 30000 >/dev/null
phonectl remove "$serial" >/dev/null 2>&1

out_file=$(mktemp)
dialix_on_exit 'rm -f "$out_file"; phonectl remove "$serial" >/dev/null 2>&1'
timeout 180 bash -c 'source "$DIALIX_SOURCE/tests/support/service.sh"; dialix_client create \
  connect wait-connected 20000 wait-device '"$serial"' 1 60000 wait-device '"$serial"' 2 60000 \
  wait-device '"$serial"' 3 60000 operation devices wait-operation 20000 devices log \
  disconnect wait-disconnected 20000 release' >"$out_file" 2>&1 &
client=$!

dialix_wait_for_line "$out_file" '^connected: ' 60000 || fail "the client did not connect"
phonectl plug "$serial" --model "E2E Model" --manufacturer Maker --name "E2E Phone" --conn "8,E2E BT" ||
  fail "phonectl could not plug the phone"
dialix_wait_for_line "$out_file" "^device-change: DeviceStateChanged serial=$serial state=2" 60000 ||
  fail "the phone was not announced connected"
phonectl unplug "$serial" || fail "phonectl could not unplug the phone"
dialix_wait_for_exit 180000 "$client" && wait "$client" || fail "the client did not run to its end"

out=$(cat "$out_file")
echo "$out"
expect() { echo "$out" | dialix_has -E "$1" || fail "$2"; }
expect "^device-change: NewDevice serial=$serial state=1$" "no NewDevice with state connecting"
expect "^device-change: DeviceStateChanged serial=$serial state=3$" "no DeviceStateChanged to disconnected"
expect '^operation-result: OperationCompleted hr=0x00000000 state=2 ' "get devices did not complete"
expect "^device: serial=$serial model=E2E Model name=E2E Phone bluetooth=E2E BT state=3$" \
  "the unplugged phone is not listed as disconnected"
changes=$(echo "$out" | grep -cE "^call: DeviceStateChanged .*serial=$serial state=3$")
[ "$changes" == 1 ] || fail "disconnected announced $changes times"

dialix_client wait-exit 60000 >/dev/null || fail "the service did not end"
[ "$failures" == 0 ] && echo "PASS" || exit 1
