#pragma once
// The small runtime every installer custom action of ours runs on: it holds the installer's
// handle for the running installation, writes log lines "<log name>:  <text>" into the
// installer's log, shows the package's error messages and reads and writes properties.
// Nothing here throws: custom actions are called straight from the installer.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

class CCustomAction
{
public:
    CCustomAction() noexcept = default;
    CCustomAction(const CCustomAction&) = delete;
    CCustomAction& operator=(const CCustomAction&) = delete;
    ~CCustomAction() { Finish(ERROR_SUCCESS); }

    // ERROR_SUCCESS, or ERROR_INVALID_HANDLE for a null handle.
    UINT Initialize(MSIHANDLE hInstall, const wchar_t* pszLogName) noexcept;
    // Hands back the status the action returns; the runtime can be initialised again afterwards.
    UINT Finish(UINT uStatus) noexcept;
    bool IsInitialized() const noexcept { return m_hInstall != 0; }

    // Logs "<log name>:  <text>" as an information message of the installer.
    void Log(const std::wstring& text) noexcept;
    // Logs "<log name>:  Error 0x<status>: <text>".
    void LogError(UINT uStatus, const std::wstring& text) noexcept;
    // Shows the package's error message nMessage with the status as its second field and
    // pszArgument (if any) as its third, with the error icon. Returns the installer's answer.
    int ShowError(int nMessage, UINT uStatus, const wchar_t* pszArgument = nullptr) noexcept;

    UINT GetProperty(const wchar_t* pszName, std::wstring& value) noexcept;
    UINT GetTargetPath(const wchar_t* pszFolder, std::wstring& value) noexcept;
    UINT SetProperty(const wchar_t* pszName, const std::wstring& value) noexcept;

private:
    MSIHANDLE m_hInstall = 0;
    std::wstring m_logName;
};
