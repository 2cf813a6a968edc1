#pragma once
// Support for the GoogleTest executables: every test runs in a registry sandbox
// (HKLM and HKCU overridden to a fresh scratch key) with a fresh temp folder.
#include <windows.h>
#include <string>

#include "common/testing/registry_sandbox.h"
#include "common/unique_resource.h"

namespace zeptest
{
// The current test's own temp folder (with trailing backslash); created before the test,
// removed after it.
const std::wstring& TestTempDir();

// The folder of the running test executable (with trailing backslash); helper programs
// built beside the tests live here.
std::wstring ExeDir();

// CreateProcessW on a copy of commandLine. Under load Wine now and then reports a child that ended
// while it was being set up as ERROR_INTERNAL_ERROR; that start is tried again (three tries in all),
// any other failure is returned at once with the last error kept.
bool CreateProcessTried(const wchar_t* pszApplication, const std::wstring& commandLine, BOOL bInheritHandles,
                        STARTUPINFOW& si, PROCESS_INFORMATION& pi);

// Starts a program without waiting for it; process receives its handle, pdwId its id.
bool StartProcess(const std::wstring& commandLine, UniqueHandle& process, DWORD* pdwId = nullptr);

// Starts a program and waits for it. Returns false when it could not be started or did not end
// within dwTimeoutMs (it is then terminated); dwExitCode receives its exit code.
bool RunProcess(const std::wstring& commandLine, DWORD dwTimeoutMs, DWORD& dwExitCode);

// Removes a folder and everything in it, never what a link in it points to; true when it is gone.
bool RemoveTree(const std::wstring& path);

// Makes link a symbolic link to the existing folder target, shown as a reparse point: on Windows a
// directory symbolic link (where this account may make one), under Wine a Unix symbolic link,
// which Wine reports that way. False when no such link could be made.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);

// The names in a folder, "." and ".." left out, joined with a blank after each; empty when there
// are none (or the folder is missing).
std::wstring FolderEntries(const std::wstring& path);

// Writes bytes to a file, replacing it.
bool WriteFileBytes(const std::wstring& path, const void* pData, size_t cb);
bool ReadFileBytes(const std::wstring& path, std::string& data);
}  // namespace zeptest
