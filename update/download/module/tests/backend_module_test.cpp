// ZepBackend_Library as a client process sees it, with the class root redirected to a scratch
// key so that registration never touches the prefix's own classes.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
#include <wrl/client.h>

#include <map>
#include <memory>
#include <string>

#include "common/com_init.h"
#include "common/scoped_bstr.h"
#include "common/testing/zeptest.h"
#include "common/testing/com_server_module.h"
#include "common/unique_resource.h"
#include "update/download/tests/loopback_http_server.h"
#include "zep_backend_library.h"

using Microsoft::WRL::ComPtr;

namespace
{
const wchar_t kClsidKey[] = L"CLSID\\{AAE25C9F-9C89-46AF-BAD7-A4F87E8D5600}";
const wchar_t kDownloadClsidKey[] = L"CLSID\\{C813BAC2-EA4A-4C30-8A16-9958EE53002F}";
const wchar_t kAppIdKey[] = L"AppID\\{1E567622-EE3E-4431-BAF7-46346CF4BF94}";
const wchar_t kTypeLibKey[] = L"TypeLib\\{E4521CA1-1990-49AA-97C7-25589B49F229}";
const wchar_t kInterfaceKey[] = L"Interface\\{3F64E009-F0E9-43E6-849C-968BF4BDED3B}";

typedef HRESULT(STDAPICALLTYPE* PFN_GET_CLASS_OBJECT)(REFCLSID, REFIID, void**);

// The library beside the tests.
class CBackendLibrary : public zeptest::CComServerModule
{
public:
    CBackendLibrary() : CComServerModule(zeptest::ExeDir() + L"ZepBackend_Library.dll") {}
};

// HKEY_CLASSES_ROOT points at an empty scratch key while alive.
class CClassRootSandbox
{
public:
    CClassRootSandbox()
    {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, L"ScratchClasses", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          m_key.Receive(), nullptr);
        // The registrar itself is found through the real class root by COM.
        m_bOverridden = m_key && ::RegOverridePredefKey(HKEY_CLASSES_ROOT, m_key.Get()) == ERROR_SUCCESS;
    }
    ~CClassRootSandbox() { ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr); }
    bool Active() const { return m_bOverridden; }

private:
    UniqueHKey m_key;
    bool m_bOverridden = false;
};

