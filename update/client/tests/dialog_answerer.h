#pragma once
// Answers the windows of another process as a person would: finds each dialog or message box it
// shows, notes its texts and presses a button.
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CDialogAnswerer
{
public:
    struct SSeen
    {
        bool bConfirmation;              // the update confirmation window (it has a detail box)
        std::vector<std::wstring> texts; // the window's title and its static texts
    };

    // dwButton: the command sent to each window (IDOK accepts a confirmation and dismisses a
    // message box; IDCANCEL declines).
    // Called for each window before its button is pressed (e.g. to photograph it).
    typedef std::function<void(HWND hwnd, const SSeen& seen)> BeforePress;
    // Called once for each progress window (download, update) when it is first seen; nothing is
    // pressed there, a progress window closes itself.
    typedef std::function<void(HWND hwnd)> ProgressSeen;
    CDialogAnswerer(DWORD dwProcessId, WORD wButton, BeforePress beforePress = BeforePress(),
                    ProgressSeen progressSeen = ProgressSeen());
    ~CDialogAnswerer();
    CDialogAnswerer(const CDialogAnswerer&) = delete;
    CDialogAnswerer& operator=(const CDialogAnswerer&) = delete;

    std::vector<SSeen> Seen() const;

private:
    void Loop();

    DWORD m_dwProcessId;
    WORD m_wButton;
    BeforePress m_beforePress;
    ProgressSeen m_progressSeen;
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_mutex;
    std::vector<SSeen> m_seen;
    std::vector<HWND> m_answered;
    std::thread m_thread;
};
