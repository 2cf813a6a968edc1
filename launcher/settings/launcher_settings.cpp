#include "launcher/settings/launcher_settings.h"

#include "common/error_macros.h"
#include "common/scoped_bstr.h"
#include "common/unique_resource.h"
#include "common/xml_file.h"
#include "launcher/settings/settings_paths.h"
#include "launcher/settings/settings_registry.h"
#include "launcher/settings/settings_xml.h"

using Microsoft::WRL::ComPtr;

namespace
{
struct KindDefinition
{
    const wchar_t* pszKind;
    const wchar_t* pszXmlPath;
    const wchar_t* pszRegistryKey;
};

// In the order Load reads them.
const KindDefinition kKinds[] = {
    {LAUNCHER_KIND_MUSIC, L"velomar_launcher/tolvik/music", LAUNCHER_MUSIC_KEY},
    {LAUNCHER_KIND_VIDEO, L"velomar_launcher/tolvik/video", LAUNCHER_VIDEO_KEY},
    {LAUNCHER_KIND_PHOTO, L"velomar_launcher/tolvik/photo", LAUNCHER_PHOTO_KEY},
    {LAUNCHER_KIND_PODCAST, L"velomar_launcher/tolvik/podcast", LAUNCHER_PODCAST_KEY},
};

const wchar_t kFirstExecPath[] = L"velomar_launcher/tolvik/first_exec";
const wchar_t* const kEntryFields[] = {L"name", L"errormsg", L"path", L"key", L"entry", L"exe", L"param"};
const wchar_t* const kExecInfoFields[] = {L"path", L"key", L"entry", L"exe", L"param"};

const KindDefinition* FindKind(const std::wstring& kind)
{
    for (const KindDefinition& definition : kKinds)
    {
        if (kind == definition.pszKind)
            return &definition;
    }
    return nullptr;
}

std::wstring* ExecInfoField(ExecInfo& info, size_t nIndex)
{
    std::wstring* fields[] = {&info.path, &info.key, &info.entry, &info.exe, &info.param};
    return fields[nIndex];
}

// A missing child leaves the field empty.
void ReadChildText(IXMLDOMNode* pParent, const wchar_t* pszName, std::wstring& text)
{
    text.clear();
    ComPtr<IXMLDOMNode> pChild;
    if (SettingsXml::SelectNode(pParent, pszName, pChild) == S_OK)
        SettingsXml::GetText(pChild.Get(), text);
}

HRESULT EnumerateCandidates(const std::wstring& strKindKey, std::vector<AppEntry>& candidates)
{
    candidates.clear();
    UniqueHKey key;
    RETURN_IF_WIN32_ERROR(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, strKindKey.c_str(), 0, KEY_READ, key.Receive()));
    bool bHasCustom = false;
    AppEntry custom;
    for (DWORD dwIndex = 0;; ++dwIndex)
    {
        wchar_t szName[1025] = {};
        DWORD cchName = ARRAYSIZE(szName);
        const LONG err = ::RegEnumKeyExW(key.Get(), dwIndex, szName, &cchName, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_MORE_DATA)
            continue;  // a name longer than any candidate's
        if (err != ERROR_SUCCESS)
            break;
        AppEntry candidate;
        if (FAILED(SettingsRegistry::ReadAppEntry(strKindKey + L"\\" + szName, candidate)) || candidate.name.empty())
            continue;
        if (candidate.name == APPENTRY_NAME_CUSTOM)
        {
            custom = candidate;
            bHasCustom = true;
            continue;
        }
        candidates.push_back(candidate);
    }
    if (bHasCustom)
        candidates.push_back(custom);
    return S_OK;
}
}  // namespace

CLauncherSettings::CLauncherSettings() = default;
CLauncherSettings::~CLauncherSettings() = default;

