#!/usr/bin/env bash
# /RegServer writes exactly the service's entries, /UnregServer removes them,
# and only the first registration switch of a command line counts.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$2" == "$3" ] || fail "$1: expected [$3], got [$2]"; }

APPID='{B95E0051-DEC1-43BF-B853-D4C8CAF5FF17}'
LIBID='{62EBDE85-A1D2-4C0E-9795-7FA5DADA066F}'
CLASSES="Zembra:D9077386-C5C7-4BEF-923F-8B41DA44FF5E
DeviceList:D59ABA54-A9DA-4440-8122-E511E1C2E3EA
Device:6885FF79-4617-4B3F-8A50-89E496081281
DeviceInfo:A17E27F5-F795-41FC-8C55-4E158867AA74
AddressList:4F9ADC2C-3906-4D6D-A760-60368ADD53A9
Address:BC5CEBAE-5D4D-4AE9-ACE3-FAE5D62855E9
ContactList:BA9ABD0D-82AB-4006-8740-607EFBF2B8C5
Contact:438916C3-26D0-4ddc-AFB3-41B4888A08BF
SmsList:FCE3B35B-54BF-4741-B8AA-96BE80BA3251
Sms:A9D15EE3-C0B6-4a5a-9140-129BD4232FB7
Event:24C60573-7D09-4b4d-8E16-6E93EEDAB8C7
EventList:F5EF4719-08C6-4a3f-A774-80296B32A7C1"
MODULE="\"$(dialix_winpath "$DIALIX_BIN/OrvexDialixService.exe")\""

# What `reg query /s` shows for one class, in its own order.
expected_class_dump() {  # name clsid
  local k="HKEY_CLASSES_ROOT\\CLSID\\{$2}"
  printf '%s\n' "$k" "    (Default)    REG_SZ    $1 Class" \
    "    AppID    REG_SZ    $APPID" "" \
    "$k\\LocalServer32" "    (Default)    REG_SZ    $MODULE" "" \
    "$k\\ProgID" "    (Default)    REG_SZ    SZembra.$1.1" "" \
    "$k\\Programmable" "" \
    "$k\\TypeLib" "    (Default)    REG_SZ    $LIBID" "" \
    "$k\\VersionIndependentProgID" "    (Default)    REG_SZ    SZembra.$1" ""
}
expected_progid_dump() {  # name clsid
  printf '%s\n' "HKEY_CLASSES_ROOT\\SZembra.$1" "    (Default)    REG_SZ    $1 Class" "" \
    "HKEY_CLASSES_ROOT\\SZembra.$1\\CLSID" "    (Default)    REG_SZ    {$2}" "" \
    "HKEY_CLASSES_ROOT\\SZembra.$1\\CurVer" "    (Default)    REG_SZ    SZembra.$1.1" ""
}
expected_progid1_dump() {  # name clsid
  printf '%s\n' "HKEY_CLASSES_ROOT\\SZembra.$1.1" "    (Default)    REG_SZ    $1 Class" "" \
    "HKEY_CLASSES_ROOT\\SZembra.$1.1\\CLSID" "    (Default)    REG_SZ    {$2}" ""
}
# Compares case-insensitively: the registry keeps a key name's case, `reg`
# may print the case of the query instead.
same_dump() { [ "$(echo "$1" | tr a-z A-Z)" == "$(echo "$2" | tr a-z A-Z)" ]; }

