#include <windows.h>
#include <shlobj.h>

#include "common/com_init.h"
#include "common/scope_exit.h"
#include "common/file_util.h"
#include "common/string_util.h"
#include "common/unique_resource.h"
#include "update/info/info_file_format.h"
#include "update/info/tool/command_line.h"
#include "update/info/tool/console.h"
#include "update/info/info_signature.h"
#include "update/info/tool/info_body_checker.h"
#include "update/info/tool/signing_options.h"
#include "update/info/tool/update_signing_key.h"
#include "update/info/tool/zepinfo_commands.h"

namespace
{
const uint64_t kMaxBodyBytes = 64 * 1024 * 1024;

enum PublishExit
{
    ePublishOk = 0,
    ePublishUsage = 1,
    ePublishBodyRejected = 2,
    ePublishOutputFailed = 3,
};


bool WriteWholeFile(const std::wstring& strPath, const std::string& data, DWORD& dwError)
{
    UniqueHandle file(
        ::CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD cbWritten = 0;
    if (!file || !::WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &cbWritten, nullptr) ||
        cbWritten != data.size() || !::FlushFileBuffers(file.Get()))
    {
        dwError = ::GetLastError();
        return false;
    }
    return true;
}

std::wstring SystemMessage(DWORD dwError)
{
    return ResultText(HRESULT_FROM_WIN32(dwError));
}

std::wstring FullPath(const std::wstring& strPath)
{
    wchar_t szFull[MAX_PATH * 4] = {};
    const DWORD cch = ::GetFullPathNameW(strPath.c_str(), _countof(szFull), szFull, nullptr);
    return cch > 0 && cch < _countof(szFull) ? std::wstring(szFull) : strPath;
}

std::wstring TempFileIn(const std::wstring& strFolder)
{
    wchar_t szTemp[MAX_PATH + 1] = {};
    if (!::GetTempFileNameW(strFolder.c_str(), L"zep", 0, szTemp))
        return std::wstring();
    return szTemp;
}

std::wstring TempFolder()
{
    wchar_t szTemp[MAX_PATH + 1] = {};
    ::GetTempPathW(_countof(szTemp), szTemp);
    return szTemp;
}
}  // namespace

void PrintPublishHelp()
{
    ConsoleOut(
        L"Usage: zepinfo publish --service S --category C --key KEY.pem [--serial N] [--expires DATE]\n"
        L"                       [--digest sha1|md5|none] BODY.xml OUTROOT\n"
        L"\n"
        L"Publishes the update information body BODY.xml for service S in category C:\n"
        L"  1. checks that the body is UTF-8, well-formed XML without a DOCTYPE, and that every\n"
        L"     element and attribute the client needs is present (missing parts are named, the\n"
        L"     exit code is 2 and nothing is written);\n"
        L"  2. writes OUTROOT\\C\\S\\info\\info.xml: the header lines (eaid, daid, digest), a blank\n"
        L"     line, then the body bytes unchanged;\n"
        L"  3. signs the exact bytes of info.xml with KEY.pem and writes the signature beside it,\n"
        L"     OUTROOT\\C\\S\\info\\info.xml.sig (the client refuses a file without one);\n"
        L"  4. checks the signature and loads the written file with the client's own code.\n"
        L"Upload OUTROOT's content to the update server's base URL: the client fetches\n"
        L"<base URL>C/S/info/info.xml.\n"
        L"\n"
        L"Options:\n"
        L"  --service S     service identifier (also salts the digest)\n"
        L"  --category C    service category (also salts the digest)\n"
        L"  --key KEY.pem   ECDSA P-256 private key, PKCS#8 PEM (zepinfo keygen, openssl genpkey)\n"
        L"  --serial N      1 .. 9223372036854775807; clients refuse a serial lower than the\n"
        L"                  highest they accepted for S (default: seconds since 1970)\n"
        L"  --expires DATE  YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ (UTC); clients refuse the file\n"
        L"                  from then on (default: 30 days from now)\n"
        L"  --digest D      header digest: sha1 (default, HAS0003), md5 (HAS0002) or none (HAS0001)\n"
        L"\n"
        L"Exit code: 0 published, 1 usage error, 2 body rejected, 3 output not written or not\n"
        L"verified.\n");
}

