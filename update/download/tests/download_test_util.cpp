#include "update/download/tests/download_test_util.h"

#include <cctype>

#include "common/testing/zeptest.h"

namespace zeptest
{
long CALLBACK CNotificationRecorder::Callback(DWORD_PTR dwContext, DWORD dwCode, DWORD_PTR dwValue, DWORD dwKind)
{
    CNotificationRecorder* pThis = reinterpret_cast<CNotificationRecorder*>(dwContext);
    SNotification item = {dwCode, dwValue, dwKind, ::GetCurrentThreadId(), std::wstring()};
    if (dwKind == eValueString && dwValue != 0)
        item.strText = reinterpret_cast<const wchar_t*>(dwValue);
    {
        std::lock_guard<std::mutex> lock(pThis->m_mutex);
        pThis->m_list.push_back(item);
    }
    if (pThis->onNotify)
        pThis->onNotify(item);
    return 0;
}

std::vector<SNotification> CNotificationRecorder::All() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_list;
}

std::vector<DWORD> CNotificationRecorder::Codes() const
{
    std::vector<DWORD> codes;
    for (const SNotification& item : All())
        codes.push_back(item.dwCode);
    return codes;
}

size_t CNotificationRecorder::Count(DWORD dwCode) const
{
    size_t n = 0;
    for (const SNotification& item : All())
        n += item.dwCode == dwCode ? 1 : 0;
    return n;
}

DWORD_PTR CNotificationRecorder::First(DWORD dwCode) const
{
    for (const SNotification& item : All())
        if (item.dwCode == dwCode)
            return item.dwValue;
    return ~static_cast<DWORD_PTR>(0);
}

DWORD_PTR CNotificationRecorder::Last(DWORD dwCode) const
{
    DWORD_PTR value = ~static_cast<DWORD_PTR>(0);
    for (const SNotification& item : All())
        if (item.dwCode == dwCode)
            value = item.dwValue;
    return value;
}

std::string TestName(const char* pszText)
{
    std::string strName;
    for (const char* p = pszText; *p; ++p)
        strName += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return strName;
}

std::string ReadWholeFile(const std::wstring& strPath)
{
    std::string data;
    ReadFileBytes(strPath, data);
    return data;
}

bool FileExists(const std::wstring& strPath)
{
    return ::GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}
}  // namespace zeptest
