// Evaluation of a loaded update information document.
#include "update/info/zep_update_info_analyzer.h"

#include "common/string_util.h"
#include "update/info/info_log.h"
#include "update/info/registry_value_reader.h"
#include "update/info/rule_operators.h"
#include "update/info/system_info.h"
#include "update/info/xml_dom_util.h"
#include "update/info/zep_update_info_errors.h"

using Microsoft::WRL::ComPtr;
using XmlDom::XPathLiteral;

namespace
{
const wchar_t kStatusOpen[] = L"open";
const wchar_t kStatusManualOnly[] = L"manual-only";

// A mandatory attribute: absent is ZEP_E_INFO_FILE_INVALID.
HRESULT RequireAttribute(IXMLDOMNamedNodeMap* pAttributes, const wchar_t* pszName, std::wstring& strValue)
{
    const HRESULT hr = XmlDom::GetAttribute(pAttributes, pszName, strValue);
    if (FAILED(hr))
        return hr;
    return hr == S_OK ? S_OK : ZEP_E_INFO_FILE_INVALID;
}

HRESULT RequireAttribute(IXMLDOMNode* pNode, const wchar_t* pszName, std::wstring& strValue)
{
    const HRESULT hr = XmlDom::GetAttribute(pNode, pszName, strValue);
    if (FAILED(hr))
        return hr;
    return hr == S_OK ? S_OK : ZEP_E_INFO_FILE_INVALID;
}

// Leading white space, an optional sign, then decimal digits; 0 when there are none. Values
// beyond 32 bits saturate and negative sizes count as 0 rather than wrapping.
DWORD ParseSize(const std::wstring& strSize)
{
    size_t i = 0;
    while (i < strSize.size() && iswspace(strSize[i]))
        ++i;
    bool bNegative = false;
    if (i < strSize.size() && (strSize[i] == L'+' || strSize[i] == L'-'))
        bNegative = strSize[i++] == L'-';
    ULONGLONG ull = 0;
    for (; i < strSize.size() && strSize[i] >= L'0' && strSize[i] <= L'9'; ++i)
    {
        ull = ull * 10 + static_cast<ULONGLONG>(strSize[i] - L'0');
        if (ull > 0xFFFFFFFFull)
            ull = 0xFFFFFFFFull;
    }
    return bNegative ? 0 : static_cast<DWORD>(ull);
}

HRESULT CopyToBstr(const std::wstring& str, BSTR& bstr)
{
    bstr = ::SysAllocStringLen(str.data(), static_cast<UINT>(str.size()));
    return bstr ? S_OK : E_OUTOFMEMORY;
}

// Splits "A\B\M...\V" into its registry parts; false with fewer than three components.
bool SplitRegistryKey(const std::wstring& strKey, std::wstring& strA, std::wstring& strB, std::wstring& strM,
                      std::wstring& strV)
{
    const size_t posA = strKey.find(L'\\');
    if (posA == std::wstring::npos)
        return false;
    const size_t posB = strKey.find(L'\\', posA + 1);
    if (posB == std::wstring::npos)
        return false;
    const size_t posV = strKey.rfind(L'\\');
    strA = strKey.substr(0, posA);
    strB = strKey.substr(posA + 1, posB - posA - 1);
    strM = posV > posB ? strKey.substr(posB + 1, posV - posB - 1) : std::wstring();
    strV = strKey.substr(posV + 1);
    return true;
}
}  // namespace

CZepUpdateInfoAnalyzer::CZepUpdateInfoAnalyzer()
    : m_nMatchedCondition(0), m_pfnVersionCheck(nullptr), m_pVersionCheckContext(nullptr)
{
}

CZepUpdateInfoAnalyzer::~CZepUpdateInfoAnalyzer() = default;

void CZepUpdateInfoAnalyzer::SetVersionCheckCallback(PFN_ZEP_VERSION_CHECK pfnCallback, void* pContext) noexcept
{
    m_pfnVersionCheck = pfnCallback;
    m_pVersionCheckContext = pContext;
}

