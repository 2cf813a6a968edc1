#pragma once
// The launcher's settings: the user's application choice per content kind (an XML file in the
// all-users data folder) over the installer's defaults and candidates (machine registry).
#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <map>
#include <string>
#include <vector>

#include "launcher/settings/app_entry.h"

// Kind names, the keys of the selection map.
#define LAUNCHER_KIND_MUSIC L"music"
#define LAUNCHER_KIND_PHOTO L"photo"
#define LAUNCHER_KIND_VIDEO L"video"
#define LAUNCHER_KIND_PODCAST L"podcast"

struct KindRecord
{
    AppEntry m_entry;             // the selection
    std::wstring m_strXmlPath;    // e.g. "velomar_launcher/tolvik/music"; empty when never loaded
    std::wstring m_strRegistryKey;  // below HKLM; empty when never loaded
};

class CLauncherSettings
{
public:
    CLauncherSettings();
    ~CLauncherSettings();
    CLauncherSettings(const CLauncherSettings&) = delete;
    CLauncherSettings& operator=(const CLauncherSettings&) = delete;

    // Reads the settings file (or the XML template embedded in hTemplateModule, the running
    // executable when null) and the registry defaults. Stops at the first kind whose registry
    // key is missing and returns that error; kinds loaded before it stay usable.
    HRESULT Load(HMODULE hTemplateModule = nullptr);

    // Copies the four selections; a kind that is not loaded leaves its out-record untouched.
    void GetSelections(AppEntry& music, AppEntry& photo, AppEntry& video, AppEntry& podcast) const;

    // Candidates of one kind (LAUNCHER_KIND_*), read afresh from the registry: the named
    // candidates in enumeration order, then "Custom".
    HRESULT GetCandidates(const std::wstring& kind, std::vector<AppEntry>& candidates) const;

    // Replaces the four selections and writes the settings file. The file is replaced only as a
    // whole: on any failure the previous file stays as it was.
    HRESULT StoreAndSave(const AppEntry& music, const AppEntry& photo, const AppEntry& video,
                         const AppEntry& podcast);

    // Drops the XML document.
    void Release();

    bool IsFirstRun() const { return m_bFirstRun; }

    // The loaded kinds, by kind name.
    const std::map<std::wstring, KindRecord>& Kinds() const { return m_mapKinds; }

private:
    HRESULT LoadKind(const wchar_t* pszKind, const wchar_t* pszXmlPath, const std::wstring& strRegistryKey);
    HRESULT ReadSelectionFromXml(const std::wstring& strXmlPath, AppEntry& entry) const;
    HRESULT WriteSelectionToXml(const std::wstring& strXmlPath, const AppEntry& entry);

    bool m_bFirstRun = false;
    std::map<std::wstring, KindRecord> m_mapKinds;
    Microsoft::WRL::ComPtr<IXMLDOMDocument> m_pDocument;
};
