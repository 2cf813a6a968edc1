#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/crypt_digest.h"
#include "common/product_keys.h"
#include "common/registry.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "update/client/res/client_res_ids.h"
#include "update/client/service_status.h"
#include "update/client/tests/fake_components.h"
#include "update/client/zep_service_manager.h"
#include "update/info/ecdsa_p256.h"
#include "update/info/info_file_format.h"

namespace
{
const wchar_t kClientKey[] = ZEP_PRODUCT_KEY L"\\Auto Update Client";
const wchar_t kLauncherBlock[] = L" /C PP001 /S TVK /N \"Velomar Launcher\" /E 1.0.0.0 /F UPDATE";
const wchar_t kPlayerBlock[] = L" /C PA001 /S VLFW /N \"QX-B417\" /E 0.00 /F UPDATE";

HANDLE Duplicate(HANDLE h)
{
    HANDLE hCopy = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), h, ::GetCurrentProcess(), &hCopy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return hCopy;
}

class ServiceManagerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_hResources = ::LoadLibraryExW((zeptest::ExeDir() + L"ZepHelper_ApplicationRes.dll").c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(nullptr, m_hResources);
        m_strState = zeptest::TestTempDir() + L"player.ini";
        ::SetEnvironmentVariableW(L"DRENLOX_PLAYER_STATE", m_strState.c_str());
        m_strStorage = zeptest::TestTempDir() + L"storage";
        ::CreateDirectoryW(m_strStorage.c_str(), nullptr);
        m_download.m_strPath = zeptest::TestTempDir() + L"package.exe";
    }
    void TearDown() override
    {
        ::SetEnvironmentVariableW(L"DRENLOX_PLAYER_STATE", nullptr);
        if (m_hResources)
            ::FreeLibrary(m_hResources);
    }

    CZepServiceManager::Seams MakeSeams()
    {
        CZepServiceManager::Seams seams;
        seams.strFirmwareLibrary = zeptest::ExeDir() + L"Drenlox.dll";
        seams.startInstaller = [this](const std::wstring& strPath, UniqueHandle& process) {
            m_started.push_back(strPath);
            // A real process stands for the installer: one that runs until the test ends it.
            if (m_bStartInstaller)
            {
                m_installer = StartHoldingInstaller();
                EXPECT_TRUE(m_installer);
                process.Reset(Duplicate(m_installer.Get()));
            }
            // The package is held against change until it has been started.
            HANDLE h = ::CreateFileW(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
            m_bWritableWhileStarting = h != INVALID_HANDLE_VALUE;
            if (h != INVALID_HANDLE_VALUE)
                ::CloseHandle(h);
            return S_OK;
        };
        seams.showErrorBox = [this](UINT uId, UINT, const std::wstring&) { m_boxes.push_back(uId); };
        seams.nPlayerPolls = m_nPlayerPolls;
        seams.dwPlayerPollMs = 100;
        seams.dwMonitorIntervalMs = 20;
        return seams;
    }

    // Runs every service of the command line as the client does; the results in order.
    std::vector<HRESULT> Run(const std::wstring& strArguments)
    {
        m_download.NewRun();
        std::vector<HRESULT> results;
        {
            CZepServiceManager manager(m_hResources, MakeSeams());
            EXPECT_EQ(S_OK, manager.InitWith(&m_gui, &m_download, &m_info));
            CZepCommandLineInfo commandLine;
            commandLine.ParseCommandLine(strArguments.c_str());
            manager.SetCommandLine(&commandLine);
            for (int i = 0; i < commandLine.ServiceCount(); ++i)
                results.push_back(manager.Execute(i, commandLine.ServiceCount()));
            for (int i = 0; i < 3; ++i)
                m_lastCheckVersion[i] = m_info.m_checkAnswers[i];
            manager.Terminate();
            EXPECT_EQ(0u, m_info.SinkCount());
        }
        if (!m_bMonitorLeftRunning)
            EXPECT_EQ(0, m_gui.References());
        return results;
    }

    std::wstring Value(const std::wstring& strSubKey, const wchar_t* pszName)
    {
        std::wstring strValue;
        if (FAILED(Registry::ReadString(HKEY_LOCAL_MACHINE, (std::wstring(kClientKey) + L"\\" + strSubKey).c_str(),
                                        pszName, strValue)))
            return L"(missing)";
        return strValue;
    }

    // The client starts only signed installers: the tests' own, signed by the build.
    static std::string SignedInstaller()
    {
        std::string content;
        EXPECT_TRUE(zeptest::ReadFileBytes(zeptest::ExeDir() + L"quenta_test_installer.exe", content));
        return content;
    }
    static std::wstring Md5(const std::string& content)
    {
        std::wstring strHex;
        EXPECT_EQ(S_OK, DigestHex(CALG_MD5, reinterpret_cast<const BYTE*>(content.data()), content.size(), strHex));
        return strHex;
    }
    static std::wstring Sha256(const std::string& content)
    {
        EcdsaP256::Digest digest;
        EXPECT_EQ(S_OK, EcdsaP256::Sha256(reinterpret_cast<const BYTE*>(content.data()), content.size(), digest));
        return HexLower(digest.data(), digest.size());
    }
    // The package as downloaded, announced with its size and its MD5 digest.
    void WritePackage(const std::string& content, size_t cbAnnounced)
    {
        ASSERT_TRUE(zeptest::WriteFileBytes(m_download.m_strPath, content.data(), content.size()));
        m_info.m_dwSize = static_cast<ULONG>(cbAnnounced);
        m_info.m_strMac = Md5(content);
    }

    void SetPlayer(int nPlayers, const wchar_t* pszReturnDelayMs = L"200")
    {
        const wchar_t* pszFile = m_strState.c_str();
        ::WritePrivateProfileStringW(L"Bus", L"Players", std::to_wstring(nPlayers).c_str(), pszFile);
        ::WritePrivateProfileStringW(L"Player", L"Word0", L"7", pszFile);
        ::WritePrivateProfileStringW(L"Player", L"Word1", L"417", pszFile);
        ::WritePrivateProfileStringW(L"Player", L"DeviceId", L"SN0001", pszFile);
        ::WritePrivateProfileStringW(L"Player", L"ServiceId", L"QXB417FW", pszFile);
        ::WritePrivateProfileStringW(L"Player", L"FirmwareVersion", L"1.0.0.0", pszFile);
        ::WritePrivateProfileStringW(L"Player", L"Model", L"QX B417", pszFile);
        ::WritePrivateProfileStringW(L"Player", L"Storage", m_strStorage.c_str(), pszFile);
        ::WritePrivateProfileStringW(L"Player", L"ReturnDelayMs", pszReturnDelayMs, pszFile);
    }
    std::wstring PlayerValue(const wchar_t* pszSection, const wchar_t* pszKey)
    {
        wchar_t sz[256] = {};
        ::GetPrivateProfileStringW(pszSection, pszKey, L"", sz, 256, m_strState.c_str());
        return sz;
    }

    HMODULE m_hResources = nullptr;
    std::wstring m_strState;
    std::wstring m_strStorage;
    CFakeGui m_gui;
    CFakeInfoManager m_info;
    CFakeDownloadManager m_download;
    std::vector<std::wstring> m_started;
    bool m_bStartInstaller = false;
    UniqueHandle m_installer;
    bool m_bMonitorLeftRunning = false;
    bool m_bWritableWhileStarting = true;
    std::vector<UINT> m_boxes;
    int m_nPlayerPolls = 100;
    LONG m_lastCheckVersion[3] = {};
};

