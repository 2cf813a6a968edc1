// Quenta.exe as the launcher starts it, with its components registered in the prefix and an
// update server on the loopback interface serving files published by zepinfo. The windows it
// shows are answered by a helper that presses their buttons.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/folder_security.h"
#include "common/product_keys.h"
#include "common/registry.h"
#include "common/string_util.h"
#include "common/testing/registry_sandbox.h"
#include "common/testing/zeptest.h"
#include "update/client/res/client_res_ids.h"
#include "update/client/zep_mini_application_app.h"
#include "update/client/tests/dialog_answerer.h"
#include "update/info/ecdsa_p256.h"
#include "update/info/tests/info_test_util.h"
#include "update/info/zep_update_info_manager_impl.h"
#include "update/download/tests/loopback_http_server.h"

namespace
{
const wchar_t kClientKey[] = ZEP_PRODUCT_KEY L"\\Auto Update Client";
const wchar_t kEndKey[] = ZEP_PRODUCT_KEY L"\\Auto Update END";
const wchar_t kPackagesKey[] = ZEP_PRODUCT_KEY L"\\Auto Update Packages";

std::string Body(const std::string& strModel, const std::string& strRuleVersion, const std::string& strPackage)
{
    return "<InformationFile Noop=\"false\"><ApplyConditions><ApplyCondition Force=\"true\"><Rules>"
           "<Rule Type=\"Software\" Key=\"" + strModel + "\" Value=\"" + strRuleVersion +
           "\" Operator=\"LessThan\"/></Rules><Descriptions DefaultLang=\"en\"><Description Lang=\"en\">"
           "A new version.</Description></Descriptions><Distributions>" + strPackage +
           "</Distributions></ApplyCondition></ApplyConditions>"
           "<ControlConditions DefaultServiceStatus=\"open\"/></InformationFile>";
}

class QuentaProcess : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.Start());
        for (const wchar_t* pszLibrary : {L"ZepBackend_Library.dll", L"ZepGUI_Library.dll"})
        {
            DWORD dwExit = 1;
            ASSERT_TRUE(zeptest::RunProcess(L"regsvr32 /s \"" + zeptest::ExeDir() + pszLibrary + L"\"", 60000, dwExit));
            ASSERT_EQ(0u, dwExit) << pszLibrary;
        }
        // No player on the simulated bus.
        const std::wstring strState = zeptest::TestTempDir() + L"player.ini";
        ::WritePrivateProfileStringW(L"Bus", L"Players", L"0", strState.c_str());
        ::SetEnvironmentVariableW(L"DRENLOX_PLAYER_STATE", strState.c_str());
        ClearClientKeys();
        ASSERT_EQ(S_OK, RealRegistryWrite(kClientKey, L"_Dbg_Info_", m_server.Url("/base/")));
    }
    void TearDown() override
    {
        for (const wchar_t* pszLibrary : {L"ZepBackend_Library.dll", L"ZepGUI_Library.dll"})
        {
            DWORD dwExit = 1;
            zeptest::RunProcess(L"regsvr32 /s /u \"" + zeptest::ExeDir() + pszLibrary + L"\"", 60000, dwExit);
        }
        ClearClientKeys();
        ::SetEnvironmentVariableW(L"DRENLOX_PLAYER_STATE", nullptr);
        m_server.Stop();
    }

    // The client writes the prefix's own machine keys; so do these.
    static HRESULT RealRegistryWrite(const std::wstring& strKey, const wchar_t* pszName, const std::wstring& strValue)
    {
        zeptest::CRegistrySandboxSuspension real;
        return Registry::WriteString(HKEY_LOCAL_MACHINE, strKey.c_str(), pszName, strValue);
    }
    static std::wstring RealRegistryRead(const std::wstring& strKey, const wchar_t* pszName)
    {
        zeptest::CRegistrySandboxSuspension real;
        std::wstring strValue;
        if (FAILED(Registry::ReadString(HKEY_LOCAL_MACHINE, strKey.c_str(), pszName, strValue)))
            return L"(missing)";
        return strValue;
    }
    static void ClearClientKeys()
    {
        zeptest::CRegistrySandboxSuspension real;
        Registry::DeleteTree(HKEY_LOCAL_MACHINE, kClientKey);
        Registry::DeleteTree(HKEY_LOCAL_MACHINE, kEndKey);
        Registry::DeleteTree(HKEY_CURRENT_USER, kPackagesKey);
    }

    // Publishes an information file for the service with zepinfo and serves it.
    void Publish(const std::string& strCategory, const std::string& strService, const std::string& strBody)
    {
        const std::wstring strBodyPath = zeptest::TestTempDir() + L"body.xml";
        const std::wstring strOut = zeptest::TestTempDir() + L"published";
        ASSERT_TRUE(zeptest::WriteFileBytes(strBodyPath, strBody.data(), strBody.size()));
        DWORD dwExit = 1;
        ASSERT_TRUE(zeptest::RunProcess(L"\"" + zeptest::ExeDir() + L"zepinfo.exe\" publish --service " +
                                            Utf8ToWide(strService) + L" --category " + Utf8ToWide(strCategory) +
                                            L" --key \"" + infotest::DevKeyPath() + L"\" \"" + strBodyPath +
                                            L"\" \"" + strOut + L"\"",
                                        60000, dwExit));
        ASSERT_EQ(0u, dwExit);
        const std::wstring strFile =
            strOut + L"\\" + Utf8ToWide(strCategory) + L"\\" + Utf8ToWide(strService) + L"\\info\\info.xml";
        zeptest::SRouteBehaviour route, signature;
        ASSERT_TRUE(zeptest::ReadFileBytes(strFile, route.strBody));
        ASSERT_TRUE(zeptest::ReadFileBytes(strFile + L".sig", signature.strBody));
        m_server.SetRoute(InfoPath(strCategory, strService), route);
        m_server.SetRoute(InfoPath(strCategory, strService) + ".sig", signature);
    }
    static std::string InfoPath(const std::string& strCategory, const std::string& strService)
    {
        return "/base/" + strCategory + "/" + strService + "/info/info.xml";
    }

    // Runs the client to its end, answering its windows with wButton; false when it hung.
    bool RunClient(const std::wstring& strArguments, WORD wButton, std::vector<CDialogAnswerer::SSeen>& seen,
                   DWORD dwTimeoutMs = 60000)
    {
        UniqueHandle process;
        DWORD dwPid = 0;
        if (!zeptest::StartProcess(L"\"" + zeptest::ExeDir() + L"Quenta.exe\"" + strArguments, process, &dwPid))
            return false;
        bool bEnded = false;
        {
            CDialogAnswerer answerer(dwPid, wButton);
            bEnded = ::WaitForSingleObject(process.Get(), dwTimeoutMs) == WAIT_OBJECT_0;
            seen = answerer.Seen();
        }
        if (!bEnded)
        {
            ::TerminateProcess(process.Get(), 0xDEAD);
            ::WaitForSingleObject(process.Get(), 5000);
        }
        return bEnded;
    }

    size_t Requests(const std::string& strPath) const
    {
        size_t c = 0;
        for (const auto& request : m_server.Requests())
            c += request.strPath == strPath ? 1 : 0;
        return c;
    }

    // Serves a file's bytes as a package; its Package element (with its SHA-256) for the information file.
    std::string ServePackage(const std::string& strPath, const std::string& strBytes, const std::string& strId,
                             const std::string& strVersion)
    {
        zeptest::SRouteBehaviour route;
        route.strBody = strBytes;
        m_server.SetRoute(strPath, route);
        EcdsaP256::Digest digest;
        EXPECT_EQ(S_OK, EcdsaP256::Sha256(reinterpret_cast<const BYTE*>(strBytes.data()), strBytes.size(), digest));
        return "<Package ID=\"" + strId + "\" Version=\"" + strVersion + "\" URI=\"" +
               WideToUtf8(m_server.Url(strPath)) + "\" MAC=\"" +
               WideToUtf8(HexLower(digest.data(), digest.size())) + "\" Size=\"" +
               std::to_string(strBytes.size()) + "\"/>";
    }

    zeptest::CLoopbackHttpServer m_server;
};

