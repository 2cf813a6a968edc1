// Locating a program: path joining, registry-located folders, parameters and the choice among
// alternatives.
#include <gtest/gtest.h>

#include "common/registry.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "launcher/settings/app_entry.h"
#include "launcher/settings/tests/settings_test_util.h"

using namespace settingstest;

namespace
{
const wchar_t kAppKey[] = L"SOFTWARE\\Fabrikam\\Player";

struct PathCase
{
    const char* label;
    const wchar_t* path;
    const wchar_t* key;
    const wchar_t* entry;
    const wchar_t* exe;
    const wchar_t* expected;
};

TEST(ResolvePathTest, JoinsFolderAndFileFromPathOrRegistry)
{
    // The located folder as the installer of another program may have written it.
    WriteRegistryString(kAppKey, L"InstallDir", L"C:\\Fab");
    WriteRegistryString(kAppKey, L"Slashed", L"C:\\Fab\\");
    WriteRegistryString(kAppKey, nullptr, L"C:\\Default");
    WriteRegistryRaw(kAppKey, L"Expand", REG_EXPAND_SZ,
                     std::string(reinterpret_cast<const char*>(L"%ProgramFiles%\\Fab"), 36) + std::string(2, '\0'));

    const PathCase cases[] = {
        {"folder and exe", L"C:\\Prog", L"", L"", L"a.exe", L"C:\\Prog\\a.exe"},
        {"trailing separator not doubled", L"C:\\Prog\\", L"", L"", L"a.exe", L"C:\\Prog\\a.exe"},
        {"forward slash kept", L"C:/Prog/", L"", L"", L"a.exe", L"C:/Prog/a.exe"},
        {"exe with leading separator", L"C:\\Prog", L"", L"", L"\\a.exe", L"C:\\Prog\\a.exe"},
        {"full path without exe", L"C:\\Prog\\a.exe", L"", L"", L"", L"C:\\Prog\\a.exe"},
        {"path wins over key", L"C:\\Prog", L"Fabrikam\\Player", L"InstallDir", L"a.exe", L"C:\\Prog\\a.exe"},
        {"registry folder", L"", L"Fabrikam\\Player", L"InstallDir", L"fab.exe", L"C:\\Fab\\fab.exe"},
        {"registry folder with separator", L"", L"Fabrikam\\Player", L"Slashed", L"fab.exe", L"C:\\Fab\\fab.exe"},
        {"empty entry is the default value", L"", L"Fabrikam\\Player", L"", L"fab.exe", L"C:\\Default\\fab.exe"},
        {"expandable text used as stored", L"", L"Fabrikam\\Player", L"Expand", L"", L"%ProgramFiles%\\Fab"},
        {"missing value", L"", L"Fabrikam\\Player", L"Nothing", L"fab.exe", L""},
        {"missing key", L"", L"Fabrikam\\Nobody", L"InstallDir", L"fab.exe", L""},
        {"nothing set", L"", L"", L"", L"a.exe", L""},
    };
    for (const PathCase& c : cases)
    {
        SCOPED_TRACE(c.label);
        ExecInfo info;
        info.path = c.path;
        info.key = c.key;
        info.entry = c.entry;
        info.exe = c.exe;
        EXPECT_EQ(std::wstring(c.expected), ResolvePath(info));
    }
}

TEST(ResolvePathTest, RegistryFolderMustBeATerminatedStringWithinTheSizeLimit)
{
    const std::wstring fits(1023, L'f');  // 2048 bytes with its terminator
    WriteRegistryString(kAppKey, L"Fits", fits);
    WriteRegistryString(kAppKey, L"TooLong", fits + L"f");
    WriteRegistryRaw(kAppKey, L"Unterminated", REG_SZ, std::string("C\0:\0\\\0F\0", 8));
    WriteRegistryRaw(kAppKey, L"Odd", REG_SZ, std::string("C\0:\0\0\0\0", 7));
    WriteRegistryRaw(kAppKey, L"Binary", REG_BINARY, std::string("C\0:\0\0\0", 6));

    ExecInfo info;
    info.key = L"Fabrikam\\Player";
    info.entry = L"Fits";
    EXPECT_EQ(fits, ResolvePath(info));
    for (const wchar_t* pszEntry : {L"TooLong", L"Unterminated", L"Odd", L"Binary"})
    {
        SCOPED_TRACE(WideToUtf8(pszEntry));
        info.entry = pszEntry;
        EXPECT_EQ(L"", ResolvePath(info));
    }
}

struct LaunchCase
{
    const char* label;
    const wchar_t* param;
    const wchar_t* tail;
    const wchar_t* expected;
};

TEST(ResolveLaunchTest, PutsTheCommandLineTailInPlaceOfPercentS)
{
    const LaunchCase cases[] = {
        {"tail substituted", L"/d %s", L"F", L"/d F"},
        {"no tail drops the parameters", L"/d %s", L"", L""},
        {"percent pair with a tail", L"/p 100%% %s", L"F:", L"/p 100% F:"},
        {"percent pair without a tail", L"/p 100%% %s", L"", L""},
        {"no directive: used as stored", L"/p 100%%", L"F", L"/p 100%%"},
        {"no directive and no tail", L"/x", L"", L"/x"},
        {"tail with percent signs is not reformatted", L"%s", L"a%sb%d", L"a%sb%d"},
        {"other directives stay as they are", L"%d %s %x", L"F", L"%d F %x"},
        {"every %s gets the tail", L"%s %s", L"F", L"F F"},
        {"lone percent at the end", L"%s %", L"F", L"F %"},
        {"empty param", L"", L"F", L""},
    };
    for (const LaunchCase& c : cases)
    {
        SCOPED_TRACE(c.label);
        ExecInfo info = MakeExecInfo(L"C:\\Prog", L"a.exe", c.param);
        std::wstring path;
        std::wstring params;
        EXPECT_HRESULT_SUCCEEDED(ResolveLaunch(info, c.tail, path, params));
        EXPECT_EQ(L"C:\\Prog\\a.exe", path);
        EXPECT_EQ(std::wstring(c.expected), params);
    }
}

class FindExecutableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strFolder = zeptest::TestTempDir();
        ASSERT_TRUE(zeptest::WriteFileBytes(m_strFolder + L"second.exe", "MZ", 2));
        ASSERT_TRUE(zeptest::WriteFileBytes(m_strFolder + L"third.exe", "MZ", 2));
    }
    std::wstring m_strFolder;
};

