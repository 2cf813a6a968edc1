#pragma once
// The watcher's registry reads. It only reads: nothing here writes.
#include <windows.h>
#include <string>

#include "common/program_path.h"

class CWatcherRegistry
{
public:
    static constexpr DWORD kLocalBufferSize = 1024;
    // The longest startable path and its terminator: 520 bytes.
    static constexpr DWORD kInstalledPathBytes = (kMaxProgramPathChars + 1) * sizeof(wchar_t);

    // Reads a value through a local buffer of kLocalBufferSize bytes and copies at most cbBuffer
    // bytes of it to pBuffer. Returns the number of bytes stored in the value (which may exceed
    // what was copied), or a negative number when the key or the value cannot be read.
    static LONG ReadValue(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, void* pBuffer,
                          DWORD cbBuffer, DWORD* pdwType);

    // True only for a REG_DWORD AutoLaunch of 0 under the per-user product key.
    static bool IsAutoLaunchDisabled();

    // The launcher's InstalledPath (REG_SZ); empty when missing, of another type, or too long
    // to be held whole.
    static std::wstring ReadLauncherPath();
};