TEST_F(ServiceManagerTest, ArgumentErrorsEndTheServiceWithoutACheck)
{
    const struct
    {
        const wchar_t* pszLine;
        bool bSaid;  // a manual run says so once; a run of unknown mode counts as automatic
    } kLines[] = {
        {L"/M SOMETIMES /C PP001 /S TVK /N Launcher /E 1.0.0.0 /F UPDATE", false},
        {L"/M MANUAL /C PP001 /S TVK /N Launcher /E 1.0.0.0 /F PATCH", true},
        {L"/M MANUAL /C PP001 /S TVK /N Launcher /F UPDATE", true},
        {L"/M MANUAL /C PP001 /N Launcher /E 1.0.0.0 /F UPDATE", true},
        {L"/M MANUAL /C PP001 /S TVK /E 1.0.0.0 /F UPDATE", true},
        {L"/M MANUAL /C PP002 /S TVK /E 1.0.0.0 /F UPDATE", true},
    };
    for (const auto& c : kLines)
    {
        SCOPED_TRACE(testing::Message() << c.pszLine);
        m_gui.m_errors.clear();
        EXPECT_EQ(std::vector<HRESULT>{ZEP_E_INVALID_ARGUMENTS}, Run(c.pszLine));
        EXPECT_EQ(0, m_info.m_nChecks);
        EXPECT_TRUE(m_info.m_results.empty());
        EXPECT_EQ(L"(missing)", Value(L"TVK", L"LastUpdateStatus"));
        EXPECT_EQ(c.bSaid ? std::vector<HRESULT>{ZEP_E_INVALID_ARGUMENTS} : std::vector<HRESULT>{}, m_gui.m_errors);
    }
    // A lower-case mode is a mode.
    m_info.m_lExists = 0;
    EXPECT_EQ(std::vector<HRESULT>{1}, Run(std::wstring(L"/M auto") + kLauncherBlock));
}

