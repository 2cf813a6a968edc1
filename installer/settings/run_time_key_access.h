#pragma once
// Write access for the Users group on the machine keys the launcher and the update client write
// while a standard user runs them. Everything else below the product key stays writable by
// administrators only.
#include <windows.h>

#include <string>
#include <vector>

// What Users may do with one key.
enum class RunTimeKeyGrant
{
    // Read the key and set its values (the launcher's update schedule).
    Values,
    // Read the key and create subkeys in it, but not set its own values; full control of every
    // subkey, inherited (the update client's per-service keys).
    Subkeys,
};

struct RunTimeKey
{
    std::wstring path;  // below HKEY_LOCAL_MACHINE
    RunTimeKeyGrant grant;
};

// The access Users get on the key itself, and on subkeys through inheritance (0: none).
ACCESS_MASK RunTimeKeyOwnAccess(RunTimeKeyGrant grant);
ACCESS_MASK RunTimeKeySubkeyAccess(RunTimeKeyGrant grant);

// "values=KEY;subkeys=KEY;...", the installer's description of the keys. False for an empty
// list, an unknown kind or an empty key.
bool ParseRunTimeKeys(const std::wstring& text, std::vector<RunTimeKey>& keys);

// Creates the key (64-bit view) if missing and gives Users the access above: the key's explicit
// entries for Users are replaced, every other entry is kept. A Win32 error code.
DWORD GrantRunTimeKeyAccess(const RunTimeKey& key);
