#!/usr/bin/env bash
# The test prefix as the wizard finds it: the phone-data server registered,
# and HKLM "Software\Orvex Dialix" naming a driver package that is there.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
value() { dialix_reg_query 'HKLM\Software\Orvex Dialix' /v "$1" | awk -F'    ' -v v="$1" '$2 == v {print $4}'; }

server=$(dialix_reg_query 'HKCR\CLSID\{9046A0F4-D1C9-438F-AC10-4C1B550368B3}\InprocServer32' /ve |
  awk -F'    ' '/REG_SZ/ {print $4}' | tr -d '"')
[ "$server" == "$(dialix_winpath "$DIALIX_BIN/Qorsal_PhoneData.dll")" ] || fail "phone-data server: [$server]"

folder=$(value PhoneDriversPath)
name=$(value EnhancementDriverPackageName)
echo "driver package: $folder\\$name"
[ "$name" == "DialixEnhancement.sis" ] || fail "package name: [$name]"
[ -n "$folder" ] || fail "no PhoneDriversPath"
package=$(dialix_wine winepath -u "$folder\\$name" 2>/dev/null | tr -d '\r')
[ -s "$package" ] || fail "the package [$folder\\$name] is not there"
cmp -s "$package" "$DIALIX_BIN/Drivers/DialixEnhancement.sis" || fail "another package than the build's"

[ $failures -eq 0 ] && echo "PASS" || echo "$failures failure(s)"
exit $((failures > 0))
