#pragma once
// Where a program's libraries may come from. A library loaded by bare name, by the program or by a
// component it uses, must never come from the working folder or the PATH, which other users or a
// downloaded file may have chosen.
#include <windows.h>

// Limits the search for libraries loaded by name to the system folder and the program's own
// folder; call before anything else runs. Where the system cannot limit it that far, the working
// folder is at least taken out of the search. False when neither took.
bool RestrictDllSearchPath();
