#pragma once
// The SCSI executor the watcher program uses. Pirro links the real one; the emulating build
// links one that answers from canned responses. Nothing else differs between the two.
#include <memory>

#include "watcher/exec_scsi_interface.h"

std::unique_ptr<CExecScsiInterface> CreateScsiExecutor();
