#pragma once
// A factory whose output keeps the lines in memory, as the program wrote them (UTF-16), so tests
// can read exactly what a file output would receive before the code page conversion.
#include <windows.h>
#include <string>
#include <vector>
#include "oplogsys/oplogsys.h"

namespace oplogtest
{
class CCaptureIO : public opLogSys::Common::CReference<opLogSys::ILogIO>
{
public:
    long Lock() override;
    long Unlock() override;
    long WriteLine(const wchar_t* pszText) override;
    long Write(const wchar_t* pszText) override;
    long Flush() override;

    // Complete lines ("\r\n"-ended), without the line end.
    std::vector<std::wstring> Lines();
    long LockDepth();
    int FlushCount();

private:
    opLogSys::Common::CCriticalSection m_lock;
    std::wstring m_strText;
    long m_nLockDepth = 0;
    int m_nFlushes = 0;
};

class CCaptureFactory : public opLogSys::COutputLogSystemFactoryBase
{
public:
    CCaptureFactory();
    ~CCaptureFactory() override;
    opLogSys::ILogIO* CreateIO(const wchar_t* pszSubject) override;
    // The output made for the subject (one per subject, made by the registry), or nullptr.
    CCaptureIO* IO() const { return m_pIO; }

private:
    CCaptureIO* m_pIO = nullptr;
};

// A configuration with the capture output and the given filters.
class CCaptureInfo : public opLogSys::Common::CReference<opLogSys::ILogSysInfo>
{
public:
    CCaptureInfo();
    ~CCaptureInfo() override;
    opLogSys::IOutputLogSystemFactory* GetFactory() override;
    opLogSys::ILogFilter* GetFilter() override;
    void AddFilter(const wchar_t* pszSubject, long nMin, long nMax);
    CCaptureFactory* Factory() const { return m_pFactory; }

private:
    opLogSys::CLogSysInfo* m_pInner;
    CCaptureFactory* m_pFactory;
};

// A subject no other test in the process uses (the per-subject outputs live for the process).
std::wstring UniqueSubject(const wchar_t* pszPrefix);

// Removes the "[id][date(time)]" stamp a thread log puts before each line; empty when the line
// does not start with a well-formed stamp.
bool SplitStamp(const std::wstring& strLine, DWORD& dwId, std::wstring& strRest);

std::string ReadFileText(const std::wstring& strPath);
// The file's text once it holds at least cbWanted bytes (or whatever it holds after dwTimeoutMs):
// outputs without autoflush write a moment after the lines were logged.
std::string WaitForFileText(const std::wstring& strPath, size_t cbWanted, DWORD dwTimeoutMs = 5000);
// Likewise, until the file holds nLines CR LF ended lines.
std::string WaitForFileLines(const std::wstring& strPath, size_t nLines, DWORD dwTimeoutMs = 5000);
std::wstring Ansi(const std::wstring& str);
std::wstring FromAnsi(const std::string& str);
}  // namespace oplogtest