void CZepUpdateInfoAnalyzer::ForgetMatch() noexcept
{
    m_description.Reset();
    m_distributions.Reset();
    m_nMatchedCondition = 0;
}

bool CZepUpdateInfoAnalyzer::CompareValue(const std::wstring& a, const std::wstring& b, const std::wstring& op)
{
    return RuleOperators::Evaluate(a, b, op);
}

HRESULT CZepUpdateInfoAnalyzer::Exist(const ClientFacts& facts, int* pnForce, int* pnExist)
{
    HRESULT hr = S_OK;
    CInfoMethodLog log(L"CZepUpdateInfoAnalyzer::Exist", &hr);
    if (!pnForce || !pnExist)
        return hr = E_POINTER;
    *pnExist = 0;
    ForgetMatch();
    if (!m_document)
        return hr = ZEP_E_INFO_FILE_INVALID;

    ComPtr<IXMLDOMNode> root;
    hr = XmlDom::SelectSingle(m_document.Get(), L"/InformationFile", root);
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE)
        return hr = ZEP_E_INFO_FILE_INVALID;
    std::wstring strNoop;
    hr = RequireAttribute(root.Get(), L"Noop", strNoop);
    if (FAILED(hr))
        return hr;
    if (strNoop == L"true")
        return hr = S_OK;

    ComPtr<IXMLDOMNodeList> conditions;
    long cConditions = 0;
    hr = XmlDom::SelectList(m_document.Get(), L"/InformationFile/ApplyConditions/ApplyCondition", conditions,
                            cConditions);
    if (FAILED(hr))
        return hr;

    // Each condition is taken from the one list and its rules are selected below it: selecting
    // "ApplyCondition[i]" from the root for every i costs a walk over all conditions each time,
    // and a file of a few thousand conditions then takes minutes.
    for (long i = 1; i <= cConditions; ++i)
    {
        ComPtr<IXMLDOMNode> condition;
        hr = conditions->nextNode(&condition);
        if (FAILED(hr))
            return hr;
        if (!condition)
            break;
        ComPtr<IXMLDOMNodeList> rules;
        long cRules = 0;
        hr = XmlDom::SelectList(condition.Get(), L"Rules/Rule", rules, cRules);
        if (FAILED(hr))
            return hr;
        if (cRules == 0)
            continue;

        bool bAllHold = true;
        for (long r = 0; r < cRules && bAllHold; ++r)
        {
            ComPtr<IXMLDOMNode> rule;
            hr = rules->nextNode(&rule);
            if (FAILED(hr))
                return hr;
            ComPtr<IXMLDOMNamedNodeMap> attributes;
            if (!rule || FAILED(hr = rule->get_attributes(&attributes)))
                return hr = FAILED(hr) ? hr : E_POINTER;
            bool bHolds = false;
            hr = CheckRule(attributes.Get(), facts, &bHolds);
            if (FAILED(hr))
                return hr;
            bAllHold = bHolds;
        }
        if (!bAllHold)
            continue;

        std::wstring strForce;
        hr = RequireAttribute(condition.Get(), L"Force", strForce);
        if (FAILED(hr))
            return hr;

        ComPtr<IXMLDOMNode> description;
        hr = SelectDescription(condition.Get(), description);
        if (FAILED(hr))
            return hr;

        ComPtr<IXMLDOMNode> distributions;
        hr = XmlDom::SelectSingle(condition.Get(), L"Distributions", distributions);
        if (FAILED(hr))
            return hr;
        if (hr == S_FALSE)
            return hr = ZEP_E_INFO_FILE_INVALID;
        long cPackages = 0;
        hr = XmlDom::CountElementChildren(distributions.Get(), cPackages);
        if (FAILED(hr))
            return hr;
        // The result record has room for this many packages; more would be lost silently.
        if (cPackages > ZEP_MAX_DOWNLOAD_SOFTWARE)
            return hr = ZEP_E_INFO_FILE_INVALID;

        *pnForce = strForce == L"true" ? 1 : 0;
        *pnExist = 1;
        m_description = description;
        m_distributions = distributions;
        m_nMatchedCondition = static_cast<int>(i);
        return hr = S_OK;
    }

    log.Trace(L"Update Not Found");
    return hr = S_OK;
}

