#pragma once
#include "oplogsys/critical_section.h"
#include "oplogsys/i_log_io.h"
#include "oplogsys/output_log_system_factory_base.h"

namespace opLogSys
{
namespace Ods
{
// Lines go to the debugger output. A line reaches it in pieces (header, text, line end); the lock
// keeps the pieces of one thread's line, or block, together.
class COutputLogSystemFactory : public COutputLogSystemFactoryBase
{
public:
    class COutputDebugStringIO : public Common::CReference<ILogIO>
    {
    public:
        long Lock() override { return m_lock.Lock(); }
        long Unlock() override { return m_lock.Unlock(); }
        long WriteLine(const wchar_t* pszText) override;
        long Write(const wchar_t* pszText) override;
        long Flush() override { return 0; }

    private:
        Common::CCriticalSection m_lock;
    };

    ILogIO* CreateIO(const wchar_t* pszSubject) override;
};
}  // namespace Ods
}  // namespace opLogSys
