#include <gtest/gtest.h>

#include "common/registry.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "update/download/proxy_discovery.h"
#include "update/download/tests/download_test_util.h"
#include "update/download/tests/loopback_http_server.h"

using namespace zeptest;

namespace
{
const wchar_t kDdeKey[] = L"http\\shell\\open\\ddeexec\\Application";
const wchar_t kHtmlKey[] = L"htmlfile\\shell\\open\\command";

// HKEY_CLASSES_ROOT pointed at an empty key of the sandbox, %USERPROFILE% at the test's folder.
class ProxyDiscoveryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, L"ClassesSandbox", 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, m_classes.Receive(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(HKEY_CLASSES_ROOT, m_classes.Get()));
        wchar_t szOld[MAX_PATH + 1] = {};
        m_bHadProfile = ::GetEnvironmentVariableW(L"USERPROFILE", szOld, MAX_PATH) != 0;
        m_strOldProfile = szOld;
        m_strProfile = TestTempDir() + L"user";
        ::CreateDirectoryW(m_strProfile.c_str(), nullptr);
        ::SetEnvironmentVariableW(L"USERPROFILE", m_strProfile.c_str());
        m_strFirefox = m_strProfile + L"\\Application Data\\Mozilla\\Firefox\\";
        ::CreateDirectoryW((m_strProfile + L"\\Application Data").c_str(), nullptr);
        ::CreateDirectoryW((m_strProfile + L"\\Application Data\\Mozilla").c_str(), nullptr);
        ::CreateDirectoryW(m_strFirefox.c_str(), nullptr);
    }
    void TearDown() override
    {
        ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        ::SetEnvironmentVariableW(L"USERPROFILE", m_bHadProfile ? m_strOldProfile.c_str() : nullptr);
    }

    void SetBrowserCommand(const wchar_t* pszKey, const wchar_t* pszCommand)
    {
        ASSERT_EQ(S_OK, Registry::WriteString(HKEY_CLASSES_ROOT, pszKey, nullptr, pszCommand));
    }
    void WriteText(const std::wstring& strPath, const std::string& strText)
    {
        ASSERT_TRUE(WriteFileBytes(strPath, strText.data(), strText.size()));
    }
    // A relative profile "Profiles/p1.default" holding the given prefs.js.
    void WriteRelativeProfile(const std::string& strPrefs)
    {
        WriteText(m_strFirefox + L"profiles.ini",
                  "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\nIsRelative=1\r\n"
                  "Path=Profiles/p1.default\r\nDefault=1\r\n\r\n[Profile1]\r\nIsRelative=1\r\nPath=Profiles/p2\r\n");
        ::CreateDirectoryW((m_strFirefox + L"Profiles").c_str(), nullptr);
        ::CreateDirectoryW((m_strFirefox + L"Profiles\\p1.default").c_str(), nullptr);
        WriteText(m_strFirefox + L"Profiles\\p1.default\\prefs.js", strPrefs);
    }

    UniqueHKey m_classes;
    bool m_bHadProfile = false;
    std::wstring m_strOldProfile;
    std::wstring m_strProfile;
    std::wstring m_strFirefox;
};

TEST_F(ProxyDiscoveryTest, DefaultBrowserFromTheShellCommand)
{
    struct SCase
    {
        const wchar_t* pszDde;
        const wchar_t* pszHtml;
        int nKind;
    };
    const SCase cases[] = {
        {nullptr, nullptr, eBrowserUnknown},
        {L"IExplore", nullptr, eBrowserInternetExplorer},
        {nullptr, L"\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" -nohome", eBrowserInternetExplorer},
        {nullptr, L"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -url \"%1\"", eBrowserFirefox},
        {L"Firefox", nullptr, eBrowserFirefox},
        // Only the listed spellings count.
        {nullptr, L"C:\\PROGRA~1\\MOZILL~1\\FIREFOX.EXE -url \"%1\"", eBrowserOther},
        {nullptr, L"\"C:\\Opera\\opera.exe\" \"%1\"", eBrowserOpera},
        {nullptr, L"chrome.exe -- \"%1\"", eBrowserOther},
        // The DDE application decides when it exists.
        {L"Opera", L"firefox.exe", eBrowserOpera},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "dde " << (c.pszDde ? WideToUtf8(c.pszDde) : "-") << " html "
                                        << (c.pszHtml ? WideToUtf8(c.pszHtml) : "-"));
        ASSERT_EQ(S_OK, Registry::DeleteTree(HKEY_CLASSES_ROOT, L"http"));
        ASSERT_EQ(S_OK, Registry::DeleteTree(HKEY_CLASSES_ROOT, L"htmlfile"));
        if (c.pszDde)
            SetBrowserCommand(kDdeKey, c.pszDde);
        if (c.pszHtml)
            SetBrowserCommand(kHtmlKey, c.pszHtml);
        EXPECT_EQ(c.nKind, GetDefaultBrowser());
    }
}

