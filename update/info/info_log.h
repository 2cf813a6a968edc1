#pragma once
// Method tracing of the update information code through the "ZepBackend_Library" log.
#include "oplogsys/held_method_log.h"

class CInfoMethodLog : public opLogSys::Fmt::CHeldMethodLog
{
public:
    // Traces entry now and exit, with *plResult, when the object goes out of scope.
    CInfoMethodLog(const wchar_t* pszMethod, long* plResult);
};
