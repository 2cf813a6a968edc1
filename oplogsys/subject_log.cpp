#include "oplogsys/subject_log.h"

#include <shlobj.h>
#include <atomic>
#include <cwchar>
#include <new>

#include "common/module_path.h"
#include "oplogsys/critical_section.h"
#include "oplogsys/log_sys_info_from_xml.h"
#include "oplogsys/subject_registry.h"

namespace opLogSys
{
namespace
{
struct CSubjectSystem
{
    std::wstring strSubject;
    COutputLogSystem* pSystem;
    CSubjectSystem* pNext;
};

// Published list: readers walk it without a lock, writers prepend under the holder's lock.
std::atomic<CSubjectSystem*> g_pSubjectSystems{nullptr};
// Plain flag: still readable after the holder's destructor ran at module unload.
bool g_bSubjectSystemsGone = false;

COutputLogSystem& SilentLogSystem();

// Destroys the log systems when the module unloads.
class CSubjectSystemsHolder
{
public:
    ~CSubjectSystemsHolder()
    {
        g_bSubjectSystemsGone = true;
        CSubjectSystem* pNode = g_pSubjectSystems.exchange(nullptr);
        while (pNode)
        {
            CSubjectSystem* pNext = pNode->pNext;
            delete pNode->pSystem;
            delete pNode;
            pNode = pNext;
        }
    }
    Common::CCriticalSection m_lock;
};

CSubjectSystemsHolder& Holder()
{
    // Made first so that they are torn down after the log systems.
    CSubjectRegistry::Instance();
    SilentLogSystem();
    static CSubjectSystemsHolder s_holder;
    return s_holder;
}

COutputLogSystem* Find(const wchar_t* pszSubject)
{
    for (CSubjectSystem* pNode = g_pSubjectSystems.load(std::memory_order_acquire); pNode; pNode = pNode->pNext)
    {
        if (wcscmp(pNode->strSubject.c_str(), pszSubject) == 0)
            return pNode->pSystem;
    }
    return nullptr;
}

// What a caller gets when nothing else could be made: writes nothing, never crashes.
COutputLogSystem& SilentLogSystem()
{
    static COutputLogSystem s_silent(L"", nullptr, L"", kErrorLogMaxSize, kErrorLogTrim);
    return s_silent;
}
}  // namespace

std::wstring GetExecutableDir()
{
    return ModuleFolder();
}

std::wstring GetSubjectConfigPath(const wchar_t* pszSubject)
{
    return GetExecutableDir() + (pszSubject ? pszSubject : L"") + L".log.xml";
}

std::wstring GetErrorLogPath(const wchar_t* pszSubject, bool bConfigExists)
{
    wchar_t szAppData[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, szAppData)))
        return std::wstring();
    std::wstring strDir = szAppData;
    strDir += L"\\Orvo Corporation\\CommonDlonloader";
    const int nResult = ::SHCreateDirectoryExW(nullptr, strDir.c_str(), nullptr);
    if (nResult != ERROR_SUCCESS && nResult != ERROR_ALREADY_EXISTS && nResult != ERROR_FILE_EXISTS)
        return std::wstring();
    std::wstring strName = (bConfigExists && pszSubject && *pszSubject) ? pszSubject : L"COMMONDWONLOADER";
    return strDir + L"\\" + strName + L".log";
}

COutputLogSystem& GetSubjectLogSystem(const wchar_t* pszSubject) noexcept
{
    if (pszSubject == nullptr)
        pszSubject = L"";
    if (COutputLogSystem* pSystem = Find(pszSubject))
        return *pSystem;
    // A call from another module's teardown after ours.
    if (g_bSubjectSystemsGone)
        return SilentLogSystem();
    try
    {
        CSubjectSystemsHolder& holder = Holder();
        Common::CScopedLock<Common::CCriticalSection> lock(holder.m_lock);
        if (COutputLogSystem* pSystem = Find(pszSubject))
            return *pSystem;
        const std::wstring strConfigPath = GetSubjectConfigPath(pszSubject);
        const DWORD dwAttributes = ::GetFileAttributesW(strConfigPath.c_str());
        const bool bConfigExists =
            dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        CLogSysInfoFromXML* pInfo = new CLogSysInfoFromXML(strConfigPath.c_str());
        const std::wstring strErrorLogPath = GetErrorLogPath(pszSubject, bConfigExists);
        COutputLogSystem* pSystem = new (std::nothrow)
            COutputLogSystem(pszSubject, pInfo, strErrorLogPath.c_str(), kErrorLogMaxSize, kErrorLogTrim);
        pInfo->Release();
        if (pSystem == nullptr)
            return SilentLogSystem();
        CSubjectSystem* pNode = nullptr;
        try
        {
            pNode = new CSubjectSystem{pszSubject, pSystem, nullptr};
        }
        catch (const std::bad_alloc&)
        {
            delete pSystem;
            return SilentLogSystem();
        }
        pNode->pNext = g_pSubjectSystems.load(std::memory_order_relaxed);
        g_pSubjectSystems.store(pNode, std::memory_order_release);
        return *pSystem;
    }
    catch (const std::bad_alloc&)
    {
        return SilentLogSystem();
    }
}
}  // namespace opLogSys
