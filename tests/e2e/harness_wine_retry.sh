#!/usr/bin/env bash
# The harness's Wine runs: a run that lost its link to the wineserver, or
# whose process could not start, is tried again, any other failure is not,
# and a run that keeps losing it fails after three tries; a run's messages, and those a program it started
# writes after it ended, reach the shared log and the test's own messages,
# which a failed test shows with its failed runs' exit codes. A stand-in for
# the Wine loader plays each case.
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
  unborn) [ $runs -le $3 ] && { echo "err:virtual:virtual_alloc_first_teb wine: failed to map the shared user data: c0000018" >&2; exit 1; } ;;
  fail) echo "phonectl: no phone" >&2; exit 1 ;;
  late) ( sleep 0.3; echo "written after the run ended" >&2 ) & ;;
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
check "the retry is said in the log" 1 "$(grep -c 'Wine run tried again' "$DIALIX_WINE_LOG")"
check "the lost run's own message reaches the log" 1 "$(grep -c 'wine client error' "$DIALIX_WINE_LOG")"

out=$(dialix_wine "$scratch/unborn" unborn 1); status=$?
check "a run whose process could not start is tried again and succeeds" "0 done after 2" "$status $out"

out=$(dialix_wine "$scratch/fails" fail); status=$?
check "any other failure is not tried again" "1 1" "$status $(cat "$scratch/fails.count")"

out=$(dialix_wine "$scratch/always" lose 9); status=$?
check "a run that keeps losing its link fails after three tries" "1 3" "$status $(cat "$scratch/always.count")"

out=$(dialix_wine_bounded 30 "$scratch/bounded" lose 1); status=$?
check "a bounded run is tried again the same way" "0 done after 2" "$status $out"

out=$(dialix_wine "$scratch/late" late); status=$?
collected_late() { dialix_collect_late_messages; dialix_has 'written after the run ended' "$DIALIX_WINE_LOG"; }
dialix_wait_until 10000 collected_late
check "what a started program writes later reaches the shared log" 1 "$(grep -c 'written after the run ended' "$DIALIX_WINE_LOG")"
dialix_collect_late_messages
check "and is copied once" 1 "$(grep -c 'written after the run ended' "$DIALIX_WINE_LOG")"
check "the test's own messages hold every run's" "1 1" \
  "$(grep -c 'phonectl: no phone' "$DIALIX_WINE_ERRS/messages") $(grep -c 'written after' "$DIALIX_WINE_ERRS/messages")"
check "a failed test shows its own messages" 1 "$(dialix_show_messages | grep -c '^  | phonectl: no phone$')"
check "and its failed runs with their exit codes" 1 "$(dialix_show_messages | grep -cE '^  \| +1 exit 1: .*/fails fail$')"

echo "$((12 - failures)) passed, $failures failed"
[ $failures -eq 0 ]