// A notice and another service of the player category need no model name; a notice's rules
// always hold.
TEST_F(ServiceManagerTest, ModelNameIsNotNeededByANoticeOrThePlayerCategory)
{
    m_info.m_lExists = 0;
    const struct
    {
        const wchar_t* pszLine;
        LONG answers[3];
    } kLines[] = {
        {L"/M MANUAL /C PP001 /S MDInfo /E 0.00 /F INFO", {0, 0, 0}},
        {L"/M MANUAL /C PA001 /S PLAYERDOC /E 0.00 /F UPDATE", {0, 1, 1}},
    };
    for (const auto& c : kLines)
    {
        SCOPED_TRACE(testing::Message() << c.pszLine);
        const int nChecks = m_info.m_nChecks;
        EXPECT_EQ(std::vector<HRESULT>{1}, Run(c.pszLine));
        EXPECT_EQ(nChecks + 1, m_info.m_nChecks);
        EXPECT_EQ(std::vector<LONG>(c.answers, c.answers + 3),
                  std::vector<LONG>(m_lastCheckVersion, m_lastCheckVersion + 3));
    }
}

TEST_F(ServiceManagerTest, PollingStatusDecidesWhetherTheServiceIsDue)
{
    m_info.m_lExists = 0;
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, (std::wstring(kClientKey) + L"\\TVK").c_str(),
                                          L"PollingStatus", L"CLOSE"));
    EXPECT_EQ(std::vector<HRESULT>{1}, Run(std::wstring(L"/M MANUAL") + kLauncherBlock));
    EXPECT_EQ(0, m_info.m_nChecks);

    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, (std::wstring(kClientKey) + L"\\TVK").c_str(),
                                          L"PollingStatus", L"MANUAL"));
    EXPECT_EQ(std::vector<HRESULT>{1}, Run(std::wstring(L"/M AUTO") + kLauncherBlock));
    EXPECT_EQ(0, m_info.m_nChecks);

    EXPECT_EQ(std::vector<HRESULT>{1}, Run(std::wstring(L"/M MANUAL") + kLauncherBlock));
    EXPECT_EQ(1, m_info.m_nChecks);
    EXPECT_EQ(eMANUAL, m_info.m_eMode);
    EXPECT_EQ(L"00", m_info.m_strLastStatus);
    EXPECT_EQ(L"Velomar Launcher", m_info.m_strModel);
    EXPECT_EQ(L"1.0.0.0", m_info.m_strVersion);
    // No "_Dbg_Info_": the built-in server, over HTTPS.
    EXPECT_EQ(0u, m_info.m_strBaseUrl.find(L"https://"));
}

TEST_F(ServiceManagerTest, NoUpdateMessageOnceAfterTheLastManualService)
{
    m_info.m_lExists = 0;
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, kClientKey, L"_Dbg_Info_", L"http://127.0.0.1:1/"));
    const std::wstring strTwo = std::wstring(kLauncherBlock) + L" /C PP001 /S MDInfo /N Deck /E 0.00 /F INFO";
    EXPECT_EQ((std::vector<HRESULT>{1, 1}), Run(L"/M MANUAL" + strTwo));
    EXPECT_EQ(1, m_gui.m_nNoUpdateMessages);
    EXPECT_EQ(L"http://127.0.0.1:1/", m_info.m_strBaseUrl);
    EXPECT_EQ(L"(missing)", Value(L"TVK", L"LastUpdateStatus"));
    Run(L"/M AUTO" + strTwo);
    EXPECT_EQ(1, m_gui.m_nNoUpdateMessages);
    EXPECT_TRUE(m_gui.m_errors.empty());
}

TEST_F(ServiceManagerTest, DeclinedIsStatus35WithoutAnError)
{
    m_gui.m_ulAnswer = 0;
    WritePackage("installer", 9);
    EXPECT_EQ(std::vector<HRESULT>{ZEP_E_DECLINED}, Run(std::wstring(L"/M MANUAL") + kLauncherBlock));
    EXPECT_EQ(L"35", Value(L"TVK", L"LastUpdateStatus"));
    ASSERT_EQ(1u, m_info.m_results.size());
    EXPECT_EQ(35, m_info.m_results[0].second);
    EXPECT_TRUE(m_gui.m_errors.empty());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(m_download.m_urls.empty());
}

