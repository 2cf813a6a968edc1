#include "tools/fuzz/fuzz_target.h"

#include <algorithm>
#include <cstdio>

#include "common/file_util.h"
#include "common/unique_resource.h"

std::vector<std::string> ReadCorpus(const std::wstring& strDir, const wchar_t* pszSuffix)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    UniqueFindHandle find(::FindFirstFileW((strDir + L"\\*" + pszSuffix).c_str(), &fd));
    if (find)
    {
        do
        {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(fd.cFileName);
        } while (::FindNextFileW(find.Get(), &fd));
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> files;
    for (const std::wstring& name : names)
    {
        std::string data;
        if (ReadWholeFile(strDir + L"\\" + name, data) == ERROR_SUCCESS)
            files.push_back(data);
    }
    return files;
}

bool WriteWholeFileBytes(const std::wstring& strPath, const std::string& data)
{
    UniqueHandle file(::CreateFileW(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD cbWritten = 0;
    return ::WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &cbWritten, nullptr) &&
           cbWritten == data.size();
}

bool IsOneOf(HRESULT hr, std::initializer_list<HRESULT> results)
{
    return std::find(results.begin(), results.end(), hr) != results.end();
}

std::string FuzzHResultText(HRESULT hr)
{
    char sz[16];
    snprintf(sz, sizeof(sz), "0x%08lX", static_cast<unsigned long>(hr));
    return sz;
}