HRESULT CLauncherSettings::Load(HMODULE hTemplateModule)
{
    if (hTemplateModule == nullptr)
        hTemplateModule = ::GetModuleHandleW(nullptr);

    if (SUCCEEDED(SettingsXml::CreateDocument(m_pDocument)))
    {
        std::wstring strFile;
        const bool bFileLoaded = SUCCEEDED(GetLauncherSettingsFilePath(strFile)) &&
                                 SettingsXml::LoadFile(m_pDocument.Get(), strFile) == S_OK;
        if (!bFileLoaded && SettingsXml::LoadTemplate(m_pDocument.Get(), hTemplateModule) != S_OK)
            m_pDocument.Reset();
    }

    for (const KindDefinition& kind : kKinds)
        RETURN_IF_FAILED(LoadKind(kind.pszKind, kind.pszXmlPath, kind.pszRegistryKey));

    if (m_pDocument)
    {
        ComPtr<IXMLDOMNode> pFirstExec;
        std::wstring strText;
        if (SettingsXml::SelectNode(m_pDocument.Get(), kFirstExecPath, pFirstExec) == S_OK &&
            SUCCEEDED(SettingsXml::GetText(pFirstExec.Get(), strText)) && strText == L"true" &&
            SUCCEEDED(SettingsXml::SetText(pFirstExec.Get(), L"false")))
        {
            m_bFirstRun = true;
        }
    }
    return S_OK;
}

HRESULT CLauncherSettings::LoadKind(const wchar_t* pszKind, const wchar_t* pszXmlPath,
                                    const std::wstring& strRegistryKey)
{
    std::vector<AppEntry> candidates;
    RETURN_IF_FAILED(EnumerateCandidates(strRegistryKey, candidates));

    AppEntry selection;
    if (FAILED(ReadSelectionFromXml(pszXmlPath, selection)) || selection.name.empty())
    {
        RETURN_IF_FAILED(SettingsRegistry::ReadAppEntry(strRegistryKey, selection));
        for (const AppEntry& candidate : candidates)
        {
            if (candidate.name == selection.name)
            {
                selection.alternatives = candidate.alternatives;
                break;
            }
        }
    }
    m_mapKinds.emplace(pszKind, KindRecord{selection, pszXmlPath, strRegistryKey});
    return S_OK;
}

HRESULT CLauncherSettings::ReadSelectionFromXml(const std::wstring& strXmlPath, AppEntry& entry) const
{
    entry = AppEntry();
    RETURN_HR_IF_NULL(E_POINTER, m_pDocument.Get());
    ComPtr<IXMLDOMNode> pKind;
    RETURN_IF_FAILED(SettingsXml::SelectNode(m_pDocument.Get(), strXmlPath, pKind));
    RETURN_HR_IF(E_FAIL, !pKind);

    // Everything below is looked up inside this one kind element: a file holding the element
    // twice must not mix the two.
    std::wstring* fields[] = {&entry.name, &entry.errormsg, &entry.path, &entry.key,
                              &entry.entry, &entry.exe, &entry.param};
    for (size_t i = 0; i < ARRAYSIZE(fields); ++i)
        ReadChildText(pKind.Get(), kEntryFields[i], *fields[i]);

    ComPtr<IXMLDOMNode> pExecInfos;
    if (SettingsXml::SelectNode(pKind.Get(), L"ExecInfos", pExecInfos) != S_OK)
        return S_OK;
    std::vector<ComPtr<IXMLDOMNode>> execInfos;
    RETURN_IF_FAILED(SettingsXml::SelectChildren(pExecInfos.Get(), L"ExecInfo", execInfos));
    for (const ComPtr<IXMLDOMNode>& pExecInfo : execInfos)
    {
        ExecInfo info;
        for (size_t i = 0; i < ARRAYSIZE(kExecInfoFields); ++i)
            ReadChildText(pExecInfo.Get(), kExecInfoFields[i], *ExecInfoField(info, i));
        entry.alternatives.push_back(info);
    }
    return S_OK;
}

void CLauncherSettings::GetSelections(AppEntry& music, AppEntry& photo, AppEntry& video, AppEntry& podcast) const
{
    const std::pair<const wchar_t*, AppEntry*> outputs[] = {
        {LAUNCHER_KIND_MUSIC, &music}, {LAUNCHER_KIND_PHOTO, &photo},
        {LAUNCHER_KIND_VIDEO, &video}, {LAUNCHER_KIND_PODCAST, &podcast}};
    for (const auto& output : outputs)
    {
        const auto it = m_mapKinds.find(output.first);
        if (it != m_mapKinds.end())
            *output.second = it->second.m_entry;
    }
}

