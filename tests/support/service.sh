# Shell helpers that drive the service under Wine; sourced by the
# cross-process tests and the demo. Needs WINEPREFIX and DIALIX_BIN.
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
: "${DIALIX_BIN:?DIALIX_BIN must name the programs folder}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
DIALIX_WINE=${DIALIX_WINE:-/usr/lib/wine/wine64}

# Every test ends what it started, on every exit path. A test registers its
# own clean-up with dialix_on_exit (it runs first, and lets waiting clients
# go on); then the test's background processes get a bounded moment to end by
# themselves, and what is left of the script's descendants is killed. A
# background process writes to a file, never to the test's own output: a
# stray one holding that pipe open keeps ctest waiting.
DIALIX_EXIT_ACTIONS=()
dialix_on_exit() { DIALIX_EXIT_ACTIONS+=("$1"); }

# A process's descendants, deepest first.
dialix_descendants() {  # pid
  local child
  for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
    dialix_descendants "$child"
    echo "$child"
  done
}

# Waits at most ms milliseconds for the script's background jobs to end,
# then kills whatever the script started that still runs.
dialix_end_children() {  # ms
  local end=$(( $(date +%s%N) / 1000000 + ${1:-0} ))
  while [ -n "$(jobs -pr)" ] && [ $(( $(date +%s%N) / 1000000 )) -lt $end ]; do sleep 0.1; done
  local pids
  pids=$(dialix_descendants $$)
  [ -n "$pids" ] && kill -KILL $pids 2>/dev/null || true
}

dialix_exit() {
  local status=$? action
  # The clean-up goes on past a failed step, whatever the script's own -e.
  set +e
  trap - EXIT
  for action in "${DIALIX_EXIT_ACTIONS[@]}"; do eval "$action" || true; done
  dialix_end_children 20000
  [ $status -eq 0 ] || dialix_end_services
  dialix_collect_late_messages
  [ $status -eq 0 ] || { dialix_show_messages; dialix_keep_service_log; }
  [ -n "${DIALIX_WINE_ERRS:-}" ] && rm -rf "$DIALIX_WINE_ERRS"
  exit $status
}

# After a failure the test's own Wine messages (its programs' stderr, a
# phonectl's refusal, a crash's backtrace) are shown with the test's output:
# the shared log is not kept where the tests run on a fresh machine.
dialix_show_messages() {
  local own=${DIALIX_WINE_ERRS:-}/messages lines
  echo "(Wine's own messages of all tests: $DIALIX_WINE_LOG)"
  if [ -s "$own" ]; then
    lines=$(wc -l <"$own")
    echo "(this test's Wine messages, ${lines} lines$([ "$lines" -gt 60 ] && echo ', the last 60'):"
    tail -n 60 "$own" | sed 's/^/  | /'
    echo ")"
  fi
  # Polls fail many times over: a run of the same failure is one line.
  [ -s "${DIALIX_WINE_ERRS:-}/exits" ] || return 0
  echo "(this test's failed Wine runs, the last 40, repeats counted:"
  sed -E 's/ after [0-9]+ ms:/:/' "$DIALIX_WINE_ERRS/exits" | uniq -c | tail -n 40 | sed 's/^/  | /'
  echo ")"
}

# After a failure, a service log the test wrote (it set a LogLevel) is kept
# under the build tree: the next test would start it anew.
dialix_keep_service_log() {
  local log=$DIALIX_BIN/OrvexDialixService.log kept
  [ -n "${DIALIX_TEST_STARTED:-}" ] && [ -f "$log" ] && [ "$log" -nt "$DIALIX_TEST_STARTED" ] || return 0
  kept=$(cd "$DIALIX_BIN/.." && pwd)/failure-logs/$(basename "$0" .sh)-$(date +%Y%m%d-%H%M%S).log
  mkdir -p "${kept%/*}" && cp "$log" "$kept" && echo "(the service's log: $kept)"
}

# After a failure: a service program that does not end by itself within
# moments is ended, so that it cannot hold up the tests that follow.
dialix_end_services() {
  local pid
  dialix_client wait-exit 15000 >/dev/null && return 0
  for pid in $(dialix_client pid | sed -n 's/^pid: //p' | tr ',' ' '); do
    [ "$pid" != none ] && dialix_client terminate "$pid" >/dev/null
  done
  return 0
}
trap dialix_exit EXIT
# A signal (the bound of the test's runner) ends the script through the same path.
trap 'exit 143' TERM INT HUP

