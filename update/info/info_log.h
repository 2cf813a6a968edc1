#pragma once
// Method tracing of the update information code through the "ZepBackend_Library" log.
#include <windows.h>
#include <memory>
#include <string>

class CInfoMethodLog
{
public:
    // Traces entry now and exit, with *plResult, when the object goes out of scope.
    CInfoMethodLog(const wchar_t* pszMethod, long* plResult);
    ~CInfoMethodLog();
    CInfoMethodLog(const CInfoMethodLog&) = delete;
    CInfoMethodLog& operator=(const CInfoMethodLog&) = delete;

    // Error lines always reach the error log.
    void Error(const std::wstring& strText);
    void ErrorPrintf(const wchar_t* pszFormat, ...);
    // A trace line at the method's level (written only when the configuration enables it).
    void Trace(const std::wstring& strText);

private:
    class CImpl;
    std::unique_ptr<CImpl> m_impl;
};
