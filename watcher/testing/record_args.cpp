// Stands in for a program started by the watcher: appends one line per start to a record
// file and ends. The line holds the process creation time (100 ns units, so starts can be
// ordered even when they record out of order), the argument count and the raw argument text:
//   <creation time>\t<argument count>\t<arguments>\r\n
// The file is RECORD_ARGS_FILE when set, else "<program>.record.txt" beside the program.
// With "--stay" as first argument the program then waits (up to two minutes) so it can be
// seen in the process list.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "common/string_util.h"
#include "common/unique_resource.h"

namespace
{
std::wstring RecordFilePath()
{
    std::vector<wchar_t> value(32768);
    const DWORD cch = ::GetEnvironmentVariableW(L"RECORD_ARGS_FILE", value.data(), static_cast<DWORD>(value.size()));
    if (cch > 0 && cch < value.size())
        return std::wstring(value.data(), cch);
    wchar_t szModule[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, szModule, MAX_PATH);
    std::wstring path(szModule);
    const size_t dot = path.find_last_of(L'.');
    const size_t slash = path.find_last_of(L"\\/");
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash))
        path.erase(dot);
    return path + L".record.txt";
}

// The command line after the program name, as the starter wrote it.
std::wstring ArgumentText()
{
    const wchar_t* p = ::GetCommandLineW();
    if (*p == L'"')
    {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p)
            ++p;
    }
    else
    {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

void AppendLine(const std::wstring& path, const std::string& line)
{
    for (int attempt = 0; attempt < 200; ++attempt)
    {
        UniqueHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
        {
            DWORD cbWritten = 0;
            ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &cbWritten, nullptr);
            return;
        }
        ::Sleep(10);  // another start holds the file
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    FILETIME ftCreation = {}, ftExit = {}, ftKernel = {}, ftUser = {};
    ::GetProcessTimes(::GetCurrentProcess(), &ftCreation, &ftExit, &ftKernel, &ftUser);
    const ULONGLONG creation = (static_cast<ULONGLONG>(ftCreation.dwHighDateTime) << 32) | ftCreation.dwLowDateTime;

    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const bool bStay = argv && argc > 1 && wcscmp(argv[1], L"--stay") == 0;
    if (argv)
        ::LocalFree(argv);

    const std::wstring line = FormatString(L"%llu\t%d\t", creation, argc > 0 ? argc - 1 : 0) + ArgumentText() + L"\r\n";
    AppendLine(RecordFilePath(), WideToUtf8(line));
    if (bStay)
        ::Sleep(120000);
    return 0;
}
