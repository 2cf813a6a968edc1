#include "oplogsys/subject_registry.h"

#include <new>
#include "oplogsys/format_buffer.h"
#include "oplogsys/i_log.h"
#include "oplogsys/i_log_io.h"
#include "oplogsys/i_output_log_system_factory.h"

namespace opLogSys
{
namespace
{
// Plain flag: still readable after the registry's destructor ran at module unload.
bool g_bRegistryGone = false;
}

CSubjectEntry::~CSubjectEntry()
{
    for (auto& item : m_logs)
        item.second->Release();
    if (m_pIO)
        m_pIO->Release();
}

CSubjectRegistry* CSubjectRegistry::Instance() noexcept
{
    if (g_bRegistryGone)
        return nullptr;
    static CSubjectRegistry s_registry;
    return &s_registry;
}

CSubjectRegistry::~CSubjectRegistry()
{
    g_bRegistryGone = true;
    m_lock.Lock();
    for (auto& item : m_entries)
        delete item.second;
    m_entries.clear();
    m_lock.Unlock();
}

CSubjectEntry* CSubjectRegistry::FindOrCreateEntry(const std::wstring& strSubject,
                                                   IOutputLogSystemFactory* pFactory) noexcept
{
    try
    {
        auto it = m_entries.find(strSubject);
        if (it != m_entries.end())
            return it->second;
        if (pFactory == nullptr)
            return nullptr;
        CSubjectEntry* pEntry = new (std::nothrow) CSubjectEntry;
        if (pEntry == nullptr)
            return nullptr;
        pEntry->m_pIO = pFactory->CreateIO(strSubject.c_str());
        if (pEntry->m_pIO == nullptr)
        {
            delete pEntry;
            return nullptr;
        }
        m_entries.emplace(strSubject, pEntry);
        return pEntry;
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}

ILog* CSubjectRegistry::GetThreadLog(CSubjectEntry* pEntry, IOutputLogSystemFactory* pFactory,
                                     DWORD dwThreadId) noexcept
{
    try
    {
        auto it = pEntry->m_logs.find(dwThreadId);
        if (it != pEntry->m_logs.end())
        {
            it->second->AddRef();
            return it->second;
        }
        if (pFactory == nullptr)
            return nullptr;
        ILog* pLog = pFactory->CreateLog(dwThreadId, pEntry->m_pIO);
        if (pLog == nullptr)
            return nullptr;
        pEntry->m_logs.emplace(dwThreadId, pLog);
        pLog->AddRef();
        return pLog;
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}

bool CSubjectRegistry::IsFirstErrorLineFor(const std::wstring& strErrorLogPath) noexcept
{
    try
    {
        if (!m_bannerPaths.insert(strErrorLogPath).second)
            return false;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    // Each module carrying this library has its own registry; a named object that includes the
    // process id tells whether another module of this process already wrote the banner.
    wchar_t szName[Common::kFormatChars];
    Common::Format(szName, Common::kFormatChars, L"OPLOGSYS_ERRORLOG:%08X:%s", ::GetCurrentProcessId(),
                   strErrorLogPath.c_str());
    for (wchar_t* p = szName; *p; ++p)
    {
        if (*p == L'\\' || *p == L':' || *p == L'.')
            *p = L'_';
    }
    if (wcslen(szName) >= MAX_PATH)
        szName[MAX_PATH - 1] = L'\0';
    // Kept open for the life of the process on purpose: it is the process-wide marker.
    HANDLE hMarker = ::CreateMutexW(nullptr, FALSE, szName);
    const bool bExisted = hMarker != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS;
    return !bExisted;
}
}  // namespace opLogSys
