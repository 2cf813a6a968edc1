#include "update/info/zep_backend_log.h"

opLogSys::COutputLogSystem& ZepBackendLibraryLog() noexcept
{
    return opLogSys::GetSubjectLogSystem(ZEP_BACKEND_LOG_SUBJECT);
}
