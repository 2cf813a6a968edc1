#include "update/info/tests/info_test_util.h"

#include <gtest/gtest.h>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "update/info/info_file_format.h"
#include "update/info/tool/update_signing_key.h"

namespace infotest
{
std::string MakeFile(const std::string& strDaid, const std::string& strDigest, const std::string& strBody)
{
    return "eaid: ENC0001\ndaid: " + strDaid + "\ndigest: " + strDigest + "\n\n" + strBody;
}

std::string MakeSignedFile(const std::string& strBody, const std::wstring& strService, const std::wstring& strCategory,
                           const std::string& strDaid)
{
    const ALG_ID algId = InfoFileFormat::DigestAlgorithm(Utf8ToWide(strDaid));
    std::wstring strDigest;
    InfoFileFormat::ComputeSaltedDigest(algId, reinterpret_cast<const BYTE*>(strBody.data()), strBody.size(),
                                        strService, strCategory, strDigest);
    return MakeFile(strDaid, WideToUtf8(strDigest), strBody);
}

std::wstring WriteTempFile(const std::wstring& strName, const std::string& strBytes)
{
    const std::wstring strPath = zeptest::TestTempDir() + strName;
    zeptest::WriteFileBytes(strPath, strBytes.data(), strBytes.size());
    return strPath;
}

std::string Unsigned(const std::string& strBody)
{
    return MakeFile("HAS0001", "", strBody);
}

std::wstring DevKeyPath()
{
    return zeptest::ExeDir() + L"..\\keys\\update-signing-dev.pem";
}

std::string SignatureFor(const std::string& strInfo, const std::wstring& strService, const std::wstring& strCategory,
                         ULONGLONG ullSerial, const std::wstring& strExpires)
{
    static CUpdateSigningKey key;
    static const bool bLoaded = [] {
        std::wstring strProblem;
        const bool b = key.LoadPemFile(DevKeyPath(), strProblem);
        EXPECT_TRUE(b) << WideToUtf8(strProblem);
        return b;
    }();
    std::string strText;
    if (bLoaded)
    {
        EXPECT_EQ(S_OK, key.SignatureFile(strInfo, strCategory, strService,
                                          ullSerial, strExpires, strText));
    }
    return strText;
}
}  // namespace infotest
