#!/usr/bin/env bash
# The wizard's phone detection tests whose filter is given, with two phone
# modems on pseudo-terminals linked as COM7 and COM8 in the tree's prefix
# (the suite's connection manager registered there); the modems and their
# links go on every exit path.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"
folder=$(mktemp -d)
modems=()
stop_modems() {
  [ ${#modems[@]} -gt 0 ] && kill -TERM "${modems[@]}" 2>/dev/null
  for pid in "${modems[@]}"; do wait "$pid" 2>/dev/null; done
  rm -f "$WINEPREFIX/dosdevices/com7" "$WINEPREFIX/dosdevices/com8"
  rm -rf "$folder"
}
dialix_on_exit stop_modems
for port in 7 8; do
  python3 "$DIALIX_SOURCE/tests/support/pty_modem.py" "$WINEPREFIX/dosdevices/com$port" "$folder/reply$port" 600 \
    >>"$folder/modems.log" 2>&1 &
  modems+=($!)
done
for _ in $(seq 100); do
  [ -L "$WINEPREFIX/dosdevices/com7" ] && [ -L "$WINEPREFIX/dosdevices/com8" ] && break
  sleep 0.1
done
[ -L "$WINEPREFIX/dosdevices/com7" ] && [ -L "$WINEPREFIX/dosdevices/com8" ] || { echo "FAIL: no modems"; exit 1; }
DIALIX_MODEM_DIR=$(dialix_winpath "$folder")
export DIALIX_MODEM_DIR
dialix_wine "$DIALIX_BIN/wizard_tests.exe" --gtest_filter="$1"