const char kLauncherPackage[] =
    "<Package ID=\"Velomar Launcher\" Version=\"2.0.0.0\" URI=\"http://127.0.0.1/setup.exe\" "
    "MAC=\"0123456789abcdef0123456789abcdef\" Size=\"10\"/>";
const wchar_t kLauncherBlock[] = L" /C PP001 /S TVK /N \"Velomar Launcher\" /E 1.0.0.0 /F UPDATE";
const wchar_t kNoticeBlock[] = L" /C PP001 /S MDInfo /N \"Merrowdeck\" /E 0.00 /F INFO";

TEST_F(QuentaProcess, ModeAloneEndsSilentlyWhenAutomaticAndSaysInvalidOnceWhenManual)
{
    std::vector<CDialogAnswerer::SSeen> seen;
    ASSERT_TRUE(RunClient(L" /M AUTO ", IDOK, seen));
    EXPECT_TRUE(seen.empty());
    ASSERT_TRUE(RunClient(L" /M MANUAL ", IDOK, seen));
    ASSERT_EQ(1u, seen.size());
    EXPECT_FALSE(seen[0].bConfirmation);
}

TEST_F(QuentaProcess, ComponentThatCannotBeCreatedIsReportedOnceAndNothingIsChecked)
{
    DWORD dwExit = 1;
    ASSERT_TRUE(zeptest::RunProcess(L"regsvr32 /s /u \"" + zeptest::ExeDir() + L"ZepBackend_Library.dll\"", 60000,
                                    dwExit));
    Publish("PP001", "TVK", Body("Velomar Launcher", "0.5.0.0", kLauncherPackage));
    std::vector<CDialogAnswerer::SSeen> seen;
    ASSERT_TRUE(RunClient(std::wstring(L" /M AUTO ") + kLauncherBlock, IDOK, seen));
    EXPECT_EQ(0u, Requests(InfoPath("PP001", "TVK")));
    ASSERT_EQ(1u, seen.size());
    EXPECT_FALSE(seen[0].bConfirmation);
    HMODULE hResources = ::LoadLibraryExW((zeptest::ExeDir() + L"ZepHelper_ApplicationRes.dll").c_str(), nullptr,
                                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, hResources);
    wchar_t szText[512] = {};
    ::LoadStringW(hResources, IDS_ZEPHELPER_INIT_FAILED, szText, 512);
    ::FreeLibrary(hResources);
    bool bFound = false;
    for (const std::wstring& strText : seen[0].texts)
        bFound = bFound || strText == szText;
    EXPECT_TRUE(bFound);
}

