// Moltra: plain functions the installation package calls with a text argument; 1 on success,
// 0 on any failure, nothing reported.
#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <string>

#include "common/com_init.h"
#include "common/msxml_guids.h"
#include "common/scoped_bstr.h"
#include "common/string_util.h"
#include "common/unique_resource.h"
#include "common/xml_file.h"
#include "installer/settings/shared_folder.h"

using Microsoft::WRL::ComPtr;

namespace
{
// The settings file is a few kilobytes; anything far larger is not one.
const uint64_t kMaxSettingsBytes = 8 * 1024 * 1024;
const wchar_t kFirstExecPath[] = L"velomar_launcher/tolvik/first_exec";
const wchar_t kTolvikPath[] = L"velomar_launcher/tolvik";

bool AnsiToWide(const char* psz, std::wstring& wide)
{
    wide.clear();
    const int cch = ::MultiByteToWideChar(CP_ACP, 0, psz, -1, nullptr, 0);
    if (cch <= 0)
        return false;
    wide.resize(static_cast<size_t>(cch));
    if (::MultiByteToWideChar(CP_ACP, 0, psz, -1, &wide[0], cch) != cch)
        return false;
    wide.resize(static_cast<size_t>(cch) - 1);
    return true;
}

// The settings file lives in a folder every user can write to: the installer must not let it
// pull in other files, and refuses document types outright.
bool LoadSettings(const std::wstring& path, ComPtr<IXMLDOMDocument>& document)
{
    ComPtr<IXMLDOMDocument> pDocument;
    if (FAILED(::CoCreateInstance(CLSID_ZepDOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&pDocument))))
        return false;
    if (FAILED(pDocument->put_async(VARIANT_FALSE)) || FAILED(pDocument->put_resolveExternals(VARIANT_FALSE)) ||
        FAILED(pDocument->put_validateOnParse(VARIANT_FALSE)) ||
        FAILED(pDocument->put_preserveWhiteSpace(VARIANT_TRUE)))
        return false;
    if (LoadXmlFile(pDocument.Get(), path, kMaxSettingsBytes) != S_OK)
        return false;
    document = pDocument;
    return true;
}

bool SelectNode(IXMLDOMDocument* pDocument, const std::wstring& path, ComPtr<IXMLDOMNode>& node)
{
    CScopedBstr bstrPath(path.c_str());
    return pDocument->selectSingleNode(bstrPath, &node) == S_OK && node;
}

int InitSettingFile(const char* pszPath)
{
    std::wstring path;
    if (pszPath == nullptr || !AnsiToWide(pszPath, path))
        return 0;
    const DWORD dwAttributes = ::GetFileAttributesW(path.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    CComInitScope com;
    if (FAILED(com.Result()) && com.Result() != RPC_E_CHANGED_MODE)
        return 0;
    ComPtr<IXMLDOMDocument> pDocument;
    if (!LoadSettings(path, pDocument))
        return 0;
    ComPtr<IXMLDOMNode> pFirstExec;
    if (!SelectNode(pDocument.Get(), kFirstExecPath, pFirstExec))
        return 0;
    CScopedBstr bstrTrue(L"true");
    if (FAILED(pFirstExec->put_text(bstrTrue)))
        return 0;
    return SUCCEEDED(SaveXmlReplacing(pDocument.Get(), path)) ? 1 : 0;
}

int ResetSettingFile(const char* pszPath, const char* pszName)
{
    std::wstring path;
    std::wstring name;
    if (pszPath == nullptr || pszName == nullptr || !AnsiToWide(pszPath, path) || !AnsiToWide(pszName, name))
        return 0;
    CComInitScope com;
    if (FAILED(com.Result()) && com.Result() != RPC_E_CHANGED_MODE)
        return 0;
    ComPtr<IXMLDOMDocument> pDocument;
    if (!LoadSettings(path, pDocument))
        return 0;
    ComPtr<IXMLDOMNode> pTolvik;
    if (!SelectNode(pDocument.Get(), kTolvikPath, pTolvik))
        return 0;
    // An empty name would select the parent itself.
    if (name.empty())
        return 1;
    ComPtr<IXMLDOMNode> pElement;
    if (!SelectNode(pDocument.Get(), std::wstring(kTolvikPath) + L"/" + name, pElement))
        return 1;
    ComPtr<IXMLDOMNode> pParent;
    ComPtr<IXMLDOMNode> pRemoved;
    if (pElement->get_parentNode(&pParent) != S_OK || !pParent || FAILED(pParent->removeChild(pElement.Get(), &pRemoved)))
        return 0;
    return SUCCEEDED(SaveXmlReplacing(pDocument.Get(), path)) ? 1 : 0;
}
}  // namespace

extern "C" int WINAPI fnCreateDirA(const char* pszPath)
{
    try
    {
        std::wstring path;
        if (pszPath == nullptr || !AnsiToWide(pszPath, path) || path.empty())
            return 0;
        return CreateSharedFolder(path) ? 1 : 0;
    }
    catch (...)
    {
        return 0;
    }
}

extern "C" int WINAPI fnInitSettingFileA(const char* pszPath)
{
    try
    {
        return InitSettingFile(pszPath);
    }
    catch (...)
    {
        return 0;
    }
}

extern "C" int WINAPI fnResetSettingFilaA(const char* pszPath, const char* pszName)
{
    try
    {
        return ResetSettingFile(pszPath, pszName);
    }
    catch (...)
    {
        return 0;
    }
}
