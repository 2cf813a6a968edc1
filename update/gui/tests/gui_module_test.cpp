// ZepGUI_Library as its client loads it: registration, creation by class identifier, the names
// of its dispatch interface, and a resource library that is not there.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include "common/com_init.h"
#include "common/scoped_bstr.h"
#include "common/testing/zeptest.h"
#include "common/testing/com_server_module.h"
#include "common/unique_resource.h"
#include "zep_gui_library.h"

using Microsoft::WRL::ComPtr;

namespace
{
const wchar_t kClsidKey[] = L"CLSID\\{1FC31CB1-8308-4923-8CCD-CB7437C4416D}";
const wchar_t kAppIdKey[] = L"AppID\\{ACB16F99-37BA-4AB2-AA5D-3437470C4689}";
const wchar_t kTypeLibKey[] = L"TypeLib\\{4694F6BF-D58F-4D59-AAA0-5E4BD9230B7B}";

// The library at a path, creating its one class.
class CGuiLibrary : public zeptest::CComServerModule
{
public:
    explicit CGuiLibrary(const std::wstring& strPath) : CComServerModule(strPath) {}
    HRESULT Create(REFIID riid, void** ppv) const
    {
        return CComServerModule::Create(CLSID_ZepAutoUpdateGUI, nullptr, riid, ppv);
    }
};

}  // namespace

// COM finds classes through the machine's own class root, so this one registers for real.
TEST(GuiModule, RegisteredClassIsCreatedByItsIdentifierAndUnregisteredAgain)
{
    CComInitScope com;
    zeptest::CRegistrySandboxSuspension realRegistry;
    CGuiLibrary library(zeptest::ExeDir() + L"ZepGUI_Library.dll");
    ASSERT_TRUE(library.Loaded());
    ASSERT_EQ(S_OK, library.Register());

    EXPECT_EQ(L"ZepGUI_Library", zeptest::ReadClassRootString(kAppIdKey, nullptr));
    EXPECT_EQ(L"{ACB16F99-37BA-4AB2-AA5D-3437470C4689}", zeptest::ReadClassRootString(L"AppID\\ZepGUI_Library.DLL", L"AppID"));
    EXPECT_EQ(L"ZepGUI_Library.ZepAutoUpdateGUI.1", zeptest::ReadClassRootString(std::wstring(kClsidKey) + L"\\ProgID", nullptr));
    EXPECT_EQ(L"ZepGUI_Library.ZepAutoUpdateGUI.1", zeptest::ReadClassRootString(L"ZepGUI_Library.ZepAutoUpdateGUI\\CurVer", nullptr));
    EXPECT_EQ(L"Apartment", zeptest::ReadClassRootString(std::wstring(kClsidKey) + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_TRUE(zeptest::ClassRootKeyExists(std::wstring(kTypeLibKey) + L"\\1.0\\0\\win64"));

    {
        ComPtr<IZepAutoUpdateGUI> gui;
        ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_ZepAutoUpdateGUI, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&gui)));
        CLSID clsid = {};
        ASSERT_EQ(S_OK, ::CLSIDFromProgID(L"ZepGUI_Library.ZepAutoUpdateGUI", &clsid));
        EXPECT_TRUE(IsEqualCLSID(CLSID_ZepAutoUpdateGUI, clsid));
        EXPECT_EQ(S_FALSE, gui->SetDownloadProgress(nullptr, 50)) << "no window is open";
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(S_OK, gui.As(&container));
        ComPtr<IConnectionPoint> point;
        EXPECT_EQ(S_OK, container->FindConnectionPoint(DIID__IZepAutoUpdateGUIEvents, &point));
    }

    EXPECT_EQ(S_OK, library.Unregister());
    EXPECT_FALSE(zeptest::ClassRootKeyExists(kClsidKey));
    EXPECT_FALSE(zeptest::ClassRootKeyExists(kAppIdKey));
    EXPECT_FALSE(zeptest::ClassRootKeyExists(L"ZepGUI_Library.ZepAutoUpdateGUI"));
    EXPECT_FALSE(zeptest::ClassRootKeyExists(L"ZepGUI_Library.ZepAutoUpdateGUI.1"));
    EXPECT_TRUE(zeptest::ClassRootKeyExists(L"AppID"));
}

