#pragma once
// Internal: the module-wide state behind every log system: the per-subject outputs with their
// per-thread logs, and the error-line bookkeeping, all under one lock.
#include <windows.h>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include "oplogsys/critical_section.h"

namespace opLogSys
{
class ILog;
class ILogIO;
class IOutputLogSystemFactory;

class CSubjectEntry
{
public:
    CSubjectEntry() = default;
    ~CSubjectEntry();
    CSubjectEntry(const CSubjectEntry&) = delete;
    CSubjectEntry& operator=(const CSubjectEntry&) = delete;

    ILogIO* m_pIO = nullptr;
    std::unordered_map<DWORD, ILog*> m_logs;
};

class CSubjectRegistry
{
public:
    // nullptr once the module is being torn down.
    static CSubjectRegistry* Instance() noexcept;

    Common::CCriticalSection& Lock() noexcept { return m_lock; }

    // Under Lock(): the subject's entry, made with the factory's output if absent; nullptr without
    // memory.
    CSubjectEntry* FindOrCreateEntry(const std::wstring& strSubject, IOutputLogSystemFactory* pFactory) noexcept;
    // Under Lock(): the thread's log in an entry, with a reference for the caller.
    ILog* GetThreadLog(CSubjectEntry* pEntry, IOutputLogSystemFactory* pFactory, DWORD dwThreadId) noexcept;
    // Under Lock(): true the first time a path is named in this process (across the modules
    // that carry this library too).
    bool IsFirstErrorLineFor(const std::wstring& strErrorLogPath) noexcept;

    ~CSubjectRegistry();

private:
    CSubjectRegistry() = default;

    Common::CCriticalSection m_lock;
    std::map<std::wstring, CSubjectEntry*> m_entries;
    std::set<std::wstring> m_bannerPaths;
};
}  // namespace opLogSys
