#pragma once
#include <string>
#include "oplogsys/output_log_system_factory_base.h"

namespace opLogSys
{
namespace File
{
// Lines go to a time-stamped file per subject in the configured folder.
class COutputLogSystemFactory : public COutputLogSystemFactoryBase
{
public:
    // strLocation: "current", "desktop", empty, a path starting with "." or an absolute path.
    COutputLogSystemFactory(bool bAutoFlush, const std::wstring& strLocation);

    ILogIO* CreateIO(const wchar_t* pszSubject) override;

    bool GetAutoFlush() const noexcept { return m_bAutoFlush; }
    const std::wstring& GetLocation() const noexcept { return m_strLocation; }

private:
    bool m_bAutoFlush;
    std::wstring m_strLocation;
};
}  // namespace File
}  // namespace opLogSys