# Wine's own messages go to a file: a program that Wine starts in the
# background (the wineserver and its system programs, a service started by a
# client) keeps the stderr of the process that started it, and one that
# outlives the test would keep ctest waiting for the end of the test's output.
DIALIX_WINE_LOG=${DIALIX_WINE_LOG:-$(cd "$DIALIX_BIN/.." && pwd)/wine-messages.log}
# Whether the piped text holds a match, reading all of it: `grep -q` stops
# at the first match, and under pipefail the writer's broken pipe then makes
# a found line count as missing.
dialix_has() { grep "$@" >/dev/null; }
# On a busy machine about one Wine process in several thousand loses its link
# to the wineserver: it prints "wine client error:...: sendmsg: Socket
# operation on non-socket" and exits with 1 before it has done its work.
# Rarer still, one cannot even start: its loader finds the address of the
# shared user data taken ("failed to map the shared user data: c0000018")
# before any of the program has run. Such a run is tried again, at most three
# times in all, and each retry is said in the log ("Wine run tried again"),
# so that a stress run can count them.
DIALIX_WINE_LOST='wine client error|failed to map the shared user data'

# Each run's own messages go to a file of their own, copied when it ends to
# the shared log and to the test's messages. The file is kept until the test
# ends: a program the run started (a service COM started for a client) keeps
# writing to it, and what it wrote later is collected then.
DIALIX_WINE_ERRS=$(mktemp -d "${TMPDIR:-/tmp}/dialix-wine.XXXXXX")
# Made once: the folder's own time changes with every run file.
DIALIX_TEST_STARTED=$DIALIX_WINE_ERRS/started
: >"$DIALIX_TEST_STARTED"
# Wine's own error lines are kept in those files (WINEDEBUG=-all alone hides
# why a program failed to load or start), its other debug output is not.
DIALIX_RUN_WINEDEBUG=${DIALIX_RUN_WINEDEBUG:--all,err+all}
dialix_run_wine() {  # command...
  local err status try started
  for try in 1 2 3; do
    err=$(mktemp "$DIALIX_WINE_ERRS/run.XXXXXX" 2>/dev/null) || { "$@" 2>>"$DIALIX_WINE_LOG"; return; }
    started=$(date +%s%N)
    WINEDEBUG=$DIALIX_RUN_WINEDEBUG "$@" 2>>"$err"
    status=$?
    # A failed run is listed with its exit code, which a program that died
    # without a word leaves as its only trace.
    [ $status -eq 0 ] || echo "exit $status after $(( ($(date +%s%N) - started) / 1000000 )) ms: ${*:1:6}" |
      cut -c 1-200 >>"$DIALIX_WINE_ERRS/exits"
    dialix_copy_messages "$err"
    if [ $status -ne 0 ] && dialix_has -E "$DIALIX_WINE_LOST" "$err" && [ $try -lt 3 ]; then
      echo "dialix: $* did not start or lost its wineserver link (exit $status); Wine run tried again" \
        >>"$DIALIX_WINE_LOG"
      continue
    fi
    return $status
  done
}
# Copies what a run file gained since its last copy; the size copied so far
# is kept beside it.
dialix_copy_messages() {  # run-file
  local copied size
  copied=$(cat "$1.copied" 2>/dev/null || echo 0)
  size=$(stat -c %s "$1" 2>/dev/null || echo 0)
  [ "$size" -gt "$copied" ] || return 0
  tail -c +$((copied + 1)) "$1" | head -c $((size - copied)) | tee -a "$DIALIX_WINE_ERRS/messages" >>"$DIALIX_WINE_LOG"
  echo "$size" >"$1.copied"
}
dialix_collect_late_messages() {
  local err
  [ -n "${DIALIX_WINE_ERRS:-}" ] || return 0
  for err in "$DIALIX_WINE_ERRS"/run.*; do
    case $err in *.copied) continue ;; esac
    [ -f "$err" ] && dialix_copy_messages "$err"
  done
  return 0
}
# Wine's console tools named bare go through its start.exe, whose
# ShellExecuteEx has been seen failing under load ("Internal error"),
# printing that instead of the tool's output: the prefix's own copy is run by
# its path, which Wine starts directly; so is a program named by its path on
# the prefix's C: drive (a wizard start once never came). Anything else
# (explorer, which hands its program a desktop) is started as named.
dialix_wine_program() {  # program
  case $1 in
    reg | regsvr32 | winepath | cmd | taskkill)
      if [ -f "$WINEPREFIX/drive_c/windows/system32/$1.exe" ]; then
        echo "$WINEPREFIX/drive_c/windows/system32/$1.exe"
      else
        echo "$1"
      fi ;;
    [Cc]:\\*)
      # A program of the prefix's own drive, named by its Windows path.
      local unix=${1:3}
      unix=$WINEPREFIX/drive_c/${unix//\\//}
      if [ -f "$unix" ]; then echo "$unix"; else echo "$1"; fi ;;
    *) echo "$1" ;;
  esac
}
dialix_wine() {  # program args...
  local program
  program=$(dialix_wine_program "$1")
  shift
  dialix_run_wine "$DIALIX_WINE" "$program" "$@"
}
# The same, with the whole run bounded by timeout(1).
dialix_wine_bounded() {  # seconds program args...
  local seconds=$1 program
  program=$(dialix_wine_program "$2")
  shift 2
  dialix_run_wine timeout "$seconds" "$DIALIX_WINE" "$program" "$@"
}
dialix_winpath() { dialix_wine winepath -w "$1" 2>/dev/null | tr -d '\r'; }
dialix_service() { dialix_wine "$DIALIX_BIN/OrvexDialixService.exe" "$@"; }
# Line-buffered, so a client in the background can be followed as it runs.
dialix_client() { dialix_wine "$DIALIX_BIN/dialix_client.exe" "$@" | stdbuf -oL tr -d '\r'; }

