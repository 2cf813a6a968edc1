#include "update/client/client_method_log.h"

#include "oplogsys/oplogsys.h"

CClientMethodLog::CClientMethodLog(const wchar_t* pszMethod, long* plResult)
    : CHeldMethodLog(opLogSys::GetSubjectLogSystem(ZEP_CLIENT_LOG_SUBJECT), ZEP_CLIENT_LOG_SUBJECT, pszMethod, plResult)
{
}
