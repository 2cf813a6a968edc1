#pragma once
// Installer sessions for custom-action tests: a package opened in the test process, the
// messages its actions send to the installer's user interface collected on the way.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

#include "common/unique_resource.h"

namespace installertest
{
struct UiMessage
{
    UINT uType;  // INSTALLMESSAGE_ERROR, INSTALLMESSAGE_INFO, ...
    std::vector<int> fields;
    std::wstring text;
};

// While alive, the installer shows nothing and hands every error and information message here.
class CUiMessageLog
{
public:
    CUiMessageLog();
    ~CUiMessageLog();
    CUiMessageLog(const CUiMessageLog&) = delete;
    CUiMessageLog& operator=(const CUiMessageLog&) = delete;

    bool Installed() const { return m_bInstalled; }
    void Clear() { m_messages.clear(); }
    // An information message (a log line) that contains line.
    bool Logged(const std::wstring& line) const;
    std::vector<UiMessage> Errors() const;
    std::string Dump() const;

private:
    static INT CALLBACK OnMessage(LPVOID pvContext, UINT uType, MSIHANDLE hRecord);

    bool m_bInstalled = false;
    INSTALLUILEVEL m_previousLevel = INSTALLUILEVEL_DEFAULT;
    INSTALLUI_HANDLER_RECORD m_pfnPrevious = nullptr;
    std::vector<UiMessage> m_messages;
};

// A session of the package with costing done and INSTALLDIR set to installDir; invalid on failure.
UniqueMsiHandle OpenSession(const std::wstring& package, const std::wstring& installDir);
// A session of the custom actions' test package (action_test.msi, built beside the tests) with
// INSTALLDIR the current test's temp folder; invalid on failure.
UniqueMsiHandle OpenActionTestSession();
// The property's value, or "(unreadable)".
std::wstring Property(MSIHANDLE hSession, const wchar_t* pszName);
}  // namespace installertest
