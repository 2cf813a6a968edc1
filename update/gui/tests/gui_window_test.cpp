// The update windows run as their client runs them: the show method's modal loop on the test's
// thread, progress, close and cancel-state calls from another thread, message boxes answered
// through the seam.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/com_init.h"
#include "common/com_object.h"
#include "common/dialog_finder.h"
#include "common/scoped_bstr.h"
#include "common/testing/zeptest.h"
#include "update/gui/gui_codes.h"
#include "update/gui/gui_resources.h"
#include "update/gui/gui_seams.h"
#include "update/gui/res/gui_res_ids.h"
#include "update/gui/window_placement_rule.h"
#include "update/gui/window_slot.h"
#include "update/gui/zep_auto_update_gui.h"

namespace
{
// What the message-box seam saw, and how it answers.
struct CBoxRecord
{
    HWND hwndOwner;
    std::wstring strText;
    std::wstring strCaption;
    UINT uType;
};

class CFakeBoxes
{
public:
    static CFakeBoxes& Get()
    {
        static CFakeBoxes boxes;
        return boxes;
    }
    void Reset(int nAnswer)
    {
        m_records.clear();
        m_nAnswer = nAnswer;
        m_bHold = false;
        ::ResetEvent(m_opened.Get());
        ::ResetEvent(m_release.Get());
    }
    // The next box stays open (pumping messages, as a real one does) until Release().
    void Hold() { m_bHold = true; }
    bool WaitOpened(DWORD dwMs) { return ::WaitForSingleObject(m_opened.Get(), dwMs) == WAIT_OBJECT_0; }
    void Release(int nAnswer)
    {
        m_nAnswer = nAnswer;
        ::SetEvent(m_release.Get());
    }
    const std::vector<CBoxRecord>& Records() const { return m_records; }

