// info_signature_bench BASEURL RUNS DATAFOLDER CATEGORY/SERVICE/MODEL/VERSION...
// For each run and service: the whole update check of the information manager, in this process,
// and alone the part the signature adds (fetching info.xml.sig with the same downloader and
// checking it). Prints one line per run, summed over the services:
// "run <check ms> <signature ms> <of which the check of the fetched signature, ms>".
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/com_init.h"
#include "common/scoped_bstr.h"
#include "update/download/xhttp_downloader.h"
#include "update/info/info_signature.h"
#include "update/info/trusted_update_keys.h"
#include "update/info/zep_update_info_manager_impl.h"

namespace
{
double Milliseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool Fetch(const std::wstring& strUrl, const std::wstring& strFolder, std::string& bytes)
{
    CXHttpDownloader downloader(0);
    if (FAILED(downloader.Initialize(L"bench", nullptr, nullptr)))
        return false;
    downloader.SetDownloadFolder(strFolder.c_str());
    downloader.SetKeepFile(true);
    if (FAILED(downloader.Download(strUrl.c_str(), 0)))
        return false;
    UniqueHandle file = downloader.TakeFile();
    LARGE_INTEGER size = {}, start = {};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || !::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN))
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD cbRead = 0;
    return bytes.empty() || (::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &cbRead, nullptr) &&
                             cbRead == bytes.size());
}

struct Service
{
    std::wstring strCategory, strService, strModel, strVersion;
    std::string info;
};
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 5)
        return 2;
    CComInitScope com;
    const std::wstring strBase = argv[1];
    const int nRuns = _wtoi(argv[2]);
    const std::wstring strData = argv[3];
    std::vector<Service> services;
    for (int i = 4; i < argc; ++i)
    {
        std::wstring strSpec = argv[i];
        std::vector<std::wstring> parts;
        for (size_t pos = 0;;)
        {
            const size_t slash = strSpec.find(L'/', pos);
            parts.push_back(strSpec.substr(pos, slash == std::wstring::npos ? std::wstring::npos : slash - pos));
            if (slash == std::wstring::npos)
                break;
            pos = slash + 1;
        }
        if (parts.size() != 4)
            return 2;
        Service service{parts[0], parts[1], parts[2], parts[3], {}};
        if (!Fetch(strBase + service.strCategory + L"/" + service.strService + L"/info/info.xml", strData,
                   service.info))
            return 3;
        services.push_back(service);
    }
    for (int nRun = 0; nRun < nRuns; ++nRun)
    {
        double dCheck = 0, dSignature = 0, dVerify = 0;
        for (const Service& service : services)
        {
            CZepUpdateInfoManagerImpl manager(strData);
            CScopedBstr bstrBase(strBase), bstrService(service.strService), bstrCategory(service.strCategory),
                bstrModel(service.strModel), bstrVersion(service.strVersion);
            manager.SetBaseURL(bstrBase);
            ZEP_CURRENT_VERSION_INFO current = {};
            current.m_bstrModel = bstrModel;
            current.m_bstrCategory = bstrCategory;
            current.m_bstrCurrentVersion = bstrVersion;
            long lResult = 0;
            LARGE_INTEGER t0, t1, t2, t2b, t3;
            ::QueryPerformanceCounter(&t0);
            const HRESULT hr = manager.CheckWhetherUpdateExists(bstrService, &current, &lResult);
            ::QueryPerformanceCounter(&t1);
            manager.Terminate();
            if (FAILED(hr))
            {
                fprintf(stderr, "check of %ls failed: 0x%08lX\n", service.strService.c_str(), hr);
                return 4;
            }

            ::QueryPerformanceCounter(&t2);
            std::string strSignature;
            const bool bFetched = Fetch(strBase + service.strCategory + L"/" + service.strService + L"/info/info.xml.sig",
                                        strData, strSignature);
            ::QueryPerformanceCounter(&t2b);
            InfoSignature::Request request;
            request.pInfo = &service.info;
            request.pSignature = &strSignature;
            request.strService = service.strService;
            request.strCategory = service.strCategory;
            ::GetSystemTimeAsFileTime(&request.ftNow);
            request.pKeys = &TrustedUpdateKeys();
            InfoSignature::Outcome outcome;
            const HRESULT hrSig = InfoSignature::Check(request, outcome);
            ::QueryPerformanceCounter(&t3);
            if (!bFetched || FAILED(hrSig) || outcome.eVerdict != InfoSignature::EVerdict::Valid)
            {
                fprintf(stderr, "signature of %ls not accepted\n", service.strService.c_str());
                return 5;
            }
            dCheck += Milliseconds(t0, t1);
            dSignature += Milliseconds(t2, t3);
            dVerify += Milliseconds(t2b, t3);
        }
        printf("run %.3f %.3f %.3f\n", dCheck, dSignature, dVerify);
    }
    return 0;
}
