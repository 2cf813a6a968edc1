// The companion's package installed and removed by the system's msiexec: files, product keys,
// the component libraries usable by class identifier, and a removal that leaves only the user's
// settings behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>
#include <oleauto.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/com_init.h"
#include "common/marked_window.h"
#include "common/product_keys.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "installer/testing/standard_user_access.h"
#include "launcher/settings/app_entry.h"
#include "launcher/settings/launcher_settings.h"
#include "launcher/settings/settings_registry.h"
#include "zep_backend_library.h"
#include "zep_gui_library.h"

namespace
{
std::wstring KnownFolder(int csidl)
{
    wchar_t szPath[MAX_PATH] = {};
    EXPECT_EQ(S_OK, ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, szPath));
    return szPath;
}

bool KeyExists(HKEY hRoot, const std::wstring& key)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(hRoot, key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(hKey);
    return true;
}

// The string value, or "(absent)".
std::wstring StringValue(HKEY hRoot, const std::wstring& key, const wchar_t* pszName)
{
    wchar_t szValue[1024] = {};
    DWORD cb = sizeof(szValue) - sizeof(wchar_t);
    if (::RegGetValueW(hRoot, key.c_str(), pszName, RRF_RT_REG_SZ, nullptr, szValue, &cb) !=
        ERROR_SUCCESS)
        return L"(absent)";
    return szValue;
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t sz[64] = {};
    ::StringFromGUID2(guid, sz, _countof(sz));
    return sz;
}

// Every key the component libraries' registration writes below the classes root.
std::vector<std::wstring> ComKeys()
{
    std::vector<std::wstring> keys;
    for (const CLSID* pClsid : {&CLSID_ZepUpdateInfoManager, &CLSID_ZepSoftwareDownloadManager, &CLSID_ZepAutoUpdateGUI})
        keys.push_back(L"CLSID\\" + GuidText(*pClsid));
    for (const GUID* pLibId : {&LIBID_ZepBackend_LibraryLib, &LIBID_ZepGUI_LibraryLib})
        keys.push_back(L"TypeLib\\" + GuidText(*pLibId));
    for (const IID* pIid : {&IID_IZepUpdateInfoManager, &IID_IZepSoftwareDownloadManager, &IID_IZepAutoUpdateGUI,
                            &DIID__IZepUpdateInfoManagerEvents, &DIID__IZepSoftwareDownloadManagerEvents})
        keys.push_back(L"Interface\\" + GuidText(*pIid));
    for (const wchar_t* pszProgId :
         {L"ZepBackend_Library.ZepUpdateInfoManager", L"ZepBackend_Library.ZepUpdateInfoManag.1",
          L"ZepBackend_Library.ZepSoftwareDownloadManager", L"ZepBackend_Library.ZepSoftwareDownloadManager.1",
          L"ZepGUI_Library.ZepAutoUpdateGUI", L"ZepGUI_Library.ZepAutoUpdateGUI.1", L"AppID\\ZepBackend_Library.DLL",
          L"AppID\\ZepGUI_Library.DLL"})
        keys.push_back(pszProgId);
    return keys;
}

// The package's upgrade code, read from the package itself.
std::wstring UpgradeCode(const std::wstring& package)
{
    MSIHANDLE hDatabase = 0;
    if (::MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &hDatabase) != ERROR_SUCCESS)
        return std::wstring();
    std::wstring code;
    MSIHANDLE hView = 0;
    if (::MsiDatabaseOpenViewW(hDatabase, L"SELECT `Value` FROM `Property` WHERE `Property` = 'UpgradeCode'",
                               &hView) == ERROR_SUCCESS)
    {
        MSIHANDLE hRecord = 0;
        if (::MsiViewExecute(hView, 0) == ERROR_SUCCESS && ::MsiViewFetch(hView, &hRecord) == ERROR_SUCCESS)
        {
            wchar_t szValue[64] = {};
            DWORD cch = _countof(szValue);
            if (::MsiRecordGetStringW(hRecord, 1, szValue, &cch) == ERROR_SUCCESS)
                code = szValue;
            ::MsiCloseHandle(hRecord);
        }
        ::MsiCloseHandle(hView);
    }
    ::MsiCloseHandle(hDatabase);
    return code;
}

// Below the product key: one player's update status.
const wchar_t kStatusKey[] = L"\\Auto Update Client\\QXB417FW\\DEMO0123456789";

class VelomarMsiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_package = zeptest::ExeDir() + L"Velomar.msi";
        m_upgrade = zeptest::ExeDir() + L"velomar_upgrade_test.msi";
        m_log = zeptest::TestTempDir() + L"msiexec.log";
        m_programDir = KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Orvo Corporation\\Velomar Launcher\\";
        m_dataDir = KnownFolder(CSIDL_COMMON_APPDATA) + L"\\Orvo Corporation\\Velomar Launcher\\";
        // A run that died half-way may have left a package installed; other tests of the prefix
        // may have left empty keys below the product key. Start as a machine without the product.
        RemoveInstalled();
        zeptest::CRegistrySandboxSuspension realRegistry;
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvo Corporation\\Velomar Launcher");
    }

    void TearDown() override
    {
        RemoveInstalled();
        ::DeleteFileW((m_dataDir + L"TOLVIKSetting.xml").c_str());
        ::RemoveDirectoryW(m_dataDir.c_str());
    }

    // Every installed build of the package (each build has a product code of its own), found by
    // its upgrade code and, as Wine's upgrade-code list can lose an entry, by its name.
    void RemoveInstalled()
    {
        zeptest::CRegistrySandboxSuspension realRegistry;
        const std::wstring upgradeCode = UpgradeCode(m_package);
        ASSERT_FALSE(upgradeCode.empty());
        std::vector<std::wstring> products;
        wchar_t szProduct[39] = {};
        for (DWORD i = 0; ::MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, szProduct) == ERROR_SUCCESS; ++i)
            products.push_back(szProduct);
        for (DWORD i = 0; ::MsiEnumProductsW(i, szProduct) == ERROR_SUCCESS; ++i)
        {
            wchar_t szName[128] = {};
            DWORD cch = _countof(szName);
            if (::MsiGetProductInfoW(szProduct, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, szName, &cch) == ERROR_SUCCESS &&
                std::wstring(szName) == L"Velomar Launcher")
                products.push_back(szProduct);
        }
        for (const std::wstring& product : products)
            Msiexec(L"/x", product);
    }

    // target: a package file or an installed product code; properties: " NAME=value ...".
    DWORD Msiexec(const std::wstring& action, const std::wstring& target, const std::wstring& properties = L"")
    {
        ::DeleteFileW(m_log.c_str());
        DWORD dwExit = 0xFFFFFFFF;
        EXPECT_TRUE(zeptest::RunProcess(
            L"msiexec.exe " + action + L" \"" + target + L"\" /qn /l*v \"" + m_log + L"\"" + properties, 240000, dwExit));
        return dwExit;
    }
    DWORD Msiexec(const std::wstring& action) { return Msiexec(action, m_package); }

    // The installation starts the watcher without waiting for it.
    static bool WaitForWatcher()
    {
        for (int i = 0; i < 200; ++i)
        {
            HANDLE hMutex = ::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\Pirro");
            if (hMutex)
            {
                ::CloseHandle(hMutex);
                return true;
            }
            ::Sleep(50);
        }
        return false;
    }

    std::string Log()
    {
        std::string bytes;
        if (!zeptest::ReadFileBytes(m_log, bytes))
            return "(no log)";
        if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF)
            return WideToUtf8(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2));
        return bytes;
    }

    // The update schedule as the launcher's settings dialog stores it (checked at every start),
    // a player's status as the update client does.
    static void WriteRunTimeValues(const std::wstring& product)
    {
        const BYTE byStart = 1;
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (product + L"\\TOLVIK\\Update").c_str(),
                                                   L"UpdateStart", REG_BINARY, &byStart, sizeof(byStart)));
        const DWORD dwEveryStart = 0;
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (product + L"\\TOLVIK\\Update").c_str(),
                                                   L"UpdateFrequency", REG_DWORD, &dwEveryStart, sizeof(dwEveryStart)));
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (product + kStatusKey).c_str(),
                                                   L"LastUpdateStatus", REG_SZ, L"00", 3 * sizeof(wchar_t)));
    }

    // The launcher's main window, marked with its application name.
    static HWND FindLauncherWindow()
    {
        const std::vector<HWND> windows = FindMarkedTopLevelWindows(L"Velomar Launcher");
        return windows.empty() ? nullptr : windows.front();
    }

    bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::wstring m_package;
    std::wstring m_upgrade;
    std::wstring m_log;
    std::wstring m_programDir;
    std::wstring m_dataDir;
};