    static int Show(HWND hwndOwner, const wchar_t* pszText, const wchar_t* pszCaption, UINT uType)
    {
        CFakeBoxes& self = Get();
        self.m_records.push_back({hwndOwner, pszText, pszCaption, uType});
        ::SetEvent(self.m_opened.Get());
        if (self.m_bHold)
        {
            const HANDLE hRelease = self.m_release.Get();
            while (::MsgWaitForMultipleObjects(1, &hRelease, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
            {
                MSG msg;
                while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageW(&msg);
                }
            }
        }
        return self.m_nAnswer;
    }

private:
    CFakeBoxes() : m_opened(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_release(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    std::vector<CBoxRecord> m_records;
    std::atomic<int> m_nAnswer{IDOK};
    std::atomic<bool> m_bHold{false};
    UniqueHandle m_opened;
    UniqueHandle m_release;
};

std::vector<std::wstring> g_openedUrls;
void RecordUrl(const wchar_t* pszUrl) { g_openedUrls.push_back(pszUrl); }

std::wstring ResString(UINT nId)
{
    const CGuiResources* pResources = nullptr;
    if (FAILED(CGuiResources::Shared(&pResources)))
        return L"<no resources>";
    return pResources->String(nId);
}

std::wstring ItemText(HWND hwnd, int nId)
{
    wchar_t sz[512] = {};
    ::GetDlgItemTextW(hwnd, nId, sz, _countof(sz));
    return sz;
}

// Polls until the condition holds (the window thread handles posted messages in its own time).
bool Eventually(const std::function<bool()>& condition, DWORD dwTimeoutMs = 5000)
{
    const ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
    while (!condition())
    {
        if (::GetTickCount64() >= ullEnd)
            return false;
        ::Sleep(20);
    }
    return true;
}

bool SystemCloseGrayed(HWND hwnd)
{
    const HMENU hMenu = ::GetSystemMenu(hwnd, FALSE);
    return hMenu && (::GetMenuState(hMenu, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

class GuiWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_com.Succeeded());
        CFakeBoxes::Get().Reset(IDOK);
        ZepGuiSetMessageBox(&CFakeBoxes::Show);
        ZepGuiSetOpenUrl(&RecordUrl);
        g_openedUrls.clear();
        ASSERT_EQ(S_OK, ZepCreateAggregatable<CZepAutoUpdateGUI>(nullptr, IID_IZepAutoUpdateGUI,
                                                                 reinterpret_cast<void**>(&m_pGui)));
    }
    void TearDown() override
    {
        if (m_pGui)
            m_pGui->Release();
        ZepGuiSetMessageBox(nullptr);
        ZepGuiSetOpenUrl(nullptr);
    }

    // Runs show on this thread while driver(window) runs on another; the driver's failures are
    // reported here.
    HRESULT ShowWhile(const std::function<HRESULT()>& show, const std::function<void(HWND)>& driver)
    {
        const DWORD dwThreadId = ::GetCurrentThreadId();
        std::thread thread([&] {
            CComInitScope com(COINIT_MULTITHREADED);
            const HWND hwnd = WaitForThreadDialog(dwThreadId);
            if (!hwnd)
            {
                ADD_FAILURE() << "the window did not appear";
                return;
            }
            driver(hwnd);
        });
        const HRESULT hr = show();
        thread.join();
        return hr;
    }

    CComInitScope m_com;
    IZepAutoUpdateGUI* m_pGui = nullptr;
};

TEST_F(GuiWindows, DownloadWindowShowsProgressAndRemainingTimeAndClosesFromAnotherThread)
{
    HRESULT hrSecondShow = S_OK;
    HRESULT hrUpdateShow = S_OK;
    const HRESULT hr = ShowWhile([&] { return m_pGui->ShowDownloadProgressBar(nullptr); }, [&](HWND hwnd) {
        EXPECT_EQ(L"", ItemText(hwnd, IDC_ZEP_NOTE)) << "the update note is for update mode";
        EXPECT_EQ(L"0%", ItemText(hwnd, IDC_ZEP_PERCENT));
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, IDCANCEL)));
        hrSecondShow = m_pGui->ShowDownloadProgressBar(nullptr);
        hrUpdateShow = m_pGui->ShowUpdateProgressBar(nullptr);

        EXPECT_EQ(ZEP_E_GUI_INVALIDARG, m_pGui->SetDownloadProgress(nullptr, 101));
        EXPECT_EQ(S_OK, m_pGui->SetDownloadProgress(nullptr, 25));
        EXPECT_TRUE(Eventually([&] { return ItemText(hwnd, IDC_ZEP_PERCENT) == L"25%"; }));
        EXPECT_EQ(25, ::SendDlgItemMessageW(hwnd, IDC_ZEP_PROGRESS_BAR, PBM_GETPOS, 0, 0));
        EXPECT_EQ(L"", ItemText(hwnd, IDC_ZEP_REMAINING)) << "the first step only starts the measurement";
        EXPECT_EQ(S_OK, m_pGui->SetDownloadProgress(nullptr, 50));
        EXPECT_TRUE(Eventually([&] { return ItemText(hwnd, IDC_ZEP_PERCENT) == L"50%"; }));
        const std::wstring strSeconds = ResString(IDS_ZEP_REMAINING_SECONDS);
        const std::wstring strPrefix = strSeconds.substr(0, strSeconds.find(L'%'));
        EXPECT_EQ(0u, ItemText(hwnd, IDC_ZEP_REMAINING).find(strPrefix)) << ItemText(hwnd, IDC_ZEP_REMAINING);
        EXPECT_EQ(S_OK, m_pGui->SetDownloadProgress(nullptr, 0));
        EXPECT_TRUE(Eventually([&] { return ItemText(hwnd, IDC_ZEP_REMAINING).empty(); }));

        LONG lSelected = 7;
        EXPECT_EQ(S_OK, m_pGui->IsDownloadCancelIsSelected(nullptr, &lSelected));
        EXPECT_EQ(0, lSelected);
        EXPECT_EQ(S_OK, m_pGui->CloseDownloadProgressBar(nullptr));
    });
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(ZEP_E_WINDOW_ALREADY_OPEN, hrSecondShow);
    EXPECT_EQ(ZEP_E_WINDOW_ALREADY_OPEN, hrUpdateShow) << "one progress window, whatever its mode";
    EXPECT_EQ(S_FALSE, m_pGui->SetDownloadProgress(nullptr, 10)) << "no window any more";
    EXPECT_EQ(S_FALSE, m_pGui->SetDownloadProgress(nullptr, 101)) << "no window comes first";
    EXPECT_EQ(S_FALSE, m_pGui->CloseDownloadProgressBar(nullptr));
    LONG lCanceled = 7;
    EXPECT_EQ(S_OK, m_pGui->IsDownloadCanceled(nullptr, &lCanceled));
    EXPECT_EQ(0, lCanceled);
    EXPECT_TRUE(CFakeBoxes::Get().Records().empty());
}

TEST_F(GuiWindows, UpdateWindowCannotBeClosedByTheUser)
{
    const HRESULT hr = ShowWhile([&] { return m_pGui->ShowUpdateProgressBar(nullptr); }, [&](HWND hwnd) {
        EXPECT_EQ(ResString(IDS_ZEP_UPDATE_TITLE), ItemText(hwnd, IDC_ZEP_TITLE));
        EXPECT_FALSE(ItemText(hwnd, IDC_ZEP_NOTE).empty());
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, IDCANCEL)));
        EXPECT_TRUE(SystemCloseGrayed(hwnd));
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
        ::PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(S_OK, m_pGui->SetUpdateProgress(nullptr, 40));
        EXPECT_TRUE(Eventually([&] { return ItemText(hwnd, IDC_ZEP_PERCENT) == L"40%"; }));
        EXPECT_TRUE(::IsWindow(hwnd)) << "Escape and the title bar do not end an update";
        EXPECT_EQ(L"", ItemText(hwnd, IDC_ZEP_REMAINING)) << "no remaining time while updating";
        EXPECT_EQ(S_OK, m_pGui->SetUpdateProgress(nullptr, 100));
        EXPECT_EQ(S_OK, m_pGui->CloseUpdateProgressBar(nullptr));
    });
    EXPECT_EQ(S_OK, hr);
    EXPECT_TRUE(CFakeBoxes::Get().Records().empty()) << "no cancel question in update mode";
}