# The server's entries first, then the proxy/stub library: registering the
# type library points dual interfaces at the type-library marshaler, and the
# proxy/stub library must have the last word.
# On a busy machine Wine has been seen failing to start a program at all
# ("ShellExecuteEx failed: Internal error"): each step is tried three times.
dialix_register_service() {
  dialix_thrice dialix_service /RegServer && dialix_register_proxy
}

dialix_register_proxy() {
  dialix_thrice dialix_wine regsvr32 /s "$(dialix_winpath "$DIALIX_BIN/SZembraPS.dll")"
}

dialix_thrice() {
  "$@" || "$@" || "$@"
}

# The Internet Explorer plug-in, after the service and its proxy/stub library.
dialix_register_plugin() {
  dialix_thrice dialix_wine regsvr32 /s "$(dialix_winpath "$DIALIX_BIN/ieOrvexDialix.dll")"
}
dialix_unregister_plugin() {
  dialix_wine regsvr32 /s /u "$(dialix_winpath "$DIALIX_BIN/ieOrvexDialix.dll")"
}

dialix_unregister_service() {
  dialix_wine regsvr32 /s /u "$(dialix_winpath "$DIALIX_BIN/SZembraPS.dll")" || true
  dialix_service /UnregServer
}

# `reg query` output without carriage returns; empty when the key is missing.
dialix_reg_query() { dialix_wine reg query "$@" 2>/dev/null | tr -d '\r' | sed '/./,$!d'; }
dialix_key_exists() { dialix_wine reg query "$1" >/dev/null 2>&1; }

# Adds a registry value (reg add ... /f, so a second try is harmless), tried
# up to three times like a registration; when it never took, what reg said
# (on its standard output) is shown.
dialix_reg_add() {  # reg-add-arguments...
  local out try
  for try in 1 2 3; do
    out=$(dialix_wine reg add "$@" /f 2>&1) && return 0
  done
  echo "reg add $1 did not take: $(echo "$out" | tr -d '\r')"
  return 1
}
dialix_set_loglevel() {  # type data
  dialix_reg_add 'HKLM\SOFTWARE\Orvex Dialix' /v LogLevel /t "$1" /d "$2"
}
dialix_clear_loglevel() {
  dialix_wine reg delete 'HKLM\SOFTWARE\Orvex Dialix' /v LogLevel /f >/dev/null 2>&1 || true
}

# The service program with the test hook (tests/support/dialix_test_service.cpp)
# in place of the product: its /RegServer points the class at it.
dialix_register_test_service() {
  dialix_wine "$DIALIX_BIN/dialix_test_service.exe" /RegServer || return $?
  dialix_register_proxy
}

# Runs a command every tenth of a second until it succeeds, at most ms
# milliseconds; false when it never did.
dialix_wait_until() {  # ms command...
  local end=$(( $(date +%s%N) / 1000000 + $1 ))
  shift
  until "$@"; do
    [ $(( $(date +%s%N) / 1000000 )) -ge $end ] && return 1
    sleep 0.1
  done
}

# Polls a file for a line matching a pattern (grep -E), at most ms milliseconds.
dialix_wait_for_line() {  # file pattern ms
  dialix_wait_until "$3" grep -qE "$2" "$1" 2>/dev/null
}

