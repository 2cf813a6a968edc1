// Loading the selections: file, embedded template, registry defaults and candidates.
#include <gtest/gtest.h>

#include <cstring>

#include "common/registry.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "launcher/settings/launcher_settings.h"
#include "launcher/settings/settings_registry.h"
#include "launcher/settings/settings_xml.h"
#include "launcher/settings/tests/settings_test_util.h"

using Microsoft::WRL::ComPtr;
using namespace settingstest;

namespace
{
// A settings file with one kind filled in; the others as in a new file.
std::string SettingsXmlText(const std::string& firstExec, const std::string& musicBody)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<velomar_launcher><pirro/><tolvik>"
           "<first_exec>" + firstExec + "</first_exec>"
           "<music>" + musicBody + "</music>"
           "<photo><name></name></photo><video/><podcast/></tolvik></velomar_launcher>";
}

std::wstring FromUtf8(const char* psz)
{
    return Utf8ToWide(psz, strlen(psz));
}

TEST(SettingsTemplateTest, IsTheNewFileByteForByte)
{
    const BYTE* pData = nullptr;
    DWORD cbData = 0;
    ASSERT_EQ(S_OK, SettingsXml::GetTemplateBytes(::GetModuleHandleW(nullptr), pData, cbData));
    const std::string bytes(reinterpret_cast<const char*>(pData), cbData);
    EXPECT_EQ(894u, bytes.size());
    EXPECT_EQ(0u, bytes.find("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<velomar_launcher>\r\n"));
    const std::string closing = "\r\n  </tolvik>\r\n</velomar_launcher>";
    ASSERT_GE(bytes.size(), closing.size());
    EXPECT_EQ(closing, bytes.substr(bytes.size() - closing.size()));
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        if (bytes[i] == '\n')
        {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare line feed at " << i;
        }
        ASSERT_NE('\t', bytes[i]);
    }
    EXPECT_NE(std::string::npos, bytes.find("\r\n    <first_exec>true</first_exec>\r\n"));
    EXPECT_NE(std::string::npos, bytes.find("\r\n    <podcast>\r\n      <name></name>\r\n"));

    CComInitScope com;
    ComPtr<IXMLDOMDocument> pDocument;
    ASSERT_HRESULT_SUCCEEDED(SettingsXml::CreateDocument(pDocument));
    ASSERT_EQ(S_OK, SettingsXml::LoadTemplate(pDocument.Get(), ::GetModuleHandleW(nullptr)));
    ComPtr<IXMLDOMNode> pTolvik;
    ASSERT_EQ(S_OK, SettingsXml::SelectNode(pDocument.Get(), L"velomar_launcher/tolvik", pTolvik));
    EXPECT_EQ((std::vector<std::wstring>{L"first_exec", L"music", L"photo", L"video", L"podcast"}),
              ChildElementNames(pTolvik.Get()));
    ComPtr<IXMLDOMNode> pRoot;
    ASSERT_EQ(S_OK, SettingsXml::SelectNode(pDocument.Get(), L"velomar_launcher", pRoot));
    EXPECT_EQ((std::vector<std::wstring>{L"pirro", L"tolvik"}), ChildElementNames(pRoot.Get()));
    for (const wchar_t* pszKind : {L"music", L"photo", L"video", L"podcast"})
    {
        ComPtr<IXMLDOMNode> pKind;
        ASSERT_EQ(S_OK, SettingsXml::SelectNode(pTolvik.Get(), pszKind, pKind));
        EXPECT_EQ((std::vector<std::wstring>{L"name", L"errormsg", L"path", L"key", L"entry", L"exe", L"param"}),
                  ChildElementNames(pKind.Get()));
        std::wstring text;
        SettingsXml::GetText(pKind.Get(), text);
        EXPECT_EQ(L"", text);
    }
}

class LoadTest : public CSettingsTest
{
protected:
    void SetUp() override
    {
        CSettingsTest::SetUp();
        CreateKindKeys();
    }
};

TEST_F(LoadTest, WithoutAFileRunsFromTheTemplateAndWritesNothing)
{
    AppEntry musicDefault = MakeEntry(L"Fab Music", L"C:\\Fab", L"music.exe");
    WriteRegistryEntry(LAUNCHER_MUSIC_KEY, musicDefault);

    CLauncherSettings settings;
    EXPECT_EQ(S_OK, settings.Load());
    EXPECT_TRUE(settings.IsFirstRun());
    EXPECT_EQ(4u, settings.Kinds().size());
    AppEntry music, photo, video, podcast;
    settings.GetSelections(music, photo, video, podcast);
    EXPECT_TRUE(music == musicDefault);  // the template names nothing: registry default
    EXPECT_EQ(L"", photo.name);
    // The folder is made, the file is not.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(DataFolder().c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(SettingsFile().c_str()));
}