TEST_F(GuiWindows, UserCancelAsksThenEndsWithTheCanceledResult)
{
    CFakeBoxes::Get().Reset(IDYES);
    HWND hwndWindow = nullptr;
    const HRESULT hr = ShowWhile([&] { return m_pGui->ShowDownloadProgressBar(nullptr); }, [&](HWND hwnd) {
        hwndWindow = hwnd;
        ::PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(CFakeBoxes::Get().WaitOpened(5000));
    });
    EXPECT_EQ(ZEP_E_DOWNLOAD_CANCELED, hr);
    LONG lCanceled = 0;
    EXPECT_EQ(S_OK, m_pGui->IsDownloadCanceled(nullptr, &lCanceled));
    EXPECT_EQ(1, lCanceled);
    EXPECT_EQ(S_FALSE, m_pGui->SetDownloadProgress(nullptr, 90)) << "progress after the cancel goes nowhere";
    EXPECT_EQ(S_FALSE, m_pGui->CloseDownloadProgressBar(nullptr));
    ASSERT_EQ(1u, CFakeBoxes::Get().Records().size());
    const CBoxRecord& box = CFakeBoxes::Get().Records()[0];
    EXPECT_EQ(hwndWindow, box.hwndOwner);
    EXPECT_EQ(ResString(IDS_ZEP_CANCEL_QUESTION), box.strText);
    EXPECT_EQ(ResString(IDS_ZEP_CAPTION), box.strCaption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONWARNING | MB_TOPMOST), box.uType);

    // The next download starts afresh.
    CFakeBoxes::Get().Reset(IDYES);
    const HRESULT hrNext = ShowWhile([&] { return m_pGui->ShowDownloadProgressBar(nullptr); },
                                     [&](HWND) { EXPECT_EQ(S_OK, m_pGui->CloseDownloadProgressBar(nullptr)); });
    EXPECT_EQ(S_OK, hrNext);
    EXPECT_EQ(S_OK, m_pGui->IsDownloadCanceled(nullptr, &lCanceled));
    EXPECT_EQ(0, lCanceled);
}