TEST_F(FindExecutableTest, TakesTheFirstLocationThatExists)
{
    AppEntry app = MakeEntry(L"Player", m_strFolder, L"missing.exe");
    app.param = L"/main %s";
    app.alternatives.push_back(MakeExecInfo(m_strFolder, L"gone.exe", L"/first %s"));
    app.alternatives.push_back(MakeExecInfo(m_strFolder, L"second.exe", L"/second %s"));
    app.alternatives.push_back(MakeExecInfo(m_strFolder, L"third.exe", L"/third %s"));

    EXPECT_EQ(m_strFolder + L"second.exe", FindExecutable(app));
    std::wstring path;
    std::wstring params;
    EXPECT_EQ(S_OK, FindLaunch(app, L"E:", path, params));
    EXPECT_EQ(m_strFolder + L"second.exe", path);
    EXPECT_EQ(L"/second E:", params);

    // An existing inline location wins over the alternatives.
    app.exe = L"third.exe";
    EXPECT_EQ(S_OK, FindLaunch(app, L"E:", path, params));
    EXPECT_EQ(m_strFolder + L"third.exe", path);
    EXPECT_EQ(L"/main E:", params);
}

TEST_F(FindExecutableTest, FallsBackToTheInlineLocationWhenNothingExists)
{
    AppEntry app = MakeEntry(L"Player", m_strFolder, L"missing.exe");
    app.param = L"/main";
    app.alternatives.push_back(MakeExecInfo(m_strFolder, L"gone.exe", L"/alt"));
    EXPECT_EQ(m_strFolder + L"missing.exe", FindExecutable(app));
    std::wstring path;
    std::wstring params;
    EXPECT_EQ(S_OK, FindLaunch(app, L"", path, params));
    EXPECT_EQ(m_strFolder + L"missing.exe", path);
    EXPECT_EQ(L"/main", params);

    // "Not Selected" locates nothing at all.
    AppEntry none = MakeEntry(APPENTRY_NAME_NOT_SELECTED);
    EXPECT_EQ(L"", FindExecutable(none));
    EXPECT_EQ(S_OK, FindLaunch(none, L"F:", path, params));
    EXPECT_EQ(L"", path);
}

TEST(RegistryKeyExistsTest, OpensBelowLocalMachine)
{
    WriteRegistryString(L"SOFTWARE\\Orvo Corporation\\Velomar Launcher\\Auto Update END\\MDInfo", nullptr, L"");
    EXPECT_TRUE(RegistryKeyExists(L"SOFTWARE\\Orvo Corporation\\Velomar Launcher\\Auto Update END\\MDInfo"));
    EXPECT_FALSE(RegistryKeyExists(L"SOFTWARE\\Orvo Corporation\\Velomar Launcher\\Auto Update END\\Other"));
}

TEST(ErrorMessageTest, ExpandsTheThreeEscapes)
{
    EXPECT_EQ(L"a\nb\rc\td\\x\\", ExpandErrorMessageEscapes(L"a\\nb\\rc\\td\\x\\"));
}
}  // namespace

TEST(SubstituteTail, ReplacesOnlyTheTailDirective)
{
    struct Case
    {
        const wchar_t* pszParam;
        const wchar_t* pszExpected;
    } cases[] = {
        {L"/d %s", L"/d F:"},
        {L"%s %s", L"F: F:"},
        {L"100%% /d %s", L"100% /d F:"},
        // Anything printf would read an argument for stays literal rather than reading garbage.
        {L"%d %n %x %s", L"%d %n %x F:"},
        {L"trailing %", L"trailing %"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.pszExpected, SubstituteTail(c.pszParam, L"F:")) << c.pszParam;
}
