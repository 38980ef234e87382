#!/usr/bin/env bash
# Ring to visible call window, across processes: the product service with the
# call-window library (OrvexDialixGUI.dll) in a Wine prefix of its own, under
# Xvfb, in Wine's virtual desktop; ring_window_timer is the client that starts
# the service, rings the phone and times the window and its own notification.
# A benchmark, not a test: nothing is asserted on time.
# Usage: bench/ring_window_bench.sh build/x64 [rings]
set -uo pipefail
tree=$(cd "${1:-build/x64}" && pwd)
rings=${2:-20}
top=$(cd "$(dirname "$0")/.." && pwd)
# The window needs a display.
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a "$0" "$tree" "$rings"; fi
[ -f "$tree/bin/ring_window_timer.exe" ] || { echo "no ring_window_timer.exe in $tree/bin (build it first)"; exit 1; }

source "$top/bench/bench-prefix.sh"
bench_prefix "$tree" ringbench || exit 1
trap '$wineserver -k 2>/dev/null || true' EXIT
source "$top/tests/support/service.sh"

# Wine's virtual desktop for every process of the prefix (read when the
# wineserver starts): the service's windows get a desktop to show on, and
# exit codes are kept.
dialix_reg_add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
dialix_reg_add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
$wineserver -k 2>/dev/null
$wineserver -w 2>/dev/null

# The service, then its proxy/stub library, then the call-window library.
dialix_register_service || { echo "the service could not be registered"; exit 1; }
dialix_wine regsvr32 /s "$(dialix_winpath "$DIALIX_BIN/OrvexDialixGUI.dll")" ||
  { echo "the call-window library could not be registered"; exit 1; }
server=$(dialix_reg_query 'HKCR\CLSID\{33A9186A-E6D7-4E6D-B2D7-A418A0F4D9A2}\InprocServer32' /ve |
  sed -n 's/.*REG_SZ *//p')
echo "CallUI served by: $server"
case "$server" in
  *OrvexDialixGUI.dll*) ;;
  *) echo "CallUI is not the call-window library"; exit 1 ;;
esac

shots=$tree/screenshots
mkdir -p "$shots"
# The program bounds every wait of its own; this bounds the whole run.
timeout 900 "$DIALIX_WINE" "$DIALIX_BIN/ring_window_timer.exe" "$rings" \
  "$(dialix_winpath "$shots/ringbench-at-visible.png")" | tr -d '\r'
status=${PIPESTATUS[0]}
echo "screen at the moment the first ring's window became visible: $shots/ringbench-at-visible.png"
exit "$status"
