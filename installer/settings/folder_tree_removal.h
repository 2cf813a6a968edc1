#pragma once
// Removing a folder tree that other users can write into, from a process that may run as
// SYSTEM: a junction or symbolic link planted in the tree must not lead the removal elsewhere.
#include <windows.h>

#include <string>

// Removes the folder, its files and subfolders. A reparse point (junction, symbolic link) is
// removed itself; what it points at is never entered. S_OK also when nothing is at the path;
// otherwise the first failure, after removing everything else it could.
HRESULT RemoveFolderTree(const std::wstring& path);
