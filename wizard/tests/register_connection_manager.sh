#!/usr/bin/env bash
# Registers the suite connection manager's stand-in and its proxy/stub
# library in the tree's prefix, server first, so that the proxy/stub library
# has the last word on the interfaces.
set -euo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"
dialix_wine "$DIALIX_BIN/QorsalConnectionManager.exe" /RegServer
dialix_wine regsvr32 /s "$(dialix_winpath "$DIALIX_BIN/QorsalConnectionManagerPS.dll")"
