#include "common/dll_search_path.h"

namespace
{
typedef BOOL(WINAPI* PFN_SET_DEFAULT_DLL_DIRECTORIES)(DWORD);
}

bool RestrictDllSearchPath()
{
    // Looked up rather than imported: a system without it must still start the program.
    const HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto pfnSetDefault = hKernel ? reinterpret_cast<PFN_SET_DEFAULT_DLL_DIRECTORIES>(reinterpret_cast<void*>(
                                             ::GetProcAddress(hKernel, "SetDefaultDllDirectories")))
                                       : nullptr;
    if (pfnSetDefault &&
        pfnSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_APPLICATION_DIR))
        return true;
    return ::SetDllDirectoryW(L"") != FALSE;
}
