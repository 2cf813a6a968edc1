#include "update/client/tests/dialog_answerer.h"

#include <algorithm>

#include "common/dialog_finder.h"

namespace
{
const int kDetailControlId = 11005;
// Progress windows close themselves; a person watches them.
const int kProgressBarId = 11002;

std::wstring WindowText(HWND hwnd)
{
    wchar_t sz[1024] = {};
    ::GetWindowTextW(hwnd, sz, _countof(sz));
    return sz;
}

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM lParam)
{
    wchar_t szClass[64] = {};
    ::GetClassNameW(hwnd, szClass, _countof(szClass));
    if (_wcsicmp(szClass, L"Static") == 0)
    {
        const std::wstring strText = WindowText(hwnd);
        if (!strText.empty())
            reinterpret_cast<std::vector<std::wstring>*>(lParam)->push_back(strText);
    }
    return TRUE;
}
}  // namespace

CDialogAnswerer::CDialogAnswerer(DWORD dwProcessId, WORD wButton, BeforePress beforePress,
                                 ProgressSeen progressSeen)
    : m_dwProcessId(dwProcessId), m_wButton(wButton), m_beforePress(std::move(beforePress)),
      m_progressSeen(std::move(progressSeen)), m_thread([this] { Loop(); })
{
}

CDialogAnswerer::~CDialogAnswerer()
{
    m_bStop = true;
    m_thread.join();
}

std::vector<CDialogAnswerer::SSeen> CDialogAnswerer::Seen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_seen;
}

void CDialogAnswerer::Loop()
{
    while (!m_bStop)
    {
        ::Sleep(100);
        for (HWND hwnd : FindVisibleDialogs(m_dwProcessId, 0))
        {
            // A window is answered once.
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (std::find(m_answered.begin(), m_answered.end(), hwnd) != m_answered.end())
                    continue;
            }
            if (::GetDlgItem(hwnd, kProgressBarId))
            {
                if (m_progressSeen)
                    m_progressSeen(hwnd);
                std::lock_guard<std::mutex> lock(m_mutex);
                m_answered.push_back(hwnd);
                continue;
            }
            // Let it finish opening, as a person reads before pressing.
            ::Sleep(200);
            SSeen seen;
            seen.bConfirmation = ::GetDlgItem(hwnd, kDetailControlId) != nullptr &&
                                 ::GetDlgItem(hwnd, IDOK) != nullptr && ::GetDlgItem(hwnd, IDCANCEL) != nullptr;
            seen.texts.push_back(WindowText(hwnd));
            ::EnumChildWindows(hwnd, CollectStatic, reinterpret_cast<LPARAM>(&seen.texts));
            if (m_beforePress)
                m_beforePress(hwnd, seen);
            WORD wButton = m_wButton;
            if (!::GetDlgItem(hwnd, wButton))
                wButton = ::GetDlgItem(hwnd, IDOK) ? IDOK : (::GetDlgItem(hwnd, IDYES) ? IDYES : IDCANCEL);
            ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(wButton, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(hwnd, wButton)));
            std::lock_guard<std::mutex> lock(m_mutex);
            m_answered.push_back(hwnd);
            m_seen.push_back(seen);
        }
    }
}
