#pragma once
// Small helpers over the MSXML DOM for the update information document.
#include <windows.h>
#include <wrl/client.h>
#include <string>

#include "common/msxml_guids.h"

namespace XmlDom
{
// An XPath string literal for value, whatever quotes it holds, so that a value taken from
// a request can never change the meaning of the expression it is put into.
std::wstring XPathLiteral(const std::wstring& strValue);

// S_OK with the node, S_FALSE when nothing matches, the XML layer's error otherwise.
HRESULT SelectSingle(IXMLDOMNode* pContext, const std::wstring& strXPath,
                     Microsoft::WRL::ComPtr<IXMLDOMNode>& node);
HRESULT SelectList(IXMLDOMNode* pContext, const std::wstring& strXPath,
                   Microsoft::WRL::ComPtr<IXMLDOMNodeList>& list, long& cItems);

// S_OK with the attribute's text, S_FALSE when the attribute is absent.
HRESULT GetAttribute(IXMLDOMNamedNodeMap* pAttributes, const wchar_t* pszName, std::wstring& strValue);
HRESULT GetAttribute(IXMLDOMNode* pNode, const wchar_t* pszName, std::wstring& strValue);

HRESULT GetText(IXMLDOMNode* pNode, std::wstring& strText);

// The element children of a node, in document order (text, comments and the like left out).
HRESULT CountElementChildren(IXMLDOMNode* pNode, long& cElements);
HRESULT GetElementChild(IXMLDOMNode* pNode, long nIndex, Microsoft::WRL::ComPtr<IXMLDOMNode>& child);
}  // namespace XmlDom
