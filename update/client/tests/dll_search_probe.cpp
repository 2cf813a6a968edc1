// Loads the firmware library the way the update client does, from whatever folder the test copied
// this program to, with the working folder the test chose; writes "<result>|<loaded file>".
//   dll_search_probe bind   WORKDIR OUTFILE   CFirmwareLibrary::Bind of the library's bare name
//   dll_search_probe search WORKDIR OUTFILE   LoadLibrary of the bare name after RestrictDllSearchPath
#include <windows.h>

#include <string>

#include "common/dll_search_path.h"
#include "common/module_path.h"
#include "common/string_util.h"
#include "update/client/firmware_library.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return 2;
    const std::wstring strMode = argv[1];
    if (strMode == L"search")
        RestrictDllSearchPath();
    if (!::SetCurrentDirectoryW(argv[2]))
        return 3;
    HRESULT hr = S_OK;
    CFirmwareLibrary library;
    if (strMode == L"bind")
    {
        hr = library.Bind(L"Drenlox.dll");
    }
    else if (strMode == L"search")
    {
        if (!::LoadLibraryW(L"Drenlox.dll"))
            hr = HRESULT_FROM_WIN32(::GetLastError());
    }
    else
    {
        return 2;
    }
    const HMODULE hLoaded = ::GetModuleHandleW(L"Drenlox.dll");
    const std::wstring strLine =
        FormatString(L"0x%08X|%s", static_cast<unsigned>(hr), hLoaded ? ModuleFilePath(hLoaded).c_str() : L"");
    const std::string strUtf8 = WideToUtf8(strLine);
    UniqueHandle hFile(::CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD cbWritten = 0;
    return hFile && ::WriteFile(hFile.Get(), strUtf8.data(), static_cast<DWORD>(strUtf8.size()), &cbWritten, nullptr)
               ? 0
               : 4;
}
