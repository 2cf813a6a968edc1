#pragma once
// Reads of the installer-provided application entries below the product key, with the size,
// type and terminator rules those values follow.
#include <windows.h>
#include <string>
#include <vector>

#include "common/product_keys.h"
#include "launcher/settings/app_entry.h"

#define LAUNCHER_TOLVIK_KEY ZEP_PRODUCT_KEY L"\\TOLVIK"
#define LAUNCHER_MUSIC_KEY LAUNCHER_TOLVIK_KEY L"\\Music"
#define LAUNCHER_PHOTO_KEY LAUNCHER_TOLVIK_KEY L"\\Photo"
#define LAUNCHER_VIDEO_KEY LAUNCHER_TOLVIK_KEY L"\\Video"
#define LAUNCHER_PODCAST_KEY LAUNCHER_TOLVIK_KEY L"\\Podcast"
#define LAUNCHER_UPDATE_KEY LAUNCHER_TOLVIK_KEY L"\\Update"

namespace SettingsRegistry
{
// Application entry values (and the folder an entry's `entry` names) may take this many bytes,
// terminator included.
const DWORD kEntryValueMaxBytes = 2048;
// Every other value is read into a buffer of this size; a longer one reads as absent.
const DWORD kOtherValueMaxBytes = 1024;

// A string value of at most cbMax bytes, REG_SZ (or REG_EXPAND_SZ, not expanded, when
// bAllowExpand), of even length and ending with a zero code unit. Anything else reads as absent
// (false). The text ends at the first zero code unit.
bool ReadTerminatedString(HKEY hKey, const wchar_t* pszName, DWORD cbMax, bool bAllowExpand, std::wstring& value);

// The raw bytes of a value of at most cbMax bytes; false when missing or longer.
bool ReadSmallValue(HKEY hKey, const wchar_t* pszName, DWORD cbMax, std::vector<BYTE>& data, DWORD& dwType);

// An application entry from a key below HKLM: its seven values, then the alternatives in the
// subkeys "ExecInfos\ExecInfo0", "ExecInfo1", ... up to the first missing one. Missing values
// give empty fields; a key that cannot be opened gives its error.
HRESULT ReadAppEntry(const std::wstring& strKeyPath, AppEntry& entry);
}  // namespace SettingsRegistry
