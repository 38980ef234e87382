#!/usr/bin/env bash
# A new database, read back with the sqlite3 command-line tool, holds exactly
# the five tables as their CREATE texts give them (plus SQLite's own sequence
# table that AUTOINCREMENT brings), and the contact number table beside them.
set -euo pipefail
bin=${DIALIX_BIN:?}
src=${DIALIX_SOURCE:?}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
DIALIX_STORE_SCHEMA_DB="Z:${dir//\//\\}\\OrvexDialix.db" /usr/lib/wine/wine64 "$bin/store_tests.exe" \
  --gtest_filter=DatabaseTest.WritesFileForSchemaScript >"$dir/run.log" 2>&1 || { cat "$dir/run.log"; exit 1; }
[ -f "$dir/OrvexDialix.db" ] || { echo "no database file was written"; exit 1; }

# The first five texts of the expected file, a leading tab dropped each.
grep -v '^#' "$src/store/tests/expected-sql.txt" | head -n 5 | sed 's/\\t/\t/g; s/^\t//' >"$dir/creates"
{ head -n 1 "$dir/creates"; echo 'CREATE TABLE sqlite_sequence(name,seq);'; tail -n +2 "$dir/creates"; } >"$dir/expected"
/usr/bin/sqlite3 "$dir/OrvexDialix.db" .schema >"$dir/all"
# The contact number table and its indexes are ours, beside the five, and so
# are the tables of the writes and read markings the phone has not confirmed.
grep -q '^CREATE TABLE contact_numbers ' "$dir/all" || { echo "no contact number table"; exit 1; }
grep -q '^CREATE TABLE contacts_written ' "$dir/all" || { echo "no table of unconfirmed writes"; exit 1; }
grep -q '^CREATE TABLE sms_read_marks ' "$dir/all" || { echo "no table of read markings"; exit 1; }
grep -v -e 'contact_numbers' -e 'contacts_written' -e 'sms_read_marks' "$dir/all" >"$dir/actual"
if ! cmp -s "$dir/expected" "$dir/actual"; then
  diff "$dir/expected" "$dir/actual" | cat -A
  exit 1
fi
echo "schema matches"