TEST_F(QuentaProcess, SecondInstanceEndsAtOnce)
{
    // The running client's mutex, held here.
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, QUENTA_MUTEX_NAME));
    ASSERT_TRUE(mutex);
    Publish("PP001", "TVK", Body("Velomar Launcher", "0.5.0.0", kLauncherPackage));
    std::vector<CDialogAnswerer::SSeen> seen;
    const ULONGLONG ullStart = ::GetTickCount64();
    ASSERT_TRUE(RunClient(std::wstring(L" /M MANUAL ") + kLauncherBlock, IDOK, seen, 20000));
    EXPECT_LT(::GetTickCount64() - ullStart, 10000u);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(0u, Requests(InfoPath("PP001", "TVK")));
}

TEST_F(QuentaProcess, NoUpdateInAManualRunSaysSoOnce)
{
    Publish("PP001", "TVK", Body("Velomar Launcher", "0.5.0.0", kLauncherPackage));
    std::vector<CDialogAnswerer::SSeen> seen;
    ASSERT_TRUE(RunClient(std::wstring(L" /M MANUAL ") + kLauncherBlock, IDOK, seen));
    EXPECT_EQ(1u, Requests(InfoPath("PP001", "TVK")));
    ASSERT_EQ(1u, seen.size());
    EXPECT_FALSE(seen[0].bConfirmation);
    EXPECT_EQ(L"(missing)", RealRegistryRead(std::wstring(kClientKey) + L"\\TVK", L"LastUpdateStatus"));
}

TEST_F(QuentaProcess, MissingInformationFileIsRecordedQuietlyInAnAutomaticRun)
{
    std::vector<CDialogAnswerer::SSeen> seen;
    ASSERT_TRUE(RunClient(std::wstring(L" /M AUTO ") + kLauncherBlock, IDOK, seen));
    EXPECT_EQ(1u, Requests(InfoPath("PP001", "TVK")));
    EXPECT_TRUE(seen.empty());
    // The server has nothing for this service.
    EXPECT_EQ(L"11", RealRegistryRead(std::wstring(kClientKey) + L"\\TVK", L"LastUpdateStatus"));
}

TEST_F(QuentaProcess, AcceptedNoticeLeavesItsEndMarker)
{
    Publish("PP001", "MDInfo",
            Body("Merrowdeck", "1.0.0.0",
                 "<Package ID=\"Merrowdeck\" Version=\"1.0.0.0\" URI=\"http://127.0.0.1/notice.html\" "
                 "MAC=\"0123456789abcdef0123456789abcdef\" Size=\"0\"/>"));
    std::vector<CDialogAnswerer::SSeen> seen;
    ASSERT_TRUE(RunClient(std::wstring(L" /M AUTO ") + kNoticeBlock, IDOK, seen));
    ASSERT_EQ(1u, seen.size());
    EXPECT_TRUE(seen[0].bConfirmation);
    EXPECT_EQ(L"", RealRegistryRead(std::wstring(kEndKey) + L"\\MDInfo", nullptr));
    // A notice's success is not recorded as a status.
    EXPECT_EQ(L"(missing)", RealRegistryRead(std::wstring(kClientKey) + L"\\MDInfo", L"LastUpdateStatus"));
}