// Every key and value below a key, as text, to compare whole trees.
void DumpTree(HKEY hKey, const std::wstring& strPath, std::map<std::wstring, std::wstring>& out)
{
    for (DWORD i = 0;; ++i)
    {
        wchar_t szName[256];
        DWORD cchName = _countof(szName);
        BYTE data[2048];
        DWORD cbData = sizeof(data);
        DWORD dwType = 0;
        if (::RegEnumValueW(hKey, i, szName, &cchName, nullptr, &dwType, data, &cbData) != ERROR_SUCCESS)
            break;
        out[strPath + L"|" + szName] = std::wstring(reinterpret_cast<wchar_t*>(data), cbData / sizeof(wchar_t));
    }
    for (DWORD i = 0;; ++i)
    {
        wchar_t szName[256];
        DWORD cchName = _countof(szName);
        if (::RegEnumKeyExW(hKey, i, szName, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        UniqueHKey child;
        if (::RegOpenKeyExW(hKey, szName, 0, KEY_READ, child.Receive()) == ERROR_SUCCESS)
        {
            out[strPath + L"\\" + szName] = L"<key>";
            DumpTree(child.Get(), strPath + L"\\" + szName, out);
        }
    }
}

std::map<std::wstring, std::wstring> DumpClassRoot()
{
    std::map<std::wstring, std::wstring> tree;
    DumpTree(HKEY_CLASSES_ROOT, L"", tree);
    return tree;
}

class BackendModule : public ::testing::Test
{
protected:
    CComInitScope m_com;
    CBackendLibrary m_library;
};
}  // namespace

TEST_F(BackendModule, RegistersOnceAndUnregistersClassesAppIdAndTypeLibrary)
{
    ASSERT_TRUE(m_library.Loaded());
    CClassRootSandbox sandbox;
    ASSERT_TRUE(sandbox.Active());

    ASSERT_EQ(S_OK, m_library.Register());
    const auto first = DumpClassRoot();
    ASSERT_EQ(S_OK, m_library.Register());
    EXPECT_EQ(first, DumpClassRoot()) << "registering twice must leave one set of keys";

    const std::wstring strDll = zeptest::ExeDir() + L"ZepBackend_Library.dll";
    const std::wstring strServer = std::wstring(kClsidKey) + L"\\InprocServer32";
    EXPECT_EQ(0, lstrcmpiW(strDll.c_str(), zeptest::ReadClassRootString(strServer, nullptr).c_str())) << zeptest::ReadClassRootString(strServer, nullptr);
    EXPECT_EQ(L"Apartment", zeptest::ReadClassRootString(strServer, L"ThreadingModel"));
    EXPECT_EQ(L"ZepBackend_Library.ZepUpdateInfoManag.1", zeptest::ReadClassRootString(std::wstring(kClsidKey) + L"\\ProgID", nullptr));
    EXPECT_EQ(L"ZepBackend_Library.ZepUpdateInfoManager",
              zeptest::ReadClassRootString(std::wstring(kClsidKey) + L"\\VersionIndependentProgID", nullptr));
    EXPECT_EQ(L"{1E567622-EE3E-4431-BAF7-46346CF4BF94}", zeptest::ReadClassRootString(kClsidKey, L"AppID"));
    EXPECT_EQ(L"{E4521CA1-1990-49AA-97C7-25589B49F229}", zeptest::ReadClassRootString(std::wstring(kClsidKey) + L"\\TypeLib", nullptr));
    EXPECT_TRUE(zeptest::ClassRootKeyExists((std::wstring(kClsidKey) + L"\\Programmable").c_str()));
    EXPECT_EQ(L"{AAE25C9F-9C89-46AF-BAD7-A4F87E8D5600}",
              zeptest::ReadClassRootString(L"ZepBackend_Library.ZepUpdateInfoManager\\CLSID", nullptr));
    EXPECT_EQ(L"ZepBackend_Library.ZepUpdateInfoManag.1",
              zeptest::ReadClassRootString(L"ZepBackend_Library.ZepUpdateInfoManager\\CurVer", nullptr));
    EXPECT_EQ(L"ZepUpdateInfoManager Class", zeptest::ReadClassRootString(L"ZepBackend_Library.ZepUpdateInfoManag.1", nullptr));
    EXPECT_EQ(L"ZepBackend_Library.ZepSoftwareDownloadManager.1",
              zeptest::ReadClassRootString(L"ZepBackend_Library.ZepSoftwareDownloadManager\\CurVer", nullptr));
    EXPECT_TRUE(zeptest::ClassRootKeyExists(kDownloadClsidKey));
    EXPECT_EQ(L"ZepBackend_Library", zeptest::ReadClassRootString(kAppIdKey, nullptr));
    EXPECT_EQ(L"{1E567622-EE3E-4431-BAF7-46346CF4BF94}", zeptest::ReadClassRootString(L"AppID\\ZepBackend_Library.DLL", L"AppID"));
    EXPECT_TRUE(zeptest::ClassRootKeyExists((std::wstring(kTypeLibKey) + L"\\1.0\\0\\win64").c_str()));
    EXPECT_TRUE(zeptest::ClassRootKeyExists(kInterfaceKey));

    ASSERT_EQ(S_OK, m_library.Unregister());
    for (const wchar_t* pszGone :
         {kClsidKey, kDownloadClsidKey, kAppIdKey, L"AppID\\ZepBackend_Library.DLL", kTypeLibKey, kInterfaceKey,
          L"ZepBackend_Library.ZepUpdateInfoManager", L"ZepBackend_Library.ZepUpdateInfoManag.1",
          L"ZepBackend_Library.ZepSoftwareDownloadManager", L"ZepBackend_Library.ZepSoftwareDownloadManager.1"})
        EXPECT_FALSE(zeptest::ClassRootKeyExists(pszGone)) << pszGone;
    EXPECT_TRUE(zeptest::ClassRootKeyExists(L"AppID")) << "the AppID parent key is never removed";
    EXPECT_TRUE(zeptest::ClassRootKeyExists(L"CLSID"));
    EXPECT_EQ(S_OK, m_library.Unregister()) << "nothing left to remove is no failure";
}

TEST_F(BackendModule, CannotUnloadWhileAnObjectOfEitherClassLives)
{
    ASSERT_TRUE(m_library.Loaded());
    for (const CLSID* pclsid : {&CLSID_ZepUpdateInfoManager, &CLSID_ZepSoftwareDownloadManager})
    {
        EXPECT_EQ(S_OK, m_library.CanUnloadNow());
        ComPtr<IDispatch> object;
        ASSERT_EQ(S_OK, m_library.Create(*pclsid, nullptr, IID_PPV_ARGS(&object)));
        EXPECT_EQ(S_FALSE, m_library.CanUnloadNow());
        object.Reset();
        EXPECT_EQ(S_OK, m_library.CanUnloadNow());
    }
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, m_library.Export<PFN_GET_CLASS_OBJECT>("DllGetClassObject")(CLSID_ZepUpdateInfoManager,
                                                                               IID_PPV_ARGS(&factory)));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, m_library.CanUnloadNow());
    ASSERT_EQ(S_OK, m_library.Export<PFN_GET_CLASS_OBJECT>("DllGetClassObject")(CLSID_ZepUpdateInfoManager,
                                                                               IID_PPV_ARGS(&factory)));
    ASSERT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_OK, m_library.CanUnloadNow());

    IUnknown* pUnknown = nullptr;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              m_library.Export<PFN_GET_CLASS_OBJECT>("DllGetClassObject")(IID_IUnknown, IID_PPV_ARGS(&pUnknown)));
}

