// Loading and verifying an update information file.
#include <cstdarg>

#include "common/error_macros.h"
#include "common/scoped_bstr.h"
#include "common/scoped_variant.h"
#include "common/string_util.h"
#include "common/unique_resource.h"
#include "common/xml_doctype.h"
#include "oplogsys/format_buffer.h"
#include "update/info/info_file_format.h"
#include "update/info/info_log.h"
#include "update/info/zep_update_info_analyzer.h"
#include "update/info/zep_update_info_errors.h"

using Microsoft::WRL::ComPtr;
namespace Fmt = InfoFileFormat;

// Writes a failure's error lines to the log and keeps them, with a plain diagnosis, for callers
// that show them (the publishing tool, tests).
class CZepUpdateInfoAnalyzer::CLoadFailure
{
public:
    CLoadFailure(CInfoMethodLog& log, std::vector<std::wstring>& lines, std::wstring& diagnosis)
        : m_log(log), m_lines(lines), m_diagnosis(diagnosis)
    {
    }
    void Error(const wchar_t* pszText)
    {
        m_log.Error(pszText);
        m_lines.push_back(pszText);
    }
    void ErrorPrintf(const wchar_t* pszFormat, ...)
    {
        va_list args;
        va_start(args, pszFormat);
        const std::wstring strLine = opLogSys::Common::FormatLineV(pszFormat, args);
        va_end(args);
        Error(strLine.c_str());
    }
    void Diagnose(const std::wstring& strText) { m_diagnosis = strText; }

private:
    CInfoMethodLog& m_log;
    std::vector<std::wstring>& m_lines;
    std::wstring& m_diagnosis;
};

namespace
{
void LineAndPosition(const std::wstring& strText, size_t pos, LONG& lLine, LONG& lLinePos)
{
    lLine = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < pos && i < strText.size(); ++i)
    {
        if (strText[i] == L'\n')
        {
            ++lLine;
            lineStart = i + 1;
        }
    }
    lLinePos = static_cast<LONG>(pos - lineStart + 1);
}

HRESULT SetBoolProperty(IXMLDOMDocument2* pDoc, const wchar_t* pszName, bool bValue)
{
    CScopedBstr bstrName(pszName);
    VARIANT var;
    ::VariantInit(&var);
    var.vt = VT_BOOL;
    var.boolVal = bValue ? VARIANT_TRUE : VARIANT_FALSE;
    return pDoc->setProperty(bstrName, var);
}

HRESULT SetTextProperty(IXMLDOMDocument2* pDoc, const wchar_t* pszName, const wchar_t* pszValue)
{
    CScopedBstr bstrName(pszName);
    CScopedVariant var(pszValue);
    return pDoc->setProperty(bstrName, var.Get());
}
}  // namespace

void CZepUpdateInfoAnalyzer::ForgetLoadErrors(ZepXmlParseError* pParseError)
{
    m_vecLoadErrors.clear();
    m_strLoadDiagnosis.clear();
    if (pParseError)
        *pParseError = ZepXmlParseError();
}

HRESULT CZepUpdateInfoAnalyzer::Load(const wchar_t* pszPath, const wchar_t* pszServiceId, const wchar_t* pszCategory,
                                     ZepXmlParseError* pParseError)
{
    HRESULT hr = S_OK;
    CInfoMethodLog log(L"CZepUpdateInfoAnalyzer::Load", &hr);
    CLoadFailure failure(log, m_vecLoadErrors, m_strLoadDiagnosis);
    ForgetLoadErrors(pParseError);

    const std::wstring strPath = pszPath ? pszPath : L"";
    const std::wstring strServiceId = pszServiceId ? pszServiceId : L"";
    const std::wstring strCategory = pszCategory ? pszCategory : L"";

    UniqueHandle file(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
    {
        const HRESULT hrSys = HResultFromWin32(::GetLastError());
        failure.Error(L"File:Open Failed");
        failure.ErrorPrintf(L"- (HRESULT value=0x%08X)", static_cast<unsigned>(hrSys));
        failure.ErrorPrintf(L"- (path:%s)", strPath.c_str());
        failure.Diagnose(L"the file cannot be opened");
        return hr = ZEP_E_INFO_FILE_INVALID;
    }

    LARGE_INTEGER liSize = {};
    if (!::GetFileSizeEx(file.Get(), &liSize) || liSize.HighPart != 0)
    {
        // Files of 4 GiB or more are refused rather than read in part.
        const HRESULT hrSys = liSize.HighPart != 0 ? HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)
                                                   : HResultFromWin32(::GetLastError());
        failure.Error(L"File:Size Unknown");
        failure.ErrorPrintf(L"- (HRESULT value=0x%08X)", static_cast<unsigned>(hrSys));
        failure.Diagnose(L"the size of the file cannot be determined, or it is 4 GiB or more");
        return hr = ZEP_E_INFO_FILE_INVALID;
    }
    const DWORD cbFile = liSize.LowPart;
    if (cbFile == 0)
    {
        failure.Error(L"File:Size Zero");
        failure.Diagnose(L"the file is empty");
        return hr = ZEP_E_INFO_FILE_INVALID;
    }

    std::vector<BYTE> buffer;
    try
    {
        buffer.assign(static_cast<size_t>(cbFile) + 1, 0);
    }
    catch (const std::bad_alloc&)
    {
        failure.Error(L"File:Read Failed");
        failure.ErrorPrintf(L"- (HRESULT value=0x%08X)", static_cast<unsigned>(E_OUTOFMEMORY));
        failure.Diagnose(L"no memory to read the file");
        return hr = ZEP_E_INFO_FILE_INVALID;
    }
    DWORD cbRead = 0;
    while (cbRead < cbFile)
    {
        DWORD cbChunk = 0;
        if (!::ReadFile(file.Get(), buffer.data() + cbRead, cbFile - cbRead, &cbChunk, nullptr) || cbChunk == 0)
        {
            const HRESULT hrSys = cbChunk == 0 && ::GetLastError() == ERROR_SUCCESS
                                      ? HRESULT_FROM_WIN32(ERROR_HANDLE_EOF)
                                      : HResultFromWin32(::GetLastError());
            failure.Error(L"File:Read Failed");
            failure.ErrorPrintf(L"- (HRESULT value=0x%08X)", static_cast<unsigned>(hrSys));
            failure.Diagnose(L"the file cannot be read");
            return hr = ZEP_E_INFO_FILE_INVALID;
        }
        cbRead += cbChunk;
    }
    file.Reset();
    return hr = ParseBytes(buffer.data(), cbFile, strServiceId, strCategory, pParseError, failure);
}

