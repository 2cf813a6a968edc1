#include "watcher/scsi_executor_factory.h"

#include "watcher/exec_scsi_spti.h"

std::unique_ptr<CExecScsiInterface> CreateScsiExecutor()
{
    return std::unique_ptr<CExecScsiInterface>(new CExecScsiSpti());
}
