// The update information manager against a real HTTP server on the loopback interface, with
// information files published by zepinfo, and the machine-wide list of services in checking.
#include <gtest/gtest.h>
#include <windows.h>
#include <olectl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "common/com_init.h"
#include "common/folder_security.h"
#include "common/scoped_bstr.h"
#include "common/registry.h"
#include "common/scoped_variant.h"
#include "common/string_util.h"
#include "common/testing/access_list.h"
#include "common/testing/zeptest.h"
#include "update/download/download_codes.h"
#include "update/download/tests/loopback_http_server.h"
#include "update/info/service_id_list.h"
#include "update/info/signature_serial_store.h"
#include "update/info/tests/info_test_util.h"
#include "update/info/tool/update_signing_key.h"
#include "update/info/zep_backend_log.h"
#include "update/info/zep_update_info_errors.h"
#include "update/info/zep_update_info_manager.h"
#include "update/info/zep_update_info_manager_impl.h"

using Microsoft::WRL::ComPtr;

namespace
{
const char kCategory[] = "Velomar";
const char kSoftwareRule[] = "<Rule Type=\"Software\" Key=\"VM-Q3\" Value=\"2.1\" Operator=\"LessThan\"/>";
const char kFirmwareRule[] = "<Rule Type=\"System\" Key=\"FirmwareVersion\" Value=\"2.1\" Operator=\"LessThan\"/>";
const char kOpen[] = "<ControlConditions DefaultServiceStatus=\"open\"/>";

std::string Body(const std::string& strRules, const std::string& strControl = kOpen)
{
    return "<InformationFile Noop=\"false\"><ApplyConditions><ApplyCondition Force=\"true\"><Rules>" + strRules +
           "</Rules><Descriptions DefaultLang=\"en\"><Description Lang=\"en\">  Firmware 2.1 for VM-Q3.\n"
           "Fixes playback.  </Description></Descriptions><Distributions>"
           "<Package ID=\"VM-Q3 Firmware\" Version=\"2.1\" URI=\"http://updates.example.com/fw/q3.bin\" "
           "MAC=\"3f786850e387550fdab836ed7e6dc881de23001b\" Size=\"4194304\"/>"
           "<Package ID=\"Jukebox\" Version=\"5.0\" URI=\"http://updates.example.com/jb.exe\" "
           "MAC=\"0123456789abcdef0123456789abcdef\" Size=\"123\"/>"
           "</Distributions></ApplyCondition></ApplyConditions>" +
           strControl + "</InformationFile>";
}

// The file zepinfo writes for the body, service and category.
std::string Publish(const std::string& strBody, const std::string& strService)
{
    const std::wstring strBodyPath = zeptest::TestTempDir() + L"body.xml";
    const std::wstring strOut = zeptest::TestTempDir() + L"published";
    EXPECT_TRUE(zeptest::WriteFileBytes(strBodyPath, strBody.data(), strBody.size()));
    DWORD dwExit = 1;
    EXPECT_TRUE(zeptest::RunProcess(L"\"" + zeptest::ExeDir() + L"zepinfo.exe\" publish --service " +
                                        Utf8ToWide(strService) + L" --category " + Utf8ToWide(kCategory) +
                                        L" --key \"" + infotest::DevKeyPath() + L"\" \"" + strBodyPath + L"\" \"" +
                                        strOut + L"\"",
                                    60000, dwExit));
    EXPECT_EQ(0u, dwExit);
    std::string file;
    EXPECT_TRUE(zeptest::ReadFileBytes(
        strOut + L"\\" + Utf8ToWide(kCategory) + L"\\" + Utf8ToWide(strService) + L"\\info\\info.xml", file));
    return file;
}

size_t CountFiles(const std::wstring& strFolder)
{
    size_t c = 0;
    WIN32_FIND_DATAW fd;
    UniqueFindHandle find(::FindFirstFileW((strFolder + L"\\*").c_str(), &fd));
    if (find)
    {
        do
        {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ++c;
        } while (::FindNextFileW(find.Get(), &fd));
    }
    return c;
}

bool IsFolder(const std::wstring& strPath)
{
    const DWORD dw = ::GetFileAttributesW(strPath.c_str());
    return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Text(BSTR bstr) { return bstr ? std::wstring(bstr, ::SysStringLen(bstr)) : L"<null>"; }

// The shared block as another program sees it.
class CSharedBlock
{
public:
    struct SLayout
    {
        DWORD dwCount;
        wchar_t slots[32][260];
    };
    CSharedBlock()
    {
        m_hMapping.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                              CServiceIdList::kBlockSize, CServiceIdList::kMappingName));
        if (m_hMapping)
            m_view.Reset(::MapViewOfFile(m_hMapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, CServiceIdList::kBlockSize));
    }
    ~CSharedBlock() { Clear(); }
    SLayout* operator->() { return static_cast<SLayout*>(m_view.Get()); }
    bool Valid() const { return m_view.IsValid(); }
    void Clear()
    {
        if (m_view)
            memset(m_view.Get(), 0, CServiceIdList::kBlockSize);
    }
    bool Lists(const std::wstring& strId)
    {
        for (DWORD i = 0; i < 32 && i < (*this)->dwCount; ++i)
        {
            if (strId == std::wstring((*this)->slots[i], wcsnlen((*this)->slots[i], 260)))
                return true;
        }
        return false;
    }

private:
    UniqueHandle m_hMapping;
    UniqueMappedView m_view;
};

// A check for the VM-Q3 player at the given version, as the update client asks: through the
// implementation or through the component.
template <class TManager>
HRESULT CheckVmQ3(TManager& manager, const std::wstring& strService, LONG* plResult, const wchar_t* pszVersion = L"2.0",
                  const wchar_t* pszLastStatus = nullptr)
{
    CScopedBstr bstrService(strService), bstrModel(L"VM-Q3"), bstrCategory(Utf8ToWide(kCategory)),
        bstrVersion(pszVersion), bstrStatus(pszLastStatus);
    ZEP_CURRENT_VERSION_INFO current = {};
    current.m_bstrModel = bstrModel;
    current.m_bstrCategory = bstrCategory;
    current.m_bstrCurrentVersion = bstrVersion;
    current.m_bstrLastUpdateStatus = bstrStatus;
    *plResult = -1;
    return manager.CheckWhetherUpdateExists(bstrService, &current, plResult);
}