const wchar_t* const kInstalledFiles[] = {
    L"Tolvik.exe", L"Pirro.exe", L"UpdateChecker\\ZepBackend_Library.dll", L"UpdateChecker\\ZepGUI_Library.dll",
    L"UpdateChecker\\ZepGUI_LibraryRes.dll", L"UpdateChecker\\ZepHelper_ApplicationRes.dll",
    L"UpdateChecker\\Quenta.exe"};
// The stand-in firmware library, installed only when asked for.
const wchar_t kSimulatedPlayer[] = L" ADDLOCAL=Companion,SimulatedPlayer";
const wchar_t kDrenlox[] = L"UpdateChecker\\Drenlox.dll";

// A standard user's access to the keys the programs write at run time, read back from the keys'
// access lists (Wine enforces none, but keeps what the installation set while its server runs).
void ExpectRunTimeKeyAccess(const std::wstring& product)
{
    using installertest::AccessFor;
    const installertest::KeyAccessExpectation cases[] = {
        // The launcher's schedule: values set, nothing else.
        {L"\\TOLVIK\\Update", AccessFor::Key, KEY_QUERY_VALUE | KEY_SET_VALUE, KEY_CREATE_SUB_KEY | WRITE_DAC},
        // Keys the programs only read keep what they inherit (Windows: Users read; Wine's own
        // default list differs): no writing.
        {L"\\TOLVIK", AccessFor::Key, 0, KEY_SET_VALUE | KEY_CREATE_SUB_KEY},
        // The update client's per-service keys: made and written by the user; the client key's
        // own values (the debug server address) stay the administrators'.
        {L"\\Auto Update Client", AccessFor::Key, KEY_QUERY_VALUE | KEY_CREATE_SUB_KEY, KEY_SET_VALUE | WRITE_DAC},
        {L"\\Auto Update Client", AccessFor::NewSubkey, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, 0},
        {L"\\Auto Update END", AccessFor::Key, KEY_QUERY_VALUE | KEY_CREATE_SUB_KEY, KEY_SET_VALUE | WRITE_DAC},
        {L"\\Auto Update END", AccessFor::NewSubkey, KEY_QUERY_VALUE | KEY_SET_VALUE, 0},
        {L"", AccessFor::Key, 0, KEY_SET_VALUE | KEY_CREATE_SUB_KEY},
    };
    installertest::ExpectStandardUserKeyAccess(product, cases);
}
}  // namespace

