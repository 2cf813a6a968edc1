// Throughput of one download, either through CXHttpDownloader or through a bare WinINet read
// loop with the same request flags and the same 16 KiB reads, writing the same kind of file.
//
//   zep_dlbench.exe downloader <url> <folder>
//   zep_dlbench.exe wininet <url> <file>
//   zep_dlbench.exe wininet-nocache <url> <file>   (the same without WinINet's cache copy)
//   zep_dlbench.exe component <url> <root>   (the download manager component, service "bench")
// Prints "<mode> bytes=<n> ms=<elapsed> result=0x<hr>". The URL's cache entry is removed
// afterwards, so that repeated runs do not fill the prefix's internet cache. The component
// pauses a fixed second before each transfer; "ms" leaves that second out ("total_ms" has it).
//
//   zep_dlbench.exe digest <url> <root> <mac> <runs> <sync folder>
// Downloads the URL through the component, then times its CheckDownloadedFile <runs> times.
// Run i waits for the file "go<i>" in the sync folder and ends by writing "done<i>" there
// with the line "digest ms=<elapsed> result=<0|1>", so that the caller can interleave its own
// runs ("ready" is written after the download, "failed" instead when it failed).
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/com_object.h"
#include "common/scoped_bstr.h"
#include "common/unique_resource.h"
#include "update/download/module/zep_software_download_manager.h"
#include "update/download/xhttp_downloader.h"

