#include "update/info/service_id_list.h"

#include <cwchar>

#include "common/error_macros.h"

const wchar_t CServiceIdList::kMappingName[] = L"ServiceIdListMappingFile";
const wchar_t CServiceIdList::kLockName[] = L"ServiceIdListMappingFileReadWriteG";

namespace
{
// How long a removal waits for another process to let go of the lock.
const DWORD kRemoveWaitMs = 30000;

// Holds the named lock; released and closed when it goes.
class CListLock
{
public:
    ~CListLock()
    {
        if (m_bOwned)
            ::ReleaseMutex(m_hMutex.Get());
    }
    // Without waiting: the lock counts as held while anybody has it open.
    bool TryTake()
    {
        ::SetLastError(ERROR_SUCCESS);
        m_hMutex.Reset(::CreateMutexW(nullptr, TRUE, CServiceIdList::kLockName));
        if (!m_hMutex || ::GetLastError() == ERROR_ALREADY_EXISTS)
        {
            m_hMutex.Reset();
            return false;
        }
        m_bOwned = true;
        return true;
    }
    bool Take(DWORD dwTimeoutMs)
    {
        m_hMutex.Reset(::CreateMutexW(nullptr, FALSE, CServiceIdList::kLockName));
        if (!m_hMutex)
            return false;
        const DWORD dwWait = ::WaitForSingleObject(m_hMutex.Get(), dwTimeoutMs);
        m_bOwned = dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
        return m_bOwned;
    }

private:
    UniqueHandle m_hMutex;
    bool m_bOwned = false;
};
}  // namespace

HRESULT CServiceIdList::OpenBlock()
{
    if (m_view)
        return S_OK;
    // A null access list: every user of the machine may open the block.
    SECURITY_DESCRIPTOR sd;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), &sd, TRUE};
    if (!::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE))
        return ZEP_E_SERVICE_LIST;
    m_hMapping.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0, kBlockSize, kMappingName));
    if (!m_hMapping)
        return ZEP_E_SERVICE_LIST;
    // A block made smaller by somebody else cannot be mapped at our size.
    m_view.Reset(::MapViewOfFile(m_hMapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, kBlockSize));
    if (!m_view)
    {
        m_hMapping.Reset();
        return ZEP_E_SERVICE_LIST;
    }
    return S_OK;
}

HRESULT CServiceIdList::ReadBlock(SBlock& block)
{
    HRESULT hr = OpenBlock();
    if (FAILED(hr))
        return hr;
    memcpy(&block, m_view.Get(), sizeof(block));
    if (block.dwCount > kMaxSlots)
        return ZEP_E_SERVICE_LIST;
    for (DWORD i = 0; i < block.dwCount; ++i)
    {
        if (wmemchr(block.slots[i], L'\0', kSlotChars) == nullptr)
            return ZEP_E_SERVICE_LIST;
    }
    return S_OK;
}

void CServiceIdList::WriteBlock(const SBlock& block) { memcpy(m_view.Get(), &block, sizeof(block)); }

HRESULT CServiceIdList::Register(const std::wstring& strServiceId)
{
    CListLock lock;
    if (!lock.TryTake())
        return ZEP_E_SERVICE_BUSY;
    SBlock block;
    HRESULT hr = ReadBlock(block);
    if (FAILED(hr))
        return hr;
    for (DWORD i = 0; i < block.dwCount; ++i)
    {
        if (strServiceId == block.slots[i])
            return ZEP_E_SERVICE_BUSY;
    }
    // An identifier holding a zero character could never be found again.
    if (block.dwCount >= kMaxSlots || strServiceId.size() >= kSlotChars ||
        strServiceId.find(L'\0') != std::wstring::npos)
        return ZEP_E_SERVICE_LIST;
    wchar_t* pSlot = block.slots[block.dwCount];
    wmemset(pSlot, L'\0', kSlotChars);
    wmemcpy(pSlot, strServiceId.data(), strServiceId.size());
    ++block.dwCount;
    WriteBlock(block);
    return S_OK;
}

HRESULT CServiceIdList::Remove(const std::wstring& strServiceId)
{
    CListLock lock;
    if (!lock.Take(kRemoveWaitMs))
        return ZEP_E_SERVICE_BUSY;
    SBlock block;
    HRESULT hr = ReadBlock(block);
    if (FAILED(hr))
        return hr;
    for (DWORD i = 0; i < block.dwCount; ++i)
    {
        if (strServiceId != block.slots[i])
            continue;
        for (DWORD j = i; j + 1 < block.dwCount; ++j)
            wmemcpy(block.slots[j], block.slots[j + 1], kSlotChars);
        wmemset(block.slots[block.dwCount - 1], L'\0', kSlotChars);
        --block.dwCount;
        WriteBlock(block);
        return S_OK;
    }
    return S_FALSE;
}
