#include "oplogsys/file_io.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <cstdlib>
#include <cstring>
#include "oplogsys/format_buffer.h"
#include "oplogsys/subject_log.h"

namespace opLogSys
{
namespace File
{
namespace
{
const size_t kAnsiBytes = 1024;
// A long block is written out in pieces rather than held whole.
const size_t kMaxPendingBytes = 64 * 1024;
const int kMaxNumberedName = 99;
const size_t kMaxPathChars = 255;

bool IsDirectory(const std::wstring& strPath)
{
    const DWORD dwAttributes = ::GetFileAttributesW(strPath.c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::wstring& strPath)
{
    return ::GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring WithBackslash(std::wstring strDir)
{
    if (!strDir.empty() && strDir.back() != L'\\' && strDir.back() != L'/')
        strDir += L'\\';
    return strDir;
}

bool MakeDirectories(const std::wstring& strDir)
{
    const int nResult = ::SHCreateDirectoryExW(nullptr, strDir.c_str(), nullptr);
    return nResult == ERROR_SUCCESS || nResult == ERROR_ALREADY_EXISTS || nResult == ERROR_FILE_EXISTS ||
           IsDirectory(strDir);
}

// "<dir><base>[NN]<ext>" for the path "<dir><base><ext>".
std::wstring NumberedName(const std::wstring& strPath, int nNumber)
{
    wchar_t szDrive[_MAX_DRIVE], szDir[_MAX_DIR], szBase[_MAX_FNAME], szExt[_MAX_EXT];
    if (_wsplitpath_s(strPath.c_str(), szDrive, _MAX_DRIVE, szDir, _MAX_DIR, szBase, _MAX_FNAME, szExt, _MAX_EXT) != 0)
        return strPath;
    wchar_t szPath[Common::kFormatChars];
    Common::Format(szPath, Common::kFormatChars, L"%s%s%s[%02d]%s", szDrive, szDir, szBase, nNumber, szExt);
    return szPath;
}

// "<dir><subject>-<time>.log", or empty when it would not fit: a cut path would name some other
// file or folder.
std::wstring LogFilePath(const std::wstring& strDir, const wchar_t* pszSubject, const wchar_t* pszTime)
{
    std::wstring strPath = strDir + (pszSubject ? pszSubject : L"") + L"-" + pszTime + L".log";
    return strPath.size() <= kMaxPathChars ? strPath : std::wstring();
}
}  // namespace

std::wstring CFileIO::ResolveLocation(const std::wstring& strLocation)
{
    const std::wstring strExeDir = GetExecutableDir();
    if (strLocation == L"desktop")
    {
        wchar_t szDesktop[MAX_PATH];
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr,
                                         SHGFP_TYPE_CURRENT, szDesktop)) &&
            MakeDirectories(szDesktop))
            return WithBackslash(szDesktop);
        return strExeDir;
    }
    if (strLocation.empty() || strLocation == L"current")
        return strExeDir;
    if (strLocation[0] == L'.')
    {
        wchar_t szCombined[MAX_PATH];
        const std::wstring strJoined = strExeDir + strLocation;
        if (strJoined.size() >= MAX_PATH || !::PathCanonicalizeW(szCombined, strJoined.c_str()))
            return strExeDir;
        MakeDirectories(szCombined);
        return IsDirectory(szCombined) ? WithBackslash(szCombined) : strExeDir;
    }
    if (strLocation.size() >= MAX_PATH)
        return strExeDir;
    if (IsDirectory(strLocation))
        return WithBackslash(strLocation);
    if (Exists(strLocation))
    {
        const size_t nSlash = strLocation.find_last_of(L"\\/");
        if (nSlash != std::wstring::npos)
            return strLocation.substr(0, nSlash + 1);
    }
    return strExeDir;
}

CFileIO::CFileIO(const wchar_t* pszSubject, bool bAutoFlush, const std::wstring& strLocation)
    : m_bAutoFlush(bAutoFlush), m_strLocation(strLocation)
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    wchar_t szTime[64];
    Common::Format(szTime, 64, L"%04d-%02d-%02d [%02d-%02d-%02d]", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                   st.wSecond);
    m_strPath = LogFilePath(ResolveLocation(strLocation), pszSubject, szTime);
    if (m_strPath.empty())
        m_strPath = LogFilePath(GetExecutableDir(), pszSubject, szTime);
}