enum class EMacKind
{
    Md5,
    Sha256,
    Empty,
};

struct PackageCase
{
    const char* pszName;
    size_t cbAnnounced;
    const char* pszMacOf;  // the content the announced digest belongs to; null: the package
    bool bUpperCase;
    HRESULT hrExpected;
    const wchar_t* pszStatus;
    EMacKind eMac;
};

TEST_F(ServiceManagerTest, PackageChecks)
{
    const std::string content = SignedInstaller();
    const PackageCase kCases[] = {
        {"one byte short", content.size() + 1, nullptr, false, ZEP_E_FILE_TOO_SHORT, L"43"},
        {"one byte long", content.size() - 1, nullptr, false, ZEP_E_FILE_TOO_LONG, L"43"},
        {"digest of other content", content.size(), "MZ tiny installeR", false, ZEP_E_DIGEST_MISMATCH, L"44"},
        {"digest in upper case", content.size(), nullptr, true, ZEP_E_DIGEST_MISMATCH, L"44"},
        {"installed", content.size(), nullptr, false, S_OK, L"00"},
        {"SHA-256 of the package", content.size(), nullptr, false, S_OK, L"00", EMacKind::Sha256},
        {"SHA-256 of other content", content.size(), "MZ tiny installeR", false, ZEP_E_DIGEST_MISMATCH, L"44",
         EMacKind::Sha256},
        {"SHA-256 in upper case", content.size(), nullptr, true, ZEP_E_DIGEST_MISMATCH, L"44", EMacKind::Sha256},
        {"no MAC: nothing vouches for the content", content.size(), nullptr, false, ZEP_E_DIGEST_MISMATCH, L"44",
         EMacKind::Empty},
    };
    for (const PackageCase& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        m_gui.m_errors.clear();
        m_started.clear();
        // An installed update closes the service for automatic checks and leaves its package to a
        // later run; each case starts afresh.
        Registry::DeleteTree(HKEY_LOCAL_MACHINE, (std::wstring(kClientKey) + L"\\TVK").c_str());
        for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            Registry::DeleteTree(hRoot, ZEP_PRODUCT_KEY L"\\Auto Update Packages");
        WritePackage(content, c.cbAnnounced);
        const std::string& macOf = c.pszMacOf ? std::string(c.pszMacOf) : content;
        if (c.eMac == EMacKind::Md5)
            m_info.m_strMac = Md5(macOf);
        else if (c.eMac == EMacKind::Sha256)
            m_info.m_strMac = Sha256(macOf);
        else
            m_info.m_strMac.clear();
        if (c.bUpperCase)
            CharUpperW(&m_info.m_strMac[0]);
        EXPECT_EQ(std::vector<HRESULT>{c.hrExpected}, Run(std::wstring(L"/M AUTO") + kLauncherBlock));
        EXPECT_EQ(c.pszStatus, Value(L"TVK", L"LastUpdateStatus"));
        ASSERT_FALSE(m_download.m_urls.empty());
        EXPECT_EQ(m_info.m_strUrl, m_download.m_urls.back());
        if (c.hrExpected == S_OK)
        {
            EXPECT_EQ(std::vector<std::wstring>{m_download.m_strPath}, m_started);
            EXPECT_FALSE(m_bWritableWhileStarting);
            EXPECT_EQ(L"CLOSE", Value(L"TVK", L"PollingStatus"));
            EXPECT_TRUE(m_gui.m_errors.empty());
        }
        else
        {
            EXPECT_TRUE(m_started.empty());
            // The confirmation was shown, so even an automatic run reports the failure.
            EXPECT_EQ(std::vector<HRESULT>{c.hrExpected}, m_gui.m_errors);
        }
    }
    // The handler compares PC software versions as numbers.
    EXPECT_EQ(0, m_lastCheckVersion[0]);
    EXPECT_EQ(1, m_lastCheckVersion[1]);
    EXPECT_EQ(1, m_lastCheckVersion[2]);
}