namespace
{
HRESULT BareWinInet(const wchar_t* pszUrl, const wchar_t* pszFile, DWORD dwExtraFlags, ULONGLONG& ullBytes)
{
    ullBytes = 0;
    wchar_t szHost[256] = {}, szPath[2048] = {};
    URL_COMPONENTSW components = {};
    components.dwStructSize = sizeof(components);
    components.lpszHostName = szHost;
    components.dwHostNameLength = ARRAYSIZE(szHost);
    components.lpszUrlPath = szPath;
    components.dwUrlPathLength = ARRAYSIZE(szPath);
    if (!::InternetCrackUrlW(pszUrl, 0, 0, &components))
        return HRESULT_FROM_WIN32(::GetLastError());

    UniqueHInternet session(::InternetOpenW(L"bare", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
        return HRESULT_FROM_WIN32(::GetLastError());
    UniqueHInternet connection(::InternetConnectW(session.Get(), szHost, components.nPort, nullptr, nullptr,
                                                  INTERNET_SERVICE_HTTP, 0, 0));
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    UniqueHInternet request(::HttpOpenRequestW(connection.Get(), nullptr, szPath, nullptr, nullptr, acceptTypes,
                                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION | dwExtraFlags, 0));
    if (!request || !::HttpSendRequestW(request.Get(), nullptr, 0, nullptr, 0))
        return HRESULT_FROM_WIN32(::GetLastError());

    UniqueHandle file(::CreateFileW(pszFile, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return HRESULT_FROM_WIN32(::GetLastError());
    std::vector<BYTE> block(16384);
    for (;;)
    {
        DWORD cbRead = 0;
        if (!::InternetReadFile(request.Get(), block.data(), static_cast<DWORD>(block.size()), &cbRead))
            return HRESULT_FROM_WIN32(::GetLastError());
        if (cbRead == 0)
            break;
        DWORD cbWritten = 0;
        if (!::WriteFile(file.Get(), block.data(), cbRead, &cbWritten, nullptr) || cbWritten != cbRead)
            return HRESULT_FROM_WIN32(::GetLastError());
        ullBytes += cbRead;
    }
    return S_OK;
}

// Downloads through a fresh component into strRoot and waits for the worker to end; the
// component lives on in pManager for what follows.
HRESULT ComponentDownload(const wchar_t* pszUrl, const std::wstring& strRoot, IZepSoftwareDownloadManager** ppManager)
{
    CZepSoftwareDownloadManager::SetDownloadRootForTesting(strRoot);
    HRESULT hr = ZepCreateAggregatable<CZepSoftwareDownloadManager>(nullptr, __uuidof(IZepSoftwareDownloadManager),
                                                                    reinterpret_cast<void**>(ppManager));
    if (FAILED(hr))
        return hr;
    IZepSoftwareDownloadManager* pManager = *ppManager;
    CScopedBstr bstrService(L"bench"), bstrUrl(pszUrl);
    hr = pManager->DownloadSoftwareUpdate(bstrService, bstrUrl);
    if (FAILED(hr))
        return hr;
    // The worker has ended when the path appears (success) or the status carries a failure.
    for (;;)
    {
        CScopedBstr bstrPath;
        if (pManager->GetDownloadedFilePath(bstrService, bstrPath.Receive()) == S_OK)
            return S_OK;
        LONG lStatus = 0, lResult = 0;
        pManager->GetDownloadStatus(&lStatus, &lResult);
        if (lStatus == eMsgDownloadEnd && lResult != 0)
            return lResult;
        ::Sleep(1);
    }
}

ULONGLONG g_ullProgress = 0;

long CALLBACK OnStatus(DWORD_PTR, DWORD dwCode, DWORD_PTR dwValue, DWORD)
{
    if (dwCode == eMsgDownloadProgress)
        g_ullProgress = dwValue;
    return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 7 && std::wstring(argv[1]) == L"digest")
    {
        const std::wstring strSync = std::wstring(argv[6]) + L"\\";
        auto writeLine = [&strSync](const std::wstring& strName, const std::string& strLine) {
            const std::wstring strTemp = strSync + strName + L".tmp";
            UniqueHandle file(::CreateFileW(strTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            DWORD cb = 0;
            if (file)
                ::WriteFile(file.Get(), strLine.data(), static_cast<DWORD>(strLine.size()), &cb, nullptr);
            file.Reset();
            ::MoveFileExW(strTemp.c_str(), (strSync + strName).c_str(), MOVEFILE_REPLACE_EXISTING);
        };
        const HRESULT hrCom = ::CoInitialize(nullptr);
        IZepSoftwareDownloadManager* pManager = nullptr;
        HRESULT hr = ComponentDownload(argv[2], argv[3], &pManager);
        if (FAILED(hr))
        {
            char szLine[64];
            sprintf_s(szLine, "failed 0x%08lX\n", static_cast<unsigned long>(hr));
            writeLine(L"ready", szLine);
            return 1;
        }
        writeLine(L"ready", "ready\n");
        LARGE_INTEGER frequency, start, end;
        ::QueryPerformanceFrequency(&frequency);
        CScopedBstr bstrMac(argv[4]);
        int nFailures = 0;
        for (int i = 0, runs = _wtoi(argv[5]); i < runs; ++i)
        {
            const std::wstring strGo = strSync + L"go" + std::to_wstring(i);
            while (::GetFileAttributesW(strGo.c_str()) == INVALID_FILE_ATTRIBUTES)
                ::Sleep(5);
            LONG lResult = -1;
            ::QueryPerformanceCounter(&start);
            hr = pManager->CheckDownloadedFile(bstrMac, &lResult);
            ::QueryPerformanceCounter(&end);
            char szLine[64];
            sprintf_s(szLine, "digest ms=%.1f result=%ld\n",
                      (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart, lResult);
            writeLine(L"done" + std::to_wstring(i), szLine);
            if (hr != S_OK || lResult != 1)
                ++nFailures;
        }
        pManager->Release();
        ::DeleteUrlCacheEntryW(argv[2]);
        if (SUCCEEDED(hrCom))
            ::CoUninitialize();
        return nFailures == 0 ? 0 : 1;
    }
    if (argc != 4)
    {
        fprintf(stderr, "usage: zep_dlbench downloader|wininet|wininet-nocache|component <url> <folder|file|root>\n"
                        "       zep_dlbench digest <url> <root> <mac> <runs>\n");
        return 2;
    }
    const std::wstring strMode = argv[1];
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    // The first COM start of a process is slow under Wine; a client of the downloader has
    // paid it long before a download, so it stays out of the measurement.
    const HRESULT hrCom = ::CoInitialize(nullptr);
    HRESULT hr = E_INVALIDARG;
    ULONGLONG ullBytes = 0;
    ::QueryPerformanceCounter(&start);
    if (strMode == L"downloader")
    {
        CXHttpDownloader downloader(0);
        downloader.SetCallback(&OnStatus, 0);
        hr = downloader.Initialize(L"zep bench", nullptr, nullptr);
        if (SUCCEEDED(hr))
        {
            downloader.SetDownloadFolder(argv[3]);
            hr = downloader.Download(argv[2], 0);
        }
        ullBytes = g_ullProgress;
    }
    else if (strMode == L"wininet")
    {
        hr = BareWinInet(argv[2], argv[3], 0, ullBytes);
    }
    else if (strMode == L"wininet-nocache")
    {
        hr = BareWinInet(argv[2], argv[3], INTERNET_FLAG_NO_CACHE_WRITE, ullBytes);
    }
    else if (strMode == L"component")
    {
        IZepSoftwareDownloadManager* pManager = nullptr;
        hr = ComponentDownload(argv[2], argv[3], &pManager);
        if (pManager)
        {
            CScopedBstr bstrPath;
            if (pManager->GetDownloadedFilePath(nullptr, bstrPath.Receive()) == S_OK)
            {
                WIN32_FILE_ATTRIBUTE_DATA data = {};
                if (::GetFileAttributesExW(bstrPath, GetFileExInfoStandard, &data))
                    ullBytes = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            }
            pManager->Release();
        }
    }
    ::QueryPerformanceCounter(&end);
    double dMs = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
    const double dTotalMs = dMs;
    // The component's fixed pause before its transfer is no part of the transfer.
    if (strMode == L"component")
        dMs -= 1000.0;
    printf("%ls bytes=%llu ms=%.1f total_ms=%.1f result=0x%08lX\n", strMode.c_str(), ullBytes, dMs, dTotalMs,
           static_cast<unsigned long>(hr));
    ::DeleteUrlCacheEntryW(argv[2]);
    if (SUCCEEDED(hrCom))
        ::CoUninitialize();
    return hr == S_OK ? 0 : 1;
}
