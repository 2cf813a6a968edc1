#pragma once
#include "oplogsys/i_log_io.h"
#include "oplogsys/output_log_system_factory_base.h"

namespace opLogSys
{
namespace Ods
{
// Lines go to the debugger output.
class COutputLogSystemFactory : public COutputLogSystemFactoryBase
{
public:
    class COutputDebugStringIO : public Common::CReference<ILogIO>
    {
    public:
        long Lock() override { return 0; }
        long Unlock() override { return 0; }
        long WriteLine(const wchar_t* pszText) override;
        long Write(const wchar_t* pszText) override;
        long Flush() override { return 0; }
    };

    ILogIO* CreateIO(const wchar_t* pszSubject) override;
};
}  // namespace Ods
}  // namespace opLogSys
