#include "installer/testing/standard_user_access.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <vector>

#include "common/string_util.h"
#include "common/unique_resource.h"

namespace installertest
{
namespace
{
bool IsStandardUserGroup(PSID pSid)
{
    for (WELL_KNOWN_SID_TYPE group : {WinWorldSid, WinBuiltinUsersSid, WinAuthenticatedUserSid, WinInteractiveSid})
    {
        if (::IsWellKnownSid(pSid, group))
            return true;
    }
    return false;
}

// The access list part of the key's security descriptor (below HKEY_LOCAL_MACHINE, 64-bit view).
DWORD ReadKeyDescriptor(const std::wstring& path, std::vector<BYTE>& descriptor)
{
    UniqueHKey key;
    DWORD dwError = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, READ_CONTROL | KEY_WOW64_64KEY, key.Receive());
    if (dwError != ERROR_SUCCESS)
        return dwError;
    DWORD cb = 0;
    dwError = ::RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, nullptr, &cb);
    if (dwError != ERROR_INSUFFICIENT_BUFFER)
        return dwError;
    descriptor.resize(cb);
    return ::RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor.data(), &cb);
}

ACCESS_MASK MapGeneric(ACCESS_MASK access)
{
    GENERIC_MAPPING mapping = {KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};
    ::MapGenericMask(&access, &mapping);
    return access;
}
}  // namespace

ACCESS_MASK StandardUserAccess(PACL pDacl, AccessFor forWhat)
{
    if (pDacl == nullptr)
        return KEY_ALL_ACCESS;
    ACCESS_MASK allowed = 0;
    ACCESS_MASK denied = 0;
    for (DWORD i = 0; i < pDacl->AceCount; ++i)
    {
        void* pAce = nullptr;
        if (!::GetAce(pDacl, i, &pAce))
            continue;
        const ACE_HEADER* pHeader = static_cast<const ACE_HEADER*>(pAce);
        const bool bApplies = forWhat == AccessFor::Key ? !(pHeader->AceFlags & INHERIT_ONLY_ACE)
                                                         : (pHeader->AceFlags & CONTAINER_INHERIT_ACE) != 0;
        if (!bApplies)
            continue;
        if (pHeader->AceType == ACCESS_ALLOWED_ACE_TYPE)
        {
            const auto* pAllowed = static_cast<const ACCESS_ALLOWED_ACE*>(pAce);
            if (IsStandardUserGroup(const_cast<DWORD*>(&pAllowed->SidStart)))
                allowed |= MapGeneric(pAllowed->Mask) & ~denied;
        }
        else if (pHeader->AceType == ACCESS_DENIED_ACE_TYPE)
        {
            const auto* pDenied = static_cast<const ACCESS_DENIED_ACE*>(pAce);
            if (IsStandardUserGroup(const_cast<DWORD*>(&pDenied->SidStart)))
                denied |= MapGeneric(pDenied->Mask) & ~allowed;
        }
    }
    return allowed;
}

bool StandardUserKeyAccess(const std::wstring& path, AccessFor forWhat, ACCESS_MASK& access, DWORD& dwError)
{
    access = 0;
    std::vector<BYTE> descriptor;
    dwError = ReadKeyDescriptor(path, descriptor);
    if (dwError != ERROR_SUCCESS)
        return false;
    BOOL bPresent = FALSE;
    BOOL bDefaulted = FALSE;
    PACL pDacl = nullptr;
    if (!::GetSecurityDescriptorDacl(descriptor.data(), &bPresent, &pDacl, &bDefaulted))
    {
        dwError = ::GetLastError();
        return false;
    }
    access = StandardUserAccess(bPresent ? pDacl : nullptr, forWhat);
    return true;
}

std::wstring KeyAccessListText(const std::wstring& path)
{
    std::vector<BYTE> descriptor;
    if (ReadKeyDescriptor(path, descriptor) != ERROR_SUCCESS)
        return L"(unreadable)";
    wchar_t* psz = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                                DACL_SECURITY_INFORMATION, &psz, nullptr))
        return L"(not convertible)";
    std::wstring text = psz;
    ::LocalFree(psz);
    return text;
}

void ExpectStandardUserKeyAccess(const std::wstring& prefix, const KeyAccessExpectation* pRows, size_t cRows)
{
    for (size_t i = 0; i < cRows; ++i)
    {
        const KeyAccessExpectation& row = pRows[i];
        const std::wstring path = prefix + row.pszKey;
        ACCESS_MASK access = 0;
        DWORD dwError = ERROR_SUCCESS;
        const bool bRead = StandardUserKeyAccess(path, row.forWhat, access, dwError);
        SCOPED_TRACE(WideToUtf8(FormatString(L"%s (%s): 0x%08lX, %s", path.c_str(),
                                             row.forWhat == AccessFor::Key ? L"key" : L"new subkey", access,
                                             KeyAccessListText(path).c_str())));
        EXPECT_TRUE(bRead) << dwError;
        if (!bRead)
            continue;
        EXPECT_EQ(row.granted, access & row.granted);
        EXPECT_EQ(0u, access & row.notGranted);
    }
}
}  // namespace installertest
