#include "watcher/ScsiExecutorFactory.h"

#include "watcher/ExecScsiSpti.h"

std::unique_ptr<CExecScsiInterface> CreateScsiExecutor()
{
    return std::unique_ptr<CExecScsiInterface>(new CExecScsiSpti());
}