TEST(GuiModule, DispatchNamesFollowTheSlotOrder)
{
    CComInitScope com;
    CGuiLibrary library(zeptest::ExeDir() + L"ZepGUI_Library.dll");
    ASSERT_TRUE(library.Loaded());
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, library.Create(IID_PPV_ARGS(&dispatch)));
    const wchar_t* const names[] = {
        L"SetParentRect", L"SetDisplayLocationOfWindow", L"ShowUpdateConfirmationWindow", L"ShowDownloadProgressBar",
        L"IsDownloadCanceled", L"CloseDownloadProgressBar", L"ShowMarqueeProgressBar", L"CloseMarqueeProgressBar",
        L"ShowMessagebyID", L"ShowErrorMessage", L"SetDownloadProgress", L"ShowCompleteMessage",
        L"IsDownloadCancelIsSelected", L"ShowUpdateProgressBar", L"SetUpdateProgress", L"CloseUpdateProgressBar",
    };
    for (size_t i = 0; i < _countof(names); ++i)
    {
        LPOLESTR pszName = const_cast<LPOLESTR>(names[i]);
        DISPID id = 0;
        ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &pszName, 1, LOCALE_USER_DEFAULT, &id)) << names[i];
        EXPECT_EQ(static_cast<DISPID>(i + 1), id) << names[i];
    }
    // Through the type library, as a script would call it.
    VARIANT args[2];
    ::VariantInit(&args[0]);
    ::VariantInit(&args[1]);
    args[0].vt = VT_I4;
    args[0].lVal = 2;  // no such location
    args[1].vt = VT_I8;
    args[1].llVal = 0;
    DISPPARAMS params = {args, nullptr, 2, 0};
    EXCEPINFO excep = {};
    const HRESULT hr = dispatch->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &excep,
                                        nullptr);
    EXPECT_TRUE(hr == static_cast<HRESULT>(0x8004120A) ||
                (hr == DISP_E_EXCEPTION && excep.scode == static_cast<SCODE>(0x8004120A)))
        << std::hex << hr;
}

// The resource library is loaded when a window is first needed, not with the library, and its
// absence is a plain failure.
TEST(GuiModule, MissingResourceLibraryIsAFailureNotACrash)
{
    CComInitScope com;
    const std::wstring strCopy = zeptest::TestTempDir() + L"ZepGUI_Library.dll";
    ASSERT_TRUE(::CopyFileW((zeptest::ExeDir() + L"ZepGUI_Library.dll").c_str(), strCopy.c_str(), FALSE));
    {
        CGuiLibrary library(strCopy);
        ASSERT_TRUE(library.Loaded());
        EXPECT_EQ(nullptr, ::GetModuleHandleW(L"ZepGUI_LibraryRes.dll")) << "loaded while the library started";
        ComPtr<IZepAutoUpdateGUI> gui;
        ASSERT_EQ(S_OK, library.Create(IID_PPV_ARGS(&gui)));
        const HRESULT hrMissing = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        EXPECT_EQ(hrMissing, gui->ShowErrorMessage(E_INVALIDARG));
        EXPECT_EQ(hrMissing, gui->ShowDownloadProgressBar(nullptr));
        EXPECT_EQ(S_FALSE, gui->CloseDownloadProgressBar(nullptr)) << "no window was opened";
        ZEP_UPDATED_INFO info = {};
        ULONG ulResult = 7;
        EXPECT_EQ(hrMissing, gui->ShowUpdateConfirmationWindow(&info, &ulResult));
        EXPECT_EQ(0u, ulResult);
        ULONG ulAnswer = 0;
        EXPECT_EQ(hrMissing, gui->ShowMessagebyID(eNoUpdate, MB_OK, &ulAnswer));
        EXPECT_EQ(S_OK, gui->SetParentRect(CScopedBstr(L"1,2,3,4").Get())) << "needs no resources";
    }
    ::DeleteFileW(strCopy.c_str());
}
