#!/usr/bin/env bash
# A phone's 1,000 contacts listed through the Internet Explorer plug-in's
# scriptable control beside a plain client of the service, in a Wine prefix
# of its own with the service, its proxy/stub library, the call-window
# library and the plug-in registered. A benchmark, not a test: nothing is
# asserted on time.
# Usage: bench/ie_list_bench.sh build/x64 [contacts] [rounds]
set -uo pipefail
tree=$(cd "${1:-build/x64}" && pwd)
contacts=${2:-1000}
rounds=${3:-7}
top=$(cd "$(dirname "$0")/.." && pwd)
[ -f "$tree/bin/ie_list_timer.exe" ] || { echo "no ie_list_timer.exe in $tree/bin (build it first)"; exit 1; }

source "$top/bench/bench-prefix.sh"
# A new prefix each run, so that nothing an earlier run left is in the way.
bench_prefix "$tree" iebench fresh || exit 1
source "$top/tests/support/service.sh"
dialix_on_exit '$wineserver -k 2>/dev/null'

# The call-window library first (the service does not start without its
# CallUI object), as the tests' prefix has it; then the service with its
# proxy/stub library, then the plug-in.
dialix_wine regsvr32 /s "$(dialix_winpath "$DIALIX_BIN/OrvexDialixGUI.dll")" ||
  { echo "the call-window library could not be registered"; exit 1; }
dialix_register_service || { echo "the service could not be registered"; exit 1; }
dialix_register_plugin || { echo "the plug-in could not be registered"; exit 1; }
# The program bounds its waits for the service's callbacks, not the calls
# into the service: this bounds the whole run.
dialix_wine_bounded 900 "$DIALIX_BIN/ie_list_timer.exe" "$contacts" "$rounds" | tr -d '\r'
