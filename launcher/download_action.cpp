#include "launcher/download_action.h"

#include "launcher/tolvik_constants.h"
#include "launcher/tolvik_registry.h"
#include "launcher/tolvik_shell.h"
#include "launcher/settings/app_entry.h"

CDownloadAction CDownloadAction::FromRegistry()
{
    using TolvikRegistry::ReadMachineText;
    CDownloadAction action;
    action.m_strErrorMsg = ReadMachineText(TOLVIK_DOWNLOAD_KEY, L"ErrorMsg");
    action.m_strUrl = ReadMachineText(TOLVIK_DOWNLOAD_KEY, L"Url");
    action.m_strParam = ReadMachineText(TOLVIK_DOWNLOAD_KEY, L"Param");

    const std::wstring exe = ReadMachineText(TOLVIK_DOWNLOAD_KEY, L"Exe");
    std::wstring folder = ReadMachineText(TOLVIK_DOWNLOAD_KEY, L"Path");
    if (folder.empty())
    {
        const std::wstring key = ReadMachineText(TOLVIK_DOWNLOAD_KEY, L"Key");
        if (!key.empty())
        {
            const std::wstring entry = ReadMachineText(TOLVIK_DOWNLOAD_KEY, L"Entry");
            const std::wstring subKey = L"SOFTWARE\\" + key;
            folder = ReadMachineText(subKey.c_str(), entry.empty() ? nullptr : entry.c_str());
        }
    }
    // A folder that could not be found must not turn "\<Exe>" into a path on the current drive.
    if (!folder.empty())
        action.m_strPath = exe.empty() ? folder : folder + L"\\" + exe;
    return action;
}

void CDownloadAction::Run(const std::wstring& tail, ITolvikShell& shell, HWND hwndOwner) const
{
    if (!m_strUrl.empty())
    {
        shell.Execute(hwndOwner, L"open", m_strUrl, std::wstring(), std::wstring(), SW_SHOWNORMAL);
        return;
    }
    if (!PathExists(m_strPath))
    {
        shell.ShowMessage(hwndOwner, m_strErrorMsg, MB_OK);
        return;
    }
    std::wstring parameters;
    if (m_strParam.find(L"%s") == std::wstring::npos)
        parameters = m_strParam;
    else if (!tail.empty())
        parameters = SubstituteTail(m_strParam, tail);
    shell.Execute(hwndOwner, std::wstring(), m_strPath, parameters, std::wstring(), SW_SHOWNORMAL);
}