TEST_F(VelomarMsiTest, InstallsUsableComponentsAndRemovesAllButTheUserSettings)
{
    // A data folder left by an earlier run would hide whether the installation creates it.
    ::DeleteFileW((m_dataDir + L"TOLVIKSetting.xml").c_str());
    ::RemoveDirectoryW(m_dataDir.c_str());
    // msiexec writes the prefix's own registry, not this test's sandbox.
    zeptest::CRegistrySandboxSuspension realRegistry;

    ASSERT_EQ(0u, Msiexec(L"/i")) << Log();
    // The installer reports an action library that does not load as a success: its own log lines
    // show that it ran.
    const std::string installLog = Log();
    for (const char* pszLine :
         {"Ondrix:  Took the instance lock 'VelomarLauncherSetup'", "Halvent:  Succeeded : Pauses automatic updating",
          "Ondrix:  CloseLauncherCA: Velomar Launcher is not running",
          "Moltra:  Created the data folder", "Ondrix:  ExecuteApplicationCA started",
          "Halvent:  Succeeded : Resumes automatic updating"})
        EXPECT_NE(std::string::npos, installLog.find(pszLine)) << pszLine;
    for (const wchar_t* pszFile : kInstalledFiles)
        EXPECT_TRUE(Exists(m_programDir + pszFile)) << WideToUtf8(pszFile);
    EXPECT_FALSE(Exists(m_programDir + kDrenlox)) << "installed without being asked for";
    EXPECT_TRUE(Exists(m_dataDir));

    const std::wstring product = ZEP_PRODUCT_KEY;
    ExpectRunTimeKeyAccess(product);
    EXPECT_EQ(m_programDir + L"Tolvik.exe", StringValue(HKEY_LOCAL_MACHINE, product + L"\\TOLVIK", L"InstalledPath"));
    EXPECT_EQ(m_programDir + L"Pirro.exe", StringValue(HKEY_LOCAL_MACHINE, product + L"\\PIRRO", L"InstalledPath"));
    EXPECT_EQ(L"2.1.0", StringValue(HKEY_LOCAL_MACHINE, product + L"\\Version", nullptr));
    // Written by the package's second step, under its Japanese code page.
    EXPECT_EQ(L"\u30DF\u30E5\u30FC\u30B8\u30C3\u30AF",
              StringValue(HKEY_LOCAL_MACHINE, product + L"\\TOLVIK\\Music", L"Caption"));
    EXPECT_EQ(L"\u30DD\u30C3\u30C9\u30AD\u30E3\u30B9\u30C8",
              StringValue(HKEY_LOCAL_MACHINE, product + L"\\TOLVIK\\Podcast", L"Caption"));
    for (const std::wstring& key : ComKeys())
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key)) << WideToUtf8(key);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(CLSID_ZepUpdateInfoManager) + L"\\Programmable"));
    // The event interfaces are dispatch-only: their calls cross apartments through IDispatch's
    // own marshaler, not the type-library one of the dual interfaces.
    for (const IID* pIid : {&DIID__IZepUpdateInfoManagerEvents, &DIID__IZepSoftwareDownloadManagerEvents})
        EXPECT_EQ(L"{00020420-0000-0000-C000-000000000046}",
                  StringValue(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(*pIid) + L"\\ProxyStubClsid32", nullptr));
    EXPECT_EQ(m_programDir + L"UpdateChecker\\ZepGUI_Library.dll",
              StringValue(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(CLSID_ZepAutoUpdateGUI) + L"\\InprocServer32", nullptr));

    {
        CComInitScope com;
        ASSERT_TRUE(com.Succeeded());
        IZepUpdateInfoManager* pManager = nullptr;
        EXPECT_EQ(S_OK, ::CoCreateInstance(CLSID_ZepUpdateInfoManager, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_PPV_ARGS(&pManager)));
        IZepSoftwareDownloadManager* pDownloads = nullptr;
        EXPECT_EQ(S_OK, ::CoCreateInstance(CLSID_ZepSoftwareDownloadManager, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_PPV_ARGS(&pDownloads)));
        IZepAutoUpdateGUI* pGui = nullptr;
        EXPECT_EQ(S_OK, ::CoCreateInstance(CLSID_ZepAutoUpdateGUI, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&pGui)));
        // The registered type libraries are the ones a script client and the marshaler find.
        for (const GUID* pLibId : {&LIBID_ZepBackend_LibraryLib, &LIBID_ZepGUI_LibraryLib})
        {
            ITypeLib* pTypeLib = nullptr;
            EXPECT_EQ(S_OK, ::LoadRegTypeLib(*pLibId, 1, 0, LOCALE_NEUTRAL, &pTypeLib)) << WideToUtf8(GuidText(*pLibId));
            if (pTypeLib)
                pTypeLib->Release();
        }
        if (pManager)
            pManager->Release();
        if (pGui)
            pGui->Release();
        if (pDownloads)
            pDownloads->Release();
        ::CoFreeUnusedLibraries();
    }

    // The launcher writes the user's settings on its first run; they outlive the package.
    const char settings[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<velomar_launcher><pirro/><tolvik>"
                            "<first_exec>false</first_exec></tolvik></velomar_launcher>";
    ASSERT_TRUE(zeptest::WriteFileBytes(m_dataDir + L"TOLVIKSetting.xml", settings, sizeof(settings) - 1));

    // What the launcher and the update client write into the product key while they run is not
    // in the package's tables; it goes with the product all the same.
    WriteRunTimeValues(product);

    // What the update client downloaded goes with the product.
    const std::wstring downloads = KnownFolder(CSIDL_COMMON_APPDATA) + L"\\Orvo Corporation\\AutoUpdateClient";
    ASSERT_TRUE(::CreateDirectoryW(downloads.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(::CreateDirectoryW((downloads + L"\\TVK").c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(zeptest::WriteFileBytes(downloads + L"\\TVK\\VelomarLauncher-2.1.1.msi", "msi", 3));

    // Pirro was started at the end of the installation and runs while the package is removed.
    ASSERT_TRUE(WaitForWatcher());
    ASSERT_EQ(0u, Msiexec(L"/x")) << Log();
    EXPECT_FALSE(Exists(downloads)) << Log();
    EXPECT_NE(std::string::npos, Log().find("CloseWatcherCA: closed Pirro.exe")) << Log();
    EXPECT_FALSE(Exists(m_programDir)) << Log();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, product));
    for (const std::wstring& key : ComKeys())
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << WideToUtf8(key);
    EXPECT_TRUE(Exists(m_dataDir + L"TOLVIKSetting.xml"));
}

TEST_F(VelomarMsiTest, UpgradeReplacesTheRunningWatcherAndStartsItAgain)
{
    zeptest::CRegistrySandboxSuspension realRegistry;
    const std::wstring product = ZEP_PRODUCT_KEY;

    ASSERT_EQ(0u, Msiexec(L"/i", m_package, kSimulatedPlayer)) << Log();
    EXPECT_TRUE(Exists(m_programDir + kDrenlox));
    WriteRunTimeValues(product);
    ASSERT_TRUE(WaitForWatcher());
    ASSERT_EQ(0u, Msiexec(L"/i", m_upgrade)) << Log();
    // Neither the new package nor the older package's removal may touch the user's schedule and
    // the players' status.
    EXPECT_EQ(L"00", StringValue(HKEY_LOCAL_MACHINE, product + kStatusKey, L"LastUpdateStatus"));
    DWORD dwFrequency = 0xFFFFFFFF;
    DWORD cb = sizeof(dwFrequency);
    EXPECT_EQ(ERROR_SUCCESS, ::RegGetValueW(HKEY_LOCAL_MACHINE, (product + L"\\TOLVIK\\Update").c_str(),
                                            L"UpdateFrequency", RRF_RT_REG_DWORD, nullptr, &dwFrequency, &cb));
    EXPECT_EQ(0u, dwFrequency);
    ExpectRunTimeKeyAccess(product);
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("CloseWatcherCA: closed Pirro.exe")) << log;
    EXPECT_EQ(L"2.1.1", StringValue(HKEY_LOCAL_MACHINE, product + L"\\Version", nullptr));
    for (const wchar_t* pszFile : kInstalledFiles)
        EXPECT_TRUE(Exists(m_programDir + pszFile)) << WideToUtf8(pszFile);
    EXPECT_TRUE(WaitForWatcher());

    // One product is left, and its removal leaves nothing either.
    ASSERT_EQ(0u, Msiexec(L"/x", m_upgrade)) << Log();
    EXPECT_FALSE(Exists(m_programDir)) << Log();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, product));
    for (const std::wstring& key : ComKeys())
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << WideToUtf8(key);
}

