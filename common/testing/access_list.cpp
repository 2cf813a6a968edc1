#include "common/testing/access_list.h"

#include <aclapi.h>
#include <sddl.h>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"

namespace zeptest
{
namespace
{
std::wstring SidText(PSID pSid)
{
    wchar_t* psz = nullptr;
    if (!::ConvertSidToStringSidW(pSid, &psz))
        return L"?";
    std::wstring text = psz;
    ::LocalFree(psz);
    return text;
}
}  // namespace

const wchar_t kAllUsersFolderAcl[] = L"allow|10000000|3|S-1-5-11\n"
                                     L"allow|10000000|3|S-1-5-18\n"
                                     L"allow|10000000|3|S-1-5-32-544\n"
                                     L"allow|10000000|3|S-1-5-32-545\n";

std::wstring DescribeAcl(const ACL* pDacl)
{
    if (pDacl == nullptr)
        return L"no dacl";
    std::wstring text;
    for (DWORD i = 0; i < pDacl->AceCount; ++i)
    {
        void* pAce = nullptr;
        if (!::GetAce(const_cast<ACL*>(pDacl), i, &pAce))
            return L"bad ace";
        const ACE_HEADER* pHeader = static_cast<ACE_HEADER*>(pAce);
        if (pHeader->AceType != ACCESS_ALLOWED_ACE_TYPE)
        {
            text += FormatString(L"type %u\n", pHeader->AceType);
            continue;
        }
        const ACCESS_ALLOWED_ACE* pAllowed = static_cast<ACCESS_ALLOWED_ACE*>(pAce);
        text += FormatString(L"allow|%08lX|%u|%s\n", pAllowed->Mask, pHeader->AceFlags,
                             SidText(const_cast<DWORD*>(&pAllowed->SidStart)).c_str());
    }
    return text;
}

std::wstring DescribeFileAcl(const std::wstring& strPath)
{
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pSd = nullptr;
    const DWORD dwError = ::GetNamedSecurityInfoW(strPath.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                                  nullptr, nullptr, &pDacl, nullptr, &pSd);
    if (dwError != ERROR_SUCCESS)
        return FormatString(L"error %lu", dwError);
    UniqueLocalMem sd(pSd);
    return DescribeAcl(pDacl);
}

bool FileSystemKeepsAccessLists()
{
    PSECURITY_DESCRIPTOR pSd = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:(A;OICI;GA;;;AU)(A;OICI;GA;;;SY)(A;OICI;GA;;;BA)(A;OICI;GA;;;BU)", SDDL_REVISION_1, &pSd, nullptr))
        return false;
    UniqueLocalMem sd(pSd);
    BOOL bPresent = FALSE;
    BOOL bDefaulted = FALSE;
    PACL pDacl = nullptr;
    const std::wstring probe = TestTempDir() + L"acl-probe";
    if (!::GetSecurityDescriptorDacl(pSd, &bPresent, &pDacl, &bDefaulted) || !pDacl ||
        !::CreateDirectoryW(probe.c_str(), nullptr))
        return false;
    const bool bKept = ::SetNamedSecurityInfoW(const_cast<wchar_t*>(probe.c_str()), SE_FILE_OBJECT,
                                               DACL_SECURITY_INFORMATION, nullptr, nullptr, pDacl,
                                               nullptr) == ERROR_SUCCESS &&
                       DescribeFileAcl(probe) == kAllUsersFolderAcl;
    ::RemoveDirectoryW(probe.c_str());
    return bKept;
}
}  // namespace zeptest
