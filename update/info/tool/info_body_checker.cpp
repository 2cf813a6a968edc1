#include "update/info/tool/info_body_checker.h"

#include <wrl/client.h>

#include <algorithm>

#include "common/scoped_bstr.h"
#include "common/string_util.h"
#include "update/info/rule_operators.h"
#include "update/info/xml_dom_util.h"
#include "update/info/zep_update_records.h"

using Microsoft::WRL::ComPtr;

namespace
{
const wchar_t* const kRuleTypes[] = {L"Software", L"System", L"Registry", L"Extended"};
const wchar_t* const kSystemKeys[] = {L"Model",         L"OSName",   L"OSVersion", L"OSEdition",
                                      L"OSServicePack", L"Nation",   L"Language",  L"SerialNo",
                                      L"ClientVersion", L"ProductionMode", L"FirmwareVersion"};
const wchar_t* const kStatusWords[] = {L"open", L"manual-only", L"close"};

template <size_t N>
bool OneOf(const std::wstring& str, const wchar_t* const (&words)[N])
{
    for (const wchar_t* psz : words)
        if (str == psz)
            return true;
    return false;
}

bool IsDecimal(const std::wstring& str)
{
    if (str.empty() || str.size() > 10)
        return false;
    ULONGLONG ull = 0;
    for (wchar_t ch : str)
    {
        if (ch < L'0' || ch > L'9')
            return false;
        ull = ull * 10 + static_cast<ULONGLONG>(ch - L'0');
    }
    return ull <= 0xFFFFFFFFull;
}

std::wstring NodeName(IXMLDOMNode* pNode)
{
    CScopedBstr bstrName;
    if (pNode)
        pNode->get_nodeName(bstrName.Receive());
    return bstrName.ToString();
}
}  // namespace

void CInfoBodyChecker::Error(const std::wstring& strWhere, const std::wstring& strText)
{
    m_pFindings->push_back({true, strWhere, strText});
}

void CInfoBodyChecker::Warning(const std::wstring& strWhere, const std::wstring& strText)
{
    m_pFindings->push_back({false, strWhere, strText});
}

HRESULT CInfoBodyChecker::Require(IXMLDOMNode* pNode, const wchar_t* pszName, const std::wstring& strWhere,
                                  std::wstring& strValue)
{
    const HRESULT hr = XmlDom::GetAttribute(pNode, pszName, strValue);
    if (hr == S_FALSE)
        Error(strWhere, std::wstring(L"the attribute ") + pszName + L" is missing");
    return hr;
}

HRESULT CInfoBodyChecker::RequireElement(IXMLDOMNode* pNode, const wchar_t* pszName, const std::wstring& strWhere,
                                         ComPtr<IXMLDOMNode>& child)
{
    const HRESULT hr = XmlDom::SelectSingle(pNode, pszName, child);
    if (hr == S_FALSE)
        Error(strWhere, std::wstring(L"the element ") + pszName + L" is missing");
    return hr;
}

HRESULT CInfoBodyChecker::Check(IXMLDOMDocument* pDocument, std::vector<Finding>& findings)
{
    m_pFindings = &findings;
    ComPtr<IXMLDOMElement> root;
    HRESULT hr = pDocument->get_documentElement(&root);
    if (FAILED(hr))
        return hr;
    if (!root)
    {
        Error(L"/", L"the document has no element");
        return S_OK;
    }
    const std::wstring strRootName = NodeName(root.Get());
    if (strRootName != L"InformationFile")
    {
        Error(L"/", L"the document element is <" + strRootName + L">; it must be <InformationFile>");
        return S_OK;
    }
    ComPtr<IXMLDOMNode> rootNode;
    hr = root.As(&rootNode);
    if (FAILED(hr))
        return hr;

    std::wstring strNoop;
    if (FAILED(hr = Require(rootNode.Get(), L"Noop", L"/InformationFile", strNoop)))
        return hr;
    if (strNoop == L"true")
        Warning(L"/InformationFile", L"Noop is \"true\": no update is offered, whatever the conditions say");
    else
    {
        ComPtr<IXMLDOMNodeList> conditions;
        long cConditions = 0;
        if (FAILED(hr = XmlDom::SelectList(rootNode.Get(), L"ApplyConditions/ApplyCondition", conditions, cConditions)))
            return hr;
        if (cConditions == 0)
            Warning(L"/InformationFile/ApplyConditions", L"there is no ApplyCondition: no update is ever offered");
        for (long i = 0; i < cConditions; ++i)
        {
            ComPtr<IXMLDOMNode> condition;
            if (FAILED(hr = conditions->get_item(i, &condition)))
                return hr;
            if (FAILED(hr = CheckApplyCondition(condition.Get(),
                                                FormatString(L"ApplyCondition %ld", i + 1))))
                return hr;
        }
    }
    if (FAILED(hr = CheckControlConditions(rootNode.Get())))
        return hr;
    return CheckExtensions(rootNode.Get());
}

