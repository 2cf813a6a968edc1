#include "oplogsys/output_error_log_io.h"

#include <cstdlib>
#include <vector>
#include "oplogsys/format_buffer.h"

namespace opLogSys
{
namespace
{
const size_t kAnsiBytes = 1024;
// Another writer that ignores our mutex (a viewer, a virus scanner) may hold the file briefly.
const int kOpenAttempts = 10;
const DWORD kOpenRetryMs = 20;

std::wstring BaseName(const std::wstring& strPath)
{
    wchar_t szBase[_MAX_FNAME];
    if (_wsplitpath_s(strPath.c_str(), nullptr, 0, nullptr, 0, szBase, _MAX_FNAME, nullptr, 0) != 0)
        return std::wstring();
    return szBase;
}
}  // namespace

std::wstring COutputErrorLogIO::MutexName(const std::wstring& strPath)
{
    return L"COutputErrorLogIO::" + BaseName(strPath);
}

COutputErrorLogIO::COutputErrorLogIO(const wchar_t* pszPath, DWORD dwMaxSize, int nTrim, DWORD dwWaitMs)
    : m_strPath(pszPath ? pszPath : L""),
      m_mutex(MutexName(m_strPath).c_str(), dwWaitMs),
      m_dwMaxSize(dwMaxSize),
      m_nTrim(nTrim)
{
}

COutputErrorLogIO::~COutputErrorLogIO()
{
    while (m_nDepth > 0)
        Unlock();
}

long COutputErrorLogIO::Lock()
{
    // Not waited for in time: the file stays closed and this line is dropped.
    const bool bLocked = m_mutex.Lock() != 0;
    if (m_nDepth == 0 && bLocked && !m_strPath.empty())
    {
        for (int nAttempt = 0; nAttempt < kOpenAttempts; ++nAttempt)
        {
            m_hFile = ::CreateFileW(m_strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            if (m_hFile != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_SHARING_VIOLATION)
                break;
            ::Sleep(kOpenRetryMs);
        }
        if (m_hFile != INVALID_HANDLE_VALUE)
            ::SetFilePointer(m_hFile, 0, nullptr, FILE_END);
    }
    ++m_nDepth;
    return 1;
}

long COutputErrorLogIO::Unlock()
{
    if (m_nDepth > 0)
    {
        if (--m_nDepth == 0)
            Close();
    }
    m_mutex.Unlock();
    return m_nDepth;
}

long COutputErrorLogIO::Write(const wchar_t* pszText)
{
    Lock();
    long nResult = 0;
    if (m_hFile != INVALID_HANDLE_VALUE)
    {
        char szAnsi[kAnsiBytes];
        const size_t cb = Common::ToAnsi(pszText, szAnsi, kAnsiBytes);
        DWORD cbWritten = 0;
        if (cb > 0 && ::WriteFile(m_hFile, szAnsi, static_cast<DWORD>(cb), &cbWritten, nullptr))
            nResult = static_cast<long>(cbWritten);
    }
    Unlock();
    return nResult;
}

long COutputErrorLogIO::WriteLine(const wchar_t* pszText)
{
    Lock();
    const long nResult = Write(pszText);
    Write(L"\r\n");
    Unlock();
    return nResult;
}

bool COutputErrorLogIO::TrimFile(HANDLE hFile, DWORD dwMaxSize)
{
    LARGE_INTEGER liSize;
    if (!::GetFileSizeEx(hFile, &liSize) || liSize.QuadPart <= static_cast<LONGLONG>(dwMaxSize))
        return true;
    if (liSize.QuadPart > 0x7FFFFFFF)
        return false;
    const DWORD cbSize = static_cast<DWORD>(liSize.QuadPart);
    std::vector<BYTE> data;
    try
    {
        data.resize(cbSize);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    DWORD cbRead = 0;
    if (::SetFilePointer(hFile, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !::ReadFile(hFile, data.data(), cbSize, &cbRead, nullptr) || cbRead != cbSize)
        return false;

    // Drop whole lines from the start; a double-byte character is stepped over as one, so its
    // trail byte is never taken for a line end.
    size_t nStart = 0;
    size_t nAt = 0;
    while (cbSize - nStart > dwMaxSize)
    {
        bool bLineEnd = false;
        while (nAt < cbSize)
        {
            if (::IsDBCSLeadByte(data[nAt]) && nAt + 1 < cbSize)
            {
                nAt += 2;
                continue;
            }
            if (data[nAt] == '\r' && nAt + 1 < cbSize && data[nAt + 1] == '\n')
            {
                nAt += 2;
                bLineEnd = true;
                break;
            }
            ++nAt;
        }
        nStart = bLineEnd ? nAt : cbSize;
        if (cbSize - nStart < 5)
            break;
    }
    const DWORD cbKeep = static_cast<DWORD>(cbSize - nStart);
    DWORD cbNewSize = 0;
    if (cbKeep > 4)
    {
        DWORD cbWritten = 0;
        if (::SetFilePointer(hFile, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
            !::WriteFile(hFile, data.data() + nStart, cbKeep, &cbWritten, nullptr) || cbWritten != cbKeep)
            return false;
        cbNewSize = cbKeep;
    }
    ::SetFilePointer(hFile, static_cast<LONG>(cbNewSize), nullptr, FILE_BEGIN);
    return ::SetEndOfFile(hFile) != FALSE;
}

void COutputErrorLogIO::Close()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER liSize;
    const bool bTooLarge = ::GetFileSizeEx(m_hFile, &liSize) && liSize.QuadPart > static_cast<LONGLONG>(m_dwMaxSize);
    if (bTooLarge && m_nTrim != 0)
        TrimFile(m_hFile, m_dwMaxSize);
    ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (bTooLarge && m_nTrim == 0)
    {
        const std::wstring strBackup = m_strPath + L".bak";
        const DWORD dwAttributes = ::GetFileAttributesW(strBackup.c_str());
        if (dwAttributes != INVALID_FILE_ATTRIBUTES)
        {
            ::SetFileAttributesW(strBackup.c_str(), dwAttributes & ~FILE_ATTRIBUTE_READONLY);
            ::DeleteFileW(strBackup.c_str());
        }
        ::MoveFileW(m_strPath.c_str(), strBackup.c_str());
    }
}
}  // namespace opLogSys
