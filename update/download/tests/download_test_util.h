#pragma once
// What the downloader tests share: a recording status callback and a downloader whose retry
// pause and free-space query can be replaced.
#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "update/download/xhttp_downloader.h"

namespace zeptest
{
struct SNotification
{
    DWORD dwCode;
    DWORD_PTR dwValue;
    DWORD dwKind;
    DWORD dwThreadId;
    std::wstring strText;  // a copy of a kind-1 value
};

class CNotificationRecorder
{
public:
    static long CALLBACK Callback(DWORD_PTR dwContext, DWORD dwCode, DWORD_PTR dwValue, DWORD dwKind);
    DWORD_PTR Context() { return reinterpret_cast<DWORD_PTR>(this); }

    std::vector<SNotification> All() const;
    std::vector<DWORD> Codes() const;
    size_t Count(DWORD dwCode) const;
    // The value of the first (or last) notification with this code; ~0 when there is none.
    DWORD_PTR First(DWORD dwCode) const;
    DWORD_PTR Last(DWORD dwCode) const;
    HRESULT EndResult() const { return static_cast<HRESULT>(static_cast<DWORD>(Last(eMsgDownloadEnd))); }

    // Called from the callback when set (e.g. to cancel at some progress).
    std::function<void(const SNotification&)> onNotify;

private:
    mutable std::mutex m_mutex;
    std::vector<SNotification> m_list;
};

class CTestDownloader : public CXHttpDownloader
{
public:
    explicit CTestDownloader(int nMode) : CXHttpDownloader(nMode) {}

    std::vector<DWORD> pauses;
    bool bFakeFreeSpace = false;
    ULONGLONG ullFreeBytes = 0;
    std::wstring strFreeSpaceFolder;

protected:
    void PauseBeforeRetry(DWORD dwMilliseconds) override { pauses.push_back(dwMilliseconds); }
    BOOL QueryFreeBytes(const wchar_t* pszFolder, ULARGE_INTEGER& freeBytes) override
    {
        strFreeSpaceFolder = pszFolder;
        if (!bFakeFreeSpace)
            return CXHttpDownloader::QueryFreeBytes(pszFolder, freeBytes);
        freeBytes.QuadPart = ullFreeBytes;
        return TRUE;
    }
};

std::string ReadWholeFile(const std::wstring& strPath);
// A case's description as a test name (letters and digits, every other character "_").
std::string TestName(const char* pszText);
bool FileExists(const std::wstring& strPath);
}  // namespace zeptest