CFileIO::~CFileIO()
{
    // At process end a writer thread may have been stopped inside the lock: close without it then.
    const bool bLocked = m_lock.TryLockFor(500);
    if (m_hFile != INVALID_HANDLE_VALUE)
    {
        WritePending();
        ::FlushFileBuffers(m_hFile);
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    free(m_pPending);
    m_pPending = nullptr;
    if (bLocked)
        m_lock.Unlock();
}

std::wstring CFileIO::GetPath()
{
    Common::CScopedLock<Common::CCriticalSection> lock(m_lock);
    return m_strPath;
}

bool CFileIO::Open()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        return true;
    if (m_strPath.empty())
        return false;
    // The name of the construction time; an earlier file of the same second gets a numbered
    // neighbour. A file that another writer holds open counts as taken too.
    const std::wstring strBase = m_strPath;
    for (int nNumber = 0; nNumber <= kMaxNumberedName; ++nNumber)
    {
        const std::wstring strCandidate = nNumber == 0 ? strBase : NumberedName(strBase, nNumber);
        if (nNumber < kMaxNumberedName && Exists(strCandidate))
            continue;
        HANDLE hFile = ::CreateFileW(strCandidate.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (hFile == INVALID_HANDLE_VALUE)
        {
            if (::GetLastError() == ERROR_SHARING_VIOLATION && nNumber < kMaxNumberedName)
                continue;
            return false;
        }
        ::SetFilePointer(hFile, 0, nullptr, FILE_END);
        m_hFile = hFile;
        m_strPath = strCandidate;
        return true;
    }
    return false;
}

bool CFileIO::WritePending()
{
    if (m_cbPending == 0 || m_hFile == INVALID_HANDLE_VALUE)
        return true;
    DWORD cbWritten = 0;
    const BOOL bOk = ::WriteFile(m_hFile, m_pPending, static_cast<DWORD>(m_cbPending), &cbWritten, nullptr);
    m_cbPending = 0;
    return bOk != FALSE;
}

long CFileIO::WriteThrough(const void* pData, size_t cb)
{
    DWORD cbWritten = 0;
    ::WriteFile(m_hFile, pData, static_cast<DWORD>(cb), &cbWritten, nullptr);
    return static_cast<long>(cbWritten);
}

char* CFileIO::Reserve(size_t cb)
{
    if (m_cbPending + cb > kMaxPendingBytes)
        WritePending();
    if (m_cbPending + cb > m_cbPendingCapacity)
    {
        size_t cbWanted = m_cbPendingCapacity ? m_cbPendingCapacity : 4096;
        while (cbWanted < m_cbPending + cb)
            cbWanted *= 2;
        char* pGrown = static_cast<char*>(realloc(m_pPending, cbWanted));
        if (pGrown == nullptr)
            return nullptr;
        m_pPending = pGrown;
        m_cbPendingCapacity = cbWanted;
    }
    return m_pPending + m_cbPending;
}

long CFileIO::AppendBytes(const void* pData, size_t cb)
{
    if (!Open())
        return -1;
    if (cb == 0)
        return 0;
    if (m_nLockDepth == 0)
        return WriteThrough(pData, cb);
    char* pSpace = Reserve(cb);
    if (pSpace == nullptr)
    {
        // Without memory the bytes still reach the file, just not gathered.
        WritePending();
        return WriteThrough(pData, cb);
    }
    memcpy(pSpace, pData, cb);
    m_cbPending += cb;
    return static_cast<long>(cb);
}

long CFileIO::AppendAnsi(const wchar_t* pszText)
{
    if (!Open())
        return -1;
    char* pSpace = m_nLockDepth > 0 ? Reserve(kAnsiBytes) : nullptr;
    if (pSpace == nullptr)
    {
        char szAnsi[kAnsiBytes];
        return AppendBytes(szAnsi, Common::ToAnsi(pszText, szAnsi, kAnsiBytes));
    }
    const size_t cb = Common::ToAnsi(pszText, pSpace, kAnsiBytes);
    m_cbPending += cb;
    return static_cast<long>(cb);
}

long CFileIO::Lock()
{
    m_lock.Lock();
    if (++m_nLockDepth == 1)
        m_dwOwner.store(::GetCurrentThreadId(), std::memory_order_relaxed);
    return 1;
}

long CFileIO::Unlock()
{
    if (m_nLockDepth <= 0)
        return -1;
    if (--m_nLockDepth == 0)
    {
        WritePending();
        m_dwOwner.store(0, std::memory_order_relaxed);
    }
    const long nDepth = m_nLockDepth;
    m_lock.Unlock();
    return nDepth;
}

long CFileIO::WriteLine(const wchar_t* pszText)
{
    Common::CScopedLock<Common::CCriticalSection> lock(m_lock);
    const wchar_t* pszLine = pszText ? pszText : L"";
    const long nResult = AppendBytes(pszLine, wcslen(pszLine) * sizeof(wchar_t));
    if (nResult < 0)
        return nResult;
    AppendBytes(L"\r\n", 2 * sizeof(wchar_t));
    return nResult;
}

long CFileIO::Write(const wchar_t* pszText)
{
    // The pieces of a line arrive while their writer holds the output: no second trip through
    // the lock for them. Only the holder can see its own id here.
    if (m_dwOwner.load(std::memory_order_relaxed) == ::GetCurrentThreadId())
        return AppendAnsi(pszText);
    Common::CScopedLock<Common::CCriticalSection> lock(m_lock);
    return AppendAnsi(pszText);
}

long CFileIO::Flush()
{
    Common::CScopedLock<Common::CCriticalSection> lock(m_lock);
    WritePending();
    if (m_bAutoFlush && m_hFile != INVALID_HANDLE_VALUE)
        ::FlushFileBuffers(m_hFile);
    return 0;
}
}  // namespace File
}  // namespace opLogSys