// The service is complete while its installer still runs (it may end this program); the
// package goes with a later run once the installer has ended.
TEST_F(ServiceManagerTest, InstallerIsNotWaitedForAndALaterRunRemovesItsPackage)
{
    const std::string content = SignedInstaller();
    WritePackage(content, content.size());
    m_bStartInstaller = true;
    const ULONGLONG ullStart = ::GetTickCount64();
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, Run(std::wstring(L"/M AUTO") + kLauncherBlock));
    EXPECT_LT(::GetTickCount64() - ullStart, 20000u);
    ASSERT_TRUE(m_installer);
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(m_installer.Get(), 0));
    EXPECT_EQ(L"00", Value(L"TVK", L"LastUpdateStatus"));
    EXPECT_EQ(L"CLOSE", Value(L"TVK", L"PollingStatus"));
    ASSERT_EQ(1u, m_info.m_results.size());
    EXPECT_EQ(0, m_download.m_nRemoved);

    // Later runs, whatever they check: the package stays while its installer runs.
    m_info.m_lExists = 0;
    const std::wstring strLater = L"/M AUTO /C PP001 /S MDInfo /N Deck /E 0.00 /F INFO";
    Run(strLater);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(m_download.m_strPath.c_str()));
    ::TerminateProcess(m_installer.Get(), 0);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(m_installer.Get(), 10000));
    Run(strLater);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(m_download.m_strPath.c_str()));
    EXPECT_EQ(0, m_download.m_nRemoved);
}

// A notice the person accepted is the service's outcome, even when its end marker cannot be
// written (the notice may then be offered again).
TEST_F(ServiceManagerTest, AcceptedNoticeWhoseMarkerCannotBeWrittenIsStillASuccess)
{
    // Below a volatile key only volatile keys can be made: the marker's key cannot.
    UniqueHKey endKey;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, ZEP_PRODUCT_KEY L"\\Auto Update END", 0, nullptr,
                                               REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, endKey.Receive(), nullptr));
    EXPECT_EQ(std::vector<HRESULT>{S_OK},
              Run(L"/M MANUAL /C PP001 /S MDInfo /N Deck /E 0.00 /F INFO"));
    EXPECT_EQ(1, m_gui.m_bConfirmedInfoOnly);
    EXPECT_TRUE(m_gui.m_errors.empty());
    EXPECT_TRUE(m_info.m_results.empty());
    EXPECT_EQ(L"(missing)", Value(L"MDInfo", L"LastUpdateStatus"));
    UniqueHKey marker;
    EXPECT_NE(ERROR_SUCCESS, ::RegOpenKeyExW(endKey.Get(), L"MDInfo", 0, KEY_READ, marker.Receive()));
}

// Right size and digest, but not an installer signed by a signer the build trusts: refused
// like a wrong digest, never started, and removed.
TEST_F(ServiceManagerTest, UntrustedInstallerIsRefusedAndRemoved)
{
    const struct
    {
        const char* pszName;
        const wchar_t* pszBuilt;
        const wchar_t* pszSavedAs;
    } kCases[] = {
        {"unsigned", L"quenta_test_installer_unsigned.exe", L"package.exe"},
        {"signed by another certificate", L"quenta_test_installer_stranger.exe", L"package.exe"},
        {"signed, but a batch file by its name", L"quenta_test_installer.exe", L"package.bat"},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        m_gui.m_errors.clear();
        m_started.clear();
        m_download.m_nRemoved = 0;
        std::string content;
        ASSERT_TRUE(zeptest::ReadFileBytes(zeptest::ExeDir() + c.pszBuilt, content));
        m_download.m_strPath = zeptest::TestTempDir() + c.pszSavedAs;
        WritePackage(content, content.size());
        EXPECT_EQ(std::vector<HRESULT>{ZEP_E_DIGEST_MISMATCH}, Run(std::wstring(L"/M AUTO") + kLauncherBlock));
        EXPECT_EQ(L"44", Value(L"TVK", L"LastUpdateStatus"));
        EXPECT_TRUE(m_started.empty());
        EXPECT_EQ(1, m_download.m_nRemoved);
        EXPECT_EQ(std::vector<HRESULT>{ZEP_E_DIGEST_MISMATCH}, m_gui.m_errors);
    }
}