namespace
{
// An outer object that counts the references its inner object hands out for it.
class COuter : public IUnknown
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown))
        {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return m_inner ? m_inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_cRef; }

    ULONG m_cRef = 1;
    ComPtr<IUnknown> m_inner;
};
}  // namespace

TEST_F(BackendModule, BothClassesAggregateThroughTheControllingUnknown)
{
    ASSERT_TRUE(m_library.Loaded());
    for (const CLSID* pclsid : {&CLSID_ZepUpdateInfoManager, &CLSID_ZepSoftwareDownloadManager})
    {
        COuter outer;
        IDispatch* pDispatch = nullptr;
        EXPECT_EQ(CLASS_E_NOAGGREGATION, m_library.Create(*pclsid, &outer, IID_PPV_ARGS(&pDispatch)));
        ASSERT_EQ(S_OK, m_library.Create(*pclsid, &outer, IID_PPV_ARGS(&outer.m_inner)));

        const ULONG cBefore = outer.m_cRef;
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(S_OK, outer.QueryInterface(IID_PPV_ARGS(&container)));
        EXPECT_EQ(cBefore + 1, outer.m_cRef) << "an inner interface counts on the outer object";
        ComPtr<IUnknown> identity;
        ASSERT_EQ(S_OK, container.As(&identity));
        EXPECT_EQ(static_cast<IUnknown*>(&outer), identity.Get()) << "the outer object is the identity";
        identity.Reset();
        container.Reset();
        EXPECT_EQ(cBefore, outer.m_cRef);
        outer.m_inner.Reset();
    }
    EXPECT_EQ(S_OK, m_library.CanUnloadNow());
}

TEST_F(BackendModule, DispatchFollowsTheEmbeddedTypeLibrary)
{
    ASSERT_TRUE(m_library.Loaded());
    ComPtr<IDispatch> manager;
    ASSERT_EQ(S_OK, m_library.Create(CLSID_ZepUpdateInfoManager, nullptr, IID_PPV_ARGS(&manager)));

    const wchar_t* const kNames[] = {L"SetUpdateCheckingMode", L"GetUpdateCheckingMode", L"CheckWhetherUpdateExists",
                                     L"GetUpdateDetails", L"GetVersionOfUpdatedSoftware", L"SendUpdateResult",
                                     L"Terminate", L"SetBaseURL"};
    for (size_t i = 0; i < _countof(kNames); ++i)
    {
        LPOLESTR pszName = const_cast<LPOLESTR>(kNames[i]);
        DISPID dispid = 0;
        ASSERT_EQ(S_OK, manager->GetIDsOfNames(IID_NULL, &pszName, 1, LOCALE_USER_DEFAULT, &dispid)) << kNames[i];
        EXPECT_EQ(static_cast<DISPID>(i + 1), dispid) << kNames[i];
    }

    // SetUpdateCheckingMode("svc", eMANUAL), then read the mode back through a by-reference argument.
    VARIANT args[2];
    args[1].vt = VT_BSTR;
    args[1].bstrVal = ::SysAllocString(L"svc");
    args[0].vt = VT_I4;
    args[0].lVal = eMANUAL;
    DISPPARAMS params = {args, nullptr, 2, 0};
    EXPECT_EQ(S_OK, manager->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                                    nullptr));
    LONG lMode = -1;
    args[0].vt = VT_I4 | VT_BYREF;
    args[0].plVal = &lMode;
    EXPECT_EQ(S_OK, manager->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                                    nullptr));
    EXPECT_EQ(eMANUAL, lMode);
    ::SysFreeString(args[1].bstrVal);

    ComPtr<ITypeInfo> typeInfo;
    ASSERT_EQ(S_OK, manager->GetTypeInfo(0, LOCALE_USER_DEFAULT, &typeInfo));
    ComPtr<ITypeLib> typeLib;
    UINT nIndex = 0;
    ASSERT_EQ(S_OK, typeInfo->GetContainingTypeLib(&typeLib, &nIndex));
    CScopedBstr bstrName;
    ASSERT_EQ(S_OK, typeLib->GetDocumentation(-1, bstrName.Receive(), nullptr, nullptr, nullptr));
    EXPECT_EQ(L"ZepBackend_LibraryLib", bstrName.ToString());
    TLIBATTR* pAttr = nullptr;
    ASSERT_EQ(S_OK, typeLib->GetLibAttr(&pAttr));
    EXPECT_EQ(1, pAttr->wMajorVerNum);
    EXPECT_EQ(0, pAttr->wMinorVerNum);
    EXPECT_TRUE(IsEqualGUID(LIBID_ZepBackend_LibraryLib, pAttr->guid));
    typeLib->ReleaseTLibAttr(pAttr);
    // The records and the enumeration travel in the library too.
    for (const wchar_t* pszType : {L"ZEP_CURRENT_VERSION_INFO", L"ZEP_NEW_VERSION_INFO", L"ZEP_UPDATED_RESULT",
                                   L"zepUpdateCheckMode", L"_IZepUpdateInfoManagerEvents",
                                   L"_IZepSoftwareDownloadManagerEvents", L"IZepSoftwareDownloadManager"})
    {
        ITypeInfo* pFound = nullptr;
        MEMBERID memid = 0;
        USHORT cFound = 1;
        std::wstring strName = pszType;
        EXPECT_EQ(S_OK, typeLib->FindName(&strName[0], 0, &pFound, &memid, &cFound)) << pszType;
        EXPECT_EQ(1, cFound) << pszType;
        if (pFound)
            pFound->Release();
    }
}

