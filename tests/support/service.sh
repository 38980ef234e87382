# Shell helpers that drive the service under Wine; sourced by the
# cross-process tests and the demo. Needs WINEPREFIX and DIALIX_BIN.
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
: "${DIALIX_BIN:?DIALIX_BIN must name the programs folder}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
DIALIX_WINE=${DIALIX_WINE:-/usr/lib/wine/wine64}

dialix_wine() { "$DIALIX_WINE" "$@"; }
dialix_winpath() { dialix_wine winepath -w "$1" 2>/dev/null | tr -d '\r'; }
dialix_service() { dialix_wine "$DIALIX_BIN/OrvexDialixService.exe" "$@"; }
# Line-buffered, so a client in the background can be followed as it runs.
dialix_client() { dialix_wine "$DIALIX_BIN/dialix_client.exe" "$@" | stdbuf -oL tr -d '\r'; }

# The server's entries first, then the proxy/stub library: registering the
# type library points dual interfaces at the type-library marshaler, and the
# proxy/stub library must have the last word.
dialix_register_service() {
  dialix_service /RegServer || return $?
  dialix_register_proxy
}

dialix_register_proxy() {
  dialix_wine regsvr32 /s "$(dialix_winpath "$DIALIX_BIN/SZembraPS.dll")"
}

# The Internet Explorer plug-in, after the service and its proxy/stub library.
dialix_register_plugin() {
  dialix_wine regsvr32 /s "$(dialix_winpath "$DIALIX_BIN/ieOrvexDialix.dll")"
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

dialix_set_loglevel() {  # type data
  dialix_wine reg add 'HKLM\SOFTWARE\Orvex Dialix' /v LogLevel /t "$1" /d "$2" /f >/dev/null
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

# Polls a file for a line matching a pattern (grep -E), at most ms milliseconds.
dialix_wait_for_line() {  # file pattern ms
  local end=$(( $(date +%s%N) / 1000000 + $3 ))
  until grep -qE "$2" "$1" 2>/dev/null; do
    [ $(( $(date +%s%N) / 1000000 )) -ge $end ] && return 1
    sleep 0.1
  done
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

# How many lines of a file match a pattern.
dialix_count() { grep -cE "$2" "$1" 2>/dev/null || true; }

# A prefix of the test's own, for tests that kill processes or may leave a
# server behind: Wine hands later creations in a prefix a dead server until
# its wineserver ends. The test ends that wineserver itself.
dialix_own_prefix() {  # name
  export WINEPREFIX=$WINEPREFIX-$1
  "$DIALIX_SOURCE/tools/wine-prefix" "$WINEPREFIX"
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