TEST_F(ServiceManagerTest, DownloadOutcomes)
{
    const struct
    {
        const char* pszName;
        bool bUserCloses;
        HRESULT hrManager;
        HRESULT hrExpected;
        const wchar_t* pszStatus;
        bool bFileRemoved;
    } kCases[] = {
        // A canceled download and a network failure keep the partial file for resuming.
        {"closed by the user", true, S_OK, ZEP_E_DOWNLOAD_CANCELED, L"45", false},
        {"network failure", false, (HRESULT)0x80043302L, (HRESULT)0x80043302L, L"90", false},
        {"not on the server", false, (HRESULT)0x80044207L, (HRESULT)0x80044207L, L"41", true},
    };
    const std::string content = "MZ tiny installer";
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        m_download.m_nRemoved = 0;
        m_download.m_nAborted = 0;
        m_gui.m_errors.clear();
        m_gui.m_bUserClosesDownload = c.bUserCloses;
        m_download.m_hrResult = c.hrManager;
        WritePackage(content, content.size());
        EXPECT_EQ(std::vector<HRESULT>{c.hrExpected}, Run(std::wstring(L"/M MANUAL") + kLauncherBlock));
        EXPECT_EQ(c.pszStatus, Value(L"TVK", L"LastUpdateStatus"));
        EXPECT_EQ(c.bFileRemoved ? 1 : 0, m_download.m_nRemoved);
        EXPECT_EQ(std::vector<HRESULT>{c.hrExpected}, m_gui.m_errors);
        EXPECT_TRUE(m_started.empty());
        if (c.bUserCloses)
        {
            EXPECT_GE(m_download.m_nAborted, 1);
        }
    }
}

const std::string kImage = "VELOMAR-FIRMWARE 2.0.0.0\r\nimage bytes";

TEST_F(ServiceManagerTest, FirmwareUpdateOfTheSimulatedPlayer)
{
    SetPlayer(1);
    WritePackage(kImage, kImage.size());
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, Run(std::wstring(L"/M MANUAL") + kPlayerBlock));
    EXPECT_EQ(std::vector<std::wstring>{L"QXB417FW"}, m_info.m_checkedServices);
    EXPECT_EQ(L"QXB417", m_info.m_strModel);
    EXPECT_EQ(L"SN0001", m_info.m_strSerial);
    EXPECT_EQ(L"Velomar", m_gui.m_strConfirmedApp);
    EXPECT_EQ(1, m_gui.m_bConfirmedFirmware);
    EXPECT_EQ(1, m_gui.m_nUpdateWindows);
    EXPECT_EQ(L"2.0.0.0", PlayerValue(L"Player", L"FirmwareVersion"));
    EXPECT_EQ(L"1", PlayerValue(L"Bus", L"Players"));
    EXPECT_EQ(std::vector<std::wstring>{L"Velomar"}, m_gui.m_completed);
    EXPECT_EQ(L"00", Value(L"QXB417FW\\SN0001", L"LastUpdateStatus"));
    EXPECT_EQ(L"CLOSE", Value(L"QXB417FW\\SN0001", L"PollingStatus"));
    // The image is removed from the player's storage afterwards.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((m_strStorage + L"\\QX_VL_FW.UPG").c_str()));
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(m_gui.m_errors.empty());
    // Firmware rules are the library's comparison.
    EXPECT_EQ(0, m_lastCheckVersion[0]);
    EXPECT_EQ(1, m_lastCheckVersion[1]);
    EXPECT_EQ(E_INVALIDARG, m_lastCheckVersion[2]);
}

// An empty MAC vouches for no content: firmware is refused before it reaches the player, while a
// notice, which downloads nothing, keeps its empty MAC.
TEST_F(ServiceManagerTest, EmptyMacRefusesFirmwareButNotANotice)
{
    SetPlayer(1);
    WritePackage(kImage, kImage.size());
    m_info.m_strMac.clear();
    EXPECT_EQ(std::vector<HRESULT>{ZEP_E_DIGEST_MISMATCH}, Run(std::wstring(L"/M MANUAL") + kPlayerBlock));
    EXPECT_EQ(L"44", Value(L"QXB417FW\\SN0001", L"LastUpdateStatus"));
    EXPECT_EQ(L"1.0.0.0", PlayerValue(L"Player", L"FirmwareVersion"));
    EXPECT_EQ(0, m_gui.m_nUpdateWindows);

    m_gui.m_errors.clear();
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, Run(L"/M MANUAL /C PP001 /S MDInfo /N Deck /E 0.00 /F INFO"));
    EXPECT_TRUE(m_gui.m_errors.empty());
}