class UpdateInfoManager : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_com.Succeeded());
        ASSERT_TRUE(m_server.Start());
        ASSERT_TRUE(m_block.Valid());
        m_block.Clear();
        m_strData = zeptest::TestTempDir() + L"data";
        m_manager.reset(new CZepUpdateInfoManagerImpl(m_strData));
        CScopedBstr bstrBase(BaseUrl());
        ASSERT_EQ(S_OK, m_manager->SetBaseURL(bstrBase));
    }
    void TearDown() override
    {
        m_manager.reset();
        m_server.Stop();
    }

    std::wstring BaseUrl() const { return m_server.Url("/base/"); }
    // Where this user's information files of a service are written.
    std::wstring UserFolder(const wchar_t* pszService) const
    {
        std::wstring strSid;
        EXPECT_EQ(S_OK, CurrentUserSidText(strSid));
        return m_strData + L"\\" + pszService + L"\\" + strSid;
    }
    static std::string InfoPath(const std::string& strService)
    {
        return std::string("/base/") + kCategory + "/" + strService + "/info/info.xml";
    }
    // Serves the file with a signature the client accepts for the service.
    void Serve(const std::string& strService, const std::string& strFile, int nStatus = 200)
    {
        ServePair(strService, strFile, infotest::SignatureFor(strFile, Utf8ToWide(strService), Utf8ToWide(kCategory)),
                  nStatus);
    }
    // pszSignature null: there is no .sig on the server.
    void ServePair(const std::string& strService, const std::string& strFile, const std::string* pSignature,
                   int nStatus = 200)
    {
        zeptest::SRouteBehaviour route;
        route.nStatus = nStatus;
        route.strBody = strFile;
        m_server.SetRoute(InfoPath(strService), route);
        if (pSignature)
        {
            zeptest::SRouteBehaviour signature;
            signature.strBody = *pSignature;
            m_server.SetRoute(InfoPath(strService) + ".sig", signature);
        }
        else
            m_server.SetRoute(InfoPath(strService) + ".sig", zeptest::SRouteBehaviour{404});
    }
    void ServePair(const std::string& strService, const std::string& strFile, const std::string& strSignature,
                   int nStatus = 200)
    {
        ServePair(strService, strFile, &strSignature, nStatus);
    }
    HRESULT Check(const std::wstring& strService, long* plResult, const wchar_t* pszVersion = L"2.0")
    {
        return CheckVmQ3(*m_manager, strService, plResult, pszVersion, L"Last OK");
    }

    // The component as clients create it, with this test's data folder and server.
    void CreateComponent(Microsoft::WRL::ComPtr<IZepUpdateInfoManager>& manager)
    {
        CZepUpdateInfoManager::SetDataFolderForTesting(m_strData);
        const HRESULT hr = ZepCreateAggregatable<CZepUpdateInfoManager>(nullptr, IID_PPV_ARGS(&manager));
        CZepUpdateInfoManager::SetDataFolderForTesting(std::wstring());
        ASSERT_EQ(S_OK, hr);
        CScopedBstr bstrBase(BaseUrl());
        ASSERT_EQ(S_OK, manager->SetBaseURL(bstrBase));
    }
    // Connects pSink to the component's CheckVersion event; Unadvise(dwCookie) on point ends it.
    static void Advise(IZepUpdateInfoManager* pManager, IDispatch* pSink,
                       Microsoft::WRL::ComPtr<IConnectionPoint>& point, DWORD& dwCookie)
    {
        Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(S_OK, pManager->QueryInterface(IID_PPV_ARGS(&container)));
        ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID__IZepUpdateInfoManagerEvents, &point));
        ASSERT_EQ(S_OK, point->Advise(pSink, &dwCookie));
    }

    CComInitScope m_com;
    zeptest::CLoopbackHttpServer m_server;
    CSharedBlock m_block;
    std::wstring m_strData;
    std::unique_ptr<CZepUpdateInfoManagerImpl> m_manager;
};
}  // namespace

TEST_F(UpdateInfoManager, UpdateComesBackWithItsDetails)
{
    Serve("vm-q3-fw", Publish(Body(kSoftwareRule), "vm-q3-fw"));
    long lResult = -1;
    ASSERT_EQ(S_OK, Check(L"vm-q3-fw", &lResult));
    EXPECT_EQ(1, lResult);

    // The signature right after the file, with the same user-agent.
    const auto requests = m_server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(InfoPath("vm-q3-fw"), requests[0].strPath);
    EXPECT_EQ(InfoPath("vm-q3-fw") + ".sig", requests[1].strPath);
    for (const auto& request : requests)
        EXPECT_EQ("1.0#VM-Q3#2.0#Last_OK#", request.Header("user-agent"));
    EXPECT_TRUE(IsFolder(m_strData + L"\\vm-q3-fw"));
    EXPECT_TRUE(IsFolder(UserFolder(L"vm-q3-fw")));
    EXPECT_EQ(0u, CountFiles(UserFolder(L"vm-q3-fw"))) << "the downloaded file is deleted after loading";

    ZEP_NEW_VERSION_INFO info = {};
    info.m_bReboot = 77;
    CScopedBstr bstrService(L"vm-q3-fw");
    ASSERT_EQ(S_OK, m_manager->GetUpdateDetails(bstrService, &info));
    EXPECT_EQ(L"Firmware 2.1 for VM-Q3.\r\nFixes playback.", Text(info.m_bstrUpdateDetail));
    EXPECT_EQ(2, info.m_nInfoSize);
    EXPECT_EQ(1, info.m_nInstallMode);
    EXPECT_EQ(1, info.m_bAvailableServerPolling);
    EXPECT_EQ(eAUTO, info.m_eCheckMode);
    EXPECT_EQ(77, info.m_bReboot) << "never written";
    EXPECT_EQ(L"VM-Q3 Firmware", Text(info.m_stDownloadSoftwareInfos[0].m_bstrSoftwareName));
    EXPECT_EQ(L"2.1", Text(info.m_stDownloadSoftwareInfos[0].m_bstrNewVersion));
    EXPECT_EQ(L"http://updates.example.com/fw/q3.bin", Text(info.m_stDownloadSoftwareInfos[0].m_bstrURL));
    EXPECT_EQ(L"3f786850e387550fdab836ed7e6dc881de23001b", Text(info.m_stDownloadSoftwareInfos[0].m_bstrMac));
    EXPECT_EQ(4194304u, info.m_stDownloadSoftwareInfos[0].m_dwSize);
    EXPECT_EQ(L"Jukebox", Text(info.m_stDownloadSoftwareInfos[1].m_bstrSoftwareName));
    EXPECT_EQ(123u, info.m_stDownloadSoftwareInfos[1].m_dwSize);
    EXPECT_EQ(nullptr, info.m_stDownloadSoftwareInfos[2].m_bstrSoftwareName);

    // Another service's identifier, or none, leaves the record alone.
    ZEP_NEW_VERSION_INFO untouched = {};
    untouched.m_nInfoSize = 9;
    CScopedBstr bstrOther(L"vm-q1-fw");
    EXPECT_EQ(E_INVALIDARG, m_manager->GetUpdateDetails(bstrOther, &untouched));
    EXPECT_EQ(E_FAIL, m_manager->GetUpdateDetails(nullptr, &untouched));
    EXPECT_EQ(9, untouched.m_nInfoSize);
    EXPECT_EQ(nullptr, untouched.m_bstrUpdateDetail);

    CScopedBstr bstrVersion;
    ASSERT_EQ(S_OK, m_manager->GetVersionOfUpdatedSoftware(bstrService, bstrVersion.Receive()));
    EXPECT_EQ(L"2.1", bstrVersion.ToString());
    EXPECT_EQ(E_INVALIDARG, m_manager->GetVersionOfUpdatedSoftware(bstrOther, bstrVersion.Receive()));
    ZepClearNewVersionInfo(&info);
}

