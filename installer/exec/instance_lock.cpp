#include "installer/exec/instance_lock.h"

#include <algorithm>
#include <string>
#include <new>
#include <vector>

#include "common/critical_section.h"

namespace
{
CXCriticalSection g_lockList;

// A variable of the process's environment outlives every copy of the library; its name carries
// the process id, so a child that inherits it never takes the numbers for its own.
std::wstring ListVariableName()
{
    return L"OndrixInstanceLocks_" + std::to_wstring(::GetCurrentProcessId());
}

std::vector<std::wstring> ReadList()
{
    std::vector<std::wstring> entries;
    const std::wstring name = ListVariableName();
    const DWORD cch = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (cch == 0)
        return entries;
    std::wstring text(cch, L'\0');
    const DWORD cchRead = ::GetEnvironmentVariableW(name.c_str(), &text[0], cch);
    if (cchRead == 0 || cchRead >= cch)
        return entries;
    text.resize(cchRead);
    size_t pos = 0;
    while (pos < text.size())
    {
        size_t end = text.find(L';', pos);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > pos)
            entries.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return entries;
}

bool WriteList(const std::vector<std::wstring>& entries)
{
    std::wstring text;
    for (const std::wstring& entry : entries)
        text += entry + L";";
    return ::SetEnvironmentVariableW(ListVariableName().c_str(), text.empty() ? nullptr : text.c_str()) != FALSE;
}

std::wstring HandleText(HANDLE h)
{
    return std::to_wstring(static_cast<long long>(reinterpret_cast<INT_PTR>(h)));
}
}  // namespace

bool LockInstance(const wchar_t* pszName, HANDLE& hMutex, bool& bHeld)
{
    hMutex = nullptr;
    bHeld = false;
    if (pszName == nullptr)
        return false;
    std::wstring name = L"Global\\";
    name += pszName;
    hMutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD dwError = ::GetLastError();
    bHeld = dwError == ERROR_ALREADY_EXISTS || (hMutex == nullptr && dwError == ERROR_ACCESS_DENIED);
    ::SetLastError(dwError);
    return true;
}

bool RememberInstanceLock(HANDLE hMutex)
{
    CXLock lock(g_lockList);
    std::vector<std::wstring> entries = ReadList();
    entries.push_back(HandleText(hMutex));
    return WriteList(entries);
}

bool ReleaseRememberedInstanceLock(HANDLE hMutex)
{
    CXLock lock(g_lockList);
    std::vector<std::wstring> entries = ReadList();
    auto it = std::find(entries.begin(), entries.end(), HandleText(hMutex));
    if (it == entries.end())
        return false;
    entries.erase(it);
    WriteList(entries);
    return ::CloseHandle(hMutex) != FALSE;
}

bool UnlockInstance(HANDLE hMutex)
{
    if (hMutex == nullptr)
        return false;
    if (ReleaseRememberedInstanceLock(hMutex))
        return true;
    return ::CloseHandle(hMutex) != FALSE;
}