TEST_F(ServiceManagerTest, FirmwarePlayerFaults)
{
    struct Case
    {
        const char* pszName;
        int nPlayers;
        const wchar_t* pszReturnDelay;
        bool bUnplugAfterConfirm;
        const char* pszImage;
        HRESULT hrExpected;
        UINT uBox;
    };
    const Case kCases[] = {
        {"two players", 2, L"200", false, kImage.c_str(), ZEP_E_MANY_PLAYERS, IDS_ZEPHELPER_MANY_PLAYERS},
        {"no player", 0, L"200", false, kImage.c_str(), ZEP_E_NO_PLAYER, IDS_ZEPHELPER_NO_PLAYER},
        {"unplugged before the update", 1, L"200", true, kImage.c_str(), ZEP_E_NO_PLAYER, IDS_ZEPHELPER_NO_PLAYER},
        {"never returns", 1, L"-1", false, kImage.c_str(), ZEP_E_PLAYER_NOT_BACK, IDS_ZEPHELPER_UPDATE_TIMEOUT},
        {"returns unchanged", 1, L"100", false, "not an image", ZEP_E_PLAYER_UNCHANGED, IDS_ZEPHELPER_FAILED_CODE},
    };
    m_nPlayerPolls = 5;
    for (const Case& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        m_boxes.clear();
        SetPlayer(c.nPlayers, c.pszReturnDelay);
        const std::string image = c.pszImage;
        WritePackage(image, image.size());
        m_gui.m_onConfirm = c.bUnplugAfterConfirm ? std::function<void()>([this] { SetPlayer(0); })
                                                  : std::function<void()>();
        EXPECT_EQ(std::vector<HRESULT>{c.hrExpected}, Run(std::wstring(L"/M MANUAL") + kPlayerBlock));
        EXPECT_EQ(std::vector<UINT>{c.uBox}, m_boxes);
        EXPECT_EQ(L"1.0.0.0", PlayerValue(L"Player", L"FirmwareVersion"));
    }
    // An automatic run keeps quiet about a player that is not there.
    m_boxes.clear();
    m_gui.m_onConfirm = nullptr;
    SetPlayer(0);
    EXPECT_EQ(std::vector<HRESULT>{ZEP_E_NO_PLAYER}, Run(std::wstring(L"/M AUTO") + kPlayerBlock));
    EXPECT_TRUE(m_boxes.empty());
}
// Cancel in the download window asks first: the monitor stops the transfer, waits for the
// answer (polling every 500 ms), and either ends with the window (Yes) or resumes (No), when
// the stopped transfer's "canceled" no longer counts.
TEST_F(ServiceManagerTest, CancelQuestionStopsTheDownloadAndNoResumesIt)
{
    const std::string content = SignedInstaller();
    const struct
    {
        const char* pszName;
        bool bAnswerYes;
        int nCanceledPolls;  // status polls that still report the stopped transfer
        HRESULT hrExpected;
        size_t nDownloads;
    } kCases[] = {
        {"No: resumed, the stopped transfer forgiven", false, 2, S_OK, 2},
        {"Yes: canceled", true, 0, ZEP_E_DOWNLOAD_CANCELED, 1},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClientKey);  // polling closed by the case before
        WritePackage(content, content.size());
        m_download.m_urls.clear();
        m_download.m_nAborted = 0;
        m_download.m_percentages = {0, 10, 50, 100};
        m_download.m_nCanceledPollsAfterAbort = c.nCanceledPolls;
        m_gui.m_downloadProgress.clear();
        m_gui.m_questionPolls.clear();
        m_gui.m_nCancelAtPoll = 2;
        m_gui.m_nQuestionPolls = 2;
        m_gui.m_bAnswerYes = c.bAnswerYes;
        EXPECT_EQ(std::vector<HRESULT>{c.hrExpected}, Run(std::wstring(L"/M AUTO") + kLauncherBlock));
        EXPECT_GE(m_download.m_nAborted, 1);
        EXPECT_EQ(c.nDownloads, m_download.m_urls.size());
        EXPECT_EQ(0, m_gui.m_nWindowsLeftOpen);
        // The question was asked again every 500 ms until it was answered.
        ASSERT_EQ(4u, m_gui.m_questionPolls.size());
        for (size_t i = 1; i < m_gui.m_questionPolls.size(); ++i)
            EXPECT_GE(m_gui.m_questionPolls[i] - m_gui.m_questionPolls[i - 1], 450u) << i;
        if (c.hrExpected == S_OK)
            EXPECT_EQ((std::vector<UINT>{0, 10, 50, 100}), m_gui.m_downloadProgress);
        else
            EXPECT_EQ(std::vector<UINT>{0}, m_gui.m_downloadProgress);
    }
    // Without a restart a canceled transfer is the download's result.
    m_gui.m_nCancelAtPoll = 0;
    m_download.m_percentages = {0, 10};
    m_download.m_hrResult = ZEP_E_DOWNLOAD_CANCELED;
    EXPECT_EQ(std::vector<HRESULT>{ZEP_E_DOWNLOAD_CANCELED}, Run(std::wstring(L"/M AUTO") + kLauncherBlock));
}