HRESULT CZepUpdateInfoAnalyzer::LoadBytes(const BYTE* pData, size_t cbData, const wchar_t* pszServiceId,
                                          const wchar_t* pszCategory, ZepXmlParseError* pParseError)
{
    HRESULT hr = S_OK;
    CInfoMethodLog log(L"CZepUpdateInfoAnalyzer::Load", &hr);
    CLoadFailure failure(log, m_vecLoadErrors, m_strLoadDiagnosis);
    ForgetLoadErrors(pParseError);
    if (!pData || cbData == 0)
    {
        failure.Error(L"File:Size Zero");
        failure.Diagnose(L"the file is empty");
        return hr = ZEP_E_INFO_FILE_INVALID;
    }
    return hr = ParseBytes(pData, cbData, pszServiceId ? pszServiceId : L"", pszCategory ? pszCategory : L"",
                           pParseError, failure);
}

HRESULT CZepUpdateInfoAnalyzer::ParseBytes(const BYTE* pData, size_t cbFile, const std::wstring& strServiceId,
                                           const std::wstring& strCategory, ZepXmlParseError* pParseError,
                                           CLoadFailure& failure)
{
    size_t cbHeader = 0;
    if (!Fmt::FindHeaderEnd(pData, cbFile, cbHeader))
    {
        failure.Error(L"File:Invalid XML");
        failure.Diagnose(L"no blank line (two line feeds) ends the header; lines ending in CR LF do not count");
        return ZEP_E_INFO_FILE_INVALID;
    }
    const BYTE* pBody = pData + cbHeader;
    const size_t cbBody = cbFile - cbHeader;

    std::wstring strHeader;
    if (FAILED(Fmt::DecodeUtf8Strict(pData, cbHeader, strHeader)))
    {
        failure.Error(L"File:Charset Unknown");
        failure.Diagnose(L"the header is not valid UTF-8");
        return ZEP_E_INFO_FILE_INVALID;
    }

    Fmt::HeaderValues values;
    if (!Fmt::SplitHeader(strHeader, values))
    {
        failure.Diagnose(L"the header lacks one of the lines \"eaid:\", \"daid:\", \"digest:\" (in that order)");
        return ZEP_E_INFO_HEADER_INVALID;
    }
    if (!EqualsNoCase(values.m_strEncodingId, Fmt::kEncodingPlainUtf8))
    {
        failure.Diagnose(L"unsupported encoding identifier \"" + values.m_strEncodingId + L"\" (expected ENC0001)");
        return ZEP_E_INFO_FILE_INVALID;
    }
    if (!EqualsNoCase(values.m_strDigestId, Fmt::kDigestNone))
    {
        if (!Fmt::IsHexDigits(values.m_strDigest))
        {
            failure.Error(L"File:Header Part is Invalid");
            failure.Diagnose(L"the digest value is not hexadecimal");
            return ZEP_E_INFO_FILE_INVALID;
        }
        const ALG_ID algId = Fmt::DigestAlgorithm(values.m_strDigestId);
        std::wstring strExpected;
        const HRESULT hrHash = algId != 0 ? Fmt::ComputeSaltedDigest(algId, pBody, cbBody, strServiceId, strCategory,
                                                                      strExpected)
                                          : E_INVALIDARG;
        if (FAILED(hrHash) || !EqualsNoCase(values.m_strDigest, strExpected))
        {
            failure.Error(L"File:Body Part is Invalid");
            if (algId == 0)
                failure.Diagnose(L"unknown digest identifier \"" + values.m_strDigestId + L"\"");
            else if (FAILED(hrHash))
                failure.Diagnose(FormatString(L"the body cannot be hashed (0x%08X)", static_cast<unsigned>(hrHash)));
            else
                failure.Diagnose(L"the digest does not match this body for service \"" + strServiceId +
                                 L"\" and category \"" + strCategory + L"\"");
            return ZEP_E_INFO_HEADER_INVALID;
        }
    }

    std::wstring strBody;
    if (FAILED(Fmt::DecodeUtf8Strict(pBody, cbBody, strBody)))
    {
        failure.Error(L"File:Charset Unknown");
        failure.Diagnose(cbBody == 0 ? L"the body is empty" : L"the body is not valid UTF-8");
        return ZEP_E_INFO_FILE_INVALID;
    }

    return LoadDocument(strBody, pParseError, failure);
}

