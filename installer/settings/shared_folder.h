#pragma once
// The data folder every user of the machine writes the launcher's settings into.
#include <windows.h>

#include <string>

#include "common/unique_resource.h"

// A self-relative security descriptor holding only a discretionary list of four "allow generic
// all" entries, inherited by files and subfolders: Authenticated Users, Local System,
// Administrators, Users. Invalid on failure.
UniqueLocalMem BuildSharedFolderSecurity();

// Creates the folder (one level) with that descriptor; false when anything exists at the path
// or the creation fails.
bool CreateSharedFolder(const std::wstring& path);
