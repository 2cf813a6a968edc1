// The library registered in the prefix the way an installer does it (regsvr32), then used by
// an early-bound client (this process) and a late-bound one (the script host).
#include <gtest/gtest.h>
#include <windows.h>
#include <wrl/client.h>

#include <string>

#include "common/com_init.h"
#include "common/scoped_bstr.h"
#include "common/testing/zeptest.h"
#include "zep_backend_library.h"

using Microsoft::WRL::ComPtr;

namespace
{
std::wstring DllPath() { return zeptest::ExeDir() + L"ZepBackend_Library.dll"; }

DWORD RunRegsvr32(const std::wstring& strSwitches)
{
    DWORD dwExit = 0;
    if (!zeptest::RunProcess(L"regsvr32.exe " + strSwitches + L" \"" + DllPath() + L"\"", 60000, dwExit))
        return 0xFFFFFFFF;
    return dwExit;
}

class BackendRegistration : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(0u, RunRegsvr32(L"/s")); }
    void TearDown() override { EXPECT_EQ(0u, RunRegsvr32(L"/u /s")); }
};
}  // namespace

TEST_F(BackendRegistration, CreatedByClassIdAfterRegsvr32)
{
    CComInitScope com;
    ComPtr<IZepUpdateInfoManager> manager;
    ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_ZepUpdateInfoManager, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_PPV_ARGS(&manager)));
    CScopedBstr bstrUrl(L"http://127.0.0.1:1/");
    EXPECT_EQ(S_OK, manager->SetBaseURL(bstrUrl));
    ComPtr<IZepSoftwareDownloadManager> downloads;
    EXPECT_EQ(S_OK, ::CoCreateInstance(CLSID_ZepSoftwareDownloadManager, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_PPV_ARGS(&downloads)));
    CLSID clsid = {};
    ASSERT_EQ(S_OK, ::CLSIDFromProgID(L"ZepBackend_Library.ZepUpdateInfoManager", &clsid));
    EXPECT_TRUE(IsEqualCLSID(CLSID_ZepUpdateInfoManager, clsid));
}

TEST_F(BackendRegistration, ScriptHostCallsTheManagerByProgId)
{
    // The script ends with 0 only when every late-bound call went through.
    const std::wstring strScript = zeptest::TestTempDir() + L"late_bound.js";
    const std::string strText =
        "try {\r\n"
        "  var m = new ActiveXObject(\"ZepBackend_Library.ZepUpdateInfoManager\");\r\n"
        "  m.SetBaseURL(\"http://127.0.0.1:1/\");\r\n"
        "  m.SetUpdateCheckingMode(\"vm-q3-fw\", 1);\r\n"
        "  m.Terminate();\r\n"
        "} catch (e) { WScript.Quit(2); }\r\n"
        "try { m.NoSuchMethod(); WScript.Quit(3); } catch (e) {}\r\n"
        "WScript.Quit(0);\r\n";
    ASSERT_TRUE(zeptest::WriteFileBytes(strScript, strText.data(), strText.size()));
    DWORD dwExit = 0;
    ASSERT_TRUE(zeptest::RunProcess(L"cscript.exe //nologo \"" + strScript + L"\"", 60000, dwExit));
    EXPECT_EQ(0u, dwExit);
}
