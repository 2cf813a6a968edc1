#pragma once
// The watcher program's start-up: one instance per session, COM for the AutoPlay handler,
// then the hidden window until it is closed.
#include <windows.h>
#include <string>

class CPirroApp
{
public:
    // Runs the program; the result is the process exit code.
    int InitInstance();

    // "Global\" followed by the program file's base name.
    static std::wstring MutexName();
};