HRESULT CZepUpdateInfoAnalyzer::LoadDocument(const std::wstring& strText, ZepXmlParseError* pParseError,
                                             CLoadFailure& failure)
{
    // Whatever happens from here on, the previous document is gone.
    ForgetMatch();
    m_document.Reset();

    ComPtr<IXMLDOMDocument2> document;
    HRESULT hr = ::CoCreateInstance(CLSID_ZepDOMDocument60, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&document));
    if (FAILED(hr) || !document)
    {
        failure.Error(L"XML:cannot load Dom Instance");
        failure.Diagnose(FormatString(L"the MSXML 6.0 DOM document cannot be created (0x%08X)", static_cast<unsigned>(hr)));
        return ZEP_E_INFO_FILE_INVALID;
    }
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    SetBoolProperty(document.Get(), L"ProhibitDTD", true);
    SetTextProperty(document.Get(), L"SelectionLanguage", L"XPath");

    auto reportSyntax = [&](LONG lCode, LONG lLine, LONG lLinePos, const std::wstring& strReason) {
        failure.Error(L"XML:cannot load xml file");
        const std::wstring strWhere =
            lLine > 0 ? FormatString(L"line %ld, position %ld: ", lLine, lLinePos) : std::wstring();
        failure.Diagnose(L"the XML is not well formed: " + strWhere + Fmt::TrimWhiteSpace(strReason));
        if (pParseError)
        {
            pParseError->m_lErrorCode = lCode;
            pParseError->m_lLine = lLine;
            pParseError->m_lLinePos = lLinePos;
            pParseError->m_strReason = strReason;
        }
        return ZEP_E_INFO_FILE_INVALID;
    };

    // A byte-order mark belongs to the digested bytes, not to the text handed to the parser.
    const size_t posStart = !strText.empty() && strText[0] == 0xFEFF ? 1 : 0;
    const std::wstring strXml = strText.substr(posStart);

    size_t posDoctype = 0;
    if (FindXmlDoctype(strXml, posDoctype))
    {
        LONG lLine = 0, lLinePos = 0;
        LineAndPosition(strXml, posDoctype, lLine, lLinePos);
        return reportSyntax(ZEP_E_XML_DTD_PROHIBITED, lLine, lLinePos, L"DTD is prohibited.");
    }

    CScopedBstr bstrXml(strXml);
    VARIANT_BOOL vbLoaded = VARIANT_FALSE;
    hr = document->loadXML(bstrXml, &vbLoaded);
    if (FAILED(hr) || vbLoaded != VARIANT_TRUE)
    {
        ZepXmlParseError err;
        ComPtr<IXMLDOMParseError> parseError;
        if (SUCCEEDED(document->get_parseError(&parseError)) && parseError)
        {
            long lValue = 0;
            if (SUCCEEDED(parseError->get_errorCode(&lValue)))
                err.m_lErrorCode = lValue;
            if (SUCCEEDED(parseError->get_line(&lValue)))
                err.m_lLine = lValue;
            if (SUCCEEDED(parseError->get_linepos(&lValue)))
                err.m_lLinePos = lValue;
            CScopedBstr bstrReason;
            if (SUCCEEDED(parseError->get_reason(bstrReason.Receive())))
                err.m_strReason = bstrReason.ToString();
        }
        return reportSyntax(err.m_lErrorCode, err.m_lLine, err.m_lLinePos, err.m_strReason);
    }

    // The prolog scan is the guard; this catches a declaration the scan did not see.
    ComPtr<IXMLDOMDocumentType> doctype;
    if (SUCCEEDED(document->get_doctype(&doctype)) && doctype)
        return reportSyntax(ZEP_E_XML_DTD_PROHIBITED, 0, 0, L"DTD is prohibited.");

    m_document = document;
    return S_OK;
}