namespace
{
// A sink of the given event interface; anything else it refuses.
class CEventSink : public IDispatch
{
public:
    explicit CEventSink(REFIID iid) : m_iid(iid) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, m_iid))
        {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_cRef; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return S_OK;
    }

    IID m_iid;
    ULONG m_cRef = 1;
};
}  // namespace

TEST_F(BackendModule, EachClassOffersItsEventsThroughOneConnectionPoint)
{
    ASSERT_TRUE(m_library.Loaded());
    const struct
    {
        const CLSID* pclsid;
        const IID* piidEvents;
        const IID* piidOther;
    } kClasses[] = {
        {&CLSID_ZepUpdateInfoManager, &DIID__IZepUpdateInfoManagerEvents, &DIID__IZepSoftwareDownloadManagerEvents},
        {&CLSID_ZepSoftwareDownloadManager, &DIID__IZepSoftwareDownloadManagerEvents, &DIID__IZepUpdateInfoManagerEvents},
    };
    for (const auto& c : kClasses)
    {
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(S_OK, m_library.Create(*c.pclsid, nullptr, IID_PPV_ARGS(&container)));
        ComPtr<IConnectionPoint> other;
        EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(*c.piidOther, &other));

        ComPtr<IEnumConnectionPoints> points;
        ASSERT_EQ(S_OK, container->EnumConnectionPoints(&points));
        IConnectionPoint* pFetched[2] = {};
        ULONG cFetched = 0;
        EXPECT_EQ(S_FALSE, points->Next(2, pFetched, &cFetched));
        ASSERT_EQ(1u, cFetched);
        // Not ComPtr::Attach: mingw's adds a reference.
        ComPtr<IConnectionPoint> point = pFetched[0];
        pFetched[0]->Release();
        IID iid = {};
        ASSERT_EQ(S_OK, point->GetConnectionInterface(&iid));
        EXPECT_TRUE(IsEqualIID(*c.piidEvents, iid));
        ComPtr<IConnectionPointContainer> back;
        ASSERT_EQ(S_OK, point->GetConnectionPointContainer(&back));
        EXPECT_EQ(container.Get(), back.Get());

        CEventSink wrongSink(*c.piidOther);
        DWORD dwCookie = 0;
        EXPECT_EQ(CONNECT_E_CANNOTCONNECT, point->Advise(&wrongSink, &dwCookie));
        CEventSink sink(*c.piidEvents);
        ASSERT_EQ(S_OK, point->Advise(&sink, &dwCookie));
        EXPECT_GT(sink.m_cRef, 1u);

        ComPtr<IEnumConnections> connections;
        ASSERT_EQ(S_OK, point->EnumConnections(&connections));
        CONNECTDATA data = {};
        ASSERT_EQ(S_OK, connections->Next(1, &data, nullptr));
        EXPECT_EQ(dwCookie, data.dwCookie);
        data.pUnk->Release();
        EXPECT_EQ(S_FALSE, connections->Next(1, &data, nullptr));
        connections.Reset();

        EXPECT_EQ(S_OK, point->Unadvise(dwCookie));
        EXPECT_EQ(1u, sink.m_cRef);
        EXPECT_EQ(1u, wrongSink.m_cRef);
        EXPECT_EQ(S_FALSE, m_library.CanUnloadNow());
    }
    EXPECT_EQ(S_OK, m_library.CanUnloadNow());
}