HRESULT CZepUpdateInfoAnalyzer::SelectDescription(IXMLDOMNode* pCondition, ComPtr<IXMLDOMNode>& description)
{
    description.Reset();
    HRESULT hr = S_OK;
    std::wstring strLanguage;
    if (SUCCEEDED(GetUserLanguageName(strLanguage)) && !strLanguage.empty())
    {
        hr = XmlDom::SelectSingle(pCondition, L"Descriptions/Description[@Lang=" + XPathLiteral(strLanguage) + L"]",
                                  description);
        if (FAILED(hr))
            return hr;
        if (hr == S_OK)
            return S_OK;
    }

    ComPtr<IXMLDOMNode> descriptions;
    hr = XmlDom::SelectSingle(pCondition, L"Descriptions", descriptions);
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE)
        return E_POINTER;
    std::wstring strDefault;
    hr = XmlDom::GetAttribute(descriptions.Get(), L"DefaultLang", strDefault);
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE)
        return E_POINTER;
    hr = XmlDom::SelectSingle(descriptions.Get(), L"Description[@Lang=" + XPathLiteral(strDefault) + L"]",
                              description);
    if (FAILED(hr))
        return hr;
    return hr == S_OK ? S_OK : ZEP_E_INFO_FILE_INVALID;
}

HRESULT CZepUpdateInfoAnalyzer::CheckRule(IXMLDOMNamedNodeMap* pAttributes, const ClientFacts& facts, bool* pbHolds)
{
    if (!pbHolds)
        return E_POINTER;
    *pbHolds = false;
    std::wstring strType, strKey, strValue, strOperator;
    HRESULT hr = RequireAttribute(pAttributes, L"Type", strType);
    if (SUCCEEDED(hr))
        hr = RequireAttribute(pAttributes, L"Key", strKey);
    if (SUCCEEDED(hr))
        hr = RequireAttribute(pAttributes, L"Value", strValue);
    if (SUCCEEDED(hr))
        hr = RequireAttribute(pAttributes, L"Operator", strOperator);
    if (FAILED(hr))
        return hr;

    if (strType == L"Software" && strKey == facts.m_strModel)
    {
        *pbHolds = CompareValue(facts.m_strCurrentVersion, strValue, strOperator);
        return S_OK;
    }
    if (strType == L"System")
    {
        static const struct
        {
            const wchar_t* pszKey;
            std::wstring ClientFacts::*pField;
        } kSystemKeys[] = {
            {L"Model", &ClientFacts::m_strModel},
            {L"OSName", &ClientFacts::m_strOSName},
            {L"OSVersion", &ClientFacts::m_strOSVersion},
            {L"OSEdition", &ClientFacts::m_strOSEdition},
            {L"OSServicePack", &ClientFacts::m_strOSServicePack},
            {L"Nation", &ClientFacts::m_strNation},
            {L"Language", &ClientFacts::m_strLanguage},
            {L"SerialNo", &ClientFacts::m_strSerialNumber},
            {L"ClientVersion", &ClientFacts::m_strClientVersion},
            {L"ProductionMode", &ClientFacts::m_strProductionMode},
        };
        if (strKey == L"FirmwareVersion")
            return CheckFirmwareRule(facts, strValue, strOperator, pbHolds);
        for (const auto& entry : kSystemKeys)
        {
            if (strKey == entry.pszKey)
            {
                *pbHolds = CompareValue(facts.*(entry.pField), strValue, strOperator);
                return S_OK;
            }
        }
        return S_OK;
    }
    if (strType == L"Registry")
        return CheckRegistryRule(strKey, strValue, strOperator, pbHolds);
    if (strType == L"Extended")
        return CheckExtendedRule(facts, strValue, strOperator, pbHolds);
    return S_OK;
}

