#pragma once
// A method trace for code that should not see the log library's headers: entry now, exit with
// *plResult at scope end, error and trace lines in between. Without memory for the trace the
// method still runs, untraced.
#include <windows.h>
#include <memory>
#include <string>

namespace opLogSys
{
class COutputLogSystem;

namespace Fmt
{
class CHeldMethodLog
{
public:
    CHeldMethodLog(COutputLogSystem& system, const wchar_t* pszSubject, const wchar_t* pszMethod, long* plResult);
    ~CHeldMethodLog();
    CHeldMethodLog(const CHeldMethodLog&) = delete;
    CHeldMethodLog& operator=(const CHeldMethodLog&) = delete;

    // Error lines always reach the error log.
    void Error(const std::wstring& strText);
    void ErrorPrintf(const wchar_t* pszFormat, ...);
    // Trace lines at the method's level (written only when the configuration enables it).
    void Trace(const std::wstring& strText);
    void TracePrintf(const wchar_t* pszFormat, ...);

private:
    class CImpl;
    std::unique_ptr<CImpl> m_impl;
};
}  // namespace Fmt
}  // namespace opLogSys
