#pragma once
// Registry and file fixtures for the settings store tests.
#include <gtest/gtest.h>
#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "common/com_init.h"
#include "launcher/settings/app_entry.h"

namespace settingstest
{
// Writes an application entry's seven values into a key below HKLM, and its alternatives as
// "ExecInfos\ExecInfoN" subkeys.
void WriteRegistryEntry(const std::wstring& keyPath, const AppEntry& entry);
void WriteRegistryString(const std::wstring& keyPath, const wchar_t* pszName, const std::wstring& value);
// A value with exactly these bytes and this type.
void WriteRegistryRaw(const std::wstring& keyPath, const wchar_t* pszName, DWORD dwType, const std::string& bytes);
// Empty kind keys for all four kinds (a loadable registry).
void CreateKindKeys();

AppEntry MakeEntry(const std::wstring& name, const std::wstring& path = L"", const std::wstring& exe = L"");
ExecInfo MakeExecInfo(const std::wstring& path, const std::wstring& exe = L"", const std::wstring& param = L"");

// Names of the element children of a node, in document order.
std::vector<std::wstring> ChildElementNames(IXMLDOMNode* pNode);
// Parses a file with a fresh document (0-based pattern language); fails the test when it does
// not parse.
Microsoft::WRL::ComPtr<IXMLDOMDocument> LoadXmlFile(const std::wstring& path);
std::wstring NodeText(IXMLDOMNode* pContext, const std::wstring& path);
bool NodeExists(IXMLDOMNode* pContext, const std::wstring& path);

// Files in a folder (names only).
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// COM, and the settings folder pointed at the test's temp folder.
class CSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    std::wstring DataFolder() const { return m_strDataFolder; }
    std::wstring SettingsFile() const { return m_strDataFolder + L"\\TOLVIKSetting.xml"; }
    void WriteSettingsFile(const std::string& utf8);

    CComInitScope m_com;
    std::wstring m_strDataFolder;
};
}  // namespace settingstest