# A full check reads every class; a quick one the main class (each query
# starts a Wine process).
check_registered() {  # label [quick]
  local classes=$CLASSES
  [ "${2:-}" == quick ] && classes=$(echo "$CLASSES" | head -n 1)
  for entry in $classes; do
    local name=${entry%%:*} clsid=${entry#*:}
    same_dump "$(dialix_reg_query "HKCR\\CLSID\\{$clsid}" /s)" "$(expected_class_dump "$name" "$clsid")" ||
      fail "$1: class entries of $name differ: $(dialix_reg_query "HKCR\\CLSID\\{$clsid}" /s)"
    same_dump "$(dialix_reg_query "HKCR\\SZembra.$name" /s)" "$(expected_progid_dump "$name" "$clsid")" ||
      fail "$1: ProgID SZembra.$name differs"
    same_dump "$(dialix_reg_query "HKCR\\SZembra.$name.1" /s)" "$(expected_progid1_dump "$name" "$clsid")" ||
      fail "$1: ProgID SZembra.$name.1 differs"
  done
  dialix_key_exists 'HKCR\CLSID\{E5DB1FDE-B5AF-4965-B246-A4F7DA0A1683}' &&
    fail "$1: CallControl must write nothing"
  expect_eq "$1: application id" "$(dialix_reg_query "HKCR\\AppID\\$APPID" /s)" \
    "$(printf '%s\n' "HKEY_CLASSES_ROOT\\AppID\\$APPID" "    (Default)    REG_SZ    SZembra" "")"
  expect_eq "$1: application id by name" "$(dialix_reg_query 'HKCR\AppID\SZembra.EXE' /s)" \
    "$(printf '%s\n' 'HKEY_CLASSES_ROOT\AppID\SZembra.EXE' "    AppID    REG_SZ    $APPID" "")"
  dialix_reg_query "HKCR\\TypeLib\\$LIBID\\1.0" | dialix_has 'SZembra 1.0 Type Library' ||
    fail "$1: type library not registered"
}

check_unregistered() {  # label [quick]
  local classes=$CLASSES
  [ "${2:-}" == quick ] && classes=$(echo "$CLASSES" | head -n 1)
  for entry in $classes; do
    local name=${entry%%:*} clsid=${entry#*:}
    for key in "HKCR\\CLSID\\{$clsid}" "HKCR\\SZembra.$name" "HKCR\\SZembra.$name.1"; do
      dialix_key_exists "$key" && fail "$1: $key is still there"
    done
  done
  for key in "HKCR\\AppID\\$APPID" 'HKCR\AppID\SZembra.EXE' "HKCR\\TypeLib\\$LIBID"; do
    dialix_key_exists "$key" && fail "$1: $key is still there"
  done
  dialix_key_exists 'HKCR\CLSID' || fail "$1: HKCR\\CLSID was removed"
  dialix_key_exists 'HKCR\AppID' || fail "$1: HKCR\\AppID was removed"
}

dialix_service /UnregServer >/dev/null 2>&1

dialix_service /RegServer; expect_eq "/RegServer exit code" $? 0
check_registered "/RegServer"

dialix_service /UnregServer; expect_eq "/UnregServer exit code" $? 0
check_unregistered "/UnregServer"

dialix_service /regserver; expect_eq "/regserver exit code" $? 0
check_registered "lower-case /regserver" quick

dialix_service -unregserver /RegServer; expect_eq "-unregserver /RegServer exit code" $? 0
check_unregistered "-unregserver before /RegServer" quick

dialix_service /RegServer /UnregServer; expect_eq "/RegServer /UnregServer exit code" $? 0
check_registered "/RegServer before /UnregServer" quick

# "UnregServerX" is no switch: the program serves, and like any server started
# by hand it ends only after a client has come and gone. Only the proxy/stub
# library is registered, so the client can reach nothing but this server.
dialix_service /UnregServer; expect_eq "/UnregServer before the server started by hand, exit code" $? 0
check_unregistered "/UnregServer before the server started by hand" quick
dialix_register_proxy
dialix_service /UnregServerX &
manual=$!
out=$(dialix_client create-retry 30000 pid release wait-exit 30000)
echo "$out"
check_unregistered "/UnregServerX wrote nothing" quick
echo "$out" | dialix_has '^create: hr=0x00000000 server=[0-9]*$' ||
  fail "the client did not reach the one server started by hand"
if echo "$out" | dialix_has '^wait-exit: exited'; then
  wait $manual; expect_eq "exit code of the server started by hand" $? 0
else
  fail "the server started by hand did not end"
  kill $manual 2>/dev/null
fi
dialix_wine regsvr32 /s /u "$(dialix_winpath "$DIALIX_BIN/SZembraPS.dll")"

dialix_service /RegServer >/dev/null
dialix_service /UnregServer
check_unregistered "final /UnregServer"

[ $failures -eq 0 ] && echo "all registration checks passed"
exit $((failures > 0))
