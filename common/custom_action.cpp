#include "common/custom_action.h"

#include <new>
#include <vector>

#include "common/string_util.h"
#include "common/unique_resource.h"

UINT CCustomAction::Initialize(MSIHANDLE hInstall, const wchar_t* pszLogName) noexcept
{
    Finish(ERROR_SUCCESS);
    // A handle of another kind is not told apart here (the installer offers no call that does so
    // for immediate and deferred actions alike): the action's first property read fails instead.
    if (hInstall == 0 || pszLogName == nullptr)
        return ERROR_INVALID_HANDLE;
    try
    {
        m_logName = pszLogName;
    }
    catch (const std::bad_alloc&)
    {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    m_hInstall = hInstall;
    return ERROR_SUCCESS;
}

UINT CCustomAction::Finish(UINT uStatus) noexcept
{
    m_hInstall = 0;
    return uStatus;
}

void CCustomAction::Log(const std::wstring& text) noexcept
{
    if (m_hInstall == 0)
        return;
    try
    {
        UniqueMsiHandle record(::MsiCreateRecord(1));
        if (!record)
            return;
        // The text goes in as a field, never as the template: brackets in it stay as they are.
        const std::wstring line = FormatString(L"%s:  %s", m_logName.c_str(), text.c_str());
        ::MsiRecordSetStringW(record.Get(), 0, L"[1]");
        ::MsiRecordSetStringW(record.Get(), 1, line.c_str());
        ::MsiProcessMessage(m_hInstall, INSTALLMESSAGE_INFO, record.Get());
    }
    catch (const std::bad_alloc&)
    {
    }
}

void CCustomAction::LogError(UINT uStatus, const std::wstring& text) noexcept
{
    try
    {
        Log(FormatString(L"Error 0x%x: %s", uStatus, text.c_str()));
    }
    catch (const std::bad_alloc&)
    {
    }
}

int CCustomAction::ShowError(int nMessage, UINT uStatus, const wchar_t* pszArgument) noexcept
{
    if (m_hInstall == 0)
        return -1;
    UniqueMsiHandle record(::MsiCreateRecord(pszArgument ? 3 : 2));
    if (!record)
        return -1;
    ::MsiRecordSetInteger(record.Get(), 1, nMessage);
    ::MsiRecordSetInteger(record.Get(), 2, static_cast<int>(uStatus));
    if (pszArgument)
        ::MsiRecordSetStringW(record.Get(), 3, pszArgument);
    return ::MsiProcessMessage(m_hInstall, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_ICONERROR),
                               record.Get());
}

// The installer's two-call pattern: ask for the length, then read into a buffer one longer.
template <class Fn>
static UINT ReadString(Fn fnRead, std::wstring& value) noexcept
{
    value.clear();
    try
    {
        wchar_t szEmpty[1] = L"";
        DWORD cch = 0;
        UINT uError = fnRead(szEmpty, &cch);
        if (uError != ERROR_MORE_DATA && uError != ERROR_SUCCESS)
            return uError;
        for (int nTry = 0; nTry < 4; ++nTry)
        {
            std::vector<wchar_t> buffer(cch + 1);
            DWORD cchBuffer = static_cast<DWORD>(buffer.size());
            uError = fnRead(buffer.data(), &cchBuffer);
            if (uError == ERROR_SUCCESS)
            {
                value.assign(buffer.data(), cchBuffer);
                return ERROR_SUCCESS;
            }
            if (uError != ERROR_MORE_DATA)
                return uError;
            // The value grew between the calls.
            cch = cchBuffer;
        }
        return ERROR_MORE_DATA;
    }
    catch (const std::bad_alloc&)
    {
        value.clear();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

UINT CCustomAction::GetProperty(const wchar_t* pszName, std::wstring& value) noexcept
{
    if (m_hInstall == 0)
        return ERROR_INVALID_HANDLE;
    return ReadString([&](wchar_t* psz, DWORD* pcch) { return ::MsiGetPropertyW(m_hInstall, pszName, psz, pcch); },
                      value);
}

UINT CCustomAction::GetTargetPath(const wchar_t* pszFolder, std::wstring& value) noexcept
{
    if (m_hInstall == 0)
        return ERROR_INVALID_HANDLE;
    return ReadString(
        [&](wchar_t* psz, DWORD* pcch) { return ::MsiGetTargetPathW(m_hInstall, pszFolder, psz, pcch); }, value);
}

UINT CCustomAction::SetProperty(const wchar_t* pszName, const std::wstring& value) noexcept
{
    if (m_hInstall == 0)
        return ERROR_INVALID_HANDLE;
    return ::MsiSetPropertyW(m_hInstall, pszName, value.c_str());
}
