#include "update/info/info_log.h"

#include "update/info/zep_backend_log.h"

CInfoMethodLog::CInfoMethodLog(const wchar_t* pszMethod, long* plResult)
    : CHeldMethodLog(ZepBackendLibraryLog(), ZEP_BACKEND_LOG_SUBJECT, pszMethod, plResult)
{
}
