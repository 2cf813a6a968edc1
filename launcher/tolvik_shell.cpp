#include "launcher/tolvik_shell.h"

#include <shellapi.h>

#include "launcher/tolvik_constants.h"

namespace
{
const wchar_t* NullIfEmpty(const std::wstring& str)
{
    return str.empty() ? nullptr : str.c_str();
}
}  // namespace

INT_PTR CTolvikShell::Execute(HWND hwndOwner, const std::wstring& verb, const std::wstring& file,
                              const std::wstring& parameters, const std::wstring& directory, int nShowCmd)
{
    const HINSTANCE hInst = ::ShellExecuteW(hwndOwner, NullIfEmpty(verb), file.c_str(), NullIfEmpty(parameters),
                                            NullIfEmpty(directory), nShowCmd);
    return reinterpret_cast<INT_PTR>(hInst);
}

int CTolvikShell::ShowMessage(HWND hwndOwner, const std::wstring& text, UINT uType)
{
    return ::MessageBoxW(hwndOwner, text.c_str(), TOLVIK_APP_NAME, uType);
}

void CTolvikShell::Broadcast(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    ::PostMessageW(HWND_BROADCAST, uMsg, wParam, lParam);
}