HRESULT CZepUpdateInfoAnalyzer::CheckFirmwareRule(const ClientFacts& facts, const std::wstring& strValue,
                                                  const std::wstring& strOperator, bool* pbHolds)
{
    // Without anybody to compare firmware versions the rule cannot be shown to hold.
    if (!m_pfnVersionCheck)
        return S_OK;
    const LONG lResult = m_pfnVersionCheck(m_pVersionCheckContext, facts.m_strCurrentVersion.c_str(), strValue.c_str(),
                                           RuleOperators::RuleNumber(strOperator));
    if (lResult < 0)
        return static_cast<HRESULT>(lResult);
    *pbHolds = lResult == 0;
    return S_OK;
}

HRESULT CZepUpdateInfoAnalyzer::CheckRegistryRule(const std::wstring& strKey, const std::wstring& strValue,
                                                  const std::wstring& strOperator, bool* pbHolds)
{
    std::wstring strA, strB, strM, strV, strData;
    bool bFound = false;
    if (SplitRegistryKey(strKey, strA, strB, strM, strV))
    {
        RegistryValueReader reader;
        reader.SetPath(strA, strB, strM);
        bFound = reader.GetValue(strV, strData);
    }
    if (!bFound)
        *pbHolds = strOperator == L"NotExist";
    else if (strOperator == L"Exist")
        *pbHolds = true;
    else
        *pbHolds = CompareValue(strData, strValue, strOperator);
    return S_OK;
}

HRESULT CZepUpdateInfoAnalyzer::CheckExtendedRule(const ClientFacts& facts, const std::wstring& strValue,
                                                  const std::wstring& strOperator, bool* pbHolds)
{
    ComPtr<IXMLDOMNode> extension;
    HRESULT hr = XmlDom::SelectSingle(
        m_document.Get(), L"/InformationFile/Extensions/Extension[@Key=" + XPathLiteral(facts.m_strExtensionKey) + L"]",
        extension);
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE)
        return S_OK;
    std::wstring strActual;
    hr = XmlDom::GetAttribute(extension.Get(), L"Value", strActual);
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE)
        return E_POINTER;
    *pbHolds = CompareValue(strActual, strValue, strOperator);
    return S_OK;
}

HRESULT CZepUpdateInfoAnalyzer::GetServiceStatus(const std::wstring& strModel, std::wstring& strStatus)
{
    strStatus.clear();
    if (!m_document)
        return ZEP_E_INFO_FILE_INVALID;
    ComPtr<IXMLDOMNode> node;
    HRESULT hr = XmlDom::SelectSingle(
        m_document.Get(),
        L"/InformationFile/ControlConditions/ControlCondition[@Model=" + XPathLiteral(strModel) + L"]", node);
    if (FAILED(hr))
        return hr;
    if (hr == S_OK)
        return RequireAttribute(node.Get(), L"ServiceStatus", strStatus);
    hr = XmlDom::SelectSingle(m_document.Get(), L"/InformationFile/ControlConditions", node);
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE)
        return ZEP_E_INFO_FILE_INVALID;
    return RequireAttribute(node.Get(), L"DefaultServiceStatus", strStatus);
}

HRESULT CZepUpdateInfoAnalyzer::IsServiceOpen(const std::wstring& strModel, zepUpdateCheckMode eMode, bool* pbOpen)
{
    if (!pbOpen)
        return E_POINTER;
    *pbOpen = false;
    zepUpdateCheckMode eOpenFor = eAUTO;
    bool bOpen = false;
    const HRESULT hr = ResolveServiceStatus(strModel, &eOpenFor, &bOpen);
    if (FAILED(hr))
        return hr;
    // Open: for every check; manual only: for the user's own checks.
    *pbOpen = bOpen && (eOpenFor == eAUTO || eMode == eMANUAL);
    return S_OK;
}