TEST_F(ProxyDiscoveryTest, UnreadableDefaultValueGivesUnknown)
{
    // The DDE key exists but has no usable value: no fall-back to the command.
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CLASSES_ROOT, kDdeKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                               key.Receive(), nullptr));
    SetBrowserCommand(kHtmlKey, L"firefox.exe");
    EXPECT_EQ(eBrowserUnknown, GetDefaultBrowser());

    const wchar_t szExpand[] = L"%ProgramFiles%\\firefox.exe";
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.Get(), nullptr, 0, REG_EXPAND_SZ,
                                              reinterpret_cast<const BYTE*>(szExpand), sizeof(szExpand)));
    EXPECT_EQ(eBrowserUnknown, GetDefaultBrowser());
}

TEST_F(ProxyDiscoveryTest, FirefoxProxyFromTheFirstProfile)
{
    WriteRelativeProfile(
        "// Mozilla User Preferences\r\n"
        "user_pref(\"network.proxy.ftp\", \"ftp.example\");\r\n"
        "user_pref(\"network.proxy.http\", \"proxy.example\");\r\n"
        "user_pref(\"network.proxy.http_port\", 3128);\r\n"
        "user_pref(\"network.proxy.type\", 1);\r\n");
    std::wstring strProxy;
    EXPECT_EQ(S_OK, GetFirefoxProxy(strProxy));
    EXPECT_EQ(L"proxy.example:3128", strProxy);
}

// Host and port stay in the preferences when the user turns the proxy off or to automatic:
// only a manual proxy (type 1) is used.
TEST_F(ProxyDiscoveryTest, OnlyAManualProxyIsUsed)
{
    const std::string strHostAndPort =
        "user_pref(\"network.proxy.http\", \"proxy.example\");\r\nuser_pref(\"network.proxy.http_port\", 3128);\r\n";
    const struct
    {
        const char* pszTypeLine;
        bool bUsed;
    } cases[] = {
        {"user_pref(\"network.proxy.type\", 1);\r\n", true},
        {"user_pref(\"network.proxy.type\", 0);\r\n", false},  // no proxy
        {"user_pref(\"network.proxy.type\", 2);\r\n", false},  // configuration script
        {"user_pref(\"network.proxy.type\", 4);\r\n", false},  // detected
        {"user_pref(\"network.proxy.type\", 5);\r\n", false},  // the system's
        {"", false},                                              // Firefox's default
        {"// user_pref(\"network.proxy.type\", 1);\r\n", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszTypeLine);
        WriteRelativeProfile(strHostAndPort + c.pszTypeLine);
        std::wstring strProxy;
        const HRESULT hr = GetFirefoxProxy(strProxy);
        EXPECT_EQ(c.bUsed, SUCCEEDED(hr));
        EXPECT_EQ(c.bUsed ? L"proxy.example:3128" : L"", strProxy);
    }
}