HRESULT CInfoBodyChecker::CheckApplyCondition(IXMLDOMNode* pCondition, const std::wstring& strWhere)
{
    std::wstring strForce;
    HRESULT hr = Require(pCondition, L"Force", strWhere, strForce);
    if (FAILED(hr))
        return hr;
    if (hr == S_OK && strForce != L"true" && strForce != L"false")
        Warning(strWhere, L"Force is \"" + strForce + L"\"; only \"true\" forces the install, anything else asks");

    ComPtr<IXMLDOMNodeList> rules;
    long cRules = 0;
    if (FAILED(hr = XmlDom::SelectList(pCondition, L"Rules/Rule", rules, cRules)))
        return hr;
    if (cRules == 0)
        Warning(strWhere, L"there is no Rules/Rule: this condition never matches");
    for (long i = 0; i < cRules; ++i)
    {
        ComPtr<IXMLDOMNode> rule;
        if (FAILED(hr = rules->get_item(i, &rule)))
            return hr;
        if (FAILED(hr = CheckRule(rule.Get(), strWhere + FormatString(L", Rule %ld", i + 1))))
            return hr;
    }
    if (FAILED(hr = CheckDescriptions(pCondition, strWhere)))
        return hr;
    return CheckDistributions(pCondition, strWhere);
}

HRESULT CInfoBodyChecker::CheckRule(IXMLDOMNode* pRule, const std::wstring& strWhere)
{
    std::wstring strType, strKey, strValue, strOperator;
    HRESULT hr = S_OK;
    const HRESULT hrType = Require(pRule, L"Type", strWhere, strType);
    const HRESULT hrKey = Require(pRule, L"Key", strWhere, strKey);
    if (FAILED(hr = Require(pRule, L"Value", strWhere, strValue)))
        return hr;
    const HRESULT hrOperator = Require(pRule, L"Operator", strWhere, strOperator);
    if (FAILED(hrType) || FAILED(hrKey) || FAILED(hrOperator))
        return FAILED(hrType) ? hrType : FAILED(hrKey) ? hrKey : hrOperator;

    if (hrType == S_OK && !OneOf(strType, kRuleTypes))
        Warning(strWhere, L"unknown Type \"" + strType + L"\": the rule never holds");
    if (hrOperator == S_OK && RuleOperators::RuleNumber(strOperator) == 0)
        Warning(strWhere, L"unknown Operator \"" + strOperator + L"\": the rule never holds");
    if (hrType == S_OK && hrKey == S_OK && strType == L"System" && !OneOf(strKey, kSystemKeys))
        Warning(strWhere, L"unknown System key \"" + strKey + L"\": the rule never holds");
    if (hrType == S_OK && hrKey == S_OK && strType == L"Registry" &&
        std::count(strKey.begin(), strKey.end(), L'\\') < 2)
        Warning(strWhere, L"a Registry key needs at least three parts (A\\B\\value): the value is never found");
    return S_OK;
}

HRESULT CInfoBodyChecker::CheckDescriptions(IXMLDOMNode* pCondition, const std::wstring& strWhere)
{
    ComPtr<IXMLDOMNode> descriptions;
    HRESULT hr = RequireElement(pCondition, L"Descriptions", strWhere, descriptions);
    if (hr != S_OK)
        return FAILED(hr) ? hr : S_OK;
    const std::wstring strDescWhere = strWhere + L", Descriptions";
    std::wstring strDefault;
    if (FAILED(hr = Require(descriptions.Get(), L"DefaultLang", strDescWhere, strDefault)))
        return hr;
    if (hr == S_OK)
    {
        ComPtr<IXMLDOMNode> description;
        hr = XmlDom::SelectSingle(descriptions.Get(), L"Description[@Lang=" + XmlDom::XPathLiteral(strDefault) + L"]",
                                  description);
        if (FAILED(hr))
            return hr;
        if (hr == S_FALSE)
            Error(strDescWhere, L"there is no Description with Lang=\"" + strDefault + L"\" (the DefaultLang)");
    }
    ComPtr<IXMLDOMNodeList> list;
    long cItems = 0;
    if (FAILED(hr = XmlDom::SelectList(descriptions.Get(), L"Description[not(@Lang)]", list, cItems)))
        return hr;
    if (cItems > 0)
        Warning(strDescWhere, L"a Description without Lang is never shown");
    return S_OK;
}

