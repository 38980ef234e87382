#pragma once
#include <windows.h>
#include "XpcomGlue.h"

// The component's generic module over its module record; NSGetModule's work.
nsresult DialixNewModule(nsIModule** result);
