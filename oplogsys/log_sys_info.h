#pragma once
#include <string>
#include <vector>
#include "oplogsys/critical_section.h"
#include "oplogsys/i_log_filter.h"
#include "oplogsys/i_log_sys_info.h"
#include "oplogsys/i_output_log_system_factory.h"
#include "oplogsys/reference.h"

namespace opLogSys
{
// The default configuration: no filters and no output.
class CLogSysInfo : public Common::CReference<ILogSysInfo>
{
public:
    // The filter: an ordered list of (subject, minimum level, maximum level).
    class COutputLogState : public Common::CReference<ILogFilter>
    {
    public:
        struct SEntry
        {
            std::wstring strSubject;
            long nMinLevel;
            long nMaxLevel;
        };

        HRESULT IsEnabled(const wchar_t* pszSubject, long nLevel) override;
        HRESULT HasFilters() override;
        // An entry of the same subject whose range holds nMaxLevel takes the new range; otherwise
        // the entry is appended.
        HRESULT AddFilter(const wchar_t* pszSubject, long nMinLevel, long nMaxLevel);
        std::vector<SEntry> GetEntries();

    private:
        Common::CCriticalSection m_lock;
        std::vector<SEntry> m_entries;
        volatile LONG m_nEntryCount = 0;
    };

    CLogSysInfo() noexcept;
    ~CLogSysInfo() override;

    IOutputLogSystemFactory* GetFactory() override;
    ILogFilter* GetFilter() override;

    // Replaces the factory (the old one is released); adds its own reference on pFactory.
    void SetFactory(IOutputLogSystemFactory* pFactory) noexcept;
    // No reference added.
    COutputLogState* GetState() const noexcept { return m_pState; }

private:
    COutputLogState* m_pState;
    IOutputLogSystemFactory* m_pFactory;
};
}  // namespace opLogSys
