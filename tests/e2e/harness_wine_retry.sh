#!/usr/bin/env bash
# The harness's Wine runs: a run that lost its link to the wineserver is
# tried again, any other failure is not, and a run that keeps losing it
# fails after three tries. A stand-in for the Wine loader plays each case.
set -uo pipefail
scratch=$(mktemp -d)
export DIALIX_WINE=$scratch/wine DIALIX_WINE_LOG=$scratch/messages.log
cat >"$DIALIX_WINE" <<'FAKE'
#!/usr/bin/env bash
# Counts its runs in $1.count; "lose N" loses the link on its first N runs.
runs=$(( $(cat "$1.count" 2>/dev/null || echo 0) + 1 ))
echo $runs >"$1.count"
case $2 in
  lose) [ $runs -le $3 ] && { echo "wine client error:0024: sendmsg: Socket operation on non-socket" >&2; exit 1; } ;;
  fail) echo "phonectl: no phone" >&2; exit 1 ;;
esac
echo "done after $runs"
FAKE
chmod +x "$DIALIX_WINE"
source "$(dirname "$0")/../support/service.sh"
dialix_on_exit 'rm -rf "$scratch"'
failures=0
check() {  # label expected actual
  if [ "$2" == "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}

out=$(dialix_wine "$scratch/once" lose 1); status=$?
check "a run that lost its link once is tried again and succeeds" "0 done after 2" "$status $out"
check "the retry is said in the log" 1 "$(grep -c 'lost its link' "$DIALIX_WINE_LOG")"
check "the lost run's own message reaches the log" 1 "$(grep -c 'wine client error' "$DIALIX_WINE_LOG")"

out=$(dialix_wine "$scratch/fails" fail); status=$?
check "any other failure is not tried again" "1 1" "$status $(cat "$scratch/fails.count")"

out=$(dialix_wine "$scratch/always" lose 9); status=$?
check "a run that keeps losing its link fails after three tries" "1 3" "$status $(cat "$scratch/always.count")"

out=$(dialix_wine_bounded 30 "$scratch/bounded" lose 1); status=$?
check "a bounded run is tried again the same way" "0 done after 2" "$status $out"

echo "$((6 - failures)) passed, $failures failed"
[ $failures -eq 0 ]
