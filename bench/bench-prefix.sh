# Sourced by the benchmark scripts that need a Wine prefix of their own:
# bench_prefix <tree> <name> makes "<tree>/wine-<name>" with a fresh
# wineserver and the phones' world inside it, and registers no CallUI server
# (a benchmark registers the real call-window library itself, never the
# tests' recording stand-in).
wineserver=/usr/lib/wine/wineserver
bench_prefix() {  # tree name [fresh]
  export WINEPREFIX=$1/wine-$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export DIALIX_BIN=$1/bin DIALIX_SOURCE=$top
  # The phones' world lives in this prefix, not in one named from outside.
  unset TRELKSIM_WORLD
  # A service left from an interrupted run would be handed to the next client.
  [ -d "$WINEPREFIX" ] && { $wineserver -k 2>/dev/null; $wineserver -w 2>/dev/null; }
  DIALIX_BIN= "$top/tools/wine-prefix" "$WINEPREFIX" ${3:-} || { echo "the prefix could not be made"; return 1; }
}
