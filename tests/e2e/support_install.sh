#!/usr/bin/env bash
# The support-setup library through its host process: regsvr32 writes and
# removes its DataLayer value, and a "TAVO" phone at "Text Messages" 1.5,
# plugged with phonectl, gets Kalvosync.SIS from Install(id, 0), byte for
# byte, with no temporary file left behind.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$2" == "$3" ] || fail "$1: expected [$3], got [$2]"; }

KEY='HKLM\Software\Sutrel\DataLayer'
library=$(dialix_winpath "$DIALIX_BIN/SutrelSupportSetup.dll")

echo "== regsvr32 writes the library's path"
dialix_wine reg delete "$KEY" /f >/dev/null 2>&1
dialix_wine regsvr32 /s /u "$library" || fail "unregistering without the key fails"
dialix_wine regsvr32 /s "$library" || fail "regsvr32 failed"
value=$(dialix_reg_query "$KEY" /v SutrelSupportSetup | awk -F'    ' '/SutrelSupportSetup/ {print $4}')
expect_eq "DataLayer value" "$value" "$library"
dialix_wine regsvr32 /s /u "$library" || fail "regsvr32 /u failed"
dialix_reg_query "$KEY" /v SutrelSupportSetup | dialix_has SutrelSupportSetup && fail "the value stays after /u"
dialix_wine regsvr32 /s "$library" || fail "registering again failed"

echo "== The phone-data server registered with regsvr32"
dialix_wine regsvr32 /s "$(dialix_winpath "$DIALIX_BIN/Qorsal_PhoneData.dll")" || fail "phone-data server"
threading=$(dialix_reg_query 'HKCR\CLSID\{9046A0F4-D1C9-438F-AC10-4C1B550368B3}\InprocServer32' /v ThreadingModel | awk -F'    ' '/ThreadingModel/ {print $4}')
expect_eq "ThreadingModel" "$threading" "Both"

world=$(mktemp -d)
dialix_on_exit 'rm -rf "$world"'
export TRELKSIM_WORLD=$(dialix_winpath "$world")
phonectl() { dialix_wine "$DIALIX_BIN/phonectl.exe" "$@" | tr -d '\r'; }
host() { dialix_wine "$DIALIX_BIN/sutrel_host.exe" "$@" | tr -d '\r'; }

echo "== A TAVO phone at Text Messages 1.5"
phonectl plug E2E-TAVO --model "Tavo 1" --manufacturer Orvex --type 0x2000010 --capabilities 0x20 --conn "1,Cable" \
  || fail "plug"
phonectl phonedata category TAVO "Tavo 1" || fail "category"
phonectl phonedata version E2E-TAVO "Text Messages" 1.5 || fail "version"
out=$(host need E2E-TAVO) || fail "need: $out"
echo "$out"
expect_eq "need" "$out" "needSupport 0x00000000 text 1 multimedia 0 provider 0 (Orvex)"
out=$(host install E2E-TAVO 0) || fail "install: $out"
echo "$out"
expect_eq "install" "$out" "Install 0x00000000 (flags 0x0)"

package=$(find "$world/phones" -path '*/packages/Kalvosync.SIS' | head -n 1)
[ -n "$package" ] || fail "no packages/Kalvosync.SIS on the phone"
expect_eq "package size" "$(stat -c %s "$package" 2>/dev/null)" 17816
cmp -s "$package" "$DIALIX_BIN/../supportsetup/packages/Kalvosync.SIS" || fail "the package differs from the resource"
phonectl packages E2E-TAVO
temp=$(dialix_wine cmd /c echo %TEMP% | tr -d '\r')
unix_temp=$(dialix_wine winepath -u "$temp" 2>/dev/null | tr -d '\r')
if [ -d "$unix_temp" ]; then
  [ -e "$unix_temp/Kalvosync.SIS" ] && fail "a temporary package was left in $unix_temp"
else
  fail "the temporary folder [$temp] cannot be found"
fi

echo "== An unknown phone: E_FAIL"
out=$(host install NOBODY 0x80)
expect_eq "forced install of an unknown phone" "$out" "Install 0x80004005 (flags 0x80)"

[ "$failures" -eq 0 ] && echo "PASS" || echo "$failures failure(s)"
exit $((failures > 0))
