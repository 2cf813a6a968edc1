#include "oplogsys/tests/capture_output.h"

#include <atomic>
#include <cwctype>
#include "common/string_util.h"
#include "common/testing/zeptest.h"

namespace oplogtest
{
long CCaptureIO::Lock()
{
    m_lock.Lock();
    return ++m_nLockDepth;
}

long CCaptureIO::Unlock()
{
    const long nDepth = --m_nLockDepth;
    m_lock.Unlock();
    return nDepth;
}

long CCaptureIO::WriteLine(const wchar_t* pszText)
{
    opLogSys::Common::CScopedLock<opLogSys::Common::CCriticalSection> lock(m_lock);
    m_strText += pszText;
    m_strText += L"\r\n";
    return 0;
}

long CCaptureIO::Write(const wchar_t* pszText)
{
    opLogSys::Common::CScopedLock<opLogSys::Common::CCriticalSection> lock(m_lock);
    m_strText += pszText;
    return 0;
}

long CCaptureIO::Flush()
{
    opLogSys::Common::CScopedLock<opLogSys::Common::CCriticalSection> lock(m_lock);
    ++m_nFlushes;
    return 0;
}

std::vector<std::wstring> CCaptureIO::Lines()
{
    opLogSys::Common::CScopedLock<opLogSys::Common::CCriticalSection> lock(m_lock);
    std::vector<std::wstring> lines;
    size_t nStart = 0;
    for (size_t nEnd = m_strText.find(L"\r\n"); nEnd != std::wstring::npos; nEnd = m_strText.find(L"\r\n", nStart))
    {
        lines.push_back(m_strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 2;
    }
    return lines;
}

long CCaptureIO::LockDepth()
{
    opLogSys::Common::CScopedLock<opLogSys::Common::CCriticalSection> lock(m_lock);
    return m_nLockDepth;
}

int CCaptureIO::FlushCount()
{
    opLogSys::Common::CScopedLock<opLogSys::Common::CCriticalSection> lock(m_lock);
    return m_nFlushes;
}

CCaptureFactory::CCaptureFactory() = default;

CCaptureFactory::~CCaptureFactory()
{
    if (m_pIO)
        m_pIO->Release();
}

opLogSys::ILogIO* CCaptureFactory::CreateIO(const wchar_t*)
{
    if (m_pIO == nullptr)
        m_pIO = new CCaptureIO;
    m_pIO->AddRef();
    return m_pIO;
}

CCaptureInfo::CCaptureInfo() : m_pInner(new opLogSys::CLogSysInfo), m_pFactory(new CCaptureFactory) {}

CCaptureInfo::~CCaptureInfo()
{
    m_pFactory->Release();
    m_pInner->Release();
}

opLogSys::IOutputLogSystemFactory* CCaptureInfo::GetFactory()
{
    m_pFactory->AddRef();
    return m_pFactory;
}

opLogSys::ILogFilter* CCaptureInfo::GetFilter()
{
    return m_pInner->GetFilter();
}

void CCaptureInfo::AddFilter(const wchar_t* pszSubject, long nMin, long nMax)
{
    m_pInner->GetState()->AddFilter(pszSubject, nMin, nMax);
}

std::wstring UniqueSubject(const wchar_t* pszPrefix)
{
    static std::atomic<int> s_nCounter{0};
    return std::wstring(pszPrefix) + L"_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
           std::to_wstring(++s_nCounter);
}

bool SplitStamp(const std::wstring& strLine, DWORD& dwId, std::wstring& strRest)
{
    // [XXXXXXXX][YYYY/MM/DD(hh:mm:ss.mmm)]
    static const wchar_t kPattern[] = L"[HHHHHHHH][DDDD/DD/DD(DD:DD:DD.DDD)]";
    const size_t cchStamp = wcslen(kPattern);
    if (strLine.size() < cchStamp)
        return false;
    for (size_t i = 0; i < cchStamp; ++i)
    {
        const wchar_t chWant = kPattern[i];
        const wchar_t ch = strLine[i];
        if (chWant == L'H' ? !((ch >= L'0' && ch <= L'9') || (ch >= L'A' && ch <= L'F'))
                           : chWant == L'D' ? !(ch >= L'0' && ch <= L'9') : ch != chWant)
            return false;
    }
    dwId = wcstoul(strLine.substr(1, 8).c_str(), nullptr, 16);
    strRest = strLine.substr(cchStamp);
    return true;
}

std::string ReadFileText(const std::wstring& strPath)
{
    std::string data;
    zeptest::ReadFileBytes(strPath, data);
    return data;
}

std::string WaitForFileText(const std::wstring& strPath, size_t cbWanted, DWORD dwTimeoutMs)
{
    const ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
    std::string data = ReadFileText(strPath);
    while (data.size() < cbWanted && ::GetTickCount64() < ullEnd)
    {
        ::Sleep(20);
        data = ReadFileText(strPath);
    }
    return data;
}

std::string WaitForFileLines(const std::wstring& strPath, size_t nLines, DWORD dwTimeoutMs)
{
    auto countLines = [](const std::string& data) {
        size_t n = 0;
        for (size_t nAt = data.find("\r\n"); nAt != std::string::npos; nAt = data.find("\r\n", nAt + 2))
            ++n;
        return n;
    };
    const ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
    std::string data = ReadFileText(strPath);
    while (countLines(data) < nLines && ::GetTickCount64() < ullEnd)
    {
        ::Sleep(20);
        data = ReadFileText(strPath);
    }
    return data;
}

std::wstring Ansi(const std::wstring& str)
{
    // What the text looks like after the trip through the ANSI code page.
    return FromAnsi(WideToAnsi(str));
}

std::wstring FromAnsi(const std::string& strAnsi)
{
    std::wstring out;
    const int cch = ::MultiByteToWideChar(CP_ACP, 0, strAnsi.data(), static_cast<int>(strAnsi.size()), nullptr, 0);
    out.resize(static_cast<size_t>(cch));
    if (cch > 0)
        ::MultiByteToWideChar(CP_ACP, 0, strAnsi.data(), static_cast<int>(strAnsi.size()), &out[0], cch);
    return out;
}
}  // namespace oplogtest
