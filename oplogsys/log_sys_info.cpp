#include "oplogsys/log_sys_info.h"

#include <new>
#include "oplogsys/null_output_factory.h"

namespace opLogSys
{
HRESULT CLogSysInfo::COutputLogState::IsEnabled(const wchar_t* pszSubject, long nLevel)
{
    if (m_nEntryCount == 0 || pszSubject == nullptr)
        return E_FAIL;
    Common::CScopedLock<Common::CCriticalSection> lock(m_lock);
    for (const SEntry& entry : m_entries)
    {
        if (entry.nMinLevel <= nLevel && nLevel <= entry.nMaxLevel && entry.strSubject == pszSubject)
            return S_OK;
    }
    return E_FAIL;
}

HRESULT CLogSysInfo::COutputLogState::HasFilters()
{
    // Read without the lock: this is the check every traced call makes.
    return m_nEntryCount != 0 ? S_OK : E_FAIL;
}

HRESULT CLogSysInfo::COutputLogState::AddFilter(const wchar_t* pszSubject, long nMinLevel, long nMaxLevel)
{
    Common::CScopedLock<Common::CCriticalSection> lock(m_lock);
    try
    {
        const std::wstring strSubject = pszSubject ? pszSubject : L"";
        for (SEntry& entry : m_entries)
        {
            if (entry.strSubject == strSubject && entry.nMinLevel <= nMaxLevel && nMaxLevel <= entry.nMaxLevel)
            {
                entry.nMinLevel = nMinLevel;
                entry.nMaxLevel = nMaxLevel;
                return S_OK;
            }
        }
        m_entries.push_back(SEntry{strSubject, nMinLevel, nMaxLevel});
        ::InterlockedExchange(&m_nEntryCount, static_cast<LONG>(m_entries.size()));
        return S_OK;
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
}

std::vector<CLogSysInfo::COutputLogState::SEntry> CLogSysInfo::COutputLogState::GetEntries()
{
    Common::CScopedLock<Common::CCriticalSection> lock(m_lock);
    return m_entries;
}

CLogSysInfo::CLogSysInfo() noexcept
    : m_pState(new (std::nothrow) COutputLogState), m_pFactory(new (std::nothrow) Null::COutputLogSystemFactory)
{
}

CLogSysInfo::~CLogSysInfo()
{
    if (m_pFactory)
        m_pFactory->Release();
    if (m_pState)
        m_pState->Release();
}

IOutputLogSystemFactory* CLogSysInfo::GetFactory()
{
    if (m_pFactory)
        m_pFactory->AddRef();
    return m_pFactory;
}

ILogFilter* CLogSysInfo::GetFilter()
{
    if (m_pState)
        m_pState->AddRef();
    return m_pState;
}

void CLogSysInfo::SetFactory(IOutputLogSystemFactory* pFactory) noexcept
{
    if (pFactory)
        pFactory->AddRef();
    if (m_pFactory)
        m_pFactory->Release();
    m_pFactory = pFactory;
}
}  // namespace opLogSys