// The caller's record may still hold the strings of an earlier call: they are freed (the record
// is cleared afterwards as any caller does), and what the new details do not fill is left empty.
TEST_F(UpdateInfoManager, DetailsReplaceWhatTheCallersRecordHeld)
{
    auto fillRecord = [](ZEP_NEW_VERSION_INFO& info) {
        info.m_bstrUpdateDetail = ::SysAllocString(L"old detail");
        for (ZEP_DOWNLOAD_SOFTWARE_INFO& sw : info.m_stDownloadSoftwareInfos)
        {
            sw.m_bstrSoftwareName = ::SysAllocString(L"old name");
            sw.m_bstrNewVersion = ::SysAllocString(L"0.1");
            sw.m_bstrURL = ::SysAllocString(L"http://old.example.com/old.bin");
            sw.m_bstrMac = ::SysAllocString(L"old mac");
            sw.m_dwSize = 99;
        }
        info.m_nInfoSize = ZEP_MAX_DOWNLOAD_SOFTWARE;
        info.m_nInstallMode = 1;
        info.m_bReboot = 77;
        info.m_bAvailableServerPolling = 1;
        info.m_eCheckMode = eMANUAL;
    };
    Serve("vm-q3-fw", Publish(Body(kSoftwareRule), "vm-q3-fw"));
    CScopedBstr bstrService(L"vm-q3-fw");
    const struct
    {
        const char* pszCase;
        const wchar_t* pszVersion;
        int nPackages;
    } kCases[] = {{"two packages", L"2.0", 2}, {"no update", L"2.1", 0}};
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszCase);
        long lResult = -1;
        ASSERT_EQ(S_OK, Check(L"vm-q3-fw", &lResult, c.pszVersion));
        ZEP_NEW_VERSION_INFO info = {};
        fillRecord(info);
        ASSERT_EQ(S_OK, m_manager->GetUpdateDetails(bstrService, &info));
        EXPECT_EQ(c.nPackages, info.m_nInfoSize);
        EXPECT_EQ(77, info.m_bReboot) << "never written";
        if (c.nPackages == 0)
        {
            EXPECT_EQ(L"", Text(info.m_bstrUpdateDetail));
            EXPECT_EQ(0, info.m_nInstallMode);
            EXPECT_EQ(0, info.m_bAvailableServerPolling);
            EXPECT_EQ(eAUTO, info.m_eCheckMode);
        }
        else
        {
            EXPECT_EQ(L"Jukebox", Text(info.m_stDownloadSoftwareInfos[1].m_bstrSoftwareName));
        }
        for (int i = c.nPackages; i < ZEP_MAX_DOWNLOAD_SOFTWARE; ++i)
        {
            SCOPED_TRACE(i);
            const ZEP_DOWNLOAD_SOFTWARE_INFO& sw = info.m_stDownloadSoftwareInfos[i];
            EXPECT_EQ(nullptr, sw.m_bstrSoftwareName);
            EXPECT_EQ(nullptr, sw.m_bstrNewVersion);
            EXPECT_EQ(nullptr, sw.m_bstrURL);
            EXPECT_EQ(nullptr, sw.m_bstrMac);
            EXPECT_EQ(0u, sw.m_dwSize);
        }
        ZepClearNewVersionInfo(&info);
        ASSERT_EQ(S_OK, m_manager->Terminate());
    }
}

TEST(UpdateInfoManagerRules, DownloaderResultsBecomeTheCallersCodes)
{
    const struct
    {
        HRESULT hrDownloader;
        DWORD dwPublic;
    } kCases[] = {
        {E_DL_BAD_TARGET, 0x80044203},   {E_DL_SEEK, 0x80044203},        {E_DL_WRITE, 0x80044203},
        {E_DL_CREATE_FOLDER, 0x80044203}, {E_DL_DISK_FULL, 0x80044203},   {E_DL_LENGTH_MISMATCH, 0x80043208},
        {E_DL_NETWORK, 0x80043302},      {E_DL_CERTIFICATE, 0x80043302}, {E_DL_AUTH_REQUIRED, 0x80043302},
        {E_DL_HTTP_400, 0x80043302},     {E_DL_HTTP_500, 0x80043302},    {E_DL_TIMEOUT, 0x80043202},
        {E_DL_HTTP_404, 0x80044202},     {E_DL_CANCELED, 0x80042202},    {S_OK, 0},
        {E_DL_BUSY, static_cast<DWORD>(E_DL_BUSY)}, {E_OUTOFMEMORY, static_cast<DWORD>(E_OUTOFMEMORY)},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.dwPublic, static_cast<DWORD>(CZepUpdateInfoManagerImpl::MapDownloadResult(c.hrDownloader)))
            << std::hex << c.hrDownloader;
}

// The data folder and a service's download folder, both made by the manager, are writable by
// every user who may run an update.
TEST_F(UpdateInfoManager, DownloadFoldersGrantEveryUserFullControl)
{
    const std::wstring strData = zeptest::TestTempDir() + L"fresh\\data";
    CZepUpdateInfoManagerImpl manager(strData);
    CScopedBstr bstrBase(BaseUrl());
    ASSERT_EQ(S_OK, manager.SetBaseURL(bstrBase));
    Serve("vm-q3-fw", Publish(Body(kSoftwareRule), "vm-q3-fw"));
    long lResult = -1;
    ASSERT_EQ(S_OK, CheckVmQ3(manager, L"vm-q3-fw", &lResult));
    const std::wstring kFolders[] = {zeptest::TestTempDir() + L"fresh", strData, strData + L"\\vm-q3-fw"};
    for (const std::wstring& strFolder : kFolders)
        ASSERT_TRUE(IsFolder(strFolder)) << WideToUtf8(strFolder);
    if (!zeptest::FileSystemKeepsAccessLists())
        GTEST_SKIP() << "this file system does not keep access lists: "
                     << WideToUtf8(zeptest::DescribeFileAcl(strData));
    for (const std::wstring& strFolder : kFolders)
        EXPECT_EQ(zeptest::kAllUsersFolderAcl, zeptest::DescribeFileAcl(strFolder)) << WideToUtf8(strFolder);
}

TEST_F(UpdateInfoManager, NoUpdateLeavesTheDetailsEmpty)
{
    Serve("vm-q3-fw", Publish(Body(kSoftwareRule), "vm-q3-fw"));
    long lResult = -1;
    ASSERT_EQ(S_OK, Check(L"vm-q3-fw", &lResult, L"2.1"));
    EXPECT_EQ(0, lResult);
    ZEP_NEW_VERSION_INFO info = {};
    CScopedBstr bstrService(L"vm-q3-fw");
    ASSERT_EQ(S_OK, m_manager->GetUpdateDetails(bstrService, &info));
    EXPECT_EQ(L"", Text(info.m_bstrUpdateDetail));
    EXPECT_EQ(0, info.m_nInfoSize);
    EXPECT_EQ(0, info.m_nInstallMode);
    EXPECT_EQ(0, info.m_bAvailableServerPolling);
    ZepClearNewVersionInfo(&info);
}