# Waits at most ms milliseconds, in all, for the script's own background
# processes to end; false when one still runs.
dialix_wait_for_exit() {  # ms pid...
  local end=$(( $(date +%s%N) / 1000000 + $1 )) pid
  shift
  for pid in "$@"; do
    while kill -0 "$pid" 2>/dev/null; do
      [ $(( $(date +%s%N) / 1000000 )) -ge $end ] && return 1
      sleep 0.1
    done
  done
}

# Polls a file until at least n lines match a pattern (grep -E), at most ms
# milliseconds: for a line that an earlier step may have written once already.
dialix_at_least() {  # file pattern n
  local n
  n=$(grep -cE "$2" "$1" 2>/dev/null)
  [ "${n:-0}" -ge "$3" ]
}
dialix_wait_for_count() {  # file pattern n ms
  dialix_wait_until "$4" dialix_at_least "$1" "$2" "$3"
}

# Lets a client past its next wait-event: the event exists only while the
# client waits on it, so the signal is repeated until the client's output
# (a file) says it was set.
dialix_release_client() {  # event-name output-file
  local n
  for n in $(seq 1 100); do
    dialix_client signal "$1" >/dev/null
    dialix_wait_for_line "$2" "^wait-event: $1 set" 300 && return 0
  done
  return 1
}

# The same for several clients waiting on one event: a single signal sent
# before a slow client reached its wait would be lost for it.
dialix_release_clients() {  # event-name output-file...
  local event=$1 file status=0
  shift
  for file in "$@"; do dialix_release_client "$event" "$file" || status=1; done
  return $status
}

# A screenshot of the screen into the build tree's screenshots folder,
# saying where. It is a record: a run that could not take it is tried again,
# up to three times.
DIALIX_SHOTS=$(cd "$DIALIX_BIN/.." && pwd)/screenshots
dialix_snap_once() {  # name
  local folder
  folder=$(dialix_winpath "$DIALIX_SHOTS") && [ -n "$folder" ] &&
    dialix_wine "$DIALIX_BIN/dialix_wintest.exe" snap "$folder\\$1.png" >/dev/null
}
dialix_snap() {  # name
  mkdir -p "$DIALIX_SHOTS"
  dialix_thrice dialix_snap_once "$1" && echo "screenshot: $DIALIX_SHOTS/$1.png"
}

# How many lines of a file match a pattern.
dialix_count() { grep -cE "$2" "$1" 2>/dev/null || true; }

# A prefix of the test's own, for tests that kill processes or may leave a
# server behind: Wine hands later creations in a prefix a dead server until
# its wineserver ends. The test ends that wineserver itself.
# A test without a prefix cannot run: it ends at once rather than wait out
# every bound in a prefix where nothing starts.
dialix_own_prefix() {  # name [fresh]
  export WINEPREFIX=$WINEPREFIX-$1
  dialix_make_prefix ${2:-}
}
dialix_make_prefix() {  # [fresh]
  "$DIALIX_SOURCE/tools/wine-prefix" "$WINEPREFIX" ${1:-} ||
    { echo "FAIL: the prefix $WINEPREFIX could not be made"; exit 1; }
}

# A client's `log` output: its first call is ConnectCompleted, its last
# DisconnectCompleted, each once.
dialix_calls_in_order() {  # file
  local calls
  calls=$(sed -n 's/^call: \([A-Za-z]*\) .*/\1/p' "$1")
  [ "$(echo "$calls" | head -n 1)" == ConnectCompleted ] &&
    [ "$(echo "$calls" | tail -n 1)" == DisconnectCompleted ] &&
    [ "$(echo "$calls" | grep -c '^ConnectCompleted$')" == 1 ] &&
    [ "$(echo "$calls" | grep -c '^DisconnectCompleted$')" == 1 ]
}

# A client's `log` output after fan-outs of the test service: connect and
# disconnect once each, in order, and every kind of the fan-out exactly
# `rounds` times. Prints what is wrong; false when anything is.
dialix_check_fanned_client() {  # file rounds label
  local wrong=0 n method
  dialix_calls_in_order "$1" ||
    { cat "$1"; echo "FAIL: $3: connect and disconnect not once each, in order"; wrong=1; }
  for method in NewDevice DeviceStateChanged Notification; do
    n=$(dialix_count "$1" "^call: $method ")
    [ "$n" == "$2" ] || { echo "FAIL: $3 got $n $method calls in $2 fan-outs"; wrong=1; }
  done
  return $wrong
}
