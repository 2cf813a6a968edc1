// Moltra: plain functions the installation package calls with a text argument; 1 on success,
// 0 on any failure, nothing reported.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "common/com_init.h"
#include "common/custom_action.h"
#include "common/msxml_guids.h"
#include "common/scoped_bstr.h"
#include "common/string_util.h"
#include "common/unique_resource.h"
#include "common/xml_file.h"
#include "installer/settings/folder_tree_removal.h"
#include "installer/settings/run_time_key_access.h"
#include "installer/settings/shared_folder.h"

using Microsoft::WRL::ComPtr;

namespace
{
// The settings file is a few kilobytes; anything far larger is not one.
const uint64_t kMaxSettingsBytes = 8 * 1024 * 1024;
const wchar_t kFirstExecPath[] = L"velomar_launcher/tolvik/first_exec";
const wchar_t kTolvikPath[] = L"velomar_launcher/tolvik";
const wchar_t kLogName[] = L"Moltra";
const wchar_t kSettingsFileName[] = L"TOLVIKSetting.xml";

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

int InitSettingFile(const std::wstring& path)
{
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
        std::wstring path;
        if (pszPath == nullptr || !AnsiToWide(pszPath, path))
            return 0;
        return InitSettingFile(path);
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

// The installer cannot hand a text argument to the plain functions above; this entry point does
// their install-time work for it. The data folder comes from the property VELOMAR_DATA_DIR
// (immediate) or, when that reads empty, CustomActionData (deferred): Wine leaves the last
// deferred action's CustomActionData readable by immediate actions. Its parent is created when
// missing; an existing data folder keeps its access list; an existing settings file is marked
// for a first run.
extern "C" UINT WINAPI SetUpDataFolderCA(MSIHANDLE hInstall)
{
    try
    {
        CCustomAction action;
        if (action.Initialize(hInstall, kLogName) != ERROR_SUCCESS)
            return ERROR_INSTALL_FAILURE;
        std::wstring folder;
        UINT uStatus = action.GetProperty(L"VELOMAR_DATA_DIR", folder);
        if (uStatus == ERROR_SUCCESS && folder.empty())
            uStatus = action.GetProperty(L"CustomActionData", folder);
        if (uStatus != ERROR_SUCCESS)
        {
            action.LogError(uStatus, L"Failed to get data for property 'VELOMAR_DATA_DIR'");
            return action.Finish(uStatus);
        }
        while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
            folder.pop_back();
        const size_t nSlash = folder.find_last_of(L"\\/");
        if (folder.empty() || nSlash == std::wstring::npos)
        {
            action.LogError(ERROR_INVALID_PARAMETER, L"No data folder given");
            return action.Finish(ERROR_INVALID_PARAMETER);
        }
        const std::wstring parent = folder.substr(0, nSlash);
        if (::GetFileAttributesW(parent.c_str()) == INVALID_FILE_ATTRIBUTES)
            ::CreateDirectoryW(parent.c_str(), nullptr);

        if (CreateSharedFolder(folder))
        {
            action.Log(L"Created the data folder " + folder);
        }
        else
        {
            const DWORD dwError = ::GetLastError();
            const DWORD dwAttributes = ::GetFileAttributesW(folder.c_str());
            if (dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
            {
                action.LogError(dwError, L"Failed to create the data folder " + folder);
                return action.Finish(ERROR_INSTALL_FAILURE);
            }
            action.Log(L"The data folder exists: " + folder);
        }

        const std::wstring settings = folder + L"\\" + kSettingsFileName;
        if (::GetFileAttributesW(settings.c_str()) != INVALID_FILE_ATTRIBUTES)
        {
            // A settings file the user cannot have read back is no reason to stop the installation.
            action.Log(InitSettingFile(settings) ? L"Marked the settings file for a first run"
                                                 : L"Failed : could not mark the settings file for a first run");
        }
        return action.Finish(ERROR_SUCCESS);
    }
    catch (...)
    {
        return ERROR_INSTALL_FAILURE;
    }
}

// Deferred, as the installing administrator: CustomActionData lists the keys ("values=KEY;
// subkeys=KEY;..." below HKEY_LOCAL_MACHINE) the programs write while a standard user runs them.
extern "C" UINT WINAPI GrantRunTimeKeyAccessCA(MSIHANDLE hInstall)
{
    try
    {
        CCustomAction action;
        if (action.Initialize(hInstall, kLogName) != ERROR_SUCCESS)
            return ERROR_INSTALL_FAILURE;
        std::wstring data;
        std::vector<RunTimeKey> keys;
        UINT uStatus = action.GetProperty(L"CustomActionData", data);
        if (uStatus != ERROR_SUCCESS || !ParseRunTimeKeys(data, keys))
        {
            action.LogError(uStatus != ERROR_SUCCESS ? uStatus : ERROR_INVALID_PARAMETER,
                            L"No run-time keys given: '" + data + L"'");
            return action.Finish(ERROR_INSTALL_FAILURE);
        }
        for (const RunTimeKey& key : keys)
        {
            const DWORD dwError = GrantRunTimeKeyAccess(key);
            if (dwError != ERROR_SUCCESS)
            {
                action.LogError(dwError, L"Failed to give Users access to " + key.path);
                return action.Finish(ERROR_INSTALL_FAILURE);
            }
            action.Log(std::wstring(key.grant == RunTimeKeyGrant::Values ? L"Users may set the values of "
                                                                         : L"Users may create and write subkeys of ") +
                       key.path);
        }
        return action.Finish(ERROR_SUCCESS);
    }
    catch (...)
    {
        return ERROR_INSTALL_FAILURE;
    }
}

// Deferred, at removal: CustomActionData is the update client's download folder, which goes
// with the product (the launcher's settings folder does not). A folder that cannot be removed
// completely is logged and left; the removal goes on.
extern "C" UINT WINAPI RemoveDownloadCacheCA(MSIHANDLE hInstall)
{
    try
    {
        CCustomAction action;
        if (action.Initialize(hInstall, kLogName) != ERROR_SUCCESS)
            return ERROR_INSTALL_FAILURE;
        std::wstring folder;
        const UINT uStatus = action.GetProperty(L"CustomActionData", folder);
        while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
            folder.pop_back();
        if (uStatus != ERROR_SUCCESS || folder.find(L'\\') == std::wstring::npos)
        {
            action.LogError(uStatus != ERROR_SUCCESS ? uStatus : ERROR_INVALID_PARAMETER,
                            L"No download folder given: '" + folder + L"'");
            return action.Finish(ERROR_SUCCESS);
        }
        const HRESULT hr = RemoveFolderTree(folder);
        if (SUCCEEDED(hr))
            action.Log(L"Removed the download folder " + folder);
        else
            action.LogError(static_cast<UINT>(hr), L"Failed to remove all of the download folder " + folder);
        return action.Finish(ERROR_SUCCESS);
    }
    catch (...)
    {
        return ERROR_SUCCESS;
    }
}