HRESULT CInfoBodyChecker::CheckDistributions(IXMLDOMNode* pCondition, const std::wstring& strWhere)
{
    ComPtr<IXMLDOMNode> distributions;
    HRESULT hr = RequireElement(pCondition, L"Distributions", strWhere, distributions);
    if (hr != S_OK)
        return FAILED(hr) ? hr : S_OK;
    const std::wstring strDistWhere = strWhere + L", Distributions";
    long cPackages = 0;
    if (FAILED(hr = XmlDom::CountElementChildren(distributions.Get(), cPackages)))
        return hr;
    if (cPackages == 0)
        Error(strDistWhere, L"there is no package");
    if (cPackages > ZEP_MAX_DOWNLOAD_SOFTWARE)
        Error(strDistWhere, FormatString(L"%ld packages; the client takes at most %d", cPackages,
                                         ZEP_MAX_DOWNLOAD_SOFTWARE));
    for (long i = 0; i < cPackages; ++i)
    {
        ComPtr<IXMLDOMNode> package;
        if (FAILED(hr = XmlDom::GetElementChild(distributions.Get(), i, package)))
            return hr;
        const std::wstring strPkgWhere = strDistWhere + FormatString(L", package %ld <", i + 1) +
                                         NodeName(package.Get()) + L">";
        std::wstring strValue;
        for (const wchar_t* pszName : {L"ID", L"Version", L"URI", L"MAC"})
            if (FAILED(hr = Require(package.Get(), pszName, strPkgWhere, strValue)))
                return hr;
        if (hr == S_OK)
            CheckMac(strValue, strPkgWhere);
        if (FAILED(hr = Require(package.Get(), L"Size", strPkgWhere, strValue)))
            return hr;
        if (hr == S_OK && !IsDecimal(strValue))
            Error(strPkgWhere, L"Size \"" + strValue + L"\" is not a size in bytes (decimal digits, below 4 GiB)");
    }
    return S_OK;
}

void CInfoBodyChecker::CheckMac(const std::wstring& strMac, const std::wstring& strWhere)
{
    if (strMac.empty())
    {
        Warning(strWhere, L"MAC is empty: clients refuse the package unless the service is a notice (INFO)");
        return;
    }
    const bool bLowerHex = strMac.find_first_not_of(L"0123456789abcdef") == std::wstring::npos;
    if (!bLowerHex || (strMac.size() != 32 && strMac.size() != 40 && strMac.size() != 64))
        Warning(strWhere, L"MAC \"" + strMac + L"\" is not a lower-case SHA-256 (64 digits), SHA-1 (40) or MD5 (32) "
                          L"digest: no download matches it");
    else if (strMac.size() != 64)
        Warning(strWhere, FormatString(L"MAC is %s; write SHA-256 (64 digits, sha256sum) for new packages",
                                       strMac.size() == 32 ? L"MD5" : L"SHA-1"));
}

HRESULT CInfoBodyChecker::CheckControlConditions(IXMLDOMNode* pRoot)
{
    ComPtr<IXMLDOMNode> control;
    HRESULT hr = RequireElement(pRoot, L"ControlConditions", L"/InformationFile", control);
    if (hr != S_OK)
        return FAILED(hr) ? hr : S_OK;
    std::wstring strDefault;
    if (FAILED(hr = Require(control.Get(), L"DefaultServiceStatus", L"ControlConditions", strDefault)))
        return hr;
    if (hr == S_OK && !OneOf(strDefault, kStatusWords))
        Warning(L"ControlConditions", L"DefaultServiceStatus \"" + strDefault + L"\" counts as \"close\"");

    ComPtr<IXMLDOMNodeList> list;
    long cItems = 0;
    if (FAILED(hr = XmlDom::SelectList(control.Get(), L"ControlCondition", list, cItems)))
        return hr;
    for (long i = 0; i < cItems; ++i)
    {
        ComPtr<IXMLDOMNode> item;
        if (FAILED(hr = list->get_item(i, &item)))
            return hr;
        const std::wstring strWhere = FormatString(L"ControlCondition %ld", i + 1);
        std::wstring strModel, strStatus;
        if (FAILED(hr = XmlDom::GetAttribute(item.Get(), L"Model", strModel)))
            return hr;
        if (hr == S_FALSE)
            Warning(strWhere, L"no Model: this entry never applies");
        if (FAILED(hr = Require(item.Get(), L"ServiceStatus", strWhere, strStatus)))
            return hr;
        if (hr == S_OK && !OneOf(strStatus, kStatusWords))
            Warning(strWhere, L"ServiceStatus \"" + strStatus + L"\" counts as \"close\"");
    }
    return S_OK;
}

HRESULT CInfoBodyChecker::CheckExtensions(IXMLDOMNode* pRoot)
{
    ComPtr<IXMLDOMNodeList> list;
    long cItems = 0;
    HRESULT hr = XmlDom::SelectList(pRoot, L"Extensions/Extension", list, cItems);
    if (FAILED(hr))
        return hr;
    for (long i = 0; i < cItems; ++i)
    {
        ComPtr<IXMLDOMNode> item;
        if (FAILED(hr = list->get_item(i, &item)))
            return hr;
        const std::wstring strWhere = FormatString(L"Extension %ld", i + 1);
        std::wstring strValue;
        if (FAILED(hr = XmlDom::GetAttribute(item.Get(), L"Key", strValue)))
            return hr;
        if (hr == S_FALSE)
            Warning(strWhere, L"no Key: this entry never applies");
        if (FAILED(hr = Require(item.Get(), L"Value", strWhere, strValue)))
            return hr;
    }
    return S_OK;
}