TEST_F(QuentaProcess, DeclinedNoticeLeavesNoMarker)
{
    Publish("PP001", "MDInfo",
            Body("Merrowdeck", "1.0.0.0",
                 "<Package ID=\"Merrowdeck\" Version=\"1.0.0.0\" URI=\"http://127.0.0.1/notice.html\" "
                 "MAC=\"0123456789abcdef0123456789abcdef\" Size=\"0\"/>"));
    std::vector<CDialogAnswerer::SSeen> seen;
    ASSERT_TRUE(RunClient(std::wstring(L" /M AUTO ") + kNoticeBlock, IDCANCEL, seen));
    ASSERT_EQ(1u, seen.size());
    EXPECT_TRUE(seen[0].bConfirmation);
    EXPECT_EQ(L"(missing)", RealRegistryRead(std::wstring(kEndKey) + L"\\MDInfo", nullptr));
}
TEST_F(QuentaProcess, PcSoftwareUpdateIsDownloadedCheckedAndInstalled)
{
    std::string installer;
    ASSERT_TRUE(zeptest::ReadFileBytes(zeptest::ExeDir() + L"quenta_test_installer.exe", installer));
    const std::string strPackage = ServePackage("/packages/setup.exe", installer, "Velomar Launcher", "2.0.0.0");
    Publish("PP001", "TVK", Body("Velomar Launcher", "2.0.0.0", strPackage));
    const std::wstring strLog = zeptest::TestTempDir() + L"installer.log";
    ::SetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_LOG", strLog.c_str());
    // The installer goes on reading its package after the shell has returned.
    ::SetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_HOLD_MS", L"1500");
    std::vector<CDialogAnswerer::SSeen> seen;
    ASSERT_TRUE(RunClient(std::wstring(L" /M AUTO ") + kLauncherBlock, IDOK, seen, 120000));
    ::SetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_LOG", nullptr);
    ::SetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_HOLD_MS", nullptr);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(seen[0].bConfirmation);
    // The outcome is recorded without waiting for the installer.
    EXPECT_EQ(L"00", RealRegistryRead(std::wstring(kClientKey) + L"\\TVK", L"LastUpdateStatus"));
    std::string log;
    for (int i = 0; i < 100 && log.find("package") == std::string::npos; ++i)
    {
        ::Sleep(100);
        zeptest::ReadFileBytes(strLog, log);
    }
    EXPECT_NE(std::string::npos, log.find("setup.exe\r\npackage present")) << log;
    // ... and once it has ended, a later run removes the package.
    const std::string strStarted = log.substr(0, log.find('\r'));
    for (int i = 0; i < 10 && ::GetFileAttributesA(strStarted.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
    {
        ::Sleep(300);
        ASSERT_TRUE(RunClient(L" /M AUTO ", IDOK, seen));
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(strStarted.c_str())) << strStarted;
    // The server keeps polling open ("open" service status), so the mode is kept, not closed.
    EXPECT_EQ(L"AUTO", RealRegistryRead(std::wstring(kClientKey) + L"\\TVK", L"PollingStatus"));
}

// Packages served with the right size and digest (whoever writes the server's files writes
// those too) that the client must not start.
TEST_F(QuentaProcess, UntrustedPcPackagesAreRefusedNotStartedAndDeleted)
{
    std::string signedExe, unsignedExe, strangerExe;
    ASSERT_TRUE(zeptest::ReadFileBytes(zeptest::ExeDir() + L"quenta_test_installer.exe", signedExe));
    ASSERT_TRUE(zeptest::ReadFileBytes(zeptest::ExeDir() + L"quenta_test_installer_unsigned.exe", unsignedExe));
    ASSERT_TRUE(zeptest::ReadFileBytes(zeptest::ExeDir() + L"quenta_test_installer_stranger.exe", strangerExe));
    std::string patchedExe = signedExe;
    patchedExe[0x4E] ^= 0x20;  // the DOS stub's message: still runs, no longer what was signed
    const std::string batch = "@echo %~f0>>\"%QUENTA_TEST_INSTALLER_LOG%\"\r\n";
    const struct
    {
        const char* pszName;
        const char* pszFile;
        const std::string& bytes;
    } kCases[] = {
        {"unsigned", "setup.exe", unsignedExe},
        {"patched after signing", "setup.exe", patchedExe},
        {"signed by another certificate", "setup.exe", strangerExe},
        {"batch file", "setup.bat", batch},
    };
    const std::wstring strLog = zeptest::TestTempDir() + L"installer.log";
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        ClearClientKeys();
        ASSERT_EQ(S_OK, RealRegistryWrite(kClientKey, L"_Dbg_Info_", m_server.Url("/base/")));
        ::DeleteFileW(strLog.c_str());
        const std::string strPackage =
            ServePackage(std::string("/packages/") + c.pszFile, c.bytes, "Velomar Launcher", "2.0.0.0");
        Publish("PP001", "TVK", Body("Velomar Launcher", "2.0.0.0", strPackage));
        ::SetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_LOG", strLog.c_str());
        std::vector<CDialogAnswerer::SSeen> seen;
        ASSERT_TRUE(RunClient(std::wstring(L" /M AUTO ") + kLauncherBlock, IDOK, seen, 120000));
        ::SetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_LOG", nullptr);
        EXPECT_EQ(L"44", RealRegistryRead(std::wstring(kClientKey) + L"\\TVK", L"LastUpdateStatus"));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(strLog.c_str())) << "the package was started";
        std::wstring strSid;
        ASSERT_EQ(S_OK, CurrentUserSidText(strSid));
        const std::wstring strDownloaded =
            CZepUpdateInfoManagerImpl::DefaultDataFolder() + L"\\TVK\\" + strSid + L"\\" + Utf8ToWide(c.pszFile);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(strDownloaded.c_str())) << strDownloaded;
        // The confirmation, then the error the user is owed once it was shown.
        EXPECT_EQ(2u, seen.size());
        if (seen.size() == 2)
        {
            EXPECT_TRUE(seen[0].bConfirmation);
            EXPECT_FALSE(seen[1].bConfirmation);
        }
    }
}

