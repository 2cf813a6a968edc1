#pragma once
// The machine-wide list of services whose update check is in progress: a named shared memory
// block that every process of the machine (and every user) reads and writes under one named
// lock. Any other program may have written the block, so it is checked before every use.
#include <windows.h>

#include <string>

#include "common/unique_resource.h"

// The list cannot be opened, read or written (also: it is corrupt or full).
#define ZEP_E_SERVICE_LIST ((HRESULT)0x80041201L)
// A check of the service is already in progress on this machine, or the list is locked.
#define ZEP_E_SERVICE_BUSY ((HRESULT)0x80044401L)

class CServiceIdList
{
public:
    static const wchar_t kMappingName[];  // "ServiceIdListMappingFile"
    static const wchar_t kLockName[];     // "ServiceIdListMappingFileReadWriteG"
    static const DWORD kMaxSlots = 32;
    static const DWORD kSlotChars = 260;
    // A 32-bit count, then the slots.
    static const DWORD kBlockSize = sizeof(DWORD) + kMaxSlots * kSlotChars * sizeof(wchar_t);

    CServiceIdList() = default;
    CServiceIdList(const CServiceIdList&) = delete;
    CServiceIdList& operator=(const CServiceIdList&) = delete;

    // Adds the service without waiting for the lock. ZEP_E_SERVICE_BUSY when the lock is held
    // or the service is listed already; ZEP_E_SERVICE_LIST when the block cannot be used, is
    // corrupt, is full or the identifier does not fit a slot.
    HRESULT Register(const std::wstring& strServiceId);
    // Removes the first entry of the service, waiting for the lock; S_FALSE when not listed.
    HRESULT Remove(const std::wstring& strServiceId);

private:
    struct SBlock
    {
        DWORD dwCount;
        wchar_t slots[kMaxSlots][kSlotChars];
    };
    static_assert(sizeof(SBlock) == 0x4104, "the block's layout is shared with other programs");

    HRESULT OpenBlock();
    // A copy of the block, checked: the count within the slots, every used slot terminated.
    HRESULT ReadBlock(SBlock& block);
    void WriteBlock(const SBlock& block);

    UniqueHandle m_hMapping;
    UniqueMappedView m_view;
};
