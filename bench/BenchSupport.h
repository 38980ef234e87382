#pragma once
#include <windows.h>
#include <sqlite3.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "CZembraDb.h"
#include "ZCLText.h"
#include "ZembraSqliteHandles.h"

// What the benchmarks share: the clock, the checks that count failures, and
// the bare SQLite database each compares against.

// Seconds from the performance counter, for the benchmarks' timers.
inline double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The middle of a set of timings; 0 for none.
inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The value below which the fraction q of a set of timings lies; 0 for none.
inline double Percentile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(q * static_cast<double>(values.size())))];
}

// Failed checks of the run; a benchmark with any exits with 1.
inline int g_failures = 0;
inline void Check(bool ok, const char* what) {
  if (ok) return;
  ++g_failures;
  printf("FAILED: %s\n", what);
}

// One step of a change, the statement reset for the next.
inline int Step(sqlite3_stmt* s) {
  int rc = sqlite3_step(s);
  sqlite3_reset(s);
  return rc;
}

// A new database file with the store's five tables, for the bare loops.
inline void OpenBareDatabase(const std::wstring& path, CSqliteConnection* connection) {
  Check(sqlite3_open(ZCLWideToUtf8(path).c_str(), connection->Put()) == SQLITE_OK, "open");
  for (int i = 0; i < 5; ++i)
    Check(sqlite3_exec(connection->Get(), CZembraDb::GetSchemaText(i), nullptr, nullptr, nullptr) == SQLITE_OK,
          "schema");
}

inline CSqliteStatement PrepareBare(sqlite3* db, const char* sql) {
  CSqliteStatement statement;
  Check(sqlite3_prepare_v2(db, sql, -1, statement.Put(), nullptr) == SQLITE_OK, sql);
  return statement;
}