// A window may be asked to close before its show call has made it (a worker that ends at
// once); the close must still reach it, or the modal window stays for ever.
TEST_F(ServiceManagerTest, CloseBeforeTheWindowExistsIsNotLost)
{
    m_gui.m_dwShowDelayMs = 300;
    {
        SCOPED_TRACE("update window, firmware worker ends at once");
        CZepServiceManager manager(m_hResources, MakeSeams());
        ASSERT_EQ(S_OK, manager.InitWith(&m_gui, &m_download, &m_info));
        const ULONGLONG ullStart = ::GetTickCount64();
        // No image: the worker refuses at once.
        EXPECT_EQ(E_INVALIDARG, manager.UpdateVelomar(L"QXB417FW", L""));
        EXPECT_LT(::GetTickCount64() - ullStart, 10000u);
        EXPECT_EQ(1, m_gui.m_nUpdateWindows);
        EXPECT_EQ(0, m_gui.m_nWindowsLeftOpen);
    }
    {
        SCOPED_TRACE("download window, transfer complete at the first poll");
        const std::string content = SignedInstaller();
        WritePackage(content, content.size());
        EXPECT_EQ(std::vector<HRESULT>{S_OK}, Run(std::wstring(L"/M AUTO") + kLauncherBlock));
        EXPECT_EQ(1, m_gui.m_nDownloadWindows);
        EXPECT_EQ(0, m_gui.m_nWindowsLeftOpen);
    }
}

// A monitor that is still in a call when the service stops waiting for it goes on with what
// it owns: the GUI it holds a reference to and its own copy of the service identifier.
TEST_F(ServiceManagerTest, MonitorOutlivingItsWaitUsesOnlyWhatItOwns)
{
    const std::string content = "MZ tiny installer";
    WritePackage(content, content.size());
    UniqueHandle stall(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle stalled(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_download.m_hStall = stall.Get();
    m_download.m_hStalled = stalled.Get();
    // The person closes the window while the monitor waits for the transfer's answer.
    m_gui.m_bUserClosesDownload = true;
    m_gui.m_hCloseWhen = stalled.Get();
    m_bMonitorLeftRunning = true;
    EXPECT_EQ(std::vector<HRESULT>{ZEP_E_DOWNLOAD_CANCELED}, Run(std::wstring(L"/M AUTO") + kLauncherBlock));
    // The service, its manager and the manager's references are gone; the transfer answers.
    ::SetEvent(stall.Get());
    for (int i = 0; i < 250 && m_gui.References() != 0; ++i)
        ::Sleep(20);
    EXPECT_EQ(0, m_gui.References());
    EXPECT_EQ(std::vector<UINT>{100}, m_gui.m_downloadProgress);
    EXPECT_EQ(0, m_gui.m_nStrayCalls);
    m_download.m_hStall = nullptr;
}

// The update window's progress is time over the expected duration (60 s per 10 MiB): a
// 20 MiB image moves 1 % about every 1.2 s, and shows 100 only when the player is back.
TEST_F(ServiceManagerTest, UpdateProgressOfA20MiBImage)
{
    SetPlayer(1, L"4500");
    std::string image = kImage;
    image.resize(20 * 1024 * 1024, 'x');
    WritePackage(image, image.size());
    m_gui.m_strService = L"QXB417FW";
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, Run(std::wstring(L"/M MANUAL") + kPlayerBlock));
    const auto& progress = m_gui.m_updateProgress;
    ASSERT_GE(progress.size(), 4u);
    EXPECT_EQ(100u, progress.back().second);
    // Measured between reports, so that a late start of the window does not count.
    EXPECT_LE(progress[0].second, 1u);
    for (size_t i = 1; i + 1 < progress.size(); ++i)
    {
        const ULONGLONG ullElapsed = progress[i].first - progress[0].first;
        const int nExpected = static_cast<int>(ullElapsed / 1200);
        const int nMoved = static_cast<int>(progress[i].second) - static_cast<int>(progress[0].second);
        EXPECT_LE(nMoved, nExpected + 1) << ullElapsed;
        EXPECT_GE(nMoved + 1, nExpected) << ullElapsed;
        EXPECT_LE(progress[i].second, 99u);
    }
    EXPECT_GE(progress[progress.size() - 2].second, 2u);
    EXPECT_EQ(0, m_gui.m_nStrayCalls);
}
}  // namespace
