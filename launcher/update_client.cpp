#include "launcher/update_client.h"

#include "common/product_keys.h"
#include "launcher/tolvik_constants.h"
#include "launcher/tolvik_registry.h"
#include "launcher/tolvik_shell.h"
#include "launcher/settings/app_entry.h"
#include "launcher/settings/update_schedule.h"

namespace
{
const wchar_t kRestrictedMessage[] =
    L"制限付きアカウントのユーザーでログオンしているため更新情報の確認が行えません。\n"
    L"確認を行うには、コンピュータの管理者としてログオンする必要があります。";
const wchar_t kStartFailedMessage[] =
    L"必要なファイルが存在しないため更新情報の確認に失敗しました。\n"
    L"Velomar Launcher を再インストールする必要があります。";
const wchar_t kClientRelativePath[] = L"\\UpdateChecker\\Quenta.exe";
// The installer's path and version texts are used up to this many characters.
const size_t kMaxPathText = 259;

std::wstring Block(const wchar_t* pszC, const wchar_t* pszS, const std::wstring& n, const std::wstring& e,
                   const wchar_t* pszF)
{
    return std::wstring(L" /C ") + pszC + L" /S " + pszS + L" /N " + n + L" /E " + e + L" /F " + pszF;
}

bool IsMemberOf(WELL_KNOWN_SID_TYPE type)
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD cbSid = sizeof(sid);
    if (!::CreateWellKnownSid(type, nullptr, sid, &cbSid))
        return false;
    BOOL bMember = FALSE;
    return ::CheckTokenMembership(nullptr, sid, &bMember) && bMember;
}
}  // namespace

std::wstring CUpdateClient::BuildArguments(bool bAutomatic, bool bWithJukebox, const std::wstring& strVersion)
{
    std::wstring text = bAutomatic ? L" /M AUTO " : L" /M MANUAL ";
    text += Block(L"PA001", L"VLFW", L"\"QX-B417\"", L"0.00", L"UPDATE");
    if (bWithJukebox)
        text += Block(L"PP001", L"MDInfo", L"\"Merrowdeck\"", L"0.00", L"INFO");
    text += Block(L"PP001", L"TVK", L"\"Velomar Launcher\"", strVersion, L"UPDATE");
    return text;
}

std::wstring CUpdateClient::ClientPath(const std::wstring& strInstalledPath)
{
    const size_t nSlash = strInstalledPath.find_last_of(L'\\');
    const std::wstring folder = nSlash == std::wstring::npos ? strInstalledPath : strInstalledPath.substr(0, nSlash);
    return folder + kClientRelativePath;
}

bool CUpdateClient::RestrictionApplies(DWORD dwPlatformId, DWORD dwMajor, DWORD dwMinor)
{
    return dwPlatformId == VER_PLATFORM_WIN32_NT && dwMajor == 5 && dwMinor != 0;
}

bool CUpdateClient::IsRestrictedUser()
{
    return !IsMemberOf(WinBuiltinAdministratorsSid) && !IsMemberOf(WinBuiltinPowerUsersSid) &&
           IsMemberOf(WinBuiltinUsersSid);
}

bool CUpdateClient::Start(bool bAutomatic, HWND hwndOwner)
{
    OSVERSIONINFOW version = {sizeof(version)};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL bGotVersion = ::GetVersionExW(&version);
#pragma GCC diagnostic pop
    if (bGotVersion && RestrictionApplies(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion) &&
        IsRestrictedUser())
    {
        if (!bAutomatic)
            m_shell.ShowMessage(hwndOwner, kRestrictedMessage, MB_OK);
        return false;
    }

    const std::wstring strVersion = TolvikRegistry::ReadMachineText(TOLVIK_VERSION_KEY, nullptr).substr(0, kMaxPathText);
    const std::wstring strArguments =
        BuildArguments(bAutomatic, !RegistryKeyExists(TOLVIK_JUKEBOX_DONE_KEY), strVersion);
    const std::wstring strInstalled =
        TolvikRegistry::ReadMachineText(TOLVIK_KEY, ZEP_INSTALLED_PATH_VALUE).substr(0, kMaxPathText);

    // The client's own folder as its working folder, not whatever the launcher's file dialog
    // left behind: a library a program loads by name may be looked for there.
    const std::wstring strClient = ClientPath(strInstalled);
    const std::wstring strClientFolder = strClient.substr(0, strClient.find_last_of(L'\\'));
    const INT_PTR nResult =
        m_shell.Execute(hwndOwner, std::wstring(), strClient, strArguments, strClientFolder, SW_HIDE);
    if (nResult > 32)
    {
        WriteUpdateTime(CurrentUnixTime());
        return true;
    }
    if (!bAutomatic)
        m_shell.ShowMessage(hwndOwner, kStartFailedMessage, MB_OK);
    return false;
}
