#include "common/testing/zeptest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "common/file_util.h"
#include "common/module_path.h"
#include "common/unique_resource.h"

namespace zeptest
{
namespace
{
std::wstring g_tempDir;  // the current test's

void RemoveFolderLink(const std::wstring& link);

class CSandboxListener : public ::testing::EmptyTestEventListener
{
public:
    void OnTestStart(const ::testing::TestInfo&) override
    {
        static std::atomic<unsigned> s_counter{0};
        const unsigned n = ++s_counter;
        wchar_t suffix[64];
        swprintf(suffix, 64, L"%lu_%u_%lu", ::GetCurrentProcessId(), n, ::GetTickCount());

        BeginRegistrySandbox(suffix);

        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, temp);
        g_tempDir = std::wstring(temp) + L"zeptest_" + suffix + L"\\";
        ::CreateDirectoryW(g_tempDir.c_str(), nullptr);
    }

    void OnTestEnd(const ::testing::TestInfo&) override
    {
        EndRegistrySandbox();
        RemoveTree(g_tempDir);
    }
};
}  // namespace

const std::wstring& TestTempDir() { return g_tempDir; }

std::wstring ExeDir() { return ModuleFolder(); }

bool CreateProcessTried(const wchar_t* pszApplication, const std::wstring& commandLine, BOOL bInheritHandles,
                        STARTUPINFOW& si, PROCESS_INFORMATION& pi)
{
    for (int nTry = 1;; ++nTry)
    {
        std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
        cmd.push_back(L'\0');
        pi = PROCESS_INFORMATION{};
        if (::CreateProcessW(pszApplication, cmd.data(), nullptr, nullptr, bInheritHandles, 0, nullptr, nullptr, &si,
                             &pi))
            return true;
        const DWORD dwError = ::GetLastError();
        if (dwError != ERROR_INTERNAL_ERROR || nTry == 3)
        {
            ::SetLastError(dwError);
            return false;
        }
        ::Sleep(200);
    }
}

bool StartProcess(const std::wstring& commandLine, UniqueHandle& process, DWORD* pdwId)
{
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessTried(nullptr, commandLine, FALSE, si, pi))
        return false;
    ::CloseHandle(pi.hThread);
    process.Reset(pi.hProcess);
    if (pdwId)
        *pdwId = pi.dwProcessId;
    return true;
}

bool RunProcess(const std::wstring& commandLine, DWORD dwTimeoutMs, DWORD& dwExitCode)
{
    dwExitCode = static_cast<DWORD>(-1);
    UniqueHandle process;
    if (!StartProcess(commandLine, process))
        return false;
    if (::WaitForSingleObject(process.Get(), dwTimeoutMs) != WAIT_OBJECT_0)
    {
        ::TerminateProcess(process.Get(), 0xDEAD);
        ::WaitForSingleObject(process.Get(), 5000);
        return false;
    }
    ::GetExitCodeProcess(process.Get(), &dwExitCode);
    return true;
}

bool RemoveTree(const std::wstring& path)
{
    if (path.empty())
        return false;
    std::wstring dir = path;
    while (dir.size() > 3 && dir.back() == L'\\')
        dir.pop_back();
    const DWORD dwAttributes = ::GetFileAttributesW(dir.c_str());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    {
        RemoveFolderLink(dir);
        return ::GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES;
    }
    dir += L'\\';
    WIN32_FIND_DATAW fd;
    UniqueFindHandle find(::FindFirstFileW((dir + L"*").c_str(), &fd));
    if (find)
    {
        do
        {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = dir + name;
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveFolderLink(child);
            else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
            {
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find.Get(), &fd));
    }
    find.Reset();
    return ::RemoveDirectoryW(dir.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND ||
           ::GetLastError() == ERROR_PATH_NOT_FOUND;
}

namespace
{
typedef char*(CDECL* PFN_UNIX_NAME)(LPCWSTR);

// Wine's own name for a path on the host; nullptr outside Wine.
PFN_UNIX_NAME UnixNameFunction()
{
    const HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    return reinterpret_cast<PFN_UNIX_NAME>(reinterpret_cast<void*>(::GetProcAddress(hKernel, "wine_get_unix_file_name")));
}

// Runs a program of the host on the host names of paths (Wine starts one by its path on drive Z:).
void RunHostCommand(const char* pszCommand, const std::wstring& first, const std::wstring& second = std::wstring())
{
    const PFN_UNIX_NAME pfnUnixName = UnixNameFunction();
    std::string command = pszCommand;
    for (const std::wstring* pPath : {&first, &second})
    {
        if (pPath->empty())
            continue;
        char* pszUnix = pfnUnixName(pPath->c_str());
        if (!pszUnix)
            return;
        command += std::string(" \"") + pszUnix + "\"";
        ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    }
    DWORD dwExit = 1;
    RunProcess(std::wstring(command.begin(), command.end()), 10000, dwExit);
}

DWORD AttributesAfterHostCommand(const std::wstring& path, bool bPresent)
{
    // Wine does not wait for a program of the host the way it waits for its own: look for a while.
    DWORD dwAttributes = INVALID_FILE_ATTRIBUTES;
    for (int nTry = 0; nTry < 100; ++nTry)
    {
        dwAttributes = ::GetFileAttributesW(path.c_str());
        if ((dwAttributes != INVALID_FILE_ATTRIBUTES) == bPresent)
            break;
        ::Sleep(50);
    }
    return dwAttributes;
}

// Removes a link to a folder, never the folder it points to (Wine's RemoveDirectory removes the
// target of a Unix link).
void RemoveFolderLink(const std::wstring& link)
{
    if (!UnixNameFunction())
    {
        ::RemoveDirectoryW(link.c_str());
        return;
    }
    RunHostCommand("Z:\\bin\\rm -f", link);
    AttributesAfterHostCommand(link, false);
}
}  // namespace

bool MakeFolderLink(const std::wstring& link, const std::wstring& target)
{
    DWORD dwAttributes = INVALID_FILE_ATTRIBUTES;
    if (UnixNameFunction())
    {
        RunHostCommand("Z:\\bin\\ln -s", target, link);
        dwAttributes = AttributesAfterHostCommand(link, true);
    }
    else
    {
        // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE: in developer mode no privilege is needed.
        ::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2);
        dwAttributes = ::GetFileAttributesW(link.c_str());
    }
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring FolderEntries(const std::wstring& path)
{
    std::wstring entries;
    WIN32_FIND_DATAW fd;
    UniqueFindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &fd));
    if (!find)
        return entries;
    do
    {
        if (wcscmp(fd.cFileName, L".") != 0 && wcscmp(fd.cFileName, L"..") != 0)
            entries += std::wstring(fd.cFileName) + L" ";
    } while (::FindNextFileW(find.Get(), &fd));
    return entries;
}

bool WriteFileBytes(const std::wstring& path, const void* pData, size_t cb)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), pData, static_cast<DWORD>(cb), &written, nullptr) && written == cb;
}

bool ReadFileBytes(const std::wstring& path, std::string& data) { return ReadWholeFile(path, data) == ERROR_SUCCESS; }

void InstallSandboxListener()
{
    ::testing::UnitTest::GetInstance()->listeners().Append(new CSandboxListener);
}
}  // namespace zeptest
