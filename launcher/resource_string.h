#pragma once
// String resources of the running program.
#include <windows.h>

#include <string>

// The string nId of the executable's string table; empty when it has none.
std::wstring LoadResourceString(UINT nId);