HRESULT CZepUpdateInfoAnalyzer::ResolveServiceStatus(const std::wstring& strModel, zepUpdateCheckMode* peMode,
                                                     bool* pbOpen)
{
    if (!pbOpen || !peMode)
        return E_POINTER;
    *pbOpen = false;
    std::wstring strStatus;
    const HRESULT hr = GetServiceStatus(strModel, strStatus);
    if (FAILED(hr))
        return hr;
    if (strStatus == kStatusOpen)
    {
        *pbOpen = true;
        *peMode = eAUTO;
    }
    else if (strStatus == kStatusManualOnly)
    {
        *pbOpen = true;
        *peMode = eMANUAL;
    }
    return S_OK;
}

HRESULT CZepUpdateInfoAnalyzer::GetNewVersionInfo(ZEP_NEW_VERSION_INFO* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    ZEP_NEW_VERSION_INFO info = {};
    // Built aside and handed over whole, so an error leaves the caller's record as it was.
    auto fill = [&]() -> HRESULT {
        std::wstring strDetail;
        if (m_description)
        {
            HRESULT hr = XmlDom::GetText(m_description.Get(), strDetail);
            if (FAILED(hr))
                return hr;
        }
        HRESULT hr = CopyToBstr(strDetail, info.m_bstrUpdateDetail);
        if (FAILED(hr) || !m_distributions)
            return hr;
        long cPackages = 0;
        hr = XmlDom::CountElementChildren(m_distributions.Get(), cPackages);
        if (FAILED(hr))
            return hr;
        if (cPackages > ZEP_MAX_DOWNLOAD_SOFTWARE)
            return ZEP_E_INFO_FILE_INVALID;
        for (long i = 0; i < cPackages; ++i)
        {
            ComPtr<IXMLDOMNode> package;
            hr = XmlDom::GetElementChild(m_distributions.Get(), i, package);
            if (FAILED(hr))
                return hr;
            ComPtr<IXMLDOMNamedNodeMap> attributes;
            hr = package ? package->get_attributes(&attributes) : E_POINTER;
            if (FAILED(hr))
                return hr;
            std::wstring strId, strVersion, strUri, strMac, strSize;
            if (FAILED(hr = RequireAttribute(attributes.Get(), L"ID", strId)) ||
                FAILED(hr = RequireAttribute(attributes.Get(), L"Version", strVersion)) ||
                FAILED(hr = RequireAttribute(attributes.Get(), L"URI", strUri)) ||
                FAILED(hr = RequireAttribute(attributes.Get(), L"MAC", strMac)) ||
                FAILED(hr = RequireAttribute(attributes.Get(), L"Size", strSize)))
                return hr;
            ZEP_DOWNLOAD_SOFTWARE_INFO& sw = info.m_stDownloadSoftwareInfos[i];
            if (FAILED(hr = CopyToBstr(strId, sw.m_bstrSoftwareName)) ||
                FAILED(hr = CopyToBstr(strVersion, sw.m_bstrNewVersion)) ||
                FAILED(hr = CopyToBstr(strUri, sw.m_bstrURL)) || FAILED(hr = CopyToBstr(strMac, sw.m_bstrMac)))
                return hr;
            sw.m_dwSize = ParseSize(strSize);
        }
        info.m_nInfoSize = static_cast<int>(cPackages);
        return S_OK;
    };
    const HRESULT hr = fill();
    if (FAILED(hr))
    {
        ZepClearNewVersionInfo(&info);
        return hr;
    }
    pInfo->m_bstrUpdateDetail = info.m_bstrUpdateDetail;
    for (int i = 0; i < ZEP_MAX_DOWNLOAD_SOFTWARE; ++i)
        pInfo->m_stDownloadSoftwareInfos[i] = info.m_stDownloadSoftwareInfos[i];
    pInfo->m_nInfoSize = info.m_nInfoSize;
    return S_OK;
}