TEST_F(UpdateInfoManager, FailuresMapToTheCallersCodes)
{
    const std::string strGood = Publish(Body(kSoftwareRule), "vm-q3-fw");
    const struct
    {
        const char* pszCase;
        std::string strFile;  // empty: no route, the server answers 404
        int nStatus;
        HRESULT hrExpected;
    } kCases[] = {
        {"not on the server", "", 404, ZEP_E_INFO_NOT_FOUND},
        {"published for another service", Publish(Body(kSoftwareRule), "vm-q1-fw"), 200, ZEP_E_INFO_HEADER_INVALID},
        {"not an information file", "<InformationFile Noop=\"false\"/>", 200, ZEP_E_INFO_FILE_INVALID},
        {"server error", strGood, 500, ZEP_E_DOWNLOAD_NETWORK},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszCase);
        if (c.strFile.empty())
            m_server.SetRoute(InfoPath("vm-q3-fw"), zeptest::SRouteBehaviour{404});
        else
            Serve("vm-q3-fw", c.strFile, c.nStatus);
        long lResult = -1;
        EXPECT_EQ(c.hrExpected, Check(L"vm-q3-fw", &lResult));
        EXPECT_EQ(0, lResult);
        EXPECT_EQ(0u, CountFiles(UserFolder(L"vm-q3-fw"))) << "nothing stays behind";
        EXPECT_EQ(S_OK, m_manager->Terminate());
        EXPECT_FALSE(m_block.Lists(L"vm-q3-fw"));
    }
}

TEST_F(UpdateInfoManager, ServiceStatusDecidesPollingAndMode)
{
    const std::string kManualOnly =
        "<ControlConditions DefaultServiceStatus=\"open\"><ControlCondition Model=\"VM-Q3\" "
        "ServiceStatus=\"manual-only\"/></ControlConditions>";
    const struct
    {
        const char* pszCase;
        std::string strControl;
        zepUpdateCheckMode eMode;
        long lPolling;
        zepUpdateCheckMode eReported;
    } kCases[] = {
        {"open", kOpen, eAUTO, 1, eAUTO},
        {"closed by default", "<ControlConditions DefaultServiceStatus=\"close\"/>", eAUTO, 0, eAUTO},
        {"manual-only, scheduled check", kManualOnly, eAUTO, 1, eMANUAL},
        {"manual-only, user's check", kManualOnly, eMANUAL, 1, eMANUAL},
    };
    CScopedBstr bstrService(L"vm-q3-fw");
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszCase);
        Serve("vm-q3-fw", Publish(Body(kSoftwareRule, c.strControl), "vm-q3-fw"));
        ASSERT_EQ(S_OK, m_manager->SetUpdateCheckingMode(bstrService, c.eMode));
        long lResult = -1;
        ASSERT_EQ(S_OK, Check(L"vm-q3-fw", &lResult));
        EXPECT_EQ(1, lResult);
        ZEP_NEW_VERSION_INFO info = {};
        ASSERT_EQ(S_OK, m_manager->GetUpdateDetails(bstrService, &info));
        EXPECT_EQ(c.lPolling, info.m_bAvailableServerPolling);
        EXPECT_EQ(c.eReported, info.m_eCheckMode);
        ZepClearNewVersionInfo(&info);
        zepUpdateCheckMode eStored = eAUTO;
        EXPECT_EQ(S_OK, m_manager->GetUpdateCheckingMode(bstrService, &eStored));
        EXPECT_EQ(c.eMode, eStored);
        EXPECT_EQ(S_OK, m_manager->Terminate());
    }
}

TEST_F(UpdateInfoManager, ServiceIdentifierBecomesOneSafeFolder)
{
    const struct
    {
        const wchar_t* pszId;
        const wchar_t* pszFolder;
    } kCases[] = {
        {L"a:b", L"a_b"},
        {L"..\\..\\x", L".._.._x"},
        {L"../x", L".._x"},
        {L"..", L"__"},
        {L"fw.", L"fw_"},
        {L"a*b?c\"d<e>f|g;h%i,j ", L"a_b_c_d_e_f_g_h_i_j_"},
        {L"line\r\nbreak", L"line__break"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.pszFolder, CZepUpdateInfoManagerImpl::ServiceFolderName(c.pszId)) << c.pszId;

    // zepinfo refuses such identifiers; the file is signed for it directly.
    Serve("a:b", infotest::MakeSignedFile(Body(kSoftwareRule), L"a:b", Utf8ToWide(kCategory)));
    long lResult = -1;
    ASSERT_EQ(S_OK, Check(L"a:b", &lResult));
    EXPECT_EQ(1, lResult);
    EXPECT_TRUE(IsFolder(m_strData + L"\\a_b"));
    ASSERT_EQ(S_OK, m_manager->Terminate());

    Check(L"..\\..\\escaped", &lResult);
    EXPECT_TRUE(IsFolder(m_strData + L"\\.._.._escaped"));
    EXPECT_FALSE(IsFolder(zeptest::TestTempDir() + L"escaped"));
    EXPECT_FALSE(IsFolder(m_strData + L"\\..\\..\\escaped"));
}

TEST_F(UpdateInfoManager, ServiceListKeepsTheLayoutOtherProgramsRead)
{
    Serve("vm-q3-fw", Publish(Body(kSoftwareRule), "vm-q3-fw"));
    long lResult = -1;
    ASSERT_EQ(S_OK, Check(L"vm-q3-fw", &lResult));
    EXPECT_EQ(1u, m_block->dwCount);
    EXPECT_STREQ(L"vm-q3-fw", m_block->slots[0]);
    // Listed until Terminate: the same service again is a check already in progress.
    EXPECT_EQ(ZEP_E_SERVICE_BUSY, Check(L"vm-q3-fw", &lResult));
    EXPECT_EQ(0, lResult);
    ASSERT_EQ(S_OK, m_manager->Terminate());
    EXPECT_EQ(0u, m_block->dwCount);
    EXPECT_EQ(L'\0', m_block->slots[0][0]);

    // Removal moves later entries down.
    wcscpy(m_block->slots[0], L"other-a");
    m_block->dwCount = 1;
    ASSERT_EQ(S_OK, Check(L"vm-q3-fw", &lResult));
    wcscpy(m_block->slots[2], L"other-b");
    m_block->dwCount = 3;
    ASSERT_EQ(S_OK, m_manager->Terminate());
    EXPECT_EQ(2u, m_block->dwCount);
    EXPECT_STREQ(L"other-a", m_block->slots[0]);
    EXPECT_STREQ(L"other-b", m_block->slots[1]);
    EXPECT_EQ(L'\0', m_block->slots[2][0]);
}

TEST_F(UpdateInfoManager, CorruptOrFullServiceListIsNeverReadOrWrittenPastItsBlock)
{
    Serve("vm-q3-fw", Publish(Body(kSoftwareRule), "vm-q3-fw"));
    long lResult = -1;

    m_block->dwCount = 33;
    EXPECT_EQ(ZEP_E_SERVICE_LIST, Check(L"vm-q3-fw", &lResult));
    EXPECT_EQ(33u, m_block->dwCount);

    m_block.Clear();
    m_block->dwCount = 1;
    wmemset(m_block->slots[0], L'x', 260);  // no terminator
    EXPECT_EQ(ZEP_E_SERVICE_LIST, Check(L"vm-q3-fw", &lResult));

    m_block.Clear();
    for (int i = 0; i < 32; ++i)
        swprintf(m_block->slots[i], 260, L"service-%d", i);
    m_block->dwCount = 32;
    EXPECT_EQ(ZEP_E_SERVICE_LIST, Check(L"vm-q3-fw", &lResult)) << "a 33rd registration";
    EXPECT_EQ(32u, m_block->dwCount);

    m_block.Clear();
    EXPECT_EQ(ZEP_E_SERVICE_LIST, Check(std::wstring(260, L's'), &lResult)) << "an identifier without room for its end";
    EXPECT_EQ(0u, m_block->dwCount);
    EXPECT_EQ(0, lResult);
    EXPECT_TRUE(m_server.Requests().empty()) << "nothing is fetched without a place in the list";
}

TEST_F(UpdateInfoManager, SecondProcessCheckingTheSameServiceIsRefused)
{
    zeptest::SRouteBehaviour slow;
    slow.strBody = Publish(Body(kSoftwareRule), "vm-q3-fw");
    slow.dwDripMs = 100;
    slow.nDripBytes = 32;
    Serve("vm-q3-fw", slow.strBody);
    m_server.SetRoute(InfoPath("vm-q3-fw"), slow);

    UniqueHandle helper;
    ASSERT_TRUE(zeptest::StartProcess(L"\"" + zeptest::ExeDir() + L"info_check_helper.exe\" \"" + BaseUrl() +
                                          L"\" vm-q3-fw Velomar VM-Q3 2.0 \"" + zeptest::TestTempDir() +
                                          L"helper-data\"",
                                      helper));
    bool bListed = false;
    for (int i = 0; i < 300 && !bListed; ++i)
    {
        bListed = m_block.Lists(L"vm-q3-fw");
        if (!bListed)
            ::Sleep(50);
    }
    ASSERT_TRUE(bListed) << "the other process never registered its check";
    long lResult = -1;
    EXPECT_EQ(ZEP_E_SERVICE_BUSY, Check(L"vm-q3-fw", &lResult));
    EXPECT_EQ(0, lResult);

    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(helper.Get(), 60000));
    DWORD dwExit = 0;
    ::GetExitCodeProcess(helper.Get(), &dwExit);
    EXPECT_EQ(1u, dwExit) << "the first check completes and finds the update";
    EXPECT_FALSE(m_block.Lists(L"vm-q3-fw"));
}

