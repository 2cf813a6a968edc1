#include "tools/fuzz/client_acceptance.h"

#include <windows.h>

#include "common/crypt_digest.h"
#include "common/unique_resource.h"
#include "update/client/package_digest.h"

bool ClientAcceptsPackage(const std::wstring& strPath, const std::string& strIntended)
{
    std::wstring strMac;
    if (FAILED(DigestHex(CALG_SHA1, reinterpret_cast<const BYTE*>(strIntended.data()), strIntended.size(), strMac)))
        return false;
    UniqueHandle file(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || static_cast<ULONGLONG>(size.QuadPart) != strIntended.size())
        return false;
    bool bMatches = false;
    return SUCCEEDED(PackageDigestMatches(file.Get(), strMac.c_str(), bMatches)) && bMatches;
}
