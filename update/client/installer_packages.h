#pragma once
// Packages handed to a PC installer that may still be reading them. The client does not wait for
// an installer (it may close programs, ask for a restart or replace the client's own files), so
// each package is recorded with the identity of its installer process and deleted by a later
// client run once that process has ended.
#include <windows.h>

#include <string>

namespace InstallerPackages
{
// Where the records live: below the current user's own key, one value per package, named by its
// full path, holding "pid:creation-time" of each installer started on it (";" between them, empty
// when the process is not known). Per user, because a record names a file a later run deletes:
// in a key other users can write, anyone could have a file of another user's deleted.
inline const HKEY kRoot = HKEY_CURRENT_USER;
extern const wchar_t kKey[];

// Records strPath as read by hInstaller (may be null: no process was handed back).
HRESULT Record(const std::wstring& strPath, HANDLE hInstaller);

// Deletes each recorded package whose installers have all ended and drops its record. A
// package whose installer still runs, or whose state cannot be told, is kept; a record that
// cannot be read is dropped without touching any file.
void RemoveFinished();

// The identity of a running process as a record holds it ("pid:creation-time"); empty when it
// cannot be told.
std::wstring ProcessIdentity(HANDLE hProcess);
}  // namespace InstallerPackages