TEST_F(UpdateInfoManager, OutcomeReportGoesToTheStatusPathWithASafeAgent)
{
    const struct
    {
        int nResult;
        const wchar_t* pszName;
        const wchar_t* pszDetail;
        const char* pszPath;
        const char* pszAgent;
    } kCases[] = {
        {0, L"VM-Q3 Firmware", L"installed", "notification/success.log", "1.0#VM-Q3_Firmware#2.1#00#installed"},
        {7, L"", L"write failed\r\nX-Injected: 1", "notification/fail.log", "1.0#-#2.1#07#write_failed__X-Injected:_1"},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszPath);
        const std::string strPath = std::string("/base/") + kCategory + "/vm-q3-fw/" + c.pszPath;
        m_server.SetRoute(strPath, zeptest::SRouteBehaviour{});
        m_server.ClearRequests();
        CScopedBstr bstrService(L"vm-q3-fw"), bstrCategory(Utf8ToWide(kCategory)), bstrName(c.pszName),
            bstrVersion(L"2.1"), bstrDetail(c.pszDetail);
        ZEP_UPDATED_RESULT result = {c.nResult, bstrCategory, bstrName, bstrVersion, nullptr, bstrDetail};
        EXPECT_EQ(S_OK, m_manager->SendUpdateResult(bstrService, &result));
        const auto requests = m_server.Requests();
        ASSERT_EQ(1u, requests.size());
        EXPECT_EQ(strPath, requests[0].strPath);
        EXPECT_EQ(c.pszAgent, requests[0].Header("user-agent"));
        EXPECT_FALSE(requests[0].HasHeader("x-injected"));
    }
    CScopedBstr bstrService(L"vm-q3-fw");
    ZEP_UPDATED_RESULT result = {};
    m_server.SetRoute("/base/notification/success.log", zeptest::SRouteBehaviour{404});
    EXPECT_TRUE(FAILED(m_manager->SendUpdateResult(bstrService, &result))) << "a missing report path is a failure";
}

namespace
{
// A CheckVersion subscriber that answers with a set value and records what it was given.
class CVersionSink : public IDispatch
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, DIID__IZepUpdateInfoManagerEvents))
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
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID lcid, WORD wFlags, DISPPARAMS* pParams, VARIANT* pResult,
                        EXCEPINFO*, UINT*) override
    {
        ++m_cCalls;
        m_dispid = dispid;
        m_lcid = lcid;
        m_wFlags = wFlags;
        if (pParams->cArgs == 3 && pParams->rgvarg[0].vt == VT_BSTR && pParams->rgvarg[1].vt == VT_BSTR &&
            pParams->rgvarg[2].vt == VT_INT)
        {
            m_strCurrent = pParams->rgvarg[0].bstrVal;
            m_strRuleValue = pParams->rgvarg[1].bstrVal;
            m_nRule = pParams->rgvarg[2].intVal;
        }
        if (pResult)
        {
            pResult->vt = VT_I4;
            pResult->lVal = m_lAnswer;
        }
        return S_OK;
    }

    ULONG m_cRef = 1;
    LONG m_lAnswer = 0;
    int m_cCalls = 0;
    DISPID m_dispid = 0;
    LCID m_lcid = 0;
    WORD m_wFlags = 0;
    std::wstring m_strCurrent, m_strRuleValue;
    int m_nRule = 0;
};
}  // namespace

