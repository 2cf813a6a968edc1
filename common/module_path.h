#pragma once
// Where a module's file is, whatever the length of the path.
#include <windows.h>

#include <string>

// The full path of the module's file (nullptr: the program); empty when it cannot be read.
std::wstring ModuleFilePath(HMODULE hModule = nullptr);
// The folder of the module's file, with its trailing backslash; empty when it cannot be read.
std::wstring ModuleFolder(HMODULE hModule = nullptr);