// A close from the client's worker while the user is being asked: the close waits for the
// answer; Yes is the user's cancel, No lets the close end the window. Either way it ends once.
TEST_F(GuiWindows, CloseWhileTheCancelQuestionIsOpenWaitsForTheAnswer)
{
    struct
    {
        int nAnswer;
        HRESULT hrShow;
        LONG lCanceled;
    } cases[] = {{IDNO, S_OK, 0}, {IDYES, ZEP_E_DOWNLOAD_CANCELED, 1}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.nAnswer == IDNO ? "answered No" : "answered Yes");
        CFakeBoxes::Get().Reset(IDNO);
        CFakeBoxes::Get().Hold();
        const HRESULT hr = ShowWhile([&] { return m_pGui->ShowDownloadProgressBar(nullptr); }, [&](HWND hwnd) {
            ::PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
            ASSERT_TRUE(CFakeBoxes::Get().WaitOpened(5000));
            LONG lSelected = 0;
            EXPECT_EQ(S_OK, m_pGui->IsDownloadCancelIsSelected(nullptr, &lSelected));
            EXPECT_EQ(1, lSelected);
            std::atomic<bool> bClosed{false};
            HRESULT hrClose = E_FAIL;
            std::thread closer([&] {
                hrClose = m_pGui->CloseDownloadProgressBar(nullptr);
                bClosed = true;
            });
            ::Sleep(400);
            EXPECT_FALSE(bClosed) << "the close did not wait for the answer";
            EXPECT_TRUE(::IsWindow(hwnd));
            CFakeBoxes::Get().Release(c.nAnswer);
            closer.join();
            EXPECT_EQ(S_OK, hrClose);
        });
        EXPECT_EQ(c.hrShow, hr);
        LONG lCanceled = 7;
        EXPECT_EQ(S_OK, m_pGui->IsDownloadCanceled(nullptr, &lCanceled));
        EXPECT_EQ(c.lCanceled, lCanceled);
        EXPECT_EQ(1u, CFakeBoxes::Get().Records().size());
    }
}

// The close that slipped in just before the question opened reaches the window during it.
TEST_F(GuiWindows, CloseArrivingDuringTheQuestionEndsTheWindowOnce)
{
    for (int nAnswer : {IDNO, IDYES})
    {
        SCOPED_TRACE(nAnswer == IDNO ? "answered No" : "answered Yes");
        CFakeBoxes::Get().Reset(IDNO);
        CFakeBoxes::Get().Hold();
        const HRESULT hr = ShowWhile([&] { return m_pGui->ShowDownloadProgressBar(nullptr); }, [&](HWND hwnd) {
            ::PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
            ASSERT_TRUE(CFakeBoxes::Get().WaitOpened(5000));
            ::PostMessageW(hwnd, WM_ZEP_CLOSE, 0, 0);
            ::PostMessageW(hwnd, WM_ZEP_CLOSE, 0, 0);
            ::Sleep(200);
            EXPECT_TRUE(::IsWindowVisible(hwnd)) << "the window ended under the open question";
            CFakeBoxes::Get().Release(nAnswer);
        });
        EXPECT_EQ(nAnswer == IDYES ? ZEP_E_DOWNLOAD_CANCELED : S_OK, hr);
    }
}

