#pragma once
// The record of a program that a content button can start, and how it is located.
#include <windows.h>
#include <string>
#include <vector>

// One way of locating a program.
struct ExecInfo
{
    std::wstring path;   // folder or full path; wins over key/entry when set
    std::wstring key;    // key below HKLM\SOFTWARE\ holding the folder or path
    std::wstring entry;  // value name in that key; empty = the key's default value
    std::wstring exe;    // file name appended to the located folder; may be empty
    std::wstring param;  // command-line parameters; may contain "%s"
};

// An application that can be chosen for a content kind. "Custom" and "Not Selected" are
// reserved names.
struct AppEntry
{
    std::wstring name;
    std::wstring errormsg;
    std::wstring path;
    std::wstring key;
    std::wstring entry;
    std::wstring exe;
    std::wstring param;
    std::vector<ExecInfo> alternatives;

    // The inline location as a record of its own.
    ExecInfo MainExecInfo() const { return ExecInfo{path, key, entry, exe, param}; }
    void SetMainExecInfo(const ExecInfo& info);
};

bool operator==(const ExecInfo& a, const ExecInfo& b);
inline bool operator!=(const ExecInfo& a, const ExecInfo& b) { return !(a == b); }
bool operator==(const AppEntry& a, const AppEntry& b);
inline bool operator!=(const AppEntry& a, const AppEntry& b) { return !(a == b); }

#define APPENTRY_NAME_CUSTOM L"Custom"
#define APPENTRY_NAME_NOT_SELECTED L"Not Selected"

// printf-like substitution of the tail for "%s" ("%%" gives "%"), without handing the
// installer's text to printf as a format: any other directive stays as written.
std::wstring SubstituteTail(const std::wstring& param, const std::wstring& tail);

// True when a file or folder exists at path (never for an empty path).
bool PathExists(const std::wstring& path);

// Folder or path of a location, with exe joined on; empty when it cannot be located.
std::wstring ResolvePath(const ExecInfo& info);

// Path and parameters of a location, the command-line tail put in place of "%s" (and "%%" made
// a single percent sign). A param containing "%s" gives no parameters at all when the tail is
// empty. Never treats param as a printf format, so any other '%' sequence is kept as it stands.
HRESULT ResolveLaunch(const ExecInfo& info, const std::wstring& tail, std::wstring& path, std::wstring& params);

// Path of the first location that exists (inline, then the alternatives in order); the inline
// path when none exists.
std::wstring FindExecutable(const AppEntry& app);

// Like FindExecutable, with the parameters of the chosen location.
HRESULT FindLaunch(const AppEntry& app, const std::wstring& tail, std::wstring& path, std::wstring& params);

// True when the key path below HKEY_LOCAL_MACHINE can be opened for reading.
bool RegistryKeyExists(const std::wstring& path);

// An `errormsg` as shown: the two-character sequences \n, \r and \t become LF, CR and TAB.
std::wstring ExpandErrorMessageEscapes(const std::wstring& text);

// Joins a folder and a file name with exactly one separator between them.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& file);