TEST_F(VelomarMsiTest, EveryKindOffersAProgramOfTheSystemAsItsDefaultAndCustom)
{
    zeptest::CRegistrySandboxSuspension realRegistry;
    ASSERT_EQ(0u, Msiexec(L"/i")) << Log();

    const std::wstring mediaPlayer = KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Windows Media Player\\wmplayer.exe";
    const std::wstring explorer = KnownFolder(CSIDL_WINDOWS) + L"\\explorer.exe";
    const struct
    {
        const wchar_t* pszKind;
        const wchar_t* pszKey;
        const wchar_t* pszName;
        const std::wstring* pProgram;
        const wchar_t* pszParameters;  // for a player at drive E
    } cases[] = {
        {LAUNCHER_KIND_MUSIC, LAUNCHER_MUSIC_KEY, L"Windows Media Player", &mediaPlayer, L""},
        {LAUNCHER_KIND_VIDEO, LAUNCHER_VIDEO_KEY, L"Windows Media Player", &mediaPlayer, L""},
        {LAUNCHER_KIND_PODCAST, LAUNCHER_PODCAST_KEY, L"Windows Media Player", &mediaPlayer, L""},
        {LAUNCHER_KIND_PHOTO, LAUNCHER_PHOTO_KEY, L"\u30A8\u30AF\u30B9\u30D7\u30ED\u30FC\u30E9\u30FC", &explorer,
         L"E:\\"},
    };
    // Read as the launcher's settings dialog reads them.
    CLauncherSettings settings;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.pszKind));
        std::vector<AppEntry> candidates;
        ASSERT_EQ(S_OK, settings.GetCandidates(c.pszKind, candidates));
        ASSERT_EQ(2u, candidates.size());
        const AppEntry& program = candidates[0];
        EXPECT_EQ(c.pszName, program.name);
        EXPECT_FALSE(program.errormsg.empty());
        EXPECT_EQ(APPENTRY_NAME_CUSTOM, candidates[1].name);

        std::wstring path;
        std::wstring parameters;
        EXPECT_EQ(S_OK, FindLaunch(program, L"E", path, parameters));
        EXPECT_EQ(0, _wcsicmp(c.pProgram->c_str(), path.c_str())) << WideToUtf8(path);
        EXPECT_TRUE(PathExists(path)) << WideToUtf8(path);
        EXPECT_EQ(c.pszParameters, parameters);

        // A first run preselects it: the kind's own default entry is that candidate.
        AppEntry defaultEntry;
        ASSERT_EQ(S_OK, SettingsRegistry::ReadAppEntry(c.pszKey, defaultEntry));
        EXPECT_TRUE(defaultEntry == program) << WideToUtf8(defaultEntry.name);
    }
}