TEST_F(UpdateInfoManager, CheckVersionSubscriberDecidesFirmwareRules)
{
    Serve("vm-q3-fw", Publish(Body(kFirmwareRule), "vm-q3-fw"));
    ComPtr<IZepUpdateInfoManager> manager;
    ASSERT_NO_FATAL_FAILURE(CreateComponent(manager));
    CScopedBstr bstrService(L"vm-q3-fw"), bstrModel(L"VM-Q3"), bstrCategory(Utf8ToWide(kCategory)),
        bstrVersion(L"2.0");
    ZEP_CURRENT_VERSION_INFO current = {};
    current.m_bstrModel = bstrModel;
    current.m_bstrCategory = bstrCategory;
    current.m_bstrCurrentVersion = bstrVersion;

    // Nobody to compare firmware versions: the rule does not hold.
    LONG lResult = -1;
    ASSERT_EQ(S_OK, manager->CheckWhetherUpdateExists(bstrService, &current, &lResult));
    EXPECT_EQ(0, lResult);
    ASSERT_EQ(S_OK, manager->Terminate());

    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, manager.As(&container));
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID__IZepUpdateInfoManagerEvents, &point));
    CVersionSink sink;
    DWORD dwCookie = 0;
    ASSERT_EQ(S_OK, point->Advise(&sink, &dwCookie));

    const struct
    {
        LONG lAnswer;
        HRESULT hrExpected;
        LONG lExpected;
    } kCases[] = {{0, S_OK, 1}, {1, S_OK, 0}, {E_ACCESSDENIED, E_ACCESSDENIED, 0}};
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.lAnswer);
        sink.m_lAnswer = c.lAnswer;
        lResult = -1;
        EXPECT_EQ(c.hrExpected, manager->CheckWhetherUpdateExists(bstrService, &current, &lResult));
        EXPECT_EQ(c.lExpected, lResult);
        ASSERT_EQ(S_OK, manager->Terminate());
    }
    EXPECT_EQ(3, sink.m_cCalls);
    EXPECT_EQ(1, sink.m_dispid);
    EXPECT_EQ(static_cast<LCID>(LOCALE_USER_DEFAULT), sink.m_lcid);
    EXPECT_EQ(DISPATCH_METHOD, sink.m_wFlags);
    EXPECT_EQ(L"2.0", sink.m_strCurrent);
    EXPECT_EQ(L"2.1", sink.m_strRuleValue);
    EXPECT_EQ(5, sink.m_nRule) << "LessThan";

    ASSERT_EQ(S_OK, point->Unadvise(dwCookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(dwCookie));
    point.Reset();
    container.Reset();
    manager.Reset();
    EXPECT_EQ(1u, sink.m_cRef) << "the component let go of its subscriber";
}

namespace
{
// What the client has written to its error log since the object was made. The log is trimmed
// from its front when it grows, so the start is a marker line, not an offset.
class CErrorLogTail
{
public:
    CErrorLogTail() : m_strPath(ZepBackendLibraryLog().GetErrorLogPath())
    {
        static int s_nMarker = 0;
        m_strMarker = "error log tail " + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++s_nMarker);
        ZepBackendLibraryLog().WriteError(Utf8ToWide(m_strMarker).c_str());
    }
    std::string Text() const
    {
        std::string str;
        zeptest::ReadFileBytes(m_strPath, str);
        const size_t pos = str.rfind(m_strMarker);
        return pos == std::string::npos ? std::string() : str.substr(pos + m_strMarker.size());
    }

private:
    std::wstring m_strPath;
    std::string m_strMarker;
};

std::string CrLf(const std::string& str)
{
    std::string strOut;
    for (char ch : str)
        strOut += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    return strOut;
}

std::string Replaced(std::string str, const std::string& strFrom, const std::string& strTo)
{
    const size_t pos = str.find(strFrom);
    EXPECT_NE(std::string::npos, pos) << strFrom;
    return pos == std::string::npos ? str : str.replace(pos, strFrom.size(), strTo);
}
}  // namespace

// Each way a file and its signature can fail to vouch for each other is refused as a bad digest,
// and the error log says which.
TEST_F(UpdateInfoManager, SignatureDecidesWhetherTheFileIsTrusted)
{
    const std::wstring strService = L"vm-q3-fw", strCategory = Utf8ToWide(kCategory);
    const std::string strBody = Body(kSoftwareRule);
    const std::string strFile = infotest::MakeSignedFile(strBody, strService, strCategory);
    const std::string strSig = infotest::SignatureFor(strFile, strService, strCategory);

    // The same body with one byte changed, its own digest made anew as anybody can.
    const std::string strChanged =
        infotest::MakeSignedFile(Replaced(strBody, "Version=\"2.1\"", "Version=\"2.2\""), strService, strCategory);
    std::string strFlipped = strFile;
    strFlipped.back() ^= 0x01;

    CUpdateSigningKey stranger;
    ASSERT_EQ(S_OK, stranger.Generate());
    std::string strStrangerSig;
    ASSERT_EQ(S_OK, stranger.SignatureFile(strFile, strCategory, strService,
                                           1000, L"2099-12-31T00:00:00Z", strStrangerSig));

    const std::string strOtherService = infotest::MakeSignedFile(strBody, L"vm-q1-fw", strCategory);
    const std::string strOtherCategory = infotest::MakeSignedFile(strBody, strService, L"Other");
    // A signature over "velomar-update-info-v1 ..." that is not what the client rebuilds.
    const std::string strGarbage = "key: 0123456789abcdef\nserial: 1\nexpires: 2099-01-01T00:00:00Z\nsignature: AAAA\n";

    const struct
    {
        const char* pszCase;
        std::string strInfo;
        bool bSigned;
        std::string strSignature;
        const char* pszErrorLine;  // null: accepted
    } kCases[] = {
        {"valid", strFile, true, strSig, nullptr},
        {"body changed by one byte", strChanged, true, strSig, "Signature:Bad Signature"},
        {"last byte flipped", strFlipped, true, strSig, "Signature:"},
        {"signed by a key not in the list", strFile, true, strStrangerSig, "Signature:Unknown Key"},
        {"no .sig", strFile, false, "", "Signature:Missing"},
        {"empty .sig", strFile, true, "", "Signature:Invalid Format"},
        {"garbage .sig", strFile, true, "\x01\x02 not a signature \xFF", "Signature:Invalid Format"},
        {"signature that is not DER", strFile, true, strGarbage, "Signature:Invalid Format"},
        {"an unknown line", strFile, true, strSig + "comment: hello\n", "Signature:Invalid Format"},
        {"a line twice", strFile, true, strSig + strSig.substr(0, strSig.find('\n') + 1), "Signature:Invalid Format"},
        {"CR LF line ends", strFile, true, CrLf(strSig), nullptr},
        {"replayed from another service", strOtherService,
         true, infotest::SignatureFor(strOtherService, L"vm-q1-fw", strCategory), "Signature:Wrong Service or Category"},
        {"replayed from another category", strOtherCategory,
         true, infotest::SignatureFor(strOtherCategory, strService, L"Other"), "Signature:Wrong Service or Category"},
        {"expired", strFile, true, infotest::SignatureFor(strFile, strService, strCategory, 1000, L"2001-01-01T00:00:00Z"),
         "Signature:Expired"},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszCase);
        ServePair("vm-q3-fw", c.strInfo, c.bSigned ? &c.strSignature : nullptr);
        CErrorLogTail errors;
        long lResult = -1;
        const HRESULT hr = Check(strService, &lResult);
        EXPECT_EQ(c.pszErrorLine ? ZEP_E_INFO_HEADER_INVALID : S_OK, hr);
        EXPECT_EQ(c.pszErrorLine ? 0 : 1, lResult);
        if (c.pszErrorLine)
            EXPECT_NE(std::string::npos, errors.Text().find(c.pszErrorLine)) << errors.Text();
        EXPECT_EQ(0u, CountFiles(m_strData + L"\\vm-q3-fw")) << "nothing stays behind";
        EXPECT_EQ(S_OK, m_manager->Terminate());
        Registry::DeleteTree(HKEY_LOCAL_MACHINE, SignatureSerialStore::ServiceKey(strService).c_str());
    }
}