TEST_F(QuentaProcess, PlayerFirmwareIsUpdated)
{
    const std::wstring strState = zeptest::TestTempDir() + L"player.ini";
    const std::wstring strStorage = zeptest::TestTempDir() + L"storage";
    ::CreateDirectoryW(strStorage.c_str(), nullptr);
    for (const auto& kv : std::vector<std::pair<const wchar_t*, std::wstring>>{
             {L"Word0", L"1"}, {L"Word1", L"417"}, {L"DeviceId", L"QXB417-000123"}, {L"ServiceId", L"QXB417FW"},
             {L"FirmwareVersion", L"1.0.0.0"}, {L"Model", L"QX B417"}, {L"Storage", strStorage},
             {L"ReturnDelayMs", L"2000"}})
        ::WritePrivateProfileStringW(L"Player", kv.first, kv.second.c_str(), strState.c_str());
    ::WritePrivateProfileStringW(L"Bus", L"Players", L"1", strState.c_str());
    const std::string strImage = "VELOMAR-FIRMWARE 2.0.0.0\r\nsimulated image";
    const std::string strPackage = ServePackage("/packages/fw.upg", strImage, "QXB417 Firmware", "2.0.0.0");
    Publish("PA001", "QXB417FW",
            "<InformationFile Noop=\"false\"><ApplyConditions><ApplyCondition Force=\"true\"><Rules>"
            "<Rule Type=\"System\" Key=\"FirmwareVersion\" Value=\"2.0.0.0\" Operator=\"LessThan\"/></Rules>"
            "<Descriptions DefaultLang=\"en\"><Description Lang=\"en\">Firmware 2.0.</Description></Descriptions>"
            "<Distributions>" + strPackage + "</Distributions></ApplyCondition></ApplyConditions>"
            "<ControlConditions DefaultServiceStatus=\"open\"/></InformationFile>");
    std::vector<CDialogAnswerer::SSeen> seen;
    ASSERT_TRUE(RunClient(L" /M MANUAL  /C PA001 /S VLFW /N \"QX-B417\" /E 0.00 /F UPDATE", IDOK, seen, 120000));
    wchar_t szVersion[32] = {};
    ::GetPrivateProfileStringW(L"Player", L"FirmwareVersion", L"", szVersion, 32, strState.c_str());
    EXPECT_STREQ(L"2.0.0.0", szVersion);
    ASSERT_EQ(2u, seen.size());
    EXPECT_TRUE(seen[0].bConfirmation);
    EXPECT_FALSE(seen[1].bConfirmation);
    EXPECT_EQ(L"00",
              RealRegistryRead(std::wstring(kClientKey) + L"\\QXB417FW\\QXB417-000123", L"LastUpdateStatus"));
}
}  // namespace
