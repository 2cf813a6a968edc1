#include "oplogsys/log_sys_info_from_xml.h"

#include <new>
#include <wrl/client.h>
#include "common/com_init.h"
#include "common/msxml_guids.h"
#include "common/scoped_bstr.h"
#include "common/scoped_variant.h"
#include "oplogsys/file_output_factory.h"
#include "oplogsys/null_output_factory.h"
#include "oplogsys/ods_output_factory.h"

using Microsoft::WRL::ComPtr;

namespace opLogSys
{
namespace
{
const wchar_t kFactoryName[] = L"IOutputLogSystemFactory";
const wchar_t kFileClass[] = L"opLogSys::File::COutputLogSystemFactory";
const wchar_t kOdsClass[] = L"opLogSys::Ods::COutputLogSystemFactory";

std::wstring NodeName(IXMLDOMNode* pNode)
{
    CScopedBstr bstrName;
    if (FAILED(pNode->get_nodeName(bstrName.Receive())))
        return std::wstring();
    return bstrName.ToString();
}

// A missing attribute reads as empty text.
std::wstring Attribute(IXMLDOMNode* pNode, const wchar_t* pszName)
{
    ComPtr<IXMLDOMElement> element;
    if (FAILED(pNode->QueryInterface(IID_PPV_ARGS(&element))))
        return std::wstring();
    CScopedBstr bstrName(pszName);
    VARIANT value;
    ::VariantInit(&value);
    std::wstring strValue;
    if (element->getAttribute(bstrName, &value) == S_OK && value.vt == VT_BSTR && value.bstrVal != nullptr)
        strValue.assign(value.bstrVal, ::SysStringLen(value.bstrVal));
    ::VariantClear(&value);
    return strValue;
}

template <class TFunction>
HRESULT ForEachChild(IXMLDOMNode* pNode, TFunction function)
{
    ComPtr<IXMLDOMNode> child;
    HRESULT hr = pNode->get_firstChild(&child);
    while (hr == S_OK && child)
    {
        function(child.Get());
        ComPtr<IXMLDOMNode> next;
        hr = child->get_nextSibling(&next);
        child = next;
    }
    return S_OK;
}
}  // namespace

CLogSysInfoFromXML::CLogSysInfoFromXML(const wchar_t* pszPath) noexcept : m_pInfo(new (std::nothrow) CLogSysInfo)
{
    try
    {
        m_strPath = pszPath ? pszPath : L"";
    }
    catch (const std::bad_alloc&)
    {
        return;
    }
    const DWORD dwAttributes = m_strPath.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(m_strPath.c_str());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        Load();
}

CLogSysInfoFromXML::~CLogSysInfoFromXML()
{
    if (m_pInfo)
        m_pInfo->Release();
}

IOutputLogSystemFactory* CLogSysInfoFromXML::GetFactory()
{
    return m_pInfo ? m_pInfo->GetFactory() : nullptr;
}

ILogFilter* CLogSysInfoFromXML::GetFilter()
{
    return m_pInfo ? m_pInfo->GetFilter() : nullptr;
}

HRESULT CLogSysInfoFromXML::ParseFactory(IXMLDOMNode* pNode)
{
    if (m_pInfo == nullptr)
        return E_OUTOFMEMORY;
    try
    {
        const std::wstring strName = Attribute(pNode, L"name");
        const std::wstring strClass = Attribute(pNode, L"class");
        const std::wstring strLocation = Attribute(pNode, L"location");
        const std::wstring strAutoFlush = Attribute(pNode, L"autoflush");
        IOutputLogSystemFactory* pFactory = nullptr;
        if (strName == kFactoryName && strClass == kFileClass)
            pFactory = new (std::nothrow) File::COutputLogSystemFactory(strAutoFlush == L"true", strLocation);
        else if (strName == kFactoryName && strClass == kOdsClass)
            pFactory = new (std::nothrow) Ods::COutputLogSystemFactory;
        else
            pFactory = new (std::nothrow) Null::COutputLogSystemFactory;
        if (pFactory == nullptr)
            return E_OUTOFMEMORY;
        m_pInfo->SetFactory(pFactory);
        pFactory->Release();
        return S_OK;
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
}

HRESULT CLogSysInfoFromXML::ParseFilter(IXMLDOMNode* pNode)
{
    if (m_pInfo == nullptr || m_pInfo->GetState() == nullptr)
        return E_OUTOFMEMORY;
    try
    {
        if (NodeName(pNode) != L"FILTER")
            return S_FALSE;
        const std::wstring strSubject = Attribute(pNode, L"subject");
        const long nMinLevel = _wtol(Attribute(pNode, L"minLevel").c_str());
        const long nMaxLevel = _wtol(Attribute(pNode, L"maxLevel").c_str());
        return m_pInfo->GetState()->AddFilter(strSubject.c_str(), nMinLevel, nMaxLevel);
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
}

HRESULT CLogSysInfoFromXML::ParseFilterList(IXMLDOMNode* pNode)
{
    return ForEachChild(pNode, [this](IXMLDOMNode* pChild) { ParseFilter(pChild); });
}

HRESULT CLogSysInfoFromXML::ParseTopLevel(IXMLDOMNode* pNode)
{
    try
    {
        const std::wstring strName = NodeName(pNode);
        if (strName == L"FACTORY")
            return ParseFactory(pNode);
        if (strName == L"FILTERLIST")
            return ParseFilterList(pNode);
        return S_FALSE;
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
}

HRESULT CLogSysInfoFromXML::Load()
{
    auto loadDocument = [this]() -> HRESULT {
        ComPtr<IXMLDOMDocument> document;
        HRESULT hr = ::CoCreateInstance(CLSID_ZepDOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&document));
        if (FAILED(hr))
            return hr;
        document->put_async(VARIANT_FALSE);
        CScopedBstr bstrPath(m_strPath);
        VARIANT path;
        ::VariantInit(&path);
        path.vt = VT_BSTR;
        path.bstrVal = bstrPath.Get();
        VARIANT_BOOL bLoaded = VARIANT_FALSE;
        hr = document->load(path, &bLoaded);
        if (FAILED(hr) || bLoaded != VARIANT_TRUE)
            return FAILED(hr) ? hr : S_FALSE;
        ComPtr<IXMLDOMElement> root;
        if (document->get_documentElement(&root) != S_OK || !root)
            return S_FALSE;
        return ForEachChild(root.Get(), [this](IXMLDOMNode* pChild) { ParseTopLevel(pChild); });
    };
    try
    {
        HRESULT hr = loadDocument();
        if (hr == CO_E_NOTINITIALIZED)
        {
            // The first log call may come from a worker thread that never started COM; reading
            // the configuration must not depend on which thread that was.
            CComInitScope comInit(COINIT_MULTITHREADED);
            if (comInit.Succeeded())
                hr = loadDocument();
        }
        return hr;
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
}
}  // namespace opLogSys