// A machine never goes back to an older file of a service: a serial lower than the highest it
// accepted is refused, the same one is not, and only a file accepted in full raises it.
TEST_F(UpdateInfoManager, SerialNeverGoesBack)
{
    const std::wstring strService = L"vm-q3-fw", strCategory = Utf8ToWide(kCategory);
    const std::string strFile = infotest::MakeSignedFile(Body(kSoftwareRule), strService, strCategory);
    const std::string strBroken = infotest::MakeSignedFile("<InformationFile", strService, strCategory);
    const struct
    {
        const char* pszCase;
        bool bOtherUserLowersTheMachineValue;
        std::string strInfo;
        ULONGLONG ullSerial;
        HRESULT hrExpected;
        ULONGLONG ullStoredAfter;
    } kSteps[] = {
        {"first file", false, strFile, 2000, S_OK, 2000},
        {"lower serial", false, strFile, 1999, ZEP_E_INFO_HEADER_INVALID, 2000},
        {"same serial", false, strFile, 2000, S_OK, 2000},
        {"higher serial, but the file does not load", false, strBroken, 3000, ZEP_E_INFO_FILE_INVALID, 2000},
        {"higher serial", false, strFile, 2001, S_OK, 2001},
        {"the one before", false, strFile, 2000, ZEP_E_INFO_HEADER_INVALID, 2001},
        // Every user may write the machine's service key; the user's own copy still holds.
        {"the one before, after another user lowered the machine's value", true, strFile, 2000,
         ZEP_E_INFO_HEADER_INVALID, 2001},
    };
    for (const auto& step : kSteps)
    {
        SCOPED_TRACE(step.pszCase);
        if (step.bOtherUserLowersTheMachineValue)
        {
            const ULONGLONG ullLowered = 1;
            ASSERT_EQ(S_OK, Registry::WriteValue(HKEY_LOCAL_MACHINE,
                                                 SignatureSerialStore::ServiceKey(strService).c_str(),
                                                 SignatureSerialStore::kValueName, REG_QWORD, &ullLowered,
                                                 sizeof(ullLowered)));
        }
        ServePair("vm-q3-fw", step.strInfo, infotest::SignatureFor(step.strInfo, strService, strCategory, step.ullSerial));
        CErrorLogTail errors;
        long lResult = -1;
        EXPECT_EQ(step.hrExpected, Check(strService, &lResult));
        EXPECT_EQ(step.ullStoredAfter, SignatureSerialStore::Highest(strService));
        EXPECT_EQ(step.ullStoredAfter, SignatureSerialStore::Stored(HKEY_CURRENT_USER, strService));
        if (!step.bOtherUserLowersTheMachineValue)
        {
            EXPECT_EQ(step.ullStoredAfter, SignatureSerialStore::Stored(HKEY_LOCAL_MACHINE, strService));
        }
        if (step.hrExpected == ZEP_E_INFO_HEADER_INVALID)
            EXPECT_NE(std::string::npos, errors.Text().find("Signature:Serial Lower Than Accepted")) << errors.Text();
        EXPECT_EQ(S_OK, m_manager->Terminate());
    }
    // Kept per service: another service starts from nothing.
    EXPECT_EQ(0u, SignatureSerialStore::Highest(L"vm-q1-fw"));
}

namespace
{
// A subscriber that starts another check on the same object from inside the event, as a
// client's handler could, and notes what that did to the check it interrupted.
class CReentrantSink : public CVersionSink
{
public:
    CReentrantSink(IZepUpdateInfoManager* pManager, CSharedBlock& block, const wchar_t* pszInnerService)
        : m_pManager(pManager), m_block(block), m_strInnerService(pszInnerService)
    {
    }
    STDMETHODIMP Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pParams, VARIANT* pResult,
                        EXCEPINFO* pExcepInfo, UINT* puArgErr) override
    {
        m_hrInner = CheckVmQ3(*m_pManager, m_strInnerService, &m_lInnerResult);
        m_bOuterListed = m_block.Lists(L"vm-q3-fw");
        m_bInnerListed = m_strInnerService != L"vm-q3-fw" && m_block.Lists(m_strInnerService);
        return CVersionSink::Invoke(dispid, riid, lcid, wFlags, pParams, pResult, pExcepInfo, puArgErr);
    }

    IZepUpdateInfoManager* m_pManager;
    CSharedBlock& m_block;
    std::wstring m_strInnerService;
    HRESULT m_hrInner = S_OK;
    LONG m_lInnerResult = -1;
    bool m_bOuterListed = false;
    bool m_bInnerListed = false;
};
}  // namespace

TEST_F(UpdateInfoManager, CheckStartedFromTheCheckVersionHandlerIsRefused)
{
    Serve("vm-q3-fw", Publish(Body(kFirmwareRule), "vm-q3-fw"));
    Serve("vm-q1-fw", Publish(Body(kSoftwareRule), "vm-q1-fw"));
    for (const wchar_t* pszInner : {L"vm-q1-fw", L"vm-q3-fw"})
    {
        SCOPED_TRACE(pszInner);
        m_server.ClearRequests();
        ComPtr<IZepUpdateInfoManager> manager;
        ASSERT_NO_FATAL_FAILURE(CreateComponent(manager));
        CReentrantSink sink(manager.Get(), m_block, pszInner);
        ComPtr<IConnectionPoint> point;
        DWORD dwCookie = 0;
        ASSERT_NO_FATAL_FAILURE(Advise(manager.Get(), &sink, point, dwCookie));

        LONG lResult = -1;
        EXPECT_EQ(S_OK, CheckVmQ3(*manager.Get(), L"vm-q3-fw", &lResult));
        EXPECT_EQ(1, lResult) << "the interrupted check ends as if nothing had happened";
        EXPECT_EQ(1, sink.m_cCalls);
        EXPECT_EQ(ZEP_E_SERVICE_BUSY, sink.m_hrInner);
        EXPECT_EQ(0, sink.m_lInnerResult);
        EXPECT_TRUE(sink.m_bOuterListed) << "the outer check keeps its place in the list";
        EXPECT_FALSE(sink.m_bInnerListed);
        const auto requests = m_server.Requests();
        ASSERT_EQ(2u, requests.size()) << "nothing fetched for the refused check";
        EXPECT_EQ(InfoPath("vm-q3-fw"), requests[0].strPath);
        EXPECT_EQ(InfoPath("vm-q3-fw") + ".sig", requests[1].strPath);

        ZEP_NEW_VERSION_INFO info = {};
        ASSERT_EQ(S_OK, manager->GetUpdateDetails(CScopedBstr(L"vm-q3-fw").Get(), &info));
        EXPECT_EQ(L"VM-Q3 Firmware", Text(info.m_stDownloadSoftwareInfos[0].m_bstrSoftwareName));
        ZepClearNewVersionInfo(&info);
        EXPECT_TRUE(m_block.Lists(L"vm-q3-fw"));
        ASSERT_EQ(S_OK, manager->Terminate());
        EXPECT_EQ(0u, m_block->dwCount);
        ASSERT_EQ(S_OK, point->Unadvise(dwCookie));
    }
}