TEST_F(ProxyDiscoveryTest, ProfilePathWithBlanksIsReadWhole)
{
    bool bRelative = false;
    std::wstring strPath;
    ASSERT_TRUE(FindProfilePath(L"[Profile0]\r\nIsRelative=1\r\nPath=Profiles/my profile.default \r\n", bRelative,
                                strPath));
    EXPECT_TRUE(bRelative);
    EXPECT_EQ(L"Profiles/my profile.default", strPath);
    ASSERT_TRUE(FindProfilePath(L"IsRelative=0\nPath=C:\\Firefox Profiles\\p", bRelative, strPath));
    EXPECT_FALSE(bRelative);
    EXPECT_EQ(L"C:\\Firefox Profiles\\p", strPath);

    WriteText(m_strFirefox + L"profiles.ini", "[Profile0]\r\nName=me\r\nIsRelative=1\r\nPath=Profiles/my profile\r\n");
    ::CreateDirectoryW((m_strFirefox + L"Profiles").c_str(), nullptr);
    ::CreateDirectoryW((m_strFirefox + L"Profiles\\my profile").c_str(), nullptr);
    WriteText(m_strFirefox + L"Profiles\\my profile\\prefs.js",
              "user_pref(\"network.proxy.http\", \"blank.example\");\nuser_pref(\"network.proxy.http_port\", 8080);\n"
              "user_pref(\"network.proxy.type\", 1);\n");
    std::wstring strProxy;
    EXPECT_EQ(S_OK, GetFirefoxProxy(strProxy));
    EXPECT_EQ(L"blank.example:8080", strProxy);
}

TEST_F(ProxyDiscoveryTest, FirefoxProxyHostAndPortRules)
{
    struct SCase
    {
        const char* pszPrefs;
        bool bFound;
        const wchar_t* pszHost;
        int nPort;
    };
    const SCase cases[] = {
        {"user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"network.proxy.http_port\", 80);", true, L"h", 80},
        // Only at the start of a line: commented out or indented lines do not count.
        {"// user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"network.proxy.http_port\", 80);\n", false, L"", 0},
        {"  user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"network.proxy.http_port\", 80);\n", false, L"", 0},
        {"user_pref(\"network.proxy.http\", \"h\");\n\tuser_pref(\"network.proxy.http_port\", 80);\n", false, L"", 0},
        // A doubled backslash and an escaped quote in the host.
        {"user_pref(\"network.proxy.http\", \"dom\\\\h\\\"q\");\ruser_pref(\"network.proxy.http_port\", 8080);", true,
         L"dom\\h\"q", 8080},
        {"user_pref(\"network.proxy.http_port\", 81);\r\nuser_pref(\"network.proxy.http\", \"later\");\r\n", true,
         L"later", 81},
        {"user_pref(\"network.proxy.http\", \"h\");\n", false, L"", 0},
        {"user_pref(\"network.proxy.http\", \"\");\nuser_pref(\"network.proxy.http_port\", 80);\n", false, L"", 0},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.pszPrefs);
        std::wstring strHost;
        int nPort = 0;
        const std::string strPrefs = c.pszPrefs;
        EXPECT_EQ(c.bFound, FindProxyHostAndPort(std::wstring(strPrefs.begin(), strPrefs.end()), strHost, nPort));
        if (c.bFound)
        {
            EXPECT_EQ(std::wstring(c.pszHost), strHost);
            EXPECT_EQ(c.nPort, nPort);
        }
    }
}

TEST_F(ProxyDiscoveryTest, AbsoluteProfilePathIsUsedDirectly)
{
    const std::wstring strProfile = TestTempDir() + L"elsewhere";
    ::CreateDirectoryW(strProfile.c_str(), nullptr);
    WriteText(strProfile + L"\\prefs.js",
              "user_pref(\"network.proxy.http\", \"abs.example\");\nuser_pref(\"network.proxy.http_port\", 9);\n"
              "user_pref(\"network.proxy.type\", 1);\n");
    WriteText(m_strFirefox + L"profiles.ini",
              "[Profile0]\nName=x\nIsRelative=0\nPath=" + WideToAnsi(strProfile) + "\n");
    std::wstring strProxy;
    EXPECT_EQ(S_OK, GetFirefoxProxy(strProxy));
    EXPECT_EQ(L"abs.example:9", strProxy);
}

