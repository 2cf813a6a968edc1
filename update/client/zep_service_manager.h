#pragma once
// The update client's work for each service of its command line: is it due, what is installed,
// is there an update, ask, download, verify, install, record the outcome.
#include <windows.h>

#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>

#include "common/scoped_bstr.h"
#include "common/unique_resource.h"
#include "update/client/firmware_library.h"
#include "update/client/zep_command_line_info.h"
#include "zep_backend_library.h"
#include "zep_gui_library.h"

class CZepServiceManager
{
public:
    // Where behaviour meets the outside world; tests replace these.
    struct Seams
    {
        // The firmware library to bind (a bare name is taken from the program's own folder).
        std::wstring strFirmwareLibrary = L"Drenlox.dll";
        // Starts a downloaded PC installer; the default opens it through the shell. process
        // receives the started process when there is one: a later run deletes the package once
        // it has ended.
        std::function<HRESULT(const std::wstring& strPath, UniqueHandle& process)> startInstaller;
        // Shows the client's own error box; the default is a message box.
        std::function<void(UINT uTextId, UINT uIcon, const std::wstring& strText)> showErrorBox;
        // How often and how far apart the returning player is looked for.
        int nPlayerPolls = 600;
        DWORD dwPlayerPollMs = 1000;
        DWORD dwMonitorIntervalMs = 1000;
    };

    // hResources: the client's language resource library (texts of the error boxes).
    CZepServiceManager(HINSTANCE hResources, Seams seams);
    explicit CZepServiceManager(HINSTANCE hResources) : CZepServiceManager(hResources, Seams()) {}
    ~CZepServiceManager();
    CZepServiceManager(const CZepServiceManager&) = delete;
    CZepServiceManager& operator=(const CZepServiceManager&) = delete;

    // Binds the firmware library (failure is not fatal), creates the three components by class
    // and subscribes to the update information manager's version question.
    HRESULT Init();
    // The same with components given by the caller.
    HRESULT InitWith(IZepAutoUpdateGUI* pGui, IZepSoftwareDownloadManager* pDownload, IZepUpdateInfoManager* pInfo);
    void SetCommandLine(CZepCommandLineInfo* pCommandLine) noexcept { m_pCommandLine = pCommandLine; }

    // Runs service nIndex of nCount; a failure ends this service only.
    HRESULT Execute(int nIndex, int nCount);
    // The answer to the update information manager's "FirmwareVersion" question: 0 the rule
    // holds, 1 it does not, negative an error.
    LONG CheckVersion(const wchar_t* pszFirst, const wchar_t* pszSecond, int nRule);
    // Hands a downloaded firmware image to the player and waits, with a progress window, for
    // the player to come back.
    HRESULT UpdateVelomar(const wchar_t* pszServiceId, const wchar_t* pszFirmwarePath);
    void Terminate() noexcept;

    IZepAutoUpdateGUI* Gui() const noexcept { return m_gui.Get(); }

private:
    class CEventSink;
    struct CServiceRun;
    struct CWindowThread;

    HRESULT Subscribe();
    HRESULT RunService(CServiceRun& run, int nIndex);
    HRESULT DownloadPackage(CServiceRun& run);
    HRESULT VerifyAndInstall(CServiceRun& run);
    HRESULT UpdatePlayer(CServiceRun& run);
    // The package stays for its installer; a later run deletes it once the installer has ended.
    static void KeepForInstaller(CServiceRun& run, const std::wstring& strPath, HANDLE hInstaller);
    void Complete(CServiceRun& run, HRESULT& hrResult, int nIndex, int nCount);

    HRESULT QueryPlayer(ZEP_DEVICE_INFO& info) const;
    // Prepares the error box for a result; false when the result has none.
    bool PrepareErrorBox(CServiceRun& run, HRESULT hr) const;
    void ShowErrorBox(const CServiceRun& run) const;
    void ShowPreparedBox(HRESULT hr) const;

    // The threads that drive a modal window own what they use (CWindowThread): one that is
    // still running after its bounded wait never reaches what the service has freed.
    std::shared_ptr<CWindowThread> NewWindowThread() const;
    static HRESULT StartWindowThread(LPTHREAD_START_ROUTINE pfnThread, const std::shared_ptr<CWindowThread>& state,
                                     UniqueHandle& thread);
    static DWORD WINAPI DownloadMonitorThread(void* pContext);
    static DWORD WINAPI FirmwareWorkerThread(void* pContext);
    static DWORD WINAPI UpdateProgressThread(void* pContext);
    static void MonitorDownload(CWindowThread& state);
    void RunFirmwareWorker();
    static void ReportUpdateProgress(CWindowThread& state);

    HINSTANCE m_hResources;
    Seams m_seams;
    CZepCommandLineInfo* m_pCommandLine = nullptr;
    Microsoft::WRL::ComPtr<IZepAutoUpdateGUI> m_gui;
    Microsoft::WRL::ComPtr<IZepSoftwareDownloadManager> m_download;
    Microsoft::WRL::ComPtr<IZepUpdateInfoManager> m_info;
    Microsoft::WRL::ComPtr<IConnectionPoint> m_eventPoint;
    DWORD m_dwEventCookie = 0;
    CFirmwareLibrary m_firmware;

    bool m_bUpdateFound = false;
    ZEP_DEVICE_INFO m_device = {};
    CScopedBstr m_bstrServiceId;
    CScopedBstr m_bstrPackageUrl;
    std::wstring m_strFirmwarePath;
    UniqueHandle m_monitorThread;
    UniqueHandle m_workerThread;
    UniqueHandle m_progressThread;
    // Shared with the firmware worker, which is waited for: plain 32-bit values.
    volatile LONG m_hrFirmware = S_OK;
    // The update progress thread's, for the worker to say it is done.
    std::shared_ptr<CWindowThread> m_updateWindow;
    int m_nCategoryKind = -1;
    int m_nFirmwareService = -1;
    bool m_bInfoOnly = false;
    bool m_bUpdateAvailable = false;
    ULONGLONG m_ullTotalSize = 0;
};
