#include "launcher/settings/settings_xml.h"

#include "common/error_macros.h"
#include "common/msxml_guids.h"
#include "common/scoped_bstr.h"
#include "common/string_util.h"
#include "common/xml_file.h"
#include "launcher/settings/settings_resource.h"

using Microsoft::WRL::ComPtr;

namespace SettingsXml
{
HRESULT CreateDocument(ComPtr<IXMLDOMDocument>& document)
{
    document.Reset();
    ComPtr<IXMLDOMDocument> pDocument;
    RETURN_IF_FAILED(::CoCreateInstance(CLSID_ZepDOMDocument30, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_PPV_ARGS(&pDocument)));
    RETURN_IF_FAILED(pDocument->put_async(VARIANT_FALSE));
    // The file lives in a folder every user can write to: never let it pull in other files.
    RETURN_IF_FAILED(pDocument->put_resolveExternals(VARIANT_FALSE));
    RETURN_IF_FAILED(pDocument->put_validateOnParse(VARIANT_FALSE));
    ComPtr<IXMLDOMDocument2> pDocument2;
    if (SUCCEEDED(pDocument.As(&pDocument2)))
    {
        // Not known to every MSXML 3.0; LoadFile refuses document types itself anyway.
        CScopedBstr bstrProhibitDtd(L"ProhibitDTD");
        VARIANT varTrue;
        ::VariantInit(&varTrue);
        varTrue.vt = VT_BOOL;
        varTrue.boolVal = VARIANT_TRUE;
        pDocument2->setProperty(bstrProhibitDtd, varTrue);

        // The default of this class already; stated so that "[n]" keeps counting from 0.
        CScopedBstr bstrName(L"SelectionLanguage");
        VARIANT var;
        ::VariantInit(&var);
        var.vt = VT_BSTR;
        var.bstrVal = ::SysAllocString(L"XSLPattern");
        const HRESULT hr = pDocument2->setProperty(bstrName, var);
        ::VariantClear(&var);
        RETURN_IF_FAILED(hr);
    }
    document = pDocument;
    return S_OK;
}

namespace
{
// Far above what four selections with their alternatives take; a larger file is no settings file
// and is not read into memory whole.
const uint64_t kMaxFileBytes = 8 * 1024 * 1024;
const wchar_t kRootName[] = L"velomar_launcher";

bool IsSettingsDocument(IXMLDOMDocument* pDocument)
{
    ComPtr<IXMLDOMDocumentType> pDoctype;
    if (FAILED(pDocument->get_doctype(&pDoctype)) || pDoctype)
        return false;
    ComPtr<IXMLDOMElement> pRoot;
    if (pDocument->get_documentElement(&pRoot) != S_OK || !pRoot)
        return false;
    CScopedBstr bstrName;
    return SUCCEEDED(pRoot->get_nodeName(bstrName.Receive())) && bstrName.ToString() == kRootName;
}
}  // namespace

HRESULT LoadFile(IXMLDOMDocument* pDocument, const std::wstring& path)
{
    RETURN_HR_IF_NULL(E_POINTER, pDocument);
    if (LoadXmlFile(pDocument, path, kMaxFileBytes) != S_OK || !IsSettingsDocument(pDocument))
        return S_FALSE;
    return S_OK;
}

HRESULT GetTemplateBytes(HMODULE hModule, const BYTE*& pData, DWORD& cbData)
{
    pData = nullptr;
    cbData = 0;
    HRSRC hResource = ::FindResourceW(hModule, MAKEINTRESOURCEW(IDR_TOLVIK_SETTINGS_TEMPLATE), L"XML");
    RETURN_LAST_ERROR_IF(hResource == nullptr);
    const DWORD cb = ::SizeofResource(hModule, hResource);
    HGLOBAL hLoaded = ::LoadResource(hModule, hResource);
    RETURN_LAST_ERROR_IF(hLoaded == nullptr);
    const void* pv = ::LockResource(hLoaded);
    RETURN_HR_IF_NULL(E_FAIL, pv);
    pData = static_cast<const BYTE*>(pv);
    cbData = cb;
    return S_OK;
}

HRESULT LoadTemplate(IXMLDOMDocument* pDocument, HMODULE hModule)
{
    RETURN_HR_IF_NULL(E_POINTER, pDocument);
    const BYTE* pData = nullptr;
    DWORD cbData = 0;
    RETURN_IF_FAILED(GetTemplateBytes(hModule, pData, cbData));
    CScopedBstr bstrXml(Utf8ToWide(reinterpret_cast<const char*>(pData), cbData));
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, bstrXml.Get());
    VARIANT_BOOL bLoaded = VARIANT_FALSE;
    const HRESULT hr = pDocument->loadXML(bstrXml, &bLoaded);
    if (FAILED(hr) || bLoaded != VARIANT_TRUE)
        return S_FALSE;
    return S_OK;
}