TEST_F(LoadTest, FirstRunFlagNeedsExactlyLowercaseTrue)
{
    const struct
    {
        const char* firstExec;
        bool bFirstRun;
    } cases[] = {{"true", true}, {"TRUE", false}, {"True", false}, {"false", false}, {"", false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.firstExec);
        WriteSettingsFile(SettingsXmlText(c.firstExec, ""));
        CLauncherSettings settings;
        EXPECT_EQ(S_OK, settings.Load());
        EXPECT_EQ(c.bFirstRun, settings.IsFirstRun());
    }
}

TEST_F(LoadTest, ReadsTheSelectionAndItsAlternativesFromTheFile)
{
    WriteRegistryEntry(LAUNCHER_MUSIC_KEY, MakeEntry(L"Default"));
    WriteSettingsFile(SettingsXmlText("false",
        "<name>Fab \xE9\x9F\xB3\xE6\xA5\xBD</name><errormsg>not found\\n</errormsg><path>C:\\Fab</path>"
        "<key>Fabrikam</key><entry>Dir</entry><exe>fab.exe</exe><param>/d %s</param>"
        "<ExecInfos>"
        "<ExecInfo><path>C:\\A</path><key/><entry/><exe>a.exe</exe><param>/a</param></ExecInfo>"
        "<ExecInfo><path>C:\\B</path><exe>b.exe</exe></ExecInfo>"
        "<ExecInfo><param>/c</param></ExecInfo>"
        "</ExecInfos>"));

    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    EXPECT_FALSE(settings.IsFirstRun());
    AppEntry music, photo, video, podcast;
    settings.GetSelections(music, photo, video, podcast);
    EXPECT_EQ(FromUtf8("Fab \xE9\x9F\xB3\xE6\xA5\xBD"), music.name);
    EXPECT_EQ(L"not found\\n", music.errormsg);
    EXPECT_EQ(L"C:\\Fab", music.path);
    EXPECT_EQ(L"Fabrikam", music.key);
    EXPECT_EQ(L"Dir", music.entry);
    EXPECT_EQ(L"fab.exe", music.exe);
    EXPECT_EQ(L"/d %s", music.param);
    ASSERT_EQ(3u, music.alternatives.size());
    EXPECT_TRUE(music.alternatives[0] == MakeExecInfo(L"C:\\A", L"a.exe", L"/a"));
    EXPECT_TRUE(music.alternatives[1] == MakeExecInfo(L"C:\\B", L"b.exe"));
    EXPECT_TRUE(music.alternatives[2] == MakeExecInfo(L"", L"", L"/c"));
}

TEST_F(LoadTest, AnEmptyNameFallsBackToTheRegistryDefaultWithItsCandidatesAlternatives)
{
    AppEntry registryDefault = MakeEntry(L"Fab", L"C:\\Default", L"fab.exe");
    registryDefault.alternatives = {MakeExecInfo(L"C:\\OwnAlt")};
    WriteRegistryEntry(LAUNCHER_MUSIC_KEY, registryDefault);
    AppEntry candidate = MakeEntry(L"Fab", L"C:\\Candidate", L"fab.exe");
    candidate.alternatives = {MakeExecInfo(L"C:\\X", L"x.exe"), MakeExecInfo(L"C:\\Y", L"y.exe")};
    WriteRegistryEntry(LAUNCHER_MUSIC_KEY L"\\1", candidate);
    WriteSettingsFile(SettingsXmlText("false",
        "<name></name><path>C:\\FromFile</path><exe>file.exe</exe>"
        "<ExecInfos><ExecInfo><path>C:\\FileAlt</path></ExecInfo></ExecInfos>"));

    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    AppEntry music, photo, video, podcast;
    settings.GetSelections(music, photo, video, podcast);
    AppEntry expected = registryDefault;
    expected.alternatives = candidate.alternatives;
    EXPECT_TRUE(expected == music);
}

TEST_F(LoadTest, AMissingKindElementFallsBackToTheRegistryDefault)
{
    WriteRegistryEntry(LAUNCHER_VIDEO_KEY, MakeEntry(L"Fab Video", L"C:\\Video"));
    WriteSettingsFile(SettingsXmlText("true", "<name>Fab</name>"));  // has <video/>, empty
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    EXPECT_TRUE(settings.IsFirstRun());
    AppEntry music, photo, video, podcast;
    settings.GetSelections(music, photo, video, podcast);
    EXPECT_EQ(L"Fab", music.name);
    EXPECT_EQ(L"Fab Video", video.name);
}