TEST_F(GuiWindows, MarqueeWindowRunsUntilClosedOrCanceled)
{
    HRESULT hrSecond = S_OK;
    const HRESULT hrClosed = ShowWhile([&] { return m_pGui->ShowMarqueeProgressBar(nullptr, 30); }, [&](HWND hwnd) {
        const HWND hwndBar = ::GetDlgItem(hwnd, IDC_ZEP_PROGRESS_BAR);
        EXPECT_NE(0, ::GetWindowLongPtrW(hwndBar, GWL_STYLE) & PBS_MARQUEE);
        EXPECT_TRUE(SystemCloseGrayed(hwnd));
        hrSecond = m_pGui->ShowMarqueeProgressBar(nullptr, 30);
        EXPECT_EQ(S_FALSE, m_pGui->CloseDownloadProgressBar(nullptr)) << "the marquee is not a progress window";
        EXPECT_EQ(S_OK, m_pGui->CloseMarqueeProgressBar(nullptr));
        EXPECT_EQ(S_OK, m_pGui->CloseMarqueeProgressBar(nullptr)) << "a second close while it ends is harmless";
    });
    EXPECT_EQ(S_OK, hrClosed);
    EXPECT_EQ(ZEP_E_WINDOW_ALREADY_OPEN, hrSecond);
    EXPECT_EQ(S_FALSE, m_pGui->CloseMarqueeProgressBar(nullptr));

    const HRESULT hrCanceled = ShowWhile([&] { return m_pGui->ShowMarqueeProgressBar(nullptr, 30); },
                                         [&](HWND hwnd) { ::PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(ZEP_E_MARQUEE_CANCELED, hrCanceled);
}

struct ConfirmCase
{
    const char* pszLabel;
    const wchar_t* pszAppName;
    ULONG dwSize;
    LONG bInfoOnly;
    LONG bFirmware;
    UINT nTitleId;  // with the application name for 1001 and 1005
    const wchar_t* pszSize;  // number and unit string, or nullptr for no size line
    UINT nUnitId;
    WORD wButton;
    ULONG ulResult;
    const wchar_t* pszUrl;
    bool bUrlOpened;
};

TEST_F(GuiWindows, ConfirmationWindowTextsAndAnswers)
{
    const wchar_t kNotice[] = L"http://updates.example.com/notice.html";
    const ConfirmCase cases[] = {
        {"firmware", L"VM-Q3", 4194304, 0, 1, IDS_ZEP_TITLE_FIRMWARE, L"4", IDS_ZEP_UNIT_MB, IDOK, 1, kNotice, false},
        {"software, tiny", L"Velomar Launcher", 500, 0, 0, IDS_ZEP_TITLE_SOFTWARE, L"1", IDS_ZEP_UNIT_KB, IDCANCEL, 0,
         kNotice, false},
        {"information only", L"ignored", 99999, 1, 0, IDS_ZEP_TITLE_INFO, nullptr, 0, IDOK, 1, kNotice, true},
        // The shell would run whatever a file address names.
        {"information only, file address", L"ignored", 0, 1, 0, IDS_ZEP_TITLE_INFO, nullptr, 0, IDOK, 1,
         L"file:///C:/windows/system32/notepad.exe", false},
    };
    for (const ConfirmCase& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        g_openedUrls.clear();
        CScopedBstr app(c.pszAppName), detail(L"line one\nline two"), url(c.pszUrl);
        ZEP_UPDATED_INFO info = {};
        info.m_bstrAppName = app.Get();
        info.m_bstrUpdateDetail = detail.Get();
        info.m_bstrURL = url.Get();
        info.m_dwSize = c.dwSize;
        info.m_bInfoOnly = c.bInfoOnly;
        info.m_bFirmware = c.bFirmware;
        ULONG ulResult = 7;
        const HRESULT hr = ShowWhile([&] { return m_pGui->ShowUpdateConfirmationWindow(&info, &ulResult); },
                                     [&](HWND hwnd) {
            std::wstring strTitle = ResString(c.nTitleId);
            if (c.nTitleId != IDS_ZEP_TITLE_INFO)
                strTitle.replace(strTitle.find(L"%s"), 2, c.pszAppName);
            EXPECT_EQ(strTitle, ItemText(hwnd, IDC_ZEP_TITLE));
            if (c.pszSize)
            {
                std::wstring strLine = ResString(IDS_ZEP_SIZE_LINE);
                strLine.replace(strLine.find(L"%u"), 2, c.pszSize);
                strLine.replace(strLine.find(L"%s"), 2, ResString(c.nUnitId));
                EXPECT_EQ(strLine, ItemText(hwnd, IDC_ZEP_SIZE_LINE));
            }
            else
            {
                EXPECT_EQ(L"", ItemText(hwnd, IDC_ZEP_SIZE_LINE));
            }
            EXPECT_EQ(L"line one\r\nline two", ItemText(hwnd, IDC_ZEP_DETAIL));
            RECT rcIcon = {};
            ::GetClientRect(::GetDlgItem(hwnd, IDC_ZEP_ICON), &rcIcon);
            EXPECT_EQ(68, rcIcon.right);
            EXPECT_EQ(60, rcIcon.bottom);
            ::PostMessageW(hwnd, WM_COMMAND, c.wButton, 0);
        });
        EXPECT_EQ(S_OK, hr);
        EXPECT_EQ(c.ulResult, ulResult);
        if (c.bUrlOpened)
            EXPECT_EQ(std::vector<std::wstring>{c.pszUrl}, g_openedUrls);
        else
            EXPECT_TRUE(g_openedUrls.empty());
    }
}

TEST_F(GuiWindows, WindowOpensBesideTheParentRectangleInsideTheDesktop)
{
    EXPECT_EQ(ZEP_E_GUI_INVALIDARG, m_pGui->SetDisplayLocationOfWindow(0, static_cast<zepDisplayLocation>(2)));
    EXPECT_EQ(ZEP_E_GUI_INVALIDARG, m_pGui->SetParentRect(CScopedBstr(L"100,100,400").Get()));
    EXPECT_EQ(S_FALSE, m_pGui->SetParentRect(nullptr));
    ASSERT_EQ(S_OK, m_pGui->SetParentRect(CScopedBstr(L"100,100,400,300").Get()));
    RECT rcDesktop = {};
    ::GetWindowRect(::GetDesktopWindow(), &rcDesktop);
    const POINT ptCentre = ZepCentreBesideParent({100, 100, 500, 400}, rcDesktop);
    const HRESULT hr = ShowWhile([&] { return m_pGui->ShowMarqueeProgressBar(nullptr, 30); }, [&](HWND hwnd) {
        RECT rc = {};
        ::GetWindowRect(hwnd, &rc);
        const POINT ptExpected =
            ZepClampedTopLeft({rc.right - rc.left, rc.bottom - rc.top}, ptCentre, rcDesktop,
                              2 * ::GetSystemMetrics(SM_CXSIZEFRAME) + 5);
        EXPECT_EQ(ptExpected.x, rc.left);
        EXPECT_EQ(ptExpected.y, rc.top);
        EXPECT_GE(rc.left, rcDesktop.left);
        EXPECT_LE(rc.right, rcDesktop.right);
        m_pGui->CloseMarqueeProgressBar(nullptr);
    });
    EXPECT_EQ(S_OK, hr);
}

TEST_F(GuiWindows, ErrorMessagesFollowTheTable)
{
    struct
    {
        HRESULT hr;
        UINT nTextId;
        UINT uIcon;
    } cases[] = {
        {static_cast<HRESULT>(0x80042301), IDS_ZEP_ERR_GENERAL, MB_ICONERROR},
        {static_cast<HRESULT>(0x8004120A), IDS_ZEP_ERR_GENERAL, MB_ICONERROR},
        {E_INVALIDARG, IDS_ZEP_ERR_GENERAL, MB_ICONERROR},
        {E_OUTOFMEMORY, IDS_ZEP_ERR_GENERAL, MB_ICONERROR},
        {static_cast<HRESULT>(0x80042202), IDS_ZEP_DOWNLOAD_CANCELED, 0},
        {static_cast<HRESULT>(0x80044201), IDS_ZEP_ERR_SERVER, MB_ICONERROR},
        {static_cast<HRESULT>(0x80044208), IDS_ZEP_ERR_SERVER, MB_ICONERROR},
        {static_cast<HRESULT>(0x80044207), IDS_ZEP_ERR_SAVE, MB_ICONERROR},
        {static_cast<HRESULT>(0x80043305), IDS_ZEP_ERR_SAVE, MB_ICONERROR},
        {static_cast<HRESULT>(0x80041210), IDS_ZEP_ERR_DISK_FULL, 0},
        {static_cast<HRESULT>(0x80043208), IDS_ZEP_ERR_FILE_INVALID, MB_ICONERROR},
        {static_cast<HRESULT>(0x8004420A), IDS_ZEP_ERR_FILE_INVALID, MB_ICONERROR},
        {static_cast<HRESULT>(0x80044204), IDS_ZEP_ERR_INFO_INVALID, 0},
        {static_cast<HRESULT>(0x80044301), IDS_ZEP_ERR_INFO_INVALID, 0},
        {static_cast<HRESULT>(0x80044401), IDS_ZEP_ERR_CHECK_BUSY, 0},
        {static_cast<HRESULT>(0x80043302), IDS_ZEP_ERR_NETWORK, 0},
        {static_cast<HRESULT>(0x80043202), IDS_ZEP_ERR_NETWORK, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::hex << c.hr);
        CFakeBoxes::Get().Reset(IDOK);
        EXPECT_EQ(S_OK, m_pGui->ShowErrorMessage(c.hr));
        ASSERT_EQ(1u, CFakeBoxes::Get().Records().size());
        const CBoxRecord& box = CFakeBoxes::Get().Records()[0];
        EXPECT_FALSE(ResString(c.nTextId).empty());
        EXPECT_EQ(ResString(c.nTextId), box.strText);
        EXPECT_EQ(ResString(IDS_ZEP_CAPTION), box.strCaption);
        EXPECT_EQ(MB_OK | c.uIcon | MB_TOPMOST, box.uType);
        EXPECT_EQ(nullptr, box.hwndOwner);
    }
    CFakeBoxes::Get().Reset(IDOK);
    for (HRESULT hr : {S_OK, E_FAIL, static_cast<HRESULT>(0x80044205), static_cast<HRESULT>(0x80042203)})
        EXPECT_EQ(S_OK, m_pGui->ShowErrorMessage(hr));
    EXPECT_TRUE(CFakeBoxes::Get().Records().empty()) << "unknown codes show nothing";
}

TEST_F(GuiWindows, MessagesByIdentifierAndTheCompletionMessage)
{
    CFakeBoxes::Get().Reset(IDCANCEL);
    ULONG ulAnswer = 0;
    EXPECT_EQ(S_OK, m_pGui->ShowMessagebyID(eNoUpdate, MB_OKCANCEL | MB_ICONINFORMATION, &ulAnswer));
    EXPECT_EQ(static_cast<ULONG>(IDCANCEL), ulAnswer);
    EXPECT_EQ(S_OK, m_pGui->ShowMessagebyID(eDownloadCanceled, MB_OK, &ulAnswer));
    for (zepMessageID id : {eUpdateCaceled, eRebootOK, eAbortTransfer})
    {
        ulAnswer = 0;
        EXPECT_EQ(S_OK, m_pGui->ShowMessagebyID(id, MB_OK, &ulAnswer));
        EXPECT_EQ(1u, ulAnswer) << "an identifier without text answers 1";
    }
    EXPECT_EQ(E_POINTER, m_pGui->ShowMessagebyID(eNoUpdate, MB_OK, nullptr));
    const auto& boxes = CFakeBoxes::Get().Records();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(ResString(IDS_ZEP_NO_UPDATE), boxes[0].strText);
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONINFORMATION | MB_TOPMOST), boxes[0].uType);
    EXPECT_EQ(ResString(IDS_ZEP_DOWNLOAD_CANCELED), boxes[1].strText);

    // The completion box is owned by the given window only when placed over it.
    const HWND hwndOwner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                             nullptr, nullptr);
    ASSERT_NE(nullptr, hwndOwner);
    CFakeBoxes::Get().Reset(IDOK);
    EXPECT_EQ(S_OK, m_pGui->SetDisplayLocationOfWindow(reinterpret_cast<LONG_PTR>(hwndOwner), eCenterOfScreen));
    EXPECT_EQ(S_OK, m_pGui->ShowCompleteMessage(nullptr, CScopedBstr(L"VM-Q3").Get()));
    EXPECT_EQ(S_OK, m_pGui->SetDisplayLocationOfWindow(reinterpret_cast<LONG_PTR>(hwndOwner), eCenterOfWindow));
    EXPECT_EQ(S_OK, m_pGui->ShowCompleteMessage(nullptr, CScopedBstr(L"VM-Q3").Get()));
    ::DestroyWindow(hwndOwner);
    ASSERT_EQ(2u, boxes.size());
    std::wstring strText = ResString(IDS_ZEP_COMPLETE);
    strText.replace(strText.find(L"%s"), 2, L"VM-Q3");
    EXPECT_EQ(strText, boxes[0].strText);
    EXPECT_EQ(nullptr, boxes[0].hwndOwner);
    EXPECT_EQ(hwndOwner, boxes[1].hwndOwner);
    EXPECT_EQ(0u, boxes[1].uType & (MB_OKCANCEL | MB_YESNO | MB_YESNOCANCEL | MB_RETRYCANCEL)) << "OK only";
    EXPECT_NE(0u, boxes[1].uType & MB_TOPMOST);
}

// A close asked for between the show call and the window's creation is not lost.
TEST(GuiWindowSlot, CloseBeforeTheWindowExistsReachesItWhenItDoes)
{
    CWindowSlot slot;
    EXPECT_FALSE(slot.RequestClose()) << "nothing open";
    ASSERT_TRUE(slot.TryOpen());
    EXPECT_FALSE(slot.TryOpen());
    EXPECT_TRUE(slot.PostProgress(10)) << "open, not yet shown: dropped, not refused";
    EXPECT_TRUE(slot.RequestClose());
    const HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hwnd);
    slot.Attach(hwnd);
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, hwnd, WM_ZEP_CLOSE, WM_ZEP_CLOSE, PM_REMOVE));
    EXPECT_FALSE(::PeekMessageW(&msg, hwnd, WM_ZEP_PROGRESS, WM_ZEP_PROGRESS, PM_REMOVE));
    slot.Detach();
    ::DestroyWindow(hwnd);
    slot.Release();
    EXPECT_FALSE(slot.PostProgress(10));
    EXPECT_TRUE(slot.TryOpen());
}
}  // namespace