TEST_F(BackendModule, DownloadManagerOfTheLibraryAnswers)
{
    ASSERT_TRUE(m_library.Loaded());
    ComPtr<IZepSoftwareDownloadManager> manager;
    ASSERT_EQ(S_OK, m_library.Create(CLSID_ZepSoftwareDownloadManager, nullptr, IID_PPV_ARGS(&manager)));
    const wchar_t* const kNames[] = {L"GetDownloadProgressPercentage", L"DownloadSoftwareUpdate", L"AbortDownloading",
                                     L"GetDownloadedFilePath", L"RemoveDownloadedFile", L"GetDownloadStatus",
                                     L"CheckDownloadedFile"};
    for (size_t i = 0; i < _countof(kNames); ++i)
    {
        LPOLESTR pszName = const_cast<LPOLESTR>(kNames[i]);
        DISPID dispid = 0;
        ASSERT_EQ(S_OK, manager->GetIDsOfNames(IID_NULL, &pszName, 1, LOCALE_USER_DEFAULT, &dispid)) << kNames[i];
        EXPECT_EQ(static_cast<DISPID>(i + 1), dispid) << kNames[i];
    }
    LONG lStatus = -1, lResult = -1;
    EXPECT_EQ(S_OK, manager->GetDownloadStatus(&lStatus, &lResult));
    EXPECT_EQ(0, lStatus);
    EXPECT_EQ(0, lResult);
    EXPECT_EQ(S_FALSE, manager->AbortDownloading(nullptr));
    CScopedBstr bstrPath, bstrEmpty(L"");
    EXPECT_EQ(E_FAIL, manager->GetDownloadedFilePath(nullptr, bstrPath.Receive()));
    LONG lMatch = -1;
    EXPECT_EQ(S_OK, manager->CheckDownloadedFile(bstrEmpty, &lMatch));
    EXPECT_EQ(0, lMatch);
    manager.Reset();
    EXPECT_EQ(S_OK, m_library.CanUnloadNow());
}

// A download manager released while its transfer hangs lets its worker finish later; the
// library stays loaded until that worker has ended, even when its client has freed it.
TEST(BackendModuleUnload, LibraryOutlivesItsClientUntilTheDetachedWorkerEnds)
{
    CComInitScope com;
    zeptest::CLoopbackHttpServer server;
    ASSERT_TRUE(server.Start());
    zeptest::SRouteBehaviour stall;
    stall.bStall = true;
    server.SetRoute("/stall.bin", stall);
    std::unique_ptr<CBackendLibrary> library(new CBackendLibrary());
    ASSERT_TRUE(library->Loaded());
    ComPtr<IZepSoftwareDownloadManager> manager;
    ASSERT_EQ(S_OK, library->Create(CLSID_ZepSoftwareDownloadManager, nullptr, IID_PPV_ARGS(&manager)));
    CScopedBstr bstrService(L"unload-test"), bstrUrl(server.Url("/stall.bin"));
    ASSERT_EQ(S_OK, manager->DownloadSoftwareUpdate(bstrService, bstrUrl));
    for (DWORD dwStart = ::GetTickCount(); server.Requests().empty() && ::GetTickCount() - dwStart < 10000;)
        ::Sleep(20);
    ASSERT_FALSE(server.Requests().empty());

    manager.Reset();
    EXPECT_EQ(S_OK, library->CanUnloadNow());
    library.reset();
    EXPECT_NE(nullptr, ::GetModuleHandleW(L"ZepBackend_Library.dll")) << "unloaded under a running worker";

    server.Stop();
    bool bUnloaded = false;
    for (DWORD dwStart = ::GetTickCount(); !bUnloaded && ::GetTickCount() - dwStart < 20000; ::Sleep(50))
        bUnloaded = ::GetModuleHandleW(L"ZepBackend_Library.dll") == nullptr;
    EXPECT_TRUE(bUnloaded) << "the worker kept the library after it ended";
}
