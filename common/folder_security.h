#pragma once
// Folders shared by every user of the machine: the update components' data and download
// folders are written by whichever user or service runs the update.
#include <windows.h>

#include <string>

// Creates the folder and each missing level above it. A level that has to be made gets an access
// list granting full control, inherited by files and subfolders, to Authenticated Users, Local
// System, Administrators and Users. S_OK also when the folder already existed.
HRESULT CreateFolderForAllUsers(const std::wstring& strPath);