TEST_F(ProxyDiscoveryTest, FailuresGiveANegativeResultAndNoProxy)
{
    std::wstring strProxy = L"stale";
    EXPECT_LT(GetFirefoxProxy(strProxy), 0);  // no profiles.ini
    EXPECT_TRUE(strProxy.empty());

    WriteText(m_strFirefox + L"profiles.ini", "[Profile0]\nName=x\nPath=Profiles/p1.default\n");
    EXPECT_LT(GetFirefoxProxy(strProxy), 0);  // no IsRelative

    // A preferences file over 1 MiB is not read.
    std::string strBig =
        "user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"network.proxy.http_port\", 1);\n"
        "user_pref(\"network.proxy.type\", 1);\n";
    strBig += std::string(1024 * 1024, ' ');
    WriteRelativeProfile(strBig);
    EXPECT_LT(GetFirefoxProxy(strProxy), 0);
    WriteRelativeProfile(strBig.substr(0, 200));
    EXPECT_EQ(S_OK, GetFirefoxProxy(strProxy));

    ::SetEnvironmentVariableW(L"USERPROFILE", nullptr);
    EXPECT_LT(GetFirefoxProxy(strProxy), 0);
    EXPECT_TRUE(strProxy.empty());
}

// A session opened without an explicit proxy uses Firefox's when Firefox is the default
// browser; an explicit proxy always wins. The loopback server plays the proxy.
TEST_F(ProxyDiscoveryTest, SessionGoesThroughTheChosenProxy)
{
    CLoopbackHttpServer proxy;
    ASSERT_TRUE(proxy.Start());
    SRouteBehaviour route;
    route.strBody = "through the proxy";
    proxy.SetRoute("/p/file.bin", route);

    SetBrowserCommand(kHtmlKey, L"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -url \"%1\"");
    WriteRelativeProfile("user_pref(\"network.proxy.http\", \"127.0.0.1\");\nuser_pref(\"network.proxy.http_port\", " +
                         std::to_string(proxy.Port()) + ");\nuser_pref(\"network.proxy.type\", 1);\n");
    const std::wstring strExplicit = L"127.0.0.1:" + std::to_wstring(proxy.Port());
    for (const wchar_t* pszProxy : {static_cast<const wchar_t*>(nullptr), strExplicit.c_str()})
    {
        proxy.ClearRequests();
        CXHttpDownloader downloader(0);
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, pszProxy, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        EXPECT_EQ(S_OK, downloader.Download(L"http://zeptest.invalid/p/file.bin", 0));
        EXPECT_EQ("through the proxy", ReadWholeFile(TestTempDir() + L"file.bin"));
        const std::vector<SRecordedRequest> requests = proxy.Requests();
        ASSERT_EQ(1u, requests.size());
        // An absolute target names the real server (WinINet adds the default port).
        EXPECT_EQ(0u, requests[0].strTarget.find("http://zeptest.invalid")) << requests[0].strTarget;
        EXPECT_EQ("/p/file.bin", requests[0].strPath);
        EXPECT_EQ("Download Manager", requests[0].Header("user-agent"));
    }
    proxy.Stop();
}

// Firefox set to no proxy: the session goes straight to the server although host and port
// are still in the preferences.
TEST_F(ProxyDiscoveryTest, SessionIgnoresAProxyFirefoxDoesNotUse)
{
    CLoopbackHttpServer proxy, direct;
    ASSERT_TRUE(proxy.Start());
    ASSERT_TRUE(direct.Start());
    SRouteBehaviour route;
    route.strBody = "direct";
    direct.SetRoute("/d/file.bin", route);
    proxy.SetRoute("/d/file.bin", SRouteBehaviour());

    SetBrowserCommand(kHtmlKey, L"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -url \"%1\"");
    WriteRelativeProfile("user_pref(\"network.proxy.http\", \"127.0.0.1\");\nuser_pref(\"network.proxy.http_port\", " +
                         std::to_string(proxy.Port()) + ");\nuser_pref(\"network.proxy.type\", 0);\n");
    CXHttpDownloader downloader(0);
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    downloader.SetDownloadFolder(TestTempDir().c_str());
    EXPECT_EQ(S_OK, downloader.Download(direct.Url("/d/file.bin").c_str(), 0));
    EXPECT_EQ("direct", ReadWholeFile(TestTempDir() + L"file.bin"));
    EXPECT_TRUE(proxy.Requests().empty());
    EXPECT_EQ(1u, direct.Requests().size());
    direct.Stop();
    proxy.Stop();
}
}  // namespace
