#include <windows.h>

// The base library's error helpers mention two SQLite calls that the tray
// never reaches. Defined here, they keep sqlite3.dll out of the program's
// imports: the tray needs nothing but the system's DLLs.
struct sqlite3;
extern "C" const char* sqlite3_errmsg(sqlite3*) { return "no database in this program"; }
extern "C" const char* sqlite3_errstr(int) { return "no database in this program"; }
