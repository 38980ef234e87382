#!/usr/bin/env bash
# Runs a GoogleTest program inside Wine's virtual desktop, where windows get
# captions, with DIALIX_SCREENSHOTS naming the folder for its pictures.
# explorer does not hand the program's exit code on: the verdict comes from
# gtest's XML report.
#   run-in-desktop.sh <program.exe> <screenshot folder> [gtest options]
set -uo pipefail
exe=$1
shots=$2
shift 2
mkdir -p "$shots"
xml="$shots/$(basename "$exe" .exe).xml"
rm -f "$xml"
winpath() { echo "Z:$(readlink -f "$1" | sed 's|/|\\|g')"; }
export DIALIX_SCREENSHOTS
DIALIX_SCREENSHOTS=$(winpath "$shots")
/usr/lib/wine/wine64 explorer /desktop=dialix,1024x768 "$(winpath "$exe")" \
  --gtest_output="xml:$(winpath "$shots")\\$(basename "$xml")" "$@"
if [ ! -s "$xml" ]; then
  echo "no test report: the program did not finish" >&2
  exit 1
fi
summary=$(grep -m1 '<testsuites' "$xml")
echo "$summary"
grep -o '<failure message="[^"]*"' "$xml" | head -n 20
echo "$summary" | grep -q ' failures="0"' && echo "$summary" | grep -q ' errors="0"'
