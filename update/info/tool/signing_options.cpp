#include "update/info/tool/signing_options.h"

#include "update/info/info_signature.h"
#include "update/info/tool/console.h"
#include "update/info/trusted_update_keys.h"

namespace
{
const ULONGLONG kTicksPerSecond = 10000000ULL;
// 1970-01-01 in FILETIME ticks.
const ULONGLONG kUnixEpochTicks = 116444736000000000ULL;
const ULONGLONG kDefaultLifetimeSeconds = 30ULL * 24 * 60 * 60;

ULONGLONG Ticks(const FILETIME& ft)
{
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME FromTicks(ULONGLONG ull)
{
    FILETIME ft = {static_cast<DWORD>(ull), static_cast<DWORD>(ull >> 32)};
    return ft;
}
}  // namespace

bool ReadSigningOptions(const wchar_t* pszName, const CCommandLine& cmd, SigningOptions& options)
{
    const std::wstring strPrefix = std::wstring(L"zepinfo ") + pszName + L": ";
    if (!cmd.Has(L"key"))
    {
        ConsoleErr(strPrefix + L"--key KEY.pem is required: clients refuse information files without a signature\n");
        return false;
    }
    std::wstring strProblem;
    if (!options.key.LoadPemFile(cmd.Get(L"key"), strProblem))
    {
        ConsoleErr(strPrefix + strProblem + L"\n");
        return false;
    }
    FILETIME ftNow = {};
    ::GetSystemTimeAsFileTime(&ftNow);
    const ULONGLONG ullNowSeconds = (Ticks(ftNow) - kUnixEpochTicks) / kTicksPerSecond;
    options.ullSerial = ullNowSeconds;
    if (cmd.Has(L"serial") && !InfoSignature::ParseSerial(cmd.Get(L"serial"), options.ullSerial))
    {
        ConsoleErr(strPrefix + L"--serial must be a number from 1 to 9223372036854775807 without leading zeros\n");
        return false;
    }
    FILETIME ftExpires = FromTicks(kUnixEpochTicks + (ullNowSeconds + kDefaultLifetimeSeconds) * kTicksPerSecond);
    if (cmd.Has(L"expires"))
    {
        std::wstring strExpires = cmd.Get(L"expires");
        if (strExpires.size() == 10)
            strExpires += L"T00:00:00Z";
        if (!InfoSignature::ParseTime(strExpires, ftExpires))
        {
            ConsoleErr(strPrefix + L"--expires must be YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ (UTC)\n");
            return false;
        }
        if (CompareFileTime(&ftExpires, &ftNow) <= 0)
            ConsoleErr(strPrefix + L"warning: --expires " + strExpires + L" has passed; clients refuse the file\n");
    }
    options.strExpires = InfoSignature::FormatTime(ftExpires);
    return true;
}

std::wstring CheckPublishedSignature(const CUpdateSigningKey& key, const std::string& strInfo,
                                     const std::string& strSignature, const std::wstring& strService,
                                     const std::wstring& strCategory)
{
    const std::vector<EcdsaP256::PublicPoint> keys = {key.PublicPoint()};
    InfoSignature::Request request;
    request.pInfo = &strInfo;
    request.pSignature = &strSignature;
    request.strService = strService;
    request.strCategory = strCategory;
    request.pKeys = &keys;
    InfoSignature::Outcome outcome;
    if (FAILED(InfoSignature::Check(request, outcome)))
        return L"the signature cannot be checked";
    // An expiry already passed was warned about; everything else must hold.
    if (outcome.eVerdict == InfoSignature::EVerdict::Valid || outcome.eVerdict == InfoSignature::EVerdict::Expired)
        return std::wstring();
    return outcome.strDiagnosis;
}

bool IsTrustedKey(const EcdsaP256::PublicPoint& point)
{
    for (const EcdsaP256::PublicPoint& trusted : TrustedUpdateKeys())
    {
        if (trusted == point)
            return true;
    }
    return false;
}