namespace
{
// A subscriber typed from the library's own type information, as clients that bind events
// through it are: the function description of CheckVersion decides how many arguments it
// reads and what each is converted to, and what type its answer has.
class CTypedVersionSink : public CVersionSink
{
public:
    explicit CTypedVersionSink(ITypeInfo* pEvents) : m_pEvents(pEvents) {}
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* pParams, VARIANT* pResult, EXCEPINFO*,
                        UINT*) override
    {
        ++m_cCalls;
        FUNCDESC* pDesc = FindFunction(dispid);
        if (!pDesc)
            return DISP_E_MEMBERNOTFOUND;
        HRESULT hr = S_OK;
        m_cDeclared = pDesc->cParams;
        if (pParams->cArgs != static_cast<UINT>(pDesc->cParams))
            hr = DISP_E_BADPARAMCOUNT;
        for (SHORT i = 0; SUCCEEDED(hr) && i < pDesc->cParams; ++i)
        {
            // Declared parameter i is rgvarg[cArgs - 1 - i].
            CScopedVariant value;
            const VARTYPE vt = pDesc->lprgelemdescParam[i].tdesc.vt;
            hr = ::VariantChangeType(value.Receive(), &pParams->rgvarg[pParams->cArgs - 1 - i], 0, vt);
            if (SUCCEEDED(hr))
            {
                CScopedVariant text;
                ::VariantChangeType(text.Receive(), const_cast<VARIANT*>(&value.Get()), 0, VT_BSTR);
                m_params.push_back({vt, text.Type() == VT_BSTR ? Text(text.Get().bstrVal) : L"?"});
            }
        }
        if (SUCCEEDED(hr) && pResult)
        {
            ::VariantClear(pResult);
            pResult->vt = VT_I4;
            pResult->lVal = m_lAnswer;
            hr = ::VariantChangeType(pResult, pResult, 0, pDesc->elemdescFunc.tdesc.vt);
        }
        m_pEvents->ReleaseFuncDesc(pDesc);
        return hr;
    }

    struct SParam
    {
        VARTYPE vt;
        std::wstring strValue;
    };
    std::vector<SParam> m_params;
    SHORT m_cDeclared = -1;

private:
    FUNCDESC* FindFunction(DISPID dispid)
    {
        TYPEATTR* pAttr = nullptr;
        if (FAILED(m_pEvents->GetTypeAttr(&pAttr)))
            return nullptr;
        const WORD cFuncs = pAttr->cFuncs;
        m_pEvents->ReleaseTypeAttr(pAttr);
        for (UINT i = 0; i < cFuncs; ++i)
        {
            FUNCDESC* pDesc = nullptr;
            if (SUCCEEDED(m_pEvents->GetFuncDesc(i, &pDesc)) && pDesc->memid == dispid)
                return pDesc;
            if (pDesc)
                m_pEvents->ReleaseFuncDesc(pDesc);
        }
        return nullptr;
    }

    ITypeInfo* m_pEvents;
};
}  // namespace

TEST_F(UpdateInfoManager, SubscriberTypedFromTheTypeLibraryGetsTheDeclaredArguments)
{
    ComPtr<ITypeLib> typeLib;
    ASSERT_EQ(S_OK, ::LoadTypeLibEx((zeptest::ExeDir() + L"ZepBackend_Library.dll").c_str(), REGKIND_NONE,
                                    typeLib.GetAddressOf()));
    ComPtr<ITypeInfo> events;
    ASSERT_EQ(S_OK, typeLib->GetTypeInfoOfGuid(DIID__IZepUpdateInfoManagerEvents, events.GetAddressOf()));

    Serve("vm-q3-fw", Publish(Body(kFirmwareRule), "vm-q3-fw"));
    ComPtr<IZepUpdateInfoManager> manager;
    ASSERT_NO_FATAL_FAILURE(CreateComponent(manager));
    CTypedVersionSink sink(events.Get());
    ComPtr<IConnectionPoint> point;
    DWORD dwCookie = 0;
    ASSERT_NO_FATAL_FAILURE(Advise(manager.Get(), &sink, point, dwCookie));

    LONG lResult = -1;
    EXPECT_EQ(S_OK, CheckVmQ3(*manager.Get(), L"vm-q3-fw", &lResult));
    EXPECT_EQ(1, lResult) << "the typed answer 0 says the rule holds";
    EXPECT_EQ(1, sink.m_cCalls);
    EXPECT_EQ(3, sink.m_cDeclared) << "as many parameters declared as arguments passed";
    ASSERT_EQ(3u, sink.m_params.size());
    EXPECT_EQ(VT_INT, sink.m_params[0].vt);
    EXPECT_EQ(L"5", sink.m_params[0].strValue) << "the rule number (LessThan)";
    EXPECT_EQ(VT_BSTR, sink.m_params[1].vt);
    EXPECT_EQ(L"2.1", sink.m_params[1].strValue) << "the rule's version";
    EXPECT_EQ(VT_BSTR, sink.m_params[2].vt);
    EXPECT_EQ(L"2.0", sink.m_params[2].strValue) << "the player's current version";
    ASSERT_EQ(S_OK, manager->Terminate());
    ASSERT_EQ(S_OK, point->Unadvise(dwCookie));
}

// A link in place of the service's folder or of the user's own folder below it is refused before
// anything is written through it.
TEST_F(UpdateInfoManager, ALinkInTheInformationFilesPathIsRefused)
{
    Serve("vm-q3-fw", Publish(Body(kSoftwareRule), "vm-q3-fw"));
    const std::wstring strElsewhere = zeptest::TestTempDir() + L"elsewhere";
    const struct
    {
        const char* pszName;
        std::wstring strLink;
    } kCases[] = {
        {"the service's folder", m_strData + L"\\vm-q3-fw"},
        {"the user's folder", UserFolder(L"vm-q3-fw")},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        zeptest::RemoveTree(m_strData + L"\\vm-q3-fw");
        zeptest::RemoveTree(strElsewhere);
        ASSERT_TRUE(::CreateDirectoryW(strElsewhere.c_str(), nullptr));
        if (c.strLink != m_strData + L"\\vm-q3-fw")
            ASSERT_TRUE(::CreateDirectoryW((m_strData + L"\\vm-q3-fw").c_str(), nullptr));
        if (!zeptest::MakeFolderLink(c.strLink, strElsewhere))
            GTEST_SKIP() << "no folder link can be made here";
        long lResult = -1;
        EXPECT_EQ(ZEP_E_INFO_DOWNLOAD_LOCAL, Check(L"vm-q3-fw", &lResult));
        EXPECT_EQ(0, lResult);
        EXPECT_EQ(L"", zeptest::FolderEntries(strElsewhere)) << "written through the link";
        EXPECT_EQ(S_OK, m_manager->Terminate());
    }
}
