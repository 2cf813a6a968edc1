#pragma once
// Program paths that the product's programs read from the registry and start through the shell.
#include <string>

// Longest program path handed to the shell, in characters: what fits the MAX_PATH buffers the
// paths are read into, with their terminator.
constexpr size_t kMaxProgramPathChars = 259;

// Whether a program path read from the registry may be started. An empty path would leave the
// shell to make something of nothing, and a longer one than kMaxProgramPathChars could only be
// used cut short, naming some other file. When it may not, says so on the debugger output, naming
// the value by pszValue (for example "TOLVIK\InstalledPath").
bool IsStartableProgramPath(const std::wstring& path, const wchar_t* pszValue);