HRESULT SelectNode(IXMLDOMNode* pContext, const std::wstring& path, ComPtr<IXMLDOMNode>& node)
{
    node.Reset();
    RETURN_HR_IF_NULL(E_POINTER, pContext);
    CScopedBstr bstrPath(path);
    ComPtr<IXMLDOMNode> pNode;
    const HRESULT hr = pContext->selectSingleNode(bstrPath, &pNode);
    RETURN_IF_FAILED(hr);
    if (hr != S_OK || !pNode)
        return S_FALSE;
    node = pNode;
    return S_OK;
}

HRESULT GetText(IXMLDOMNode* pNode, std::wstring& text)
{
    text.clear();
    RETURN_HR_IF_NULL(E_POINTER, pNode);
    CScopedBstr bstrText;
    RETURN_IF_FAILED(pNode->get_text(bstrText.Receive()));
    text = bstrText.ToString();
    return S_OK;
}

HRESULT SetText(IXMLDOMNode* pNode, const std::wstring& text)
{
    RETURN_HR_IF_NULL(E_POINTER, pNode);
    CScopedBstr bstrText(text);
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, bstrText.Get());
    RETURN_IF_FAILED(pNode->put_text(bstrText));
    return S_OK;
}

static HRESULT AppendNewElement(IXMLDOMDocument* pDocument, IXMLDOMNode* pParent, const std::wstring& name,
                                ComPtr<IXMLDOMNode>& node)
{
    node.Reset();
    CScopedBstr bstrName(name);
    ComPtr<IXMLDOMElement> pElement;
    RETURN_IF_FAILED(pDocument->createElement(bstrName, &pElement));
    RETURN_HR_IF_NULL(E_FAIL, pElement.Get());
    ComPtr<IXMLDOMNode> pAppended;
    RETURN_IF_FAILED(pParent->appendChild(pElement.Get(), &pAppended));
    RETURN_HR_IF_NULL(E_FAIL, pAppended.Get());
    node = pAppended;
    return S_OK;
}

HRESULT EnsureNode(IXMLDOMDocument* pDocument, const std::wstring& path, ComPtr<IXMLDOMNode>& node)
{
    node.Reset();
    RETURN_HR_IF_NULL(E_POINTER, pDocument);
    RETURN_HR_IF(E_INVALIDARG, path.empty());
    ComPtr<IXMLDOMNode> pParent;
    RETURN_IF_FAILED(pDocument->QueryInterface(IID_PPV_ARGS(&pParent)));
    size_t nStart = 0;
    for (;;)
    {
        const size_t nSlash = path.find(L'/', nStart);
        const size_t nEnd = nSlash == std::wstring::npos ? path.size() : nSlash;
        const std::wstring segment = path.substr(nStart, nEnd - nStart);
        RETURN_HR_IF(E_INVALIDARG, segment.empty());
        ComPtr<IXMLDOMNode> pNode;
        RETURN_IF_FAILED(SelectNode(pDocument, path.substr(0, nEnd), pNode));
        if (!pNode)
            RETURN_IF_FAILED(AppendNewElement(pDocument, pParent.Get(), segment, pNode));
        if (nSlash == std::wstring::npos)
        {
            node = pNode;
            return S_OK;
        }
        pParent = pNode;
        nStart = nSlash + 1;
    }
}

HRESULT EnsureChild(IXMLDOMDocument* pDocument, IXMLDOMNode* pParent, const wchar_t* pszName, ComPtr<IXMLDOMNode>& node)
{
    node.Reset();
    RETURN_HR_IF_NULL(E_POINTER, pDocument);
    RETURN_HR_IF_NULL(E_POINTER, pParent);
    ComPtr<IXMLDOMNode> pNode;
    RETURN_IF_FAILED(SelectNode(pParent, pszName, pNode));
    if (!pNode)
        RETURN_IF_FAILED(AppendNewElement(pDocument, pParent, pszName, pNode));
    node = pNode;
    return S_OK;
}

HRESULT SelectChildren(IXMLDOMNode* pParent, const wchar_t* pszName, std::vector<ComPtr<IXMLDOMNode>>& nodes)
{
    nodes.clear();
    RETURN_HR_IF_NULL(E_POINTER, pParent);
    CScopedBstr bstrName(pszName);
    ComPtr<IXMLDOMNodeList> pList;
    RETURN_IF_FAILED(pParent->selectNodes(bstrName, &pList));
    RETURN_HR_IF_NULL(E_FAIL, pList.Get());
    for (;;)
    {
        ComPtr<IXMLDOMNode> pNode;
        const HRESULT hr = pList->nextNode(&pNode);
        RETURN_IF_FAILED(hr);
        if (hr != S_OK || !pNode)
            return S_OK;
        nodes.push_back(pNode);
    }
}

HRESULT AppendTextElement(IXMLDOMDocument* pDocument, IXMLDOMNode* pParent, const wchar_t* pszName,
                          const std::wstring& text)
{
    ComPtr<IXMLDOMNode> pNode;
    RETURN_IF_FAILED(AppendNewElement(pDocument, pParent, pszName, pNode));
    return SetText(pNode.Get(), text);
}
}  // namespace SettingsXml
