#include "watcher/pirro_dlg.h"

#include "common/watcher_close_message.h"
#include "watcher/watcher_registry.h"
#include "watcher/resource.h"

UINT CPirroDlg::s_msgCustomDeviceChange = 0;
UINT CPirroDlg::s_msgWatcherClose = 0;

void CPirroDlg::RegisterMessages()
{
    s_msgCustomDeviceChange = ::RegisterWindowMessageW(L"CPirroDlg::m_msgCustomDeviceChange");
    s_msgWatcherClose = ::RegisterWindowMessageW(WATCHER_CLOSE_MESSAGE_NAME);
}

CPirroDlg::CPirroDlg(std::unique_ptr<CExecScsiInterface> pScsi) : CDialogBase(IDD_PIRRO_DIALOG), m_pScsi(std::move(pScsi))
{
    // Without the handler AutoPlay is simply not suppressed; the watcher runs all the same.
    try
    {
        m_pAutoPlay.reset(new CTvkLauncher::CCustomQueryCancelAutoPlay());
        m_pAutoPlay->Register();
    }
    catch (...)
    {
    }
    m_pHandler.reset(new CDeviceArrivalHandler(m_pScsi.get(), m_driveTypes, m_shell, m_pAutoPlay.get(), m_jukebox));
}

CPirroDlg::~CPirroDlg()
{
    // The handler refers to the executor and the AutoPlay object: it goes first.
    m_pHandler.reset();
    m_pAutoPlay.reset();
    m_pScsi.reset();
}

BOOL CPirroDlg::OnInitDialog()
{
    CDialogBase::OnInitDialog();
    if (CWatcherRegistry::IsAutoLaunchDisabled())
        ::PostMessageW(GetHwnd(), WM_CLOSE, 0, 0);
    return TRUE;
}

void CPirroDlg::OnDeviceChange(WPARAM nEvent, LPARAM lParam)
{
    LPARAM copy = 0;
    if (!m_pHandler->Notify(nEvent, lParam, copy))
        return;
    if (!::PostMessageW(GetHwnd(), s_msgCustomDeviceChange, nEvent, copy))
        m_pHandler->Discard(copy);
}

bool CPirroDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    if (uMsg == WM_WINDOWPOSCHANGING)
    {
        // The template is visible; the window must never be.
        reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
        return false;
    }
    if (uMsg == WM_DEVICECHANGE)
    {
        OnDeviceChange(wParam, lParam);
        return false;
    }
    if (uMsg == WM_CLOSE)
    {
        EndDialog(IDCANCEL);
        lResult = 0;
        return true;
    }
    if (s_msgCustomDeviceChange != 0 && uMsg == s_msgCustomDeviceChange)
    {
        m_pHandler->HandleDeferred(wParam, lParam);
        lResult = 0;
        return true;
    }
    if (s_msgWatcherClose != 0 && uMsg == s_msgWatcherClose)
    {
        ::PostMessageW(GetHwnd(), WM_CLOSE, 0, 0);
        lResult = 0;
        return true;
    }
    return false;
}