TEST_F(LoadTest, AnUnreadableFileFallsBackToTheTemplate)
{
    const std::string complete = "<velomar_launcher><tolvik><first_exec>false</first_exec></tolvik></velomar_launcher>";
    const struct
    {
        const char* pszLabel;
        std::string bytes;
    } cases[] = {
        {"cut short", "<velomar_launcher><tolvik><first_exec>false</first_exec>"},
        {"empty", ""},
        // Well-formed, but larger than any settings file: not read into memory.
        {"over 8 MiB", "<!--" + std::string(8 * 1024 * 1024, 'x') + "-->" + complete},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        WriteSettingsFile(c.bytes);
        CLauncherSettings settings;
        ASSERT_EQ(S_OK, settings.Load());
        EXPECT_TRUE(settings.IsFirstRun());
    }
    WriteSettingsFile(complete);
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    EXPECT_FALSE(settings.IsFirstRun());
}

TEST_F(LoadTest, AMissingKindKeyStopsLoadingThere)
{
    ASSERT_HRESULT_SUCCEEDED(Registry::DeleteTree(HKEY_LOCAL_MACHINE, LAUNCHER_PHOTO_KEY));
    WriteRegistryEntry(LAUNCHER_MUSIC_KEY, MakeEntry(L"Fab Music"));
    WriteRegistryEntry(LAUNCHER_VIDEO_KEY, MakeEntry(L"Fab Video"));
    WriteRegistryEntry(LAUNCHER_PODCAST_KEY, MakeEntry(L"Fab Podcast"));

    CLauncherSettings settings;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), settings.Load());
    // Music and video come before photo; podcast after it is never loaded, and the first-run
    // step is not reached.
    EXPECT_FALSE(settings.IsFirstRun());
    AppEntry music, photo = MakeEntry(L"untouched"), video, podcast = MakeEntry(L"untouched");
    settings.GetSelections(music, photo, video, podcast);
    EXPECT_EQ(L"Fab Music", music.name);
    EXPECT_EQ(L"Fab Video", video.name);
    EXPECT_EQ(L"untouched", photo.name);
    EXPECT_EQ(L"untouched", podcast.name);
}

TEST_F(LoadTest, WithoutAnyDocumentSelectionsComeFromTheRegistryAndNothingIsSaved)
{
    WriteRegistryEntry(LAUNCHER_MUSIC_KEY, MakeEntry(L"Fab Music"));
    CLauncherSettings settings;
    // A module without the template, and no file.
    ASSERT_EQ(S_OK, settings.Load(::GetModuleHandleW(L"kernel32.dll")));
    EXPECT_FALSE(settings.IsFirstRun());
    AppEntry music, photo, video, podcast;
    settings.GetSelections(music, photo, video, podcast);
    EXPECT_EQ(L"Fab Music", music.name);
    EXPECT_EQ(E_POINTER, settings.StoreAndSave(music, photo, video, podcast));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(SettingsFile().c_str()));
}

TEST_F(LoadTest, CandidatesComeInRegistryOrderWithCustomLast)
{
    // Subkey names sort "Custom" first; the subkey names themselves mean nothing.
    WriteRegistryEntry(LAUNCHER_PHOTO_KEY L"\\0", MakeEntry(L"Custom"));
    WriteRegistryEntry(LAUNCHER_PHOTO_KEY L"\\1", MakeEntry(L"Fab Photo", L"C:\\Fab"));
    WriteRegistryEntry(LAUNCHER_PHOTO_KEY L"\\2", MakeEntry(L""));  // unnamed: skipped
    WriteRegistryEntry(LAUNCHER_PHOTO_KEY L"\\3", MakeEntry(L"custom"));  // not the reserved name
    AppEntry withAlternatives = MakeEntry(L"Not Selected");
    withAlternatives.alternatives = {MakeExecInfo(L"C:\\Alt")};
    WriteRegistryEntry(LAUNCHER_PHOTO_KEY L"\\4", withAlternatives);
    // The default entry's own alternatives live in "ExecInfos", which is no candidate.
    WriteRegistryEntry(LAUNCHER_PHOTO_KEY, [] {
        AppEntry e = MakeEntry(L"Fab Photo");
        e.alternatives = {MakeExecInfo(L"C:\\X")};
        return e;
    }());

    CLauncherSettings settings;
    std::vector<AppEntry> candidates;
    ASSERT_EQ(S_OK, settings.GetCandidates(LAUNCHER_KIND_PHOTO, candidates));
    std::vector<std::wstring> names;
    for (const AppEntry& candidate : candidates)
        names.push_back(candidate.name);
    EXPECT_EQ((std::vector<std::wstring>{L"Fab Photo", L"custom", L"Not Selected", L"Custom"}), names);
    ASSERT_EQ(4u, candidates.size());
    EXPECT_EQ(L"C:\\Fab", candidates[0].path);
    EXPECT_TRUE(candidates[2] == withAlternatives);

    ASSERT_HRESULT_SUCCEEDED(Registry::DeleteTree(HKEY_LOCAL_MACHINE, LAUNCHER_VIDEO_KEY));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), settings.GetCandidates(LAUNCHER_KIND_VIDEO, candidates));
    EXPECT_TRUE(candidates.empty());
    EXPECT_EQ(E_INVALIDARG, settings.GetCandidates(L"Music", candidates));
}
}  // namespace

