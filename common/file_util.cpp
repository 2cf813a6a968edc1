#include "common/file_util.h"

#include <new>

#include "common/unique_resource.h"

DWORD ReadWholeFile(const std::wstring& path, std::string& data, uint64_t cbMax)
{
    data.clear();
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ::GetLastError();
    return ReadWholeFile(file.Get(), data, cbMax);
}

DWORD ReadWholeFile(HANDLE hFile, std::string& data, uint64_t cbMax)
{
    data.clear();
    if (hFile == nullptr || hFile == INVALID_HANDLE_VALUE)
        return ERROR_INVALID_HANDLE;
    LARGE_INTEGER size = {};
    if (::GetFileSizeEx(hFile, &size) && static_cast<uint64_t>(size.QuadPart) > cbMax)
        return ERROR_FILE_TOO_LARGE;
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(hFile, start, nullptr, FILE_BEGIN))
        return ::GetLastError();
    try
    {
        // Read to the end rather than to the size seen at the open: the file may be growing.
        char buf[65536];
        for (;;)
        {
            DWORD cbRead = 0;
            if (!::ReadFile(hFile, buf, sizeof(buf), &cbRead, nullptr))
            {
                const DWORD dwError = ::GetLastError();
                data.clear();
                return dwError;
            }
            if (cbRead == 0)
                return ERROR_SUCCESS;
            if (data.size() + cbRead > cbMax)
            {
                data.clear();
                return ERROR_FILE_TOO_LARGE;
            }
            data.append(buf, cbRead);
        }
    }
    catch (const std::bad_alloc&)
    {
        data.clear();
        data.shrink_to_fit();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}
