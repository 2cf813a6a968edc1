#include "update/client/zep_command_line_info.h"

#include <shellapi.h>

#include "common/unique_resource.h"

int CZepCommandLineInfo::LetterIndex(wchar_t chLetter) noexcept
{
    return (chLetter >= L'A' && chLetter <= L'Z') ? chLetter - L'A' : -1;
}

void CZepCommandLineInfo::ParseParam(const wchar_t* pszParam, bool bFlag, bool /*bLast*/)
{
    if (!pszParam)
        return;
    if (bFlag)
    {
        // Lower-case letters are not switches of this program: their values are dropped.
        m_nSwitchIndex = LetterIndex(pszParam[0]);
        m_chSwitch = pszParam[0];
        return;
    }
    if (m_nSwitchIndex < 0)
        return;
    if (m_chSwitch == L'C')
    {
        if (m_nServiceCount < ZEP_MAX_SERVICES)
        {
            ++m_nServiceCount;
            m_bDropping = false;
        }
        else
        {
            m_bDropping = true;
        }
    }
    if (m_bDropping)
        return;
    std::wstring strValue;
    for (const wchar_t* p = pszParam; *p; ++p)
    {
        if (*p != L'"')
            strValue += *p;
    }
    const int nEntry = m_nServiceCount > 0 ? m_nServiceCount - 1 : 0;
    m_bstrSlots[nEntry][m_nSwitchIndex] = CScopedBstr(strValue);
}

void CZepCommandLineInfo::ParseCommandLine(const wchar_t* pszArguments)
{
    if (!pszArguments)
        return;
    // CommandLineToArgvW treats its first token as the program name; give it one.
    const std::wstring strLine = std::wstring(L"Quenta.exe ") + pszArguments;
    int nArgs = 0;
    LPWSTR* ppszArgs = ::CommandLineToArgvW(strLine.c_str(), &nArgs);
    if (!ppszArgs)
        return;
    for (int i = 1; i < nArgs; ++i)
    {
        const wchar_t* pszToken = ppszArgs[i];
        const bool bFlag = pszToken[0] == L'/' || pszToken[0] == L'-';
        ParseParam(bFlag ? pszToken + 1 : pszToken, bFlag, i == nArgs - 1);
    }
    ::LocalFree(ppszArgs);
}

const wchar_t* CZepCommandLineInfo::Value(int nService, wchar_t chLetter) const noexcept
{
    const int nIndex = LetterIndex(chLetter);
    if (nService < 0 || nService >= ZEP_MAX_SERVICES || nIndex < 0)
        return L"";
    const BSTR bstr = m_bstrSlots[nService][nIndex].Get();
    return bstr ? bstr : L"";
}

void CZepCommandLineInfo::SetValue(int nService, wchar_t chLetter, const wchar_t* pszValue)
{
    const int nIndex = LetterIndex(chLetter);
    if (nService < 0 || nService >= ZEP_MAX_SERVICES || nIndex < 0)
        return;
    m_bstrSlots[nService][nIndex] = CScopedBstr(pszValue ? pszValue : L"");
}
