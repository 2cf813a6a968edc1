#pragma once
// Whole-file reading.
#include <windows.h>

#include <cstdint>
#include <string>

// Reads a file to its end into data, while other programs may read, write or delete it.
// Returns ERROR_SUCCESS, the Win32 error of the open or of a read, ERROR_FILE_TOO_LARGE when the
// file holds more than cbMax bytes, or ERROR_NOT_ENOUGH_MEMORY. data is empty after a failure.
DWORD ReadWholeFile(const std::wstring& path, std::string& data, uint64_t cbMax = UINT64_MAX);

// The same through an open handle, from the file's start: for a file that must be read through
// the handle that wrote it, never again by its path.
DWORD ReadWholeFile(HANDLE hFile, std::string& data, uint64_t cbMax = UINT64_MAX);
