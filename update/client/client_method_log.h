#pragma once
// Method tracing of the update client through its "ZepMini_Application" log.
#include <windows.h>

#include <memory>
#include <string>

#define ZEP_CLIENT_LOG_SUBJECT L"ZepMini_Application"

class CClientMethodLog
{
public:
    // Traces entry now and exit, with *plResult, when the object goes out of scope.
    CClientMethodLog(const wchar_t* pszMethod, long* plResult);
    ~CClientMethodLog();
    CClientMethodLog(const CClientMethodLog&) = delete;
    CClientMethodLog& operator=(const CClientMethodLog&) = delete;

    // Error lines always reach the error log.
    void ErrorPrintf(const wchar_t* pszFormat, ...);
    // A trace line at the method's level (written only when the configuration enables it).
    void TracePrintf(const wchar_t* pszFormat, ...);

private:
    class CImpl;
    std::unique_ptr<CImpl> m_impl;
};
