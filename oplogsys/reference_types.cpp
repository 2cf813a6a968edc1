#include "oplogsys/format_buffer.h"
#include "oplogsys/mutex.h"

#include <new>
#include <vector>

namespace opLogSys
{
namespace Common
{
namespace
{
// Log text is mostly ASCII, which every ANSI code page keeps as it is: those runs are copied, and
// only the runs of other characters go through the system's conversion (a surrogate pair stays in
// one run). False when the text does not fit; the caller then cuts it at a whole character.
bool ToAnsiByRuns(const wchar_t* pszText, char* pBuffer, size_t cbBuffer, size_t& cbOut) noexcept
{
    size_t cb = 0;
    const wchar_t* p = pszText;
    while (*p)
    {
        if (*p < 0x80)
        {
            if (cb + 1 >= cbBuffer)
                return false;
            pBuffer[cb++] = static_cast<char>(*p++);
            continue;
        }
        const wchar_t* pEnd = p;
        while (*pEnd && *pEnd >= 0x80)
            ++pEnd;
        const int cbRun = ::WideCharToMultiByte(CP_ACP, 0, p, static_cast<int>(pEnd - p), pBuffer + cb,
                                                static_cast<int>(cbBuffer - 1 - cb), nullptr, nullptr);
        if (cbRun <= 0)
            return false;
        cb += static_cast<size_t>(cbRun);
        p = pEnd;
    }
    pBuffer[cb] = '\0';
    cbOut = cb;
    return true;
}
}  // namespace

size_t ToAnsi(const wchar_t* pszText, char* pBuffer, size_t cbBuffer) noexcept
{
    if (pBuffer == nullptr || cbBuffer == 0)
        return 0;
    pBuffer[0] = '\0';
    if (pszText == nullptr || pszText[0] == L'\0')
        return 0;
    size_t cbRuns = 0;
    if (ToAnsiByRuns(pszText, pBuffer, cbBuffer, cbRuns))
        return cbRuns;
    const int cchText = static_cast<int>(wcslen(pszText));
    int cb = ::WideCharToMultiByte(CP_ACP, 0, pszText, cchText, pBuffer, static_cast<int>(cbBuffer - 1), nullptr,
                                   nullptr);
    if (cb > 0)
    {
        pBuffer[cb] = '\0';
        return static_cast<size_t>(cb);
    }
    // Too long for the buffer: convert all of it, then keep the whole characters that fit.
    const int cbAll = ::WideCharToMultiByte(CP_ACP, 0, pszText, cchText, nullptr, 0, nullptr, nullptr);
    if (cbAll <= 0)
        return 0;
    std::vector<char> all;
    try
    {
        all.resize(static_cast<size_t>(cbAll));
    }
    catch (const std::bad_alloc&)
    {
        return 0;
    }
    ::WideCharToMultiByte(CP_ACP, 0, pszText, cchText, all.data(), cbAll, nullptr, nullptr);
    size_t nCut = 0;
    while (nCut < all.size())
    {
        const size_t nStep = (::IsDBCSLeadByte(static_cast<BYTE>(all[nCut])) && nCut + 1 < all.size()) ? 2 : 1;
        if (nCut + nStep > cbBuffer - 1)
            break;
        nCut += nStep;
    }
    memcpy(pBuffer, all.data(), nCut);
    pBuffer[nCut] = '\0';
    return nCut;
}

CMutex::CMutex(const wchar_t* pszName) : m_strName(pszName ? pszName : L"") {}

CMutex::~CMutex()
{
    if (m_hMutex != nullptr)
    {
        ::ReleaseMutex(m_hMutex);
        ::CloseHandle(m_hMutex);
    }
}

long CMutex::Lock()
{
    if (++m_nLockCount == 1)
    {
        m_hMutex = ::CreateMutexW(nullptr, FALSE, m_strName.c_str());
        if (m_hMutex != nullptr)
        {
            // An owner that died while holding it leaves it abandoned: the file is still usable.
            ::WaitForSingleObject(m_hMutex, INFINITE);
        }
    }
    return 1;
}

long CMutex::Unlock()
{
    if (m_hMutex == nullptr)
    {
        // Keep the count balanced so that the next Lock tries to create the mutex again.
        if (m_nLockCount > 0)
            --m_nLockCount;
        return -1;
    }
    if (--m_nLockCount <= 0)
    {
        m_nLockCount = 0;
        ::ReleaseMutex(m_hMutex);
        ::CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    return m_nLockCount;
}
}  // namespace Common
}  // namespace opLogSys