TEST_F(VelomarMsiTest, RemovalClosesTheRunningLauncherEvenInItsFirstRunDialog)
{
    // No settings file: the launcher starts with its first-run settings dialog.
    ::DeleteFileW((m_dataDir + L"TOLVIKSetting.xml").c_str());
    zeptest::CRegistrySandboxSuspension realRegistry;
    ASSERT_EQ(0u, Msiexec(L"/i")) << Log();
    const std::wstring product = ZEP_PRODUCT_KEY;
    // No scheduled check: the update client it would start is not the subject here.
    const BYTE byNoCheck = 0;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (product + L"\\TOLVIK\\Update").c_str(),
                                               L"UpdateStart", REG_BINARY, &byNoCheck, sizeof(byNoCheck)));

    UniqueHandle launcher;
    ASSERT_TRUE(zeptest::StartProcess(L"\"" + m_programDir + L"Tolvik.exe\" E", launcher));
    // The dialog is modal over the main window, which it disables.
    bool bDialogShown = false;
    for (int i = 0; i < 300 && !bDialogShown; ++i)
    {
        HWND hwndMain = FindLauncherWindow();
        bDialogShown = hwndMain != nullptr && !::IsWindowEnabled(hwndMain);
        if (!bDialogShown)
            ::Sleep(100);
    }
    ASSERT_TRUE(bDialogShown);

    EXPECT_EQ(0u, Msiexec(L"/x")) << Log();
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("CloseLauncherCA: closed Velomar Launcher")) << log;
    const bool bEnded = ::WaitForSingleObject(launcher.Get(), 0) == WAIT_OBJECT_0;
    if (!bEnded)
        ::TerminateProcess(launcher.Get(), 1);
    ASSERT_TRUE(bEnded);
    DWORD dwExit = 0xFFFFFFFF;
    ::GetExitCodeProcess(launcher.Get(), &dwExit);
    EXPECT_EQ(0u, dwExit) << "the launcher ended through its own close, not a crash";
    EXPECT_FALSE(Exists(m_programDir)) << log;
    // Closed, not confirmed: the first run is still ahead.
    EXPECT_FALSE(Exists(m_dataDir + L"TOLVIKSetting.xml"));
}

// The package with one more action that stops the installation after the pause, late, when most
// of it is done: the updates are resumed (by the rollback and the failure's exit action) and
// nothing of the product is left.
TEST_F(VelomarMsiTest, AnInstallationThatFailsAfterThePauseResumesTheUpdates)
{
    zeptest::CRegistrySandboxSuspension realRegistry;
    const std::wstring failing = zeptest::TestTempDir() + L"failing.msi";
    ASSERT_TRUE(::CopyFileW(m_package.c_str(), failing.c_str(), FALSE));
    {
        MSIHANDLE h = 0;
        ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiOpenDatabaseW(failing.c_str(), MSIDBOPEN_TRANSACT, &h));
        UniqueMsiHandle database(h);
        for (const wchar_t* pszQuery :
             {L"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
              L"VALUES ('FailAfterPause', 19, '', 'Stopped by the test.')",
              L"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('FailAfterPause', 6590)"})
        {
            ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiDatabaseOpenViewW(database.Get(), pszQuery, &h));
            UniqueMsiHandle view(h);
            ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiViewExecute(view.Get(), 0)) << WideToUtf8(pszQuery);
        }
        ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), ::MsiDatabaseCommit(database.Get()));
    }

    EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_FAILURE), Msiexec(L"/i", failing));
    const std::string log = Log();
    const size_t nPaused = log.find("Halvent:  Succeeded : Pauses automatic updating");
    ASSERT_NE(std::string::npos, nPaused) << log;
    EXPECT_NE(std::string::npos, log.find("Halvent:  Succeeded : Resumes automatic updating", nPaused)) << log;
    EXPECT_FALSE(Exists(m_programDir + L"Tolvik.exe"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ZEP_PRODUCT_KEY));
}
