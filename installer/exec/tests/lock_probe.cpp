// Takes the instance lock named on the command line through Ondrix.dll beside this program, as a
// second installation would. Exit code 0: the lock was free, 1: it is held, 2: no answer.
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    wchar_t szPath[MAX_PATH] = {};
    const DWORD cch = ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return 2;
    wchar_t* pSlash = wcsrchr(szPath, L'\\');
    if (pSlash == nullptr)
        return 2;
    wcscpy(pSlash + 1, L"Ondrix.dll");
    HMODULE hOndrix = ::LoadLibraryW(szPath);
    if (hOndrix == nullptr)
        return 2;
    typedef int(WINAPI * PFN_LOCK)(const wchar_t*, HANDLE*, BOOL*);
    const auto pfnLock = reinterpret_cast<PFN_LOCK>(::GetProcAddress(hOndrix, "LockInstanceW"));
    HANDLE hMutex = nullptr;
    BOOL bHeld = FALSE;
    if (pfnLock == nullptr || !pfnLock(argv[1], &hMutex, &bHeld))
        return 2;
    return bHeld ? 1 : 0;
}
