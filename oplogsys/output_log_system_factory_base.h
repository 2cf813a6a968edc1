#pragma once
#include "oplogsys/i_output_log_system_factory.h"
#include "oplogsys/reference.h"

namespace opLogSys
{
// What every output factory shares: the log objects are the same, only the output differs.
class COutputLogSystemFactoryBase : public Common::CReference<IOutputLogSystemFactory>
{
public:
    ILog* CreateLog(DWORD dwId, ILogIO* pIO) override;       // a new CLog
    ILog* CreateErrorLog(ILogIO* pIO) override;              // a new CErrorLog
};
}  // namespace opLogSys