HRESULT CLauncherSettings::GetCandidates(const std::wstring& kind, std::vector<AppEntry>& candidates) const
{
    candidates.clear();
    const KindDefinition* pKind = FindKind(kind);
    RETURN_HR_IF_NULL(E_INVALIDARG, pKind);
    return EnumerateCandidates(pKind->pszRegistryKey, candidates);
}

HRESULT CLauncherSettings::StoreAndSave(const AppEntry& music, const AppEntry& photo, const AppEntry& video,
                                        const AppEntry& podcast)
{
    const std::pair<const wchar_t*, const AppEntry*> inputs[] = {
        {LAUNCHER_KIND_MUSIC, &music}, {LAUNCHER_KIND_PHOTO, &photo},
        {LAUNCHER_KIND_VIDEO, &video}, {LAUNCHER_KIND_PODCAST, &podcast}};
    for (const auto& input : inputs)
        m_mapKinds[input.first].m_entry = *input.second;

    RETURN_HR_IF_NULL(E_POINTER, m_pDocument.Get());
    for (const auto& kind : m_mapKinds)
    {
        // A kind that never loaded has no place in the file; its old element stays as it is.
        if (kind.second.m_strXmlPath.empty())
            continue;
        RETURN_IF_FAILED(WriteSelectionToXml(kind.second.m_strXmlPath, kind.second.m_entry));
    }

    std::wstring strFile;
    RETURN_IF_FAILED(GetLauncherSettingsFilePath(strFile));
    RETURN_IF_FAILED(SaveXmlReplacing(m_pDocument.Get(), strFile));
    return S_OK;
}

HRESULT CLauncherSettings::WriteSelectionToXml(const std::wstring& strXmlPath, const AppEntry& entry)
{
    IXMLDOMDocument* pDocument = m_pDocument.Get();
    ComPtr<IXMLDOMNode> pKind;
    RETURN_IF_FAILED(SettingsXml::EnsureNode(pDocument, strXmlPath, pKind));

    const std::wstring* fields[] = {&entry.name, &entry.errormsg, &entry.path, &entry.key,
                                    &entry.entry, &entry.exe, &entry.param};
    for (size_t i = 0; i < ARRAYSIZE(fields); ++i)
    {
        ComPtr<IXMLDOMNode> pChild;
        RETURN_IF_FAILED(SettingsXml::EnsureChild(pDocument, pKind.Get(), kEntryFields[i], pChild));
        RETURN_IF_FAILED(SettingsXml::SetText(pChild.Get(), *fields[i]));
    }

    std::vector<ComPtr<IXMLDOMNode>> oldExecInfos;
    RETURN_IF_FAILED(SettingsXml::SelectChildren(pKind.Get(), L"ExecInfos", oldExecInfos));
    for (const ComPtr<IXMLDOMNode>& pOld : oldExecInfos)
    {
        ComPtr<IXMLDOMNode> pRemoved;
        RETURN_IF_FAILED(pKind->removeChild(pOld.Get(), &pRemoved));
    }
    if (entry.alternatives.empty())
        return S_OK;

    ComPtr<IXMLDOMElement> pExecInfos;
    RETURN_IF_FAILED(pDocument->createElement(CScopedBstr(L"ExecInfos"), &pExecInfos));
    RETURN_HR_IF_NULL(E_FAIL, pExecInfos.Get());
    for (const ExecInfo& info : entry.alternatives)
    {
        ComPtr<IXMLDOMElement> pExecInfo;
        RETURN_IF_FAILED(pDocument->createElement(CScopedBstr(L"ExecInfo"), &pExecInfo));
        RETURN_HR_IF_NULL(E_FAIL, pExecInfo.Get());
        ExecInfo copy = info;
        for (size_t i = 0; i < ARRAYSIZE(kExecInfoFields); ++i)
            RETURN_IF_FAILED(
                SettingsXml::AppendTextElement(pDocument, pExecInfo.Get(), kExecInfoFields[i], *ExecInfoField(copy, i)));
        ComPtr<IXMLDOMNode> pAppended;
        RETURN_IF_FAILED(pExecInfos->appendChild(pExecInfo.Get(), &pAppended));
    }
    ComPtr<IXMLDOMNode> pAppended;
    RETURN_IF_FAILED(pKind->appendChild(pExecInfos.Get(), &pAppended));
    return S_OK;
}

void CLauncherSettings::Release()
{
    m_pDocument.Reset();
}
