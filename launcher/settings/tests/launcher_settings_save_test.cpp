// Storing the selections: element creation and order, alternatives, and a file that is only
// ever replaced as a whole.
#include <gtest/gtest.h>

#include "common/scoped_bstr.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "launcher/settings/launcher_settings.h"
#include "launcher/settings/settings_registry.h"
#include "launcher/settings/settings_xml.h"
#include "launcher/settings/tests/settings_test_util.h"

using Microsoft::WRL::ComPtr;
using namespace settingstest;

namespace
{
const std::vector<std::wstring> kLeaves = {L"name", L"errormsg", L"path", L"key", L"entry", L"exe", L"param"};

class SaveTest : public CSettingsTest
{
protected:
    void SetUp() override
    {
        CSettingsTest::SetUp();
        CreateKindKeys();
    }

    std::vector<std::wstring> Children(IXMLDOMDocument* pDocument, const std::wstring& path)
    {
        ComPtr<IXMLDOMNode> pNode;
        EXPECT_EQ(S_OK, SettingsXml::SelectNode(pDocument, path, pNode)) << WideToUtf8(path);
        return ChildElementNames(pNode.Get());
    }
};

TEST_F(SaveTest, FirstSaveWritesTheChoicesAndClearsTheFirstRunMarker)
{
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    ASSERT_TRUE(settings.IsFirstRun());

    AppEntry music = MakeEntry(L"Fab \x97F3\x697D", L"C:\\Fab", L"fab.exe");
    music.key = L"Fabrikam";
    music.entry = L"Dir";
    music.param = L"/d \"%s\" <&>";
    const AppEntry photo = MakeEntry(L"Photo");
    const AppEntry video = MakeEntry(L"Custom", L"D:\\Tools\\v.exe");
    const AppEntry podcast = MakeEntry(L"Not Selected");
    ASSERT_EQ(S_OK, settings.StoreAndSave(music, photo, video, podcast));

    std::string bytes;
    ASSERT_TRUE(zeptest::ReadFileBytes(SettingsFile(), bytes));
    EXPECT_EQ(0u, ToLower(Utf8ToWide(bytes)).find(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>"));
    EXPECT_NE(std::string::npos, bytes.find("Fab \xE9\x9F\xB3\xE6\xA5\xBD"));  // UTF-8 on disk
    // Nothing but the file is left in the folder.
    EXPECT_EQ(std::vector<std::wstring>{L"TOLVIKSetting.xml"}, ListFolder(DataFolder()));

    ComPtr<IXMLDOMDocument> pSaved = LoadXmlFile(SettingsFile());
    ASSERT_TRUE(pSaved);
    EXPECT_EQ(L"false", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/first_exec"));
    EXPECT_EQ((std::vector<std::wstring>{L"pirro", L"tolvik"}), Children(pSaved.Get(), L"velomar_launcher"));
    EXPECT_EQ((std::vector<std::wstring>{L"first_exec", L"music", L"photo", L"video", L"podcast"}),
              Children(pSaved.Get(), L"velomar_launcher/tolvik"));
    EXPECT_EQ(kLeaves, Children(pSaved.Get(), L"velomar_launcher/tolvik/music"));

    CLauncherSettings reloaded;
    ASSERT_EQ(S_OK, reloaded.Load());
    EXPECT_FALSE(reloaded.IsFirstRun());
    AppEntry m, p, v, c;
    reloaded.GetSelections(m, p, v, c);
    EXPECT_TRUE(m == music);
    EXPECT_TRUE(p == photo);
    EXPECT_TRUE(v == video);
    EXPECT_TRUE(c == podcast);
}

TEST_F(SaveTest, AlternativesAreWrittenAfterTheLeavesAndRemovedWhenGone)
{
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    AppEntry music = MakeEntry(L"Fab", L"C:\\Fab", L"fab.exe");
    music.alternatives = {MakeExecInfo(L"C:\\A", L"a.exe", L"/a %s"), MakeExecInfo(L"C:\\B", L"b.exe")};
    music.alternatives[1].key = L"Fabrikam";
    music.alternatives[1].entry = L"Dir";
    const AppEntry other = MakeEntry(L"Other");
    ASSERT_EQ(S_OK, settings.StoreAndSave(music, other, other, other));
    {
        ComPtr<IXMLDOMDocument> pSaved = LoadXmlFile(SettingsFile());
        std::vector<std::wstring> expected = kLeaves;
        expected.push_back(L"ExecInfos");
        EXPECT_EQ(expected, Children(pSaved.Get(), L"velomar_launcher/tolvik/music"));
        EXPECT_EQ((std::vector<std::wstring>{L"ExecInfo", L"ExecInfo"}),
                  Children(pSaved.Get(), L"velomar_launcher/tolvik/music/ExecInfos"));
        for (int n = 0; n < 2; ++n)
            EXPECT_EQ((std::vector<std::wstring>{L"path", L"key", L"entry", L"exe", L"param"}),
                      Children(pSaved.Get(), FormatString(L"velomar_launcher/tolvik/music/ExecInfos/ExecInfo[%d]", n)));
        EXPECT_EQ(L"C:\\A", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/music/ExecInfos/ExecInfo[0]/path"));
        EXPECT_EQ(L"Dir", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/music/ExecInfos/ExecInfo[1]/entry"));
        EXPECT_EQ(kLeaves, Children(pSaved.Get(), L"velomar_launcher/tolvik/photo"));
    }

    // Saving again with other alternatives replaces the element rather than adding a second.
    music.alternatives = {MakeExecInfo(L"C:\\Z")};
    ASSERT_EQ(S_OK, settings.StoreAndSave(music, other, other, other));
    {
        ComPtr<IXMLDOMDocument> pSaved = LoadXmlFile(SettingsFile());
        EXPECT_EQ(8u, Children(pSaved.Get(), L"velomar_launcher/tolvik/music").size());
        EXPECT_EQ(std::vector<std::wstring>{L"ExecInfo"},
                  Children(pSaved.Get(), L"velomar_launcher/tolvik/music/ExecInfos"));
    }
    CLauncherSettings reloaded;
    ASSERT_EQ(S_OK, reloaded.Load());
    AppEntry m, p, v, c;
    reloaded.GetSelections(m, p, v, c);
    EXPECT_TRUE(m == music);

    music.alternatives.clear();
    ASSERT_EQ(S_OK, settings.StoreAndSave(music, other, other, other));
    ComPtr<IXMLDOMDocument> pSaved = LoadXmlFile(SettingsFile());
    EXPECT_EQ(kLeaves, Children(pSaved.Get(), L"velomar_launcher/tolvik/music"));
}

TEST_F(SaveTest, MissingElementsAreCreatedAtTheEndAndExistingOnesKeepTheirPlace)
{
    // As an installer may leave it: podcast removed, music with its leaves shuffled and one
    // missing, an element this program does not know.
    WriteSettingsFile(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<velomar_launcher><pirro><x>kept</x></pirro><tolvik>"
        "<first_exec>false</first_exec>"
        "<music><exe>old.exe</exe><name>Old</name><note>kept</note><errormsg/><path/><key/><entry/></music>"
        "<photo/><video/></tolvik></velomar_launcher>");
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    const AppEntry entry = MakeEntry(L"New", L"C:\\New", L"new.exe");
    ASSERT_EQ(S_OK, settings.StoreAndSave(entry, entry, entry, entry));

    ComPtr<IXMLDOMDocument> pSaved = LoadXmlFile(SettingsFile());
    EXPECT_EQ((std::vector<std::wstring>{L"first_exec", L"music", L"photo", L"video", L"podcast"}),
              Children(pSaved.Get(), L"velomar_launcher/tolvik"));
    EXPECT_EQ((std::vector<std::wstring>{L"exe", L"name", L"note", L"errormsg", L"path", L"key", L"entry", L"param"}),
              Children(pSaved.Get(), L"velomar_launcher/tolvik/music"));
    EXPECT_EQ(L"new.exe", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/music/exe"));
    EXPECT_EQ(L"kept", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/music/note"));
    EXPECT_EQ(L"kept", NodeText(pSaved.Get(), L"velomar_launcher/pirro/x"));
    EXPECT_EQ(kLeaves, Children(pSaved.Get(), L"velomar_launcher/tolvik/podcast"));
    EXPECT_EQ(L"New", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/podcast/name"));
}

TEST_F(SaveTest, AFileWithoutTheTreeGetsItBuilt)
{
    WriteSettingsFile("<?xml version=\"1.0\" encoding=\"utf-8\"?><velomar_launcher/>");
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    EXPECT_FALSE(settings.IsFirstRun());
    const AppEntry entry = MakeEntry(L"New");
    ASSERT_EQ(S_OK, settings.StoreAndSave(entry, entry, entry, entry));
    ComPtr<IXMLDOMDocument> pSaved = LoadXmlFile(SettingsFile());
    // Map order: music, photo, podcast, video.
    EXPECT_EQ((std::vector<std::wstring>{L"music", L"photo", L"podcast", L"video"}),
              Children(pSaved.Get(), L"velomar_launcher/tolvik"));
}

TEST_F(SaveTest, AFailedSaveLeavesTheOldFileWhole)
{
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    const AppEntry first = MakeEntry(L"First");
    ASSERT_EQ(S_OK, settings.StoreAndSave(first, first, first, first));
    std::string before;
    ASSERT_TRUE(zeptest::ReadFileBytes(SettingsFile(), before));

    {
        // Another program holds the file open and lets nobody replace it.
        UniqueHandle holder(::CreateFileW(SettingsFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder.IsValid());
        const AppEntry second = MakeEntry(L"Second", std::wstring(3000, L'p'));
        EXPECT_TRUE(FAILED(settings.StoreAndSave(second, second, second, second)));
    }
    std::string after;
    ASSERT_TRUE(zeptest::ReadFileBytes(SettingsFile(), after));
    EXPECT_EQ(before, after);
    EXPECT_EQ(std::vector<std::wstring>{L"TOLVIKSetting.xml"}, ListFolder(DataFolder()));

    // Once the file is free again the next save goes through.
    const AppEntry third = MakeEntry(L"Third");
    ASSERT_EQ(S_OK, settings.StoreAndSave(third, third, third, third));
    ComPtr<IXMLDOMDocument> pSaved = LoadXmlFile(SettingsFile());
    EXPECT_EQ(L"Third", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/video/name"));
}

TEST_F(SaveTest, AnUnwritableFolderFailsWithoutTouchingAnything)
{
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    // The data folder's place is taken by a file: neither folder nor settings can be written.
    ASSERT_TRUE(zeptest::RemoveTree(DataFolder()));
    ASSERT_TRUE(zeptest::WriteFileBytes(DataFolder(), "x", 1));
    const AppEntry entry = MakeEntry(L"Any");
    EXPECT_TRUE(FAILED(settings.StoreAndSave(entry, entry, entry, entry)));
    std::string bytes;
    ASSERT_TRUE(zeptest::ReadFileBytes(DataFolder(), bytes));
    EXPECT_EQ("x", bytes);
}

TEST_F(SaveTest, AKindThatNeverLoadedKeepsItsElement)
{
    WriteSettingsFile(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<velomar_launcher><tolvik><first_exec>false</first_exec>"
        "<music><name>M</name></music><photo><name>Kept</name></photo><video><name>V</name></video>"
        "<podcast><name>P</name></podcast></tolvik></velomar_launcher>");
    ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, LAUNCHER_PHOTO_KEY));
    CLauncherSettings settings;
    EXPECT_TRUE(FAILED(settings.Load()));
    const AppEntry entry = MakeEntry(L"New");
    ASSERT_EQ(S_OK, settings.StoreAndSave(entry, entry, entry, entry));
    ComPtr<IXMLDOMDocument> pSaved = LoadXmlFile(SettingsFile());
    EXPECT_EQ(L"New", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/music/name"));
    EXPECT_EQ(L"New", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/video/name"));
    EXPECT_EQ(L"Kept", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/photo/name"));
    EXPECT_EQ(L"P", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/podcast/name"));
    AppEntry m, p, v, c;
    settings.GetSelections(m, p, v, c);
    EXPECT_EQ(L"New", p.name);  // the choice is still held for this run
}
}  // namespace

namespace
{
TEST_F(SaveTest, AKindElementTwiceIsReadAndWrittenInTheFirstOnly)
{
    // The second music element has a leaf and more alternatives than the first: nothing of it
    // may leak into the selection, and it must not stop the save.
    WriteSettingsFile(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<velomar_launcher><tolvik><first_exec>false</first_exec>"
        "<music><name>First</name><errormsg>gone</errormsg><path>C:\\First</path></music>"
        "<music><name>Second</name><exe>second.exe</exe><ExecInfos>"
        "<ExecInfo><path>C:\\S0</path></ExecInfo><ExecInfo><path>C:\\S1</path></ExecInfo></ExecInfos></music>"
        "<photo/><video/><podcast/></tolvik></velomar_launcher>");
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    AppEntry m, p, v, c;
    settings.GetSelections(m, p, v, c);
    AppEntry first = MakeEntry(L"First", L"C:\\First");
    first.errormsg = L"gone";
    EXPECT_TRUE(m == first);

    AppEntry music = MakeEntry(L"Fab", L"C:\\Fab");
    music.alternatives = {MakeExecInfo(L"C:\\A", L"a.exe")};
    const AppEntry other = MakeEntry(L"Other");
    ASSERT_EQ(S_OK, settings.StoreAndSave(music, other, other, other));

    ComPtr<IXMLDOMDocument> pSaved = LoadXmlFile(SettingsFile());
    std::vector<std::wstring> expected = kLeaves;
    expected.push_back(L"ExecInfos");
    EXPECT_EQ(expected, Children(pSaved.Get(), L"velomar_launcher/tolvik/music[0]"));
    EXPECT_EQ(L"", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/music[0]/exe"));
    EXPECT_EQ((std::vector<std::wstring>{L"name", L"exe", L"ExecInfos"}),
              Children(pSaved.Get(), L"velomar_launcher/tolvik/music[1]"));
    EXPECT_EQ(L"second.exe", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/music[1]/exe"));

    CLauncherSettings reloaded;
    ASSERT_EQ(S_OK, reloaded.Load());
    reloaded.GetSelections(m, p, v, c);
    EXPECT_TRUE(m == music);

    // Saved again without alternatives: only the first element's go.
    music.alternatives.clear();
    ASSERT_EQ(S_OK, settings.StoreAndSave(music, other, other, other));
    pSaved = LoadXmlFile(SettingsFile());
    EXPECT_EQ(kLeaves, Children(pSaved.Get(), L"velomar_launcher/tolvik/music[0]"));
    EXPECT_EQ(2u, Children(pSaved.Get(), L"velomar_launcher/tolvik/music[1]/ExecInfos").size());
}

TEST_F(SaveTest, ADocumentOfAnotherKindIsTakenForNoFileAndReplacedOnSave)
{
    WriteRegistryEntry(LAUNCHER_MUSIC_KEY, MakeEntry(L"Default"));
    // Well-formed, with the kind elements one level down, but not a settings document.
    WriteSettingsFile("<?xml version=\"1.0\" encoding=\"utf-8\"?><other><velomar_launcher><tolvik>"
                      "<first_exec>false</first_exec><music><name>Inner</name></music></tolvik>"
                      "</velomar_launcher></other>");
    CLauncherSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    EXPECT_TRUE(settings.IsFirstRun());  // as for a missing file: the template's marker
    AppEntry m, p, v, c;
    settings.GetSelections(m, p, v, c);
    EXPECT_EQ(L"Default", m.name);

    const AppEntry entry = MakeEntry(L"New");
    for (int nSave = 0; nSave < 2; ++nSave)
        ASSERT_EQ(S_OK, settings.StoreAndSave(entry, entry, entry, entry)) << nSave;
    ComPtr<IXMLDOMDocument> pSaved = LoadXmlFile(SettingsFile());
    ComPtr<IXMLDOMElement> pRoot;
    ASSERT_EQ(S_OK, pSaved->get_documentElement(&pRoot));
    CScopedBstr bstrName;
    ASSERT_EQ(S_OK, pRoot->get_nodeName(bstrName.Receive()));
    EXPECT_EQ(L"velomar_launcher", bstrName.ToString());
    EXPECT_EQ(L"New", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/music/name"));
    EXPECT_EQ(L"false", NodeText(pSaved.Get(), L"velomar_launcher/tolvik/first_exec"));
}
}  // namespace
