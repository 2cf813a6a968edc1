#include "tools/fuzz/settings_fuzz_target.h"

#include "common/registry.h"
#include "common/string_util.h"
#include "common/unique_resource.h"
#include "launcher/settings/launcher_settings.h"
#include "launcher/settings/settings_paths.h"
#include "launcher/settings/settings_registry.h"
#include "tools/fuzz/mutator.h"

namespace
{
const char* const kVocabulary[] = {
    "velomar_launcher", "pirro", "tolvik", "first_exec", "music", "photo", "video", "podcast", "name", "errormsg",
    "path", "key", "entry", "exe", "param", "ExecInfos", "ExecInfo", "Custom", "Not Selected", "true", "false",
    "TRUE", "%s", "%%", "%n%n%n", "%d", "%1", "<name>Custom</name>", "<name/>", "<ExecInfos/>",
    "<ExecInfos><ExecInfo><path>C:\\a</path></ExecInfo></ExecInfos>", "<ExecInfo/>", "<music/>",
    "<first_exec>true</first_exec>", "<tolvik/>", "</tolvik>", "<velomar_launcher>", "</velomar_launcher>",
};

// Texts a user's choices never hold but the store must save and read back unchanged.
const wchar_t* const kOddTexts[] = {
    L"", L"&<>\"'", L"]]>", L"%s%s%n", L"C:\\Program Files (x86)\\A & B\\a.exe", L"\x3042\x3044\x3046",
    L"\xD83D\xDE00", L"tab\there", L"Custom", L"Not Selected",
};

// Installer defaults for every kind, so that Load has registry entries to fall back on, and
// candidates (with alternatives) for music. Kept small: every Load reads all of it again.
void WriteInstallerRegistry()
{
    const struct
    {
        const wchar_t* pszKey;
        const wchar_t* pszDefault;
    } kKinds[] = {{LAUNCHER_MUSIC_KEY, L"Jukebox"},
                  {LAUNCHER_PHOTO_KEY, L"Viewer"},
                  {LAUNCHER_VIDEO_KEY, L"Movies"},
                  {LAUNCHER_PODCAST_KEY, L"Casts"}};
    for (const auto& kind : kKinds)
    {
        const std::wstring strKey = kind.pszKey;
        Registry::WriteString(HKEY_LOCAL_MACHINE, strKey.c_str(), L"name", kind.pszDefault);
        Registry::WriteString(HKEY_LOCAL_MACHINE, strKey.c_str(), L"path", L"C:\\Program Files\\Default");
        Registry::WriteString(HKEY_LOCAL_MACHINE, strKey.c_str(), L"exe", L"default.exe");
    }
    const std::wstring strMusic = LAUNCHER_MUSIC_KEY;
    Registry::WriteString(HKEY_LOCAL_MACHINE, strMusic.c_str(), L"errormsg", L"cannot start\\n");
    Registry::WriteString(HKEY_LOCAL_MACHINE, strMusic.c_str(), L"param", L"/d %s");
    Registry::WriteString(HKEY_LOCAL_MACHINE, (strMusic + L"\\ExecInfos\\ExecInfo0").c_str(), L"path", L"C:\\Alt");
    const std::wstring strCandidate = strMusic + L"\\Candidate1";
    Registry::WriteString(HKEY_LOCAL_MACHINE, strCandidate.c_str(), L"name", L"Jukebox");
    Registry::WriteString(HKEY_LOCAL_MACHINE, (strCandidate + L"\\ExecInfos\\ExecInfo0").c_str(), L"path",
                          L"C:\\Candidate\\Alt");
    Registry::WriteString(HKEY_LOCAL_MACHINE, (strMusic + L"\\Custom").c_str(), L"name", APPENTRY_NAME_CUSTOM);
}

std::string Describe(const AppEntry& a)
{
    std::wstring str = a.name + L"|" + a.errormsg + L"|" + a.path + L"|" + a.key + L"|" + a.entry + L"|" + a.exe +
                       L"|" + a.param;
    for (const ExecInfo& info : a.alternatives)
        str += L" [" + info.path + L"|" + info.key + L"|" + info.entry + L"|" + info.exe + L"|" + info.param + L"]";
    return WideToUtf8(str);
}

// Whether a file declares UTF-8 (or nothing, which means UTF-8).
bool DeclaresUtf8(const std::wstring& strPath)
{
    UniqueHandle file(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    char szHead[256] = {};
    DWORD cbRead = 0;
    if (!file || !::ReadFile(file.Get(), szHead, sizeof(szHead), &cbRead, nullptr))
        return false;
    std::string data(szHead, cbRead);
    if (data.compare(0, 3, "\xEF\xBB\xBF") == 0)
        data.erase(0, 3);
    if (data.compare(0, 5, "<?xml") != 0)
        return true;
    const size_t posEnd = data.find("?>");
    const std::string strDecl = data.substr(0, posEnd);
    const size_t posEncoding = strDecl.find("encoding=");
    if (posEncoding == std::string::npos)
        return true;
    std::string strName = strDecl.substr(posEncoding + 10, 5);
    for (char& ch : strName)
        ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    return strName == "utf-8";
}

class CSettingsFuzzTarget : public IFuzzTarget
{
public:
    const char* Name() const override { return "settings"; }

    bool SetUp(const std::wstring& strCorpusDir, const std::wstring& strWorkDir, std::string& strError) override
    {
        m_seeds = ReadCorpus(strCorpusDir, L".xml");
        if (m_seeds.empty())
        {
            strError = "no seed files (*.xml) in the corpus folder";
            return false;
        }
        m_vocabulary.assign(std::begin(kVocabulary), std::end(kVocabulary));
        m_mutator.reset(new CMutator(m_seeds, m_vocabulary));
        m_strDataFolder = strWorkDir + L"\\settings";
        ::CreateDirectoryW(m_strDataFolder.c_str(), nullptr);
        SetLauncherDataFolderOverride(m_strDataFolder);
        if (FAILED(GetLauncherSettingsFilePath(m_strFile)))
        {
            strError = "no settings file path";
            return false;
        }
        WriteInstallerRegistry();
        return true;
    }

    bool SelfTest(std::string& strError) override
    {
        for (size_t i = 0; i < m_seeds.size(); ++i)
        {
            WriteWholeFileBytes(m_strFile, m_seeds[i]);
            CLauncherSettings settings;
            HRESULT hr = settings.Load();
            AppEntry music, photo, video, podcast;
            settings.GetSelections(music, photo, video, podcast);
            if (SUCCEEDED(hr))
                hr = settings.StoreAndSave(music, photo, video, podcast);
            if (hr != S_OK)
            {
                strError = "seed " + std::to_string(i) + " does not load and save: " + std::to_string(hr);
                return false;
            }
        }
        return true;
    }

    std::string MakeInput(CFuzzRandom& rng) override
    {
        return m_mutator->Mutate(rng, m_seeds[rng.Below(m_seeds.size())]);
    }

    void Run(CFuzzRandom& rng, const std::string& input, IFuzzReport& report) override
    {
        if (!WriteWholeFileBytes(m_strFile, input))
            return;
        AppEntry entries[4];
        {
            CLauncherSettings settings;
            HRESULT hr = settings.Load();
            report.Result("Load", hr);
            // The registry is complete: the file alone never makes Load fail.
            if (hr != S_OK)
                report.Undocumented("Load", hr, std::string());
            settings.GetSelections(entries[0], entries[1], entries[2], entries[3]);

            // What the settings dialog may hand back: the loaded choices, now and then with
            // an odd text or an added alternative.
            if (rng.Percent(30))
            {
                AppEntry& entry = entries[rng.Below(4)];
                std::wstring* fields[] = {&entry.errormsg, &entry.path, &entry.key, &entry.entry, &entry.exe,
                                          &entry.param};
                *fields[rng.Below(6)] = kOddTexts[rng.Below(sizeof(kOddTexts) / sizeof(kOddTexts[0]))];
                if (rng.Percent(30))
                    entry.alternatives.push_back(ExecInfo{L"C:\\x", L"", L"", L"y.exe", L"%s"});
            }
            hr = settings.StoreAndSave(entries[0], entries[1], entries[2], entries[3]);
            report.Result("StoreAndSave", hr);
            if (!IsDocumentedSaveResult(hr))
                report.Undocumented("StoreAndSave", hr, std::string());
            if (hr != S_OK)
                return;
        }

        // What was saved is what the next start reads. Not checked for a file that declares
        // another encoding than UTF-8: Wine's MSXML then writes the text encoded twice (Windows
        // writes the declared encoding), a fault of the platform that no store of ours avoids.
        if (!DeclaresUtf8(m_strFile))
            return;
        CLauncherSettings reloaded;
        HRESULT hr = reloaded.Load();
        report.Result("Load after save", hr);
        if (hr != S_OK)
        {
            report.Undocumented("Load after save", hr, std::string());
            return;
        }
        AppEntry readBack[4];
        reloaded.GetSelections(readBack[0], readBack[1], readBack[2], readBack[3]);
        const char* const kKindNames[] = {"music", "photo", "video", "podcast"};
        for (size_t i = 0; i < 4; ++i)
        {
            if (readBack[i] != entries[i])
                report.Undocumented("StoreAndSave round trip", S_OK,
                                    std::string(kKindNames[i]) + ": saved " + Describe(entries[i]) + " read back " +
                                        Describe(readBack[i]));
        }
    }

    void TearDown() override { SetLauncherDataFolderOverride(L""); }

private:
    // Success, or the failure of a component, a file or a missing document.
    static bool IsDocumentedSaveResult(HRESULT hr)
    {
        return IsOneOf(hr, {S_OK, E_FAIL, E_POINTER, E_INVALIDARG, E_OUTOFMEMORY}) ||
               HRESULT_FACILITY(hr) == FACILITY_WIN32;
    }

    std::vector<std::string> m_seeds;
    std::vector<std::string> m_vocabulary;
    std::unique_ptr<CMutator> m_mutator;
    std::wstring m_strDataFolder;
    std::wstring m_strFile;
};
}  // namespace

std::unique_ptr<IFuzzTarget> CreateSettingsFuzzTarget()
{
    return std::unique_ptr<IFuzzTarget>(new CSettingsFuzzTarget);
}
