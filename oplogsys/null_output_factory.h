#pragma once
#include "oplogsys/i_log_io.h"
#include "oplogsys/output_log_system_factory_base.h"

namespace opLogSys
{
namespace Null
{
// No output at all.
class COutputLogSystemFactory : public COutputLogSystemFactoryBase
{
public:
    class CNullIO : public Common::CReference<ILogIO>
    {
    public:
        long Lock() override { return 0; }
        long Unlock() override { return 0; }
        long WriteLine(const wchar_t*) override { return 0; }
        long Write(const wchar_t*) override { return 0; }
        long Flush() override { return 0; }
    };

    ILogIO* CreateIO(const wchar_t* pszSubject) override;
};
}  // namespace Null
}  // namespace opLogSys
