#include "update/info/xml_dom_util.h"

#include "common/scoped_bstr.h"

using Microsoft::WRL::ComPtr;

namespace XmlDom
{
std::wstring XPathLiteral(const std::wstring& strValue)
{
    if (strValue.find(L'"') == std::wstring::npos)
        return L"\"" + strValue + L"\"";
    if (strValue.find(L'\'') == std::wstring::npos)
        return L"'" + strValue + L"'";
    // XPath 1.0 has no escapes: build the text from pieces without double quotes.
    std::wstring strOut = L"concat(";
    size_t start = 0;
    for (;;)
    {
        const size_t quote = strValue.find(L'"', start);
        strOut += L"\"" + strValue.substr(start, quote == std::wstring::npos ? std::wstring::npos : quote - start) + L"\"";
        if (quote == std::wstring::npos)
            break;
        strOut += L", '\"', ";
        start = quote + 1;
    }
    strOut += L")";
    return strOut;
}

HRESULT SelectSingle(IXMLDOMNode* pContext, const std::wstring& strXPath, ComPtr<IXMLDOMNode>& node)
{
    node.Reset();
    if (!pContext)
        return E_POINTER;
    CScopedBstr bstrXPath(strXPath);
    const HRESULT hr = pContext->selectSingleNode(bstrXPath, node.ReleaseAndGetAddressOf());
    if (FAILED(hr))
        return hr;
    return node ? S_OK : S_FALSE;
}

HRESULT SelectList(IXMLDOMNode* pContext, const std::wstring& strXPath, ComPtr<IXMLDOMNodeList>& list,
                   long& cItems)
{
    list.Reset();
    cItems = 0;
    if (!pContext)
        return E_POINTER;
    CScopedBstr bstrXPath(strXPath);
    HRESULT hr = pContext->selectNodes(bstrXPath, list.ReleaseAndGetAddressOf());
    if (FAILED(hr))
        return hr;
    if (!list)
        return E_POINTER;
    return list->get_length(&cItems);
}

HRESULT GetAttribute(IXMLDOMNamedNodeMap* pAttributes, const wchar_t* pszName, std::wstring& strValue)
{
    strValue.clear();
    if (!pAttributes)
        return S_FALSE;
    CScopedBstr bstrName(pszName);
    ComPtr<IXMLDOMNode> attr;
    const HRESULT hr = pAttributes->getNamedItem(bstrName, &attr);
    if (FAILED(hr))
        return hr;
    if (!attr)
        return S_FALSE;
    return GetText(attr.Get(), strValue);
}

HRESULT GetAttribute(IXMLDOMNode* pNode, const wchar_t* pszName, std::wstring& strValue)
{
    strValue.clear();
    if (!pNode)
        return E_POINTER;
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    const HRESULT hr = pNode->get_attributes(&attributes);
    if (FAILED(hr))
        return hr;
    return GetAttribute(attributes.Get(), pszName, strValue);
}

HRESULT GetText(IXMLDOMNode* pNode, std::wstring& strText)
{
    strText.clear();
    if (!pNode)
        return E_POINTER;
    CScopedBstr bstrText;
    const HRESULT hr = pNode->get_text(bstrText.Receive());
    if (FAILED(hr))
        return hr;
    strText = bstrText.ToString();
    return S_OK;
}

namespace
{
// Walks the element children; stops at index nWanted (or counts them all when it is -1).
HRESULT WalkElementChildren(IXMLDOMNode* pNode, long nWanted, long& cElements, ComPtr<IXMLDOMNode>* pFound)
{
    cElements = 0;
    if (!pNode)
        return E_POINTER;
    ComPtr<IXMLDOMNodeList> children;
    HRESULT hr = pNode->get_childNodes(&children);
    if (FAILED(hr))
        return hr;
    if (!children)
        return E_POINTER;
    long cChildren = 0;
    hr = children->get_length(&cChildren);
    if (FAILED(hr))
        return hr;
    for (long i = 0; i < cChildren; ++i)
    {
        ComPtr<IXMLDOMNode> child;
        hr = children->get_item(i, &child);
        if (FAILED(hr))
            return hr;
        DOMNodeType type = NODE_INVALID;
        if (!child || FAILED(child->get_nodeType(&type)) || type != NODE_ELEMENT)
            continue;
        if (cElements == nWanted && pFound)
        {
            *pFound = child;
            return S_OK;
        }
        ++cElements;
    }
    return nWanted < 0 ? S_OK : S_FALSE;
}
}  // namespace

HRESULT CountElementChildren(IXMLDOMNode* pNode, long& cElements)
{
    return WalkElementChildren(pNode, -1, cElements, nullptr);
}

HRESULT GetElementChild(IXMLDOMNode* pNode, long nIndex, ComPtr<IXMLDOMNode>& child)
{
    child.Reset();
    long cSeen = 0;
    return WalkElementChildren(pNode, nIndex, cSeen, &child);
}
}  // namespace XmlDom
