#pragma once
// The settings file's DOM operations: MSXML 3.0 with its pattern language, in which "[n]"
// counts from 0.
#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace SettingsXml
{
// A new synchronous DOM document that resolves no external entities.
HRESULT CreateDocument(Microsoft::WRL::ComPtr<IXMLDOMDocument>& document);

// S_OK when the file was parsed and is a settings document; S_FALSE when it is missing, too
// large, not well-formed, has a document type declaration or another root element.
HRESULT LoadFile(IXMLDOMDocument* pDocument, const std::wstring& path);
// Parses the UTF-8 template (resource type "XML", id 140) of hModule; S_FALSE when it does not
// parse.
HRESULT LoadTemplate(IXMLDOMDocument* pDocument, HMODULE hModule);
// The template's bytes as stored in hModule.
HRESULT GetTemplateBytes(HMODULE hModule, const BYTE*& pData, DWORD& cbData);

// S_OK with the node, S_FALSE (and no node) when nothing matches. The path is relative to
// pContext.
HRESULT SelectNode(IXMLDOMNode* pContext, const std::wstring& path, Microsoft::WRL::ComPtr<IXMLDOMNode>& node);
HRESULT GetText(IXMLDOMNode* pNode, std::wstring& text);
HRESULT SetText(IXMLDOMNode* pNode, const std::wstring& text);

// Selects a "/"-separated element path, creating each missing element as the last child of
// its parent.
HRESULT EnsureNode(IXMLDOMDocument* pDocument, const std::wstring& path, Microsoft::WRL::ComPtr<IXMLDOMNode>& node);
// The first child element of pParent named pszName; when there is none, a new one appended
// as pParent's last child.
HRESULT EnsureChild(IXMLDOMDocument* pDocument, IXMLDOMNode* pParent, const wchar_t* pszName,
                    Microsoft::WRL::ComPtr<IXMLDOMNode>& node);
// The child elements of pParent named pszName, in document order.
HRESULT SelectChildren(IXMLDOMNode* pParent, const wchar_t* pszName,
                       std::vector<Microsoft::WRL::ComPtr<IXMLDOMNode>>& nodes);
// A new element with a text child, appended to pParent.
HRESULT AppendTextElement(IXMLDOMDocument* pDocument, IXMLDOMNode* pParent, const wchar_t* pszName,
                          const std::wstring& text);
}  // namespace SettingsXml
