#pragma once
// Method tracing of the update client through its "ZepMini_Application" log.
#include "oplogsys/held_method_log.h"

#define ZEP_CLIENT_LOG_SUBJECT L"ZepMini_Application"

class CClientMethodLog : public opLogSys::Fmt::CHeldMethodLog
{
public:
    // Traces entry now and exit, with *plResult, when the object goes out of scope.
    CClientMethodLog(const wchar_t* pszMethod, long* plResult);
};