namespace
{
TEST_F(LoadTest, AFileWithADocumentTypeIsNotReadAtAll)
{
    WriteRegistryEntry(LAUNCHER_MUSIC_KEY, MakeEntry(L"Default"));
    const std::string body = "<velomar_launcher><tolvik><first_exec>false</first_exec>"
                             "<music><name>From file</name></music></tolvik></velomar_launcher>";
    const std::string entityBody = "<velomar_launcher><tolvik><first_exec>false</first_exec>"
                                   "<music><name>&e;</name></music></tolvik></velomar_launcher>";
    const std::string bom = "\xEF\xBB\xBF";
    auto utf16 = [](const std::string& ascii, bool bByteOrderMark) {
        std::string bytes = bByteOrderMark ? "\xFF\xFE" : "";
        for (char ch : ascii)
            bytes += std::string{ch, '\0'};
        return bytes;
    };
    const struct
    {
        const char* pszLabel;
        std::string bytes;
    } cases[] = {
        {"plain", "<!DOCTYPE velomar_launcher>" + body},
        {"after the declaration", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!DOCTYPE velomar_launcher>" + body},
        {"after a comment and a byte-order mark",
         bom + "<?xml version=\"1.0\"?><!-- x --> \r\n\t<!DOCTYPE velomar_launcher>" + body},
        {"internal entity", "<!DOCTYPE velomar_launcher [<!ENTITY e \"From file\">]>" + entityBody},
        {"nested entities",
         "<!DOCTYPE velomar_launcher [<!ENTITY a \"From file\"><!ENTITY b \"&a;&a;&a;&a;\"><!ENTITY e \"&b;&b;\">]>" +
             entityBody},
        {"external entity",
         "<!DOCTYPE velomar_launcher [<!ENTITY e SYSTEM \"file:///c:/windows/win.ini\">]>" + entityBody},
        {"external subset", "<!DOCTYPE velomar_launcher SYSTEM \"settings.dtd\">" + body},
        {"UTF-16", utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><!DOCTYPE velomar_launcher [<!ENTITY e \"From file\">]>" + entityBody, true)},
        {"UTF-16 without byte-order mark", utf16("<!DOCTYPE velomar_launcher [<!ENTITY e \"From file\">]>" + entityBody, false)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        WriteSettingsFile(c.bytes);
        CLauncherSettings settings;
        ASSERT_EQ(S_OK, settings.Load());
        // As for a file that is not there: the template, so the first-run marker is set.
        EXPECT_TRUE(settings.IsFirstRun());
        AppEntry music, photo, video, podcast;
        settings.GetSelections(music, photo, video, podcast);
        EXPECT_EQ(L"Default", music.name);

        // The next save writes a clean file over it.
        ASSERT_EQ(S_OK, settings.StoreAndSave(music, photo, video, podcast));
        std::string saved;
        ASSERT_TRUE(zeptest::ReadFileBytes(SettingsFile(), saved));
        EXPECT_EQ(std::string::npos, saved.find("DOCTYPE"));
    }

    // The same file without its document type is read.
    WriteSettingsFile("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- <!DOCTYPE in a comment -->" + body);
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    EXPECT_FALSE(settings.IsFirstRun());
    AppEntry music, photo, video, podcast;
    settings.GetSelections(music, photo, video, podcast);
    EXPECT_EQ(L"From file", music.name);
}
}  // namespace
// A settings file with some thousand alternatives (any user can write the file) loads in one walk
// over them: found by the mutation run, where reading each alternative by its position from the
// root kept the launcher's start busy for many seconds.
TEST_F(LoadTest, ThousandsOfAlternativesLoadInOneWalk)
{
    std::string alternatives;
    for (int i = 0; i < 3000; ++i)
        alternatives += "<ExecInfo><path>C:\\A" + std::to_string(i) + "</path><exe>a.exe</exe></ExecInfo>";
    WriteSettingsFile(SettingsXmlText("false", "<name>Fab</name><ExecInfos>" + alternatives + "</ExecInfos>"));

    const ULONGLONG ullStart = ::GetTickCount64();
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    EXPECT_LT(::GetTickCount64() - ullStart, 5000u);
    AppEntry music, photo, video, podcast;
    settings.GetSelections(music, photo, video, podcast);
    ASSERT_EQ(3000u, music.alternatives.size());
    EXPECT_EQ(L"C:\\A2999", music.alternatives.back().path);
    EXPECT_EQ(L"a.exe", music.alternatives.back().exe);
}
