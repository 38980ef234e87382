#!/usr/bin/env bash
# "LogLevel" under HKLM "SOFTWARE\Orvex Dialix" opens the service's log only as a DWORD.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
log="$DIALIX_BIN/OrvexDialixService.log"

run_service_once() {
  rm -f "$log"
  dialix_client create connect-null release wait-exit 30000 || fail "client run failed"
}

dialix_register_service || fail "registration failed"
dialix_client wait-exit 30000 >/dev/null

dialix_set_loglevel REG_SZ 5
run_service_once
[ -e "$log" ] && fail "a REG_SZ LogLevel opened the log file"

dialix_set_loglevel REG_DWORD 5
run_service_once
if [ -e "$log" ]; then
  grep -q '\[Constructed class CZembra\]' "$log" || fail "level 5 does not show the main object's construction"
  grep -q '>> CZembra::Connect' "$log" || fail "level 5 does not trace the calls"
  grep -q '<< wWinMain' "$log" || fail "the entry's trace is missing"
else
  fail "a DWORD LogLevel did not open the log file"
fi

dialix_set_loglevel REG_DWORD 3
run_service_once
if [ -e "$log" ]; then
  grep -q 'CZembra::Connect' "$log" && fail "level 3 writes traces"
else
  fail "LogLevel 3 did not open the log file"
fi

dialix_clear_loglevel
rm -f "$log"
[ $failures -eq 0 ] && echo "all log level checks passed"
exit $((failures > 0))