int RunPublish(int argc, wchar_t** argv)
{
    CCommandLine cmd({L"service", L"category", L"digest", L"key", L"serial", L"expires"}, {L"help"});
    const ECommandStart start =
        StartCommand(L"publish", cmd, argc, argv, PrintPublishHelp,
                     [](const CCommandLine& c) { return c.Positionals().size() == 2; }, L"needs BODY.xml and OUTROOT");
    if (start != ECommandStart::Run)
        return start == ECommandStart::HelpShown ? ePublishOk : ePublishUsage;
    const std::wstring strService = cmd.Get(L"service");
    const std::wstring strCategory = cmd.Get(L"category");
    if (!CheckPathSegment(L"service", strService) || !CheckPathSegment(L"category", strCategory))
        return ePublishUsage;
    const std::wstring strDigestName = ToLower(cmd.Get(L"digest", L"sha1"));
    std::wstring strDigestId;
    if (strDigestName == L"sha1")
        strDigestId = InfoFileFormat::kDigestSha1;
    else if (strDigestName == L"md5")
        strDigestId = InfoFileFormat::kDigestMd5;
    else if (strDigestName == L"none")
        strDigestId = InfoFileFormat::kDigestNone;
    else
    {
        ConsoleErr(L"zepinfo publish: --digest must be sha1, md5 or none\n");
        return ePublishUsage;
    }
    SigningOptions signing;
    if (!ReadSigningOptions(L"publish", cmd, signing))
        return ePublishUsage;
    const std::wstring strBodyPath = cmd.Positionals()[0];
    const std::wstring strOutRoot = FullPath(cmd.Positionals()[1]);

    std::string body;
    DWORD dwError = ReadWholeFile(strBodyPath, body, kMaxBodyBytes);
    if (dwError != ERROR_SUCCESS)
    {
        ConsoleErrPrintf(L"zepinfo publish: cannot read %s: %s\n", strBodyPath.c_str(), SystemMessage(dwError).c_str());
        return ePublishUsage;
    }

    CComInitScope com;
    CZepUpdateInfoAnalyzer analyzer;
    ZepXmlParseError parseError;

    // Step 1: the client's own loader decides whether the body is acceptable text and XML.
    const std::wstring strCheckPath = TempFileIn(TempFolder());
    if (strCheckPath.empty())
    {
        ConsoleErr(L"zepinfo publish: cannot create a temporary file\n");
        return ePublishOutputFailed;
    }
    {
        auto removeCheck = MakeScopeExit([&] { ::DeleteFileW(strCheckPath.c_str()); });
        if (!WriteWholeFile(strCheckPath, InfoFileFormat::BuildHeader(InfoFileFormat::kDigestNone, L"") + body,
                            dwError))
        {
            ConsoleErrPrintf(L"zepinfo publish: cannot write %s: %s\n", strCheckPath.c_str(),
                             SystemMessage(dwError).c_str());
            return ePublishOutputFailed;
        }
        const HRESULT hr = analyzer.Load(strCheckPath.c_str(), strService.c_str(), strCategory.c_str(), &parseError);
        if (FAILED(hr))
        {
            ConsoleErr(L"zepinfo publish: the body " + strBodyPath + L" is rejected; nothing written.\n");
            PrintLoadResult(analyzer, hr, parseError);
            return ePublishBodyRejected;
        }
    }

    CInfoBodyChecker checker;
    std::vector<CInfoBodyChecker::Finding> findings;
    HRESULT hr = checker.Check(analyzer.GetDocument(), findings);
    if (FAILED(hr))
    {
        ConsoleErrPrintf(L"zepinfo publish: the body cannot be examined (0x%08X)\n", static_cast<unsigned>(hr));
        return ePublishBodyRejected;
    }
    size_t cErrors = 0;
    for (const auto& finding : findings)
    {
        ConsoleOut(std::wstring(finding.bError ? L"error: " : L"warning: ") + finding.strWhere + L": " +
                   finding.strText + L"\n");
        if (finding.bError)
            ++cErrors;
    }
    if (cErrors > 0)
    {
        ConsoleErrPrintf(L"zepinfo publish: %zu missing or invalid part(s) in %s; nothing written.\n", cErrors,
                         strBodyPath.c_str());
        return ePublishBodyRejected;
    }

    // Step 2: header and digest, written beside the target and then moved into place.
    std::wstring strDigest;
    const ALG_ID algId = InfoFileFormat::DigestAlgorithm(strDigestId);
    if (algId != 0)
    {
        hr = InfoFileFormat::ComputeSaltedDigest(algId, reinterpret_cast<const BYTE*>(body.data()), body.size(),
                                                 strService, strCategory, strDigest);
        if (FAILED(hr))
        {
            ConsoleErrPrintf(L"zepinfo publish: hashing failed: 0x%08X %s\n", static_cast<unsigned>(hr),
                             ResultText(hr).c_str());
            return ePublishOutputFailed;
        }
    }
    const std::wstring strFolder = strOutRoot + L"\\" + strCategory + L"\\" + strService + L"\\info";
    const int nCreate = ::SHCreateDirectoryExW(nullptr, strFolder.c_str(), nullptr);
    if (nCreate != ERROR_SUCCESS && nCreate != ERROR_ALREADY_EXISTS && nCreate != ERROR_FILE_EXISTS)
    {
        ConsoleErrPrintf(L"zepinfo publish: cannot create %s: %s\n", strFolder.c_str(),
                         SystemMessage(static_cast<DWORD>(nCreate)).c_str());
        return ePublishOutputFailed;
    }
    const std::wstring strTarget = strFolder + L"\\info.xml";
    const std::string strInfo = InfoFileFormat::BuildHeader(strDigestId, strDigest) + body;
    std::string strSignature;
    hr = signing.key.SignatureFile(strInfo, strCategory, strService,
                                   signing.ullSerial, signing.strExpires, strSignature);
    if (FAILED(hr))
    {
        ConsoleErrPrintf(L"zepinfo publish: signing failed: 0x%08X %s\n", static_cast<unsigned>(hr),
                         ResultText(hr).c_str());
        return ePublishOutputFailed;
    }
    // A client that fetches between the two moves gets a pair that does not verify and refuses
    // it; its next check finds both in place.
    const std::pair<std::wstring, const std::string*> files[] = {{strTarget + L".sig", &strSignature},
                                                                 {strTarget, &strInfo}};
    for (const auto& file : files)
    {
        const std::wstring strPartial = file.first + L".partial";
        dwError = 0;
        if (!WriteWholeFile(strPartial, *file.second, dwError) ||
            !::MoveFileExW(strPartial.c_str(), file.first.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        {
            if (dwError == 0)
                dwError = ::GetLastError();
            ::DeleteFileW(strPartial.c_str());
            ConsoleErrPrintf(L"zepinfo publish: cannot write %s: %s\n", file.first.c_str(),
                             SystemMessage(dwError).c_str());
            return ePublishOutputFailed;
        }
    }

    // Step 4: what a player will do with it.
    const std::wstring strSignatureReport = CheckPublishedSignature(signing.key, strInfo, strSignature, strService,
                                                                    strCategory);
    if (!strSignatureReport.empty())
    {
        ConsoleErr(L"zepinfo publish: the written signature does not verify: " + strSignatureReport + L"; removed.\n");
        ::DeleteFileW(strTarget.c_str());
        ::DeleteFileW((strTarget + L".sig").c_str());
        return ePublishOutputFailed;
    }
    hr = analyzer.Load(strTarget.c_str(), strService.c_str(), strCategory.c_str(), &parseError);
    if (FAILED(hr))
    {
        ConsoleErr(L"zepinfo publish: the written file does not load; removed.\n");
        PrintLoadResult(analyzer, hr, parseError);
        ::DeleteFileW(strTarget.c_str());
        ::DeleteFileW((strTarget + L".sig").c_str());
        return ePublishOutputFailed;
    }
    std::wstring strKeyId;
    EcdsaP256::KeyId(signing.key.PublicPoint(), strKeyId);
    ConsoleOutPrintf(L"Signed %s.sig\n  key %s, serial %s, expires %s\n", strTarget.c_str(), strKeyId.c_str(),
                     std::to_wstring(signing.ullSerial).c_str(), signing.strExpires.c_str());
    if (!IsTrustedKey(signing.key.PublicPoint()))
        ConsoleOut(L"  warning: this build's client does not trust this key; clients built with it refuse the file\n");
    ConsoleOutPrintf(L"Published %s\n  service %s, category %s, digest %s%s%s\n  verified with the client's loader: OK\n",
                     strTarget.c_str(), strService.c_str(), strCategory.c_str(), strDigestId.c_str(),
                     strDigest.empty() ? L"" : L" ", strDigest.c_str());
    ConsoleOutPrintf(L"  URL path below the server's base URL: %s/%s/info/info.xml\n", strCategory.c_str(),
                     strService.c_str());
    return ePublishOk;
}
