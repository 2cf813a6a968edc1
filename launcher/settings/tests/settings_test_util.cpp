#include "launcher/settings/tests/settings_test_util.h"

#include <shlobj.h>

#include "common/registry.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "launcher/settings/settings_paths.h"
#include "launcher/settings/settings_registry.h"
#include "launcher/settings/settings_xml.h"

using Microsoft::WRL::ComPtr;

namespace settingstest
{
void WriteRegistryString(const std::wstring& keyPath, const wchar_t* pszName, const std::wstring& value)
{
    ASSERT_HRESULT_SUCCEEDED(Registry::WriteString(HKEY_LOCAL_MACHINE, keyPath.c_str(), pszName, value));
}

void WriteRegistryRaw(const std::wstring& keyPath, const wchar_t* pszName, DWORD dwType, const std::string& bytes)
{
    // The registry adds a terminator the caller "forgot" when the bytes after the data hold one;
    // a non-zero guard keeps the stored value exactly as given.
    const std::string guarded = bytes + "\x01\x01";
    ASSERT_HRESULT_SUCCEEDED(Registry::WriteValue(HKEY_LOCAL_MACHINE, keyPath.c_str(), pszName, dwType,
                                                  guarded.data(), static_cast<DWORD>(bytes.size())));
}

static void WriteExecInfoValues(const std::wstring& keyPath, const ExecInfo& info)
{
    WriteRegistryString(keyPath, L"path", info.path);
    WriteRegistryString(keyPath, L"key", info.key);
    WriteRegistryString(keyPath, L"entry", info.entry);
    WriteRegistryString(keyPath, L"exe", info.exe);
    WriteRegistryString(keyPath, L"param", info.param);
}

void WriteRegistryEntry(const std::wstring& keyPath, const AppEntry& entry)
{
    WriteRegistryString(keyPath, L"name", entry.name);
    WriteRegistryString(keyPath, L"errormsg", entry.errormsg);
    WriteExecInfoValues(keyPath, entry.MainExecInfo());
    for (size_t n = 0; n < entry.alternatives.size(); ++n)
        WriteExecInfoValues(FormatString(L"%s\\ExecInfos\\ExecInfo%d", keyPath.c_str(), static_cast<int>(n)),
                            entry.alternatives[n]);
}

void CreateKindKeys()
{
    for (const wchar_t* pszKey : {LAUNCHER_MUSIC_KEY, LAUNCHER_PHOTO_KEY, LAUNCHER_VIDEO_KEY, LAUNCHER_PODCAST_KEY})
    {
        UniqueHKey key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                   key.Receive(), nullptr));
    }
}

AppEntry MakeEntry(const std::wstring& name, const std::wstring& path, const std::wstring& exe)
{
    AppEntry entry;
    entry.name = name;
    entry.errormsg = name + L" is missing";
    entry.path = path;
    entry.exe = exe;
    return entry;
}

ExecInfo MakeExecInfo(const std::wstring& path, const std::wstring& exe, const std::wstring& param)
{
    ExecInfo info;
    info.path = path;
    info.exe = exe;
    info.param = param;
    return info;
}

std::vector<std::wstring> ChildElementNames(IXMLDOMNode* pNode)
{
    std::vector<std::wstring> names;
    ComPtr<IXMLDOMNodeList> pChildren;
    if (!pNode || FAILED(pNode->get_childNodes(&pChildren)))
        return names;
    long nCount = 0;
    pChildren->get_length(&nCount);
    for (long i = 0; i < nCount; ++i)
    {
        ComPtr<IXMLDOMNode> pChild;
        DOMNodeType type = NODE_INVALID;
        if (SUCCEEDED(pChildren->get_item(i, &pChild)) && SUCCEEDED(pChild->get_nodeType(&type)) &&
            type == NODE_ELEMENT)
        {
            BSTR bstrName = nullptr;
            pChild->get_nodeName(&bstrName);
            names.push_back(bstrName ? bstrName : L"");
            ::SysFreeString(bstrName);
        }
    }
    return names;
}

ComPtr<IXMLDOMDocument> LoadXmlFile(const std::wstring& path)
{
    ComPtr<IXMLDOMDocument> pDocument;
    EXPECT_HRESULT_SUCCEEDED(SettingsXml::CreateDocument(pDocument));
    if (pDocument)
    {
        EXPECT_EQ(S_OK, SettingsXml::LoadFile(pDocument.Get(), path));
    }
    return pDocument;
}

std::wstring NodeText(IXMLDOMNode* pContext, const std::wstring& path)
{
    ComPtr<IXMLDOMNode> pNode;
    std::wstring text;
    if (SettingsXml::SelectNode(pContext, path, pNode) == S_OK)
        SettingsXml::GetText(pNode.Get(), text);
    else
    {
        ADD_FAILURE() << "no node " << WideToUtf8(path);
    }
    return text;
}

bool NodeExists(IXMLDOMNode* pContext, const std::wstring& path)
{
    ComPtr<IXMLDOMNode> pNode;
    return SettingsXml::SelectNode(pContext, path, pNode) == S_OK;
}

std::vector<std::wstring> ListFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data = {};
    UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find.IsValid())
        return names;
    do
    {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (::FindNextFileW(find.Get(), &data));
    return names;
}

void CSettingsTest::SetUp()
{
    ASSERT_TRUE(m_com.Succeeded());
    // A folder that does not exist yet: the store must create it.
    m_strDataFolder = zeptest::TestTempDir() + L"ProgramData\\Orvo Corporation\\Velomar Launcher";
    SetLauncherDataFolderOverride(m_strDataFolder);
}

void CSettingsTest::TearDown()
{
    SetLauncherDataFolderOverride(L"");
}

void CSettingsTest::WriteSettingsFile(const std::string& utf8)
{
    const int err = ::SHCreateDirectoryExW(nullptr, m_strDataFolder.c_str(), nullptr);
    ASSERT_TRUE(err == ERROR_SUCCESS || err == ERROR_ALREADY_EXISTS) << err;
    ASSERT_TRUE(zeptest::WriteFileBytes(SettingsFile(), utf8.data(), utf8.size()));
}
}  // namespace settingstest
