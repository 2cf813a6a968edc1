#include "update/info/info_signature.h"

#include <wincrypt.h>

#include "common/error_macros.h"
#include "common/string_util.h"
#include "update/info/info_file_format.h"

namespace InfoSignature
{
namespace
{
const ULONGLONG kMaxSerial = 0x7FFFFFFFFFFFFFFFULL;

bool IsDigit(wchar_t ch) { return ch >= L'0' && ch <= L'9'; }

std::wstring TrimBlanks(const std::wstring& str)
{
    const size_t first = str.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::wstring();
    return str.substr(first, str.find_last_not_of(L" \t") - first + 1);
}

bool IsKeyId(const std::wstring& str)
{
    if (str.size() != 16)
        return false;
    for (wchar_t ch : str)
    {
        if (!IsDigit(ch) && !(ch >= L'a' && ch <= L'f'))
            return false;
    }
    return true;
}

bool DecodeBase64(const std::wstring& str, std::vector<BYTE>& bytes)
{
    if (str.empty() || str.size() % 4 != 0)
        return false;
    for (wchar_t ch : str)
    {
        const bool bOk = (ch >= L'A' && ch <= L'Z') || (ch >= L'a' && ch <= L'z') || IsDigit(ch) || ch == L'+' ||
                         ch == L'/' || ch == L'=';
        if (!bOk)
            return false;
    }
    DWORD cb = 0;
    if (!::CryptStringToBinaryW(str.c_str(), static_cast<DWORD>(str.size()), CRYPT_STRING_BASE64, nullptr, &cb,
                                nullptr, nullptr) ||
        cb == 0)
        return false;
    bytes.resize(cb);
    if (!::CryptStringToBinaryW(str.c_str(), static_cast<DWORD>(str.size()), CRYPT_STRING_BASE64, bytes.data(), &cb,
                                nullptr, nullptr))
        return false;
    bytes.resize(cb);
    return true;
}

// Whether the information file's own header digest holds for the service and category; true
// also when it has none to check.
bool DigestSaltedFor(const std::string& strInfo, const std::wstring& strService, const std::wstring& strCategory)
{
    const BYTE* pInfo = reinterpret_cast<const BYTE*>(strInfo.data());
    size_t cbHeader = 0;
    std::wstring strHeader;
    InfoFileFormat::HeaderValues values;
    if (!InfoFileFormat::FindHeaderEnd(pInfo, strInfo.size(), cbHeader) ||
        FAILED(InfoFileFormat::DecodeUtf8Strict(pInfo, cbHeader, strHeader)) ||
        !InfoFileFormat::SplitHeader(strHeader, values))
        return true;
    const ALG_ID algId = InfoFileFormat::DigestAlgorithm(values.m_strDigestId);
    if (algId == 0)
        return true;
    std::wstring strExpected;
    if (FAILED(InfoFileFormat::ComputeSaltedDigest(algId, pInfo + cbHeader, strInfo.size() - cbHeader, strService,
                                                   strCategory, strExpected)))
        return true;
    return EqualsNoCase(values.m_strDigest, strExpected);
}

void Refuse(Outcome& outcome, EVerdict eVerdict, const std::wstring& strLine, const std::wstring& strDetail,
            const std::wstring& strDiagnosis)
{
    outcome.eVerdict = eVerdict;
    outcome.strErrorLine = strLine;
    outcome.strDetailLine = strDetail;
    outcome.strDiagnosis = strDiagnosis;
}
}  // namespace

bool ParseSerial(const std::wstring& strText, ULONGLONG& ullSerial)
{
    if (strText.empty() || strText.size() > 19 || strText[0] == L'0')
        return false;
    ULONGLONG ull = 0;
    for (wchar_t ch : strText)
    {
        if (!IsDigit(ch))
            return false;
        ull = ull * 10 + static_cast<ULONGLONG>(ch - L'0');
    }
    if (ull > kMaxSerial)
        return false;
    ullSerial = ull;
    return true;
}

bool ParseTime(const std::wstring& strText, FILETIME& ft)
{
    static const wchar_t kPattern[] = L"dddd-dd-ddTdd:dd:ddZ";
    if (strText.size() != wcslen(kPattern))
        return false;
    for (size_t i = 0; i < strText.size(); ++i)
    {
        if (kPattern[i] == L'd' ? !IsDigit(strText[i]) : strText[i] != kPattern[i])
            return false;
    }
    auto number = [&](size_t pos, size_t cch) {
        WORD w = 0;
        for (size_t i = 0; i < cch; ++i)
            w = static_cast<WORD>(w * 10 + (strText[pos + i] - L'0'));
        return w;
    };
    SYSTEMTIME st = {};
    st.wYear = number(0, 4);
    st.wMonth = number(5, 2);
    st.wDay = number(8, 2);
    st.wHour = number(11, 2);
    st.wMinute = number(14, 2);
    st.wSecond = number(17, 2);
    if (st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59)
        return false;
    // The conversion refuses a day the month does not have; the round trip catches the rest.
    SYSTEMTIME back = {};
    return ::SystemTimeToFileTime(&st, &ft) && ::FileTimeToSystemTime(&ft, &back) && back.wDay == st.wDay &&
           back.wMonth == st.wMonth;
}

std::wstring FormatTime(const FILETIME& ft)
{
    SYSTEMTIME st = {};
    if (!::FileTimeToSystemTime(&ft, &st))
        return std::wstring();
    return FormatString(L"%04u-%02u-%02uT%02u:%02u:%02uZ", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                        st.wSecond);
}

bool Parse(const std::string& strText, Fields& fields, std::wstring& strProblem)
{
    fields = Fields();
    if (strText.empty())
    {
        strProblem = L"the signature file is empty";
        return false;
    }
    if (strText.size() > kMaxSignatureFileBytes)
    {
        strProblem = FormatString(L"the signature file is larger than %u bytes", static_cast<unsigned>(kMaxSignatureFileBytes));
        return false;
    }
    std::wstring strWide;
    if (FAILED(InfoFileFormat::DecodeUtf8Strict(reinterpret_cast<const BYTE*>(strText.data()), strText.size(), strWide)))
    {
        strProblem = L"the signature file is not UTF-8 text";
        return false;
    }
    bool bKey = false, bSerial = false, bExpires = false, bSignature = false;
    size_t start = 0;
    int nLine = 0;
    while (start <= strWide.size())
    {
        size_t end = strWide.find(L'\n', start);
        if (end == std::wstring::npos)
            end = strWide.size();
        std::wstring strLine = strWide.substr(start, end - start);
        start = end + 1;
        ++nLine;
        if (!strLine.empty() && strLine.back() == L'\r')
            strLine.pop_back();
        if (strLine.empty())
            continue;
        const size_t colon = strLine.find(L':');
        const std::wstring strName = colon == std::wstring::npos ? std::wstring() : strLine.substr(0, colon);
        const std::wstring strValue = colon == std::wstring::npos ? std::wstring() : TrimBlanks(strLine.substr(colon + 1));
        bool* pbSeen = strName == L"key" ? &bKey : strName == L"serial" ? &bSerial : strName == L"expires" ? &bExpires
                       : strName == L"signature"                        ? &bSignature
                                                                        : nullptr;
        if (!pbSeen)
        {
            strProblem = FormatString(L"line %d is not one of key:, serial:, expires:, signature:", nLine);
            return false;
        }
        if (*pbSeen)
        {
            strProblem = FormatString(L"line %d repeats \"%s:\"", nLine, strName.c_str());
            return false;
        }
        *pbSeen = true;
        bool bValid = false;
        if (pbSeen == &bKey)
        {
            fields.strKeyId = strValue;
            bValid = IsKeyId(strValue);
        }
        else if (pbSeen == &bSerial)
            bValid = ParseSerial(strValue, fields.ullSerial);
        else if (pbSeen == &bExpires)
        {
            fields.strExpires = strValue;
            bValid = ParseTime(strValue, fields.ftExpires);
        }
        else
        {
            std::array<BYTE, EcdsaP256::kRawSignatureBytes> raw;
            bValid = DecodeBase64(strValue, fields.der) && EcdsaP256::DerToRaw(fields.der, raw);
        }
        if (!bValid)
        {
            static const std::pair<const wchar_t*, const wchar_t*> kExpected[] = {
                {L"key", L"16 lower-case hexadecimal digits"},
                {L"serial", L"a decimal number from 1 to 9223372036854775807 without leading zeros"},
                {L"expires", L"a time written YYYY-MM-DDTHH:MM:SSZ"},
                {L"signature", L"base64 of a DER ECDSA P-256 signature"},
            };
            for (const auto& expected : kExpected)
            {
                if (strName == expected.first)
                    strProblem = FormatString(L"line %d: \"%s:\" must be %s", nLine, expected.first, expected.second);
            }
            return false;
        }
    }
    if (!bKey || !bSerial || !bExpires || !bSignature)
    {
        strProblem = std::wstring(L"the line \"") + (!bKey ? L"key" : !bSerial ? L"serial" : !bExpires ? L"expires" : L"signature") +
                     L":\" is missing";
        return false;
    }
    return true;
}

std::string Message(const std::wstring& strCategory, const std::wstring& strService, ULONGLONG ullSerial,
                    const std::wstring& strExpires, const std::wstring& strInfoSha256)
{
    return "velomar-update-info-v1\ncategory: " + WideToUtf8(strCategory) + "\nservice: " + WideToUtf8(strService) +
           "\nserial: " + std::to_string(ullSerial) + "\nexpires: " + WideToUtf8(strExpires) +
           "\nsha256: " + WideToUtf8(strInfoSha256) + "\n";
}

HRESULT Check(const Request& request, Outcome& outcome)
{
    outcome = Outcome();
    RETURN_HR_IF(E_POINTER, !request.pInfo || !request.pKeys);
    if (!request.pSignature)
    {
        Refuse(outcome, EVerdict::Missing, L"Signature:Missing", L"- (no info.xml.sig beside the information file)",
               L"there is no signature file (info.xml.sig) beside the information file");
        return S_OK;
    }
    Fields fields;
    std::wstring strProblem;
    if (!Parse(*request.pSignature, fields, strProblem))
    {
        Refuse(outcome, EVerdict::Malformed, L"Signature:Invalid Format", L"- (" + strProblem + L")",
               L"the signature file is not valid: " + strProblem);
        return S_OK;
    }
    outcome.ullSerial = fields.ullSerial;

    const EcdsaP256::PublicPoint* pKey = nullptr;
    for (const EcdsaP256::PublicPoint& key : *request.pKeys)
    {
        std::wstring strId;
        RETURN_IF_FAILED(EcdsaP256::KeyId(key, strId));
        if (strId == fields.strKeyId)
            pKey = &key;
    }
    if (!pKey)
    {
        Refuse(outcome, EVerdict::UnknownKey, L"Signature:Unknown Key", L"- (key:" + fields.strKeyId + L")",
               L"the file is signed with key " + fields.strKeyId + L", which this client does not trust");
        return S_OK;
    }

    EcdsaP256::Digest infoDigest;
    RETURN_IF_FAILED(
        EcdsaP256::Sha256(reinterpret_cast<const BYTE*>(request.pInfo->data()), request.pInfo->size(), infoDigest));
    const std::string strMessage = Message(request.strCategory, request.strService, fields.ullSerial,
                                           fields.strExpires, HexLower(infoDigest.data(), infoDigest.size()));
    EcdsaP256::Digest messageDigest;
    RETURN_IF_FAILED(
        EcdsaP256::Sha256(reinterpret_cast<const BYTE*>(strMessage.data()), strMessage.size(), messageDigest));
    std::array<BYTE, EcdsaP256::kRawSignatureBytes> raw;
    EcdsaP256::DerToRaw(fields.der, raw);
    bool bValid = false;
    RETURN_IF_FAILED(EcdsaP256::Verify(*pKey, messageDigest, raw, bValid));
    if (!bValid)
    {
        if (!DigestSaltedFor(*request.pInfo, request.strService, request.strCategory))
            Refuse(outcome, EVerdict::WrongServiceOrCategory, L"Signature:Wrong Service or Category",
                   L"- (service:" + request.strService + L", category:" + request.strCategory + L")",
                   L"the signature does not hold for service \"" + request.strService + L"\" and category \"" +
                       request.strCategory + L"\", and the file's own digest is not salted with them either: "
                       L"the file was published for another service or category, or its body was changed");
        else
            Refuse(outcome, EVerdict::BadSignature, L"Signature:Bad Signature", L"- (key:" + fields.strKeyId + L")",
                   L"the signature does not hold: the information file or its signature was changed after signing");
        return S_OK;
    }
    if (CompareFileTime(&request.ftNow, &fields.ftExpires) >= 0)
    {
        Refuse(outcome, EVerdict::Expired, L"Signature:Expired", L"- (expires:" + fields.strExpires + L")",
               L"the signature expired at " + fields.strExpires);
        return S_OK;
    }
    if (fields.ullSerial < request.ullHighestSerial)
    {
        const std::wstring strSerial = std::to_wstring(fields.ullSerial);
        const std::wstring strAccepted = std::to_wstring(request.ullHighestSerial);
        Refuse(outcome, EVerdict::SerialLowered, L"Signature:Serial Lower Than Accepted",
               L"- (serial:" + strSerial + L", accepted:" + strAccepted + L")",
               L"serial " + strSerial + L" is lower than " + strAccepted +
                   L", the highest this machine accepted for the service: an older file served again");
        return S_OK;
    }
    outcome.eVerdict = EVerdict::Valid;
    return S_OK;
}
}  // namespace InfoSignature
