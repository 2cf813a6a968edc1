#include "installer/testing/installer_session.h"

#include "common/string_util.h"
#include "common/testing/zeptest.h"

namespace installertest
{
CUiMessageLog::CUiMessageLog()
{
    m_previousLevel = ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    m_bInstalled = ::MsiSetExternalUIRecord(&CUiMessageLog::OnMessage, INSTALLLOGMODE_ERROR | INSTALLLOGMODE_INFO,
                                            this, &m_pfnPrevious) == ERROR_SUCCESS;
}

CUiMessageLog::~CUiMessageLog()
{
    if (m_bInstalled)
        ::MsiSetExternalUIRecord(m_pfnPrevious, 0, nullptr, nullptr);
    ::MsiSetInternalUI(m_previousLevel, nullptr);
}

INT CALLBACK CUiMessageLog::OnMessage(LPVOID pvContext, UINT uType, MSIHANDLE hRecord)
{
    auto* pThis = static_cast<CUiMessageLog*>(pvContext);
    UiMessage message;
    message.uType = uType & 0xFF000000;
    const UINT uFields = ::MsiRecordGetFieldCount(hRecord);
    for (UINT i = 1; i <= uFields; ++i)
        message.fields.push_back(::MsiRecordGetInteger(hRecord, i));
    wchar_t szText[2048] = {};
    DWORD cch = 2048;
    if (::MsiFormatRecordW(0, hRecord, szText, &cch) == ERROR_SUCCESS)
        message.text = szText;
    pThis->m_messages.push_back(message);
    return IDOK;
}

bool CUiMessageLog::Logged(const std::wstring& line) const
{
    for (const UiMessage& message : m_messages)
    {
        if (message.uType == INSTALLMESSAGE_INFO && message.text.find(line) != std::wstring::npos)
            return true;
    }
    return false;
}

std::vector<UiMessage> CUiMessageLog::Errors() const
{
    std::vector<UiMessage> errors;
    for (const UiMessage& message : m_messages)
    {
        if (message.uType == INSTALLMESSAGE_ERROR)
            errors.push_back(message);
    }
    return errors;
}

std::string CUiMessageLog::Dump() const
{
    std::wstring dump;
    for (const UiMessage& message : m_messages)
        dump += FormatString(L"%08X %s\n", message.uType, message.text.c_str());
    return WideToUtf8(dump);
}

UniqueMsiHandle OpenSession(const std::wstring& package, const std::wstring& installDir)
{
    UniqueMsiHandle session;
    if (::MsiOpenPackageW(package.c_str(), session.Receive()) != ERROR_SUCCESS)
        return UniqueMsiHandle();
    for (const wchar_t* pszAction : {L"CostInitialize", L"FileCost", L"CostFinalize"})
    {
        if (::MsiDoActionW(session.Get(), pszAction) != ERROR_SUCCESS)
            return UniqueMsiHandle();
    }
    if (::MsiSetTargetPathW(session.Get(), L"INSTALLDIR", installDir.c_str()) != ERROR_SUCCESS)
        return UniqueMsiHandle();
    return session;
}

UniqueMsiHandle OpenActionTestSession()
{
    return OpenSession(zeptest::ExeDir() + L"action_test.msi", zeptest::TestTempDir());
}

std::wstring Property(MSIHANDLE hSession, const wchar_t* pszName)
{
    wchar_t szValue[1024] = {};
    DWORD cch = 1024;
    if (::MsiGetPropertyW(hSession, pszName, szValue, &cch) != ERROR_SUCCESS)
        return L"(unreadable)";
    return szValue;
}
}  // namespace installertest
