#include "tools/fuzz/http_fuzz_target.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "common/file_util.h"
#include "common/scoped_bstr.h"
#include "common/string_util.h"
#include "tools/fuzz/client_acceptance.h"
#include "tools/fuzz/hostile_exchange.h"
#include "tools/fuzz/hostile_http_server.h"
#include "tools/fuzz/info_fuzz_target.h"
#include "update/download/xhttp_downloader.h"
#include "update/info/info_file_format.h"
#include "update/info/tool/update_signing_key.h"
#include "update/info/service_id_list.h"
#include "update/info/zep_update_info_errors.h"
#include "update/info/zep_update_info_manager_impl.h"

namespace
{
namespace Fmt = InfoFileFormat;

// Short, so that answers that stall end soon; the retry pause short for the same reason.
const DWORD kConnectTimeoutMs = 500;
const DWORD kReceiveTimeoutMs = 400;
const DWORD kRetryPauseMs = 10;

// The build's development key (beside bin/), which the client of the same build trusts.
const wchar_t kSigningKey[] = L"..\\keys\\update-signing-dev.pem";
const ULONGLONG kSignatureSerial = 1000;
const wchar_t kSignatureExpires[] = L"2099-12-31T00:00:00Z";

// Every firmware rule answered "does not hold": the same for the honest run and the hostile ones.
LONG FirmwareRuleFails(void*, const wchar_t*, const wchar_t*, int) { return 1; }

// The end notifications of one transfer.
struct SEndRecord
{
    std::mutex mutex;
    size_t nEnds = 0;
    HRESULT hrEnd = S_OK;

    static long CALLBACK Callback(DWORD_PTR dwContext, DWORD dwCode, DWORD_PTR dwValue, DWORD)
    {
        if (dwCode != eMsgDownloadEnd)
            return 0;
        SEndRecord* pThis = reinterpret_cast<SEndRecord*>(dwContext);
        std::lock_guard<std::mutex> lock(pThis->mutex);
        ++pThis->nEnds;
        pThis->hrEnd = static_cast<HRESULT>(static_cast<DWORD>(dwValue));
        return 0;
    }
};

SHostileAnswer HonestAnswer(const std::string& strBody)
{
    SHostileAnswer answer;
    answer.strHead = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(strBody.size()) + "\r\n\r\n";
    answer.strBody = strBody;
    return answer;
}

std::string Sizes(const std::string& strGot, const std::string& strIntended)
{
    size_t nFirst = 0;
    while (nFirst < strGot.size() && nFirst < strIntended.size() && strGot[nFirst] == strIntended[nFirst])
        ++nFirst;
    return std::to_string(strGot.size()) + " bytes instead of " + std::to_string(strIntended.size()) +
           ", first difference at " + std::to_string(nFirst);
}

class CHttpFuzzTarget : public IFuzzTarget
{
public:
    const char* Name() const override { return "http"; }

    bool SetUp(const std::wstring& strCorpusDir, const std::wstring& strWorkDir, std::string& strError) override
    {
        // The published information files, signed again for a service of this process alone:
        // the machine-wide list of services in checking refuses a second check of one service.
        m_strService = L"fuzz-http-" + std::to_wstring(::GetCurrentProcessId());
        wchar_t szExe[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, szExe, MAX_PATH);
        std::wstring strKeyPath(szExe);
        strKeyPath = strKeyPath.substr(0, strKeyPath.find_last_of(L'\\') + 1) + kSigningKey;
        CUpdateSigningKey key;
        std::wstring strProblem;
        if (!key.LoadPemFile(strKeyPath, strProblem))
        {
            strError = "no signing key: " + WideToUtf8(strProblem);
            return false;
        }
        for (const std::string& seed : ReadCorpus(strCorpusDir, L".info"))
        {
            const size_t posBody = seed.find("\n\n");
            const size_t posDaid = seed.find("daid: ");
            if (posBody == std::string::npos || posDaid == std::string::npos)
            {
                strError = "a seed file has no header";
                return false;
            }
            const std::string body = seed.substr(posBody + 2);
            const std::wstring strDigestId = Utf8ToWide(seed.substr(posDaid + 6, 7));
            std::wstring strDigest;
            const ALG_ID algId = Fmt::DigestAlgorithm(strDigestId);
            if (algId != 0 && FAILED(Fmt::ComputeSaltedDigest(algId, reinterpret_cast<const BYTE*>(body.data()),
                                                              body.size(), m_strService, FUZZ_INFO_CATEGORY,
                                                              strDigest)))
            {
                strError = "cannot sign a seed";
                return false;
            }
            m_infoFiles.push_back(Fmt::BuildHeader(strDigestId, strDigest) + body);
            std::string strSignature;
            if (FAILED(key.SignatureFile(m_infoFiles.back(), FUZZ_INFO_CATEGORY, m_strService, kSignatureSerial,
                                         kSignatureExpires, strSignature)))
            {
                strError = "cannot make the signature of a seed";
                return false;
            }
            m_signatures.push_back(strSignature);
        }
        if (m_infoFiles.empty())
        {
            strError = "no seed files (*.info) in the corpus folder";
            return false;
        }
        if (!m_server.Start())
        {
            strError = "the loopback server does not start";
            return false;
        }
        m_strDownloadFolder = strWorkDir + L"\\dl";
        ::CreateDirectoryW(m_strDownloadFolder.c_str(), nullptr);
        m_downloader.reset(new CXHttpDownloader(0));
        m_downloader->SetTimeouts(kConnectTimeoutMs, kReceiveTimeoutMs);
        m_downloader->SetRetryPause(kRetryPauseMs);
        m_downloader->SetCallback(&SEndRecord::Callback, reinterpret_cast<DWORD_PTR>(&m_ends));

        m_manager.reset(new CZepUpdateInfoManagerImpl(strWorkDir + L"\\data"));
        m_manager->SetDownloadTimeouts(kConnectTimeoutMs, kReceiveTimeoutMs, kRetryPauseMs);
        m_manager->SetVersionCheckCallback(&FirmwareRuleFails, nullptr);
        return true;
    }

    bool SelfTest(std::string& strError) override
    {
        // Honest answers: every file comes down whole, every check ends well.
        for (size_t i = 0; i < m_infoFiles.size(); ++i)
        {
            std::map<std::string, std::vector<SHostileAnswer>> answers;
            const SHostileAnswer answer = HonestAnswer(m_infoFiles[i]);
            answers[InfoPath()] = {answer};
            answers[InfoPath() + ".sig"] = {HonestAnswer(m_signatures[i])};
            answers["/f/file.bin"] = {answer};
            m_server.SetAnswers(answers);
            long lResult = -1;
            HRESULT hr = Check(lResult);
            // The other lane may hold the lock of the machine-wide service list for a moment.
            for (int nTry = 0; hr == ZEP_E_SERVICE_BUSY && nTry < 100; ++nTry)
            {
                ::Sleep(10);
                hr = Check(lResult);
            }
            if (hr != S_OK)
            {
                strError = "the check of seed " + std::to_string(i) + " gives " + FuzzHResultText(hr);
                return false;
            }
            m_expected.push_back(lResult);
            std::string strFile;
            const HRESULT hrDownload = Download(0, strFile);
            if (hrDownload != S_OK || strFile != m_infoFiles[i])
            {
                strError = "the download of seed " + std::to_string(i) + " gives " + FuzzHResultText(hrDownload);
                return false;
            }
        }
        m_bSelfTested = true;
        return true;
    }

    std::string MakeInput(CFuzzRandom& rng) override { return "exchange " + std::to_string(rng.Next()); }

    void Run(CFuzzRandom&, const std::string& input, IFuzzReport& report) override
    {
        if (!m_bSelfTested)
        {
            // A process that starts mid-run still needs the honest results of the checks.
            std::string strError;
            if (!SelfTest(strError))
                return;
        }
        CFuzzRandom rng(_strtoui64(input.c_str() + input.find(' ') + 1, nullptr, 10));
        if (rng.Percent(25))
            RunCheck(rng, report);
        else
            RunDownload(rng, report);
    }

    void TearDown() override
    {
        m_manager.reset();
        m_downloader.reset();
        m_server.Stop();
    }

private:
    std::string InfoPath() const
    {
        return "/base/" + WideToUtf8(FUZZ_INFO_CATEGORY) + "/" + WideToUtf8(m_strService) + "/info/info.xml";
    }

    HRESULT Check(long& lResult)
    {
        CScopedBstr bstrService(m_strService), bstrModel(L"VM-Q3"), bstrCategory(FUZZ_INFO_CATEGORY),
            bstrVersion(L"2.0"), bstrStatus(L"0");
        ZEP_CURRENT_VERSION_INFO current = {};
        current.m_bstrModel = bstrModel;
        current.m_bstrCategory = bstrCategory;
        current.m_bstrCurrentVersion = bstrVersion;
        current.m_bstrLastUpdateStatus = bstrStatus;
        CScopedBstr bstrBase(L"http://127.0.0.1:" + std::to_wstring(m_server.Port()) + L"/base/");
        m_manager->SetBaseURL(bstrBase);
        const HRESULT hr = m_manager->CheckWhetherUpdateExists(bstrService, &current, &lResult);
        m_manager->Terminate();
        return hr;
    }

    HRESULT Download(DWORD dwOffset, std::string& strFile)
    {
        {
            std::lock_guard<std::mutex> lock(m_ends.mutex);
            m_ends.nEnds = 0;
            m_ends.hrEnd = S_OK;
        }
        HRESULT hr = m_downloader->Initialize(nullptr, nullptr, nullptr);
        if (FAILED(hr))
            return hr;
        m_downloader->SetDownloadFolder(m_strDownloadFolder.c_str());
        hr = m_downloader->Download(
            (L"http://127.0.0.1:" + std::to_wstring(m_server.Port()) + L"/f/file.bin").c_str(), dwOffset);
        m_downloader->CloseHandles();
        strFile.clear();
        ReadWholeFile(m_strDownloadFolder + L"\\file.bin", strFile);
        return hr;
    }

    void RunDownload(CFuzzRandom& rng, IFuzzReport& report)
    {
        // Mostly small files; now and then one of several blocks.
        size_t cbFile = rng.Percent(3) ? 0 : rng.Percent(30) ? rng.Between(1, 100) : rng.Between(100, 20000);
        if (rng.Percent(25))
            cbFile = rng.Between(20000, 200000);
        std::string strFile(cbFile, '\0');
        for (char& ch : strFile)
            ch = static_cast<char>(rng.Below(256));
        const SHostileExchange exchange = MakeHostileExchange(rng, "/f/file.bin", strFile, true, kReceiveTimeoutMs);

        const std::wstring strTarget = m_strDownloadFolder + L"\\file.bin";
        ::DeleteFileW(strTarget.c_str());
        if (exchange.bFileBefore)
            WriteWholeFileBytes(strTarget, exchange.strFileBefore);
        m_server.SetAnswers(exchange.answers);
        // The last line before a hang names the exchange that hung.
        fprintf(stderr, "download: %s\n", exchange.strWhat.c_str());
        std::string strGot;
        const HRESULT hr = Download(exchange.dwResumeOffset, strGot);
        report.Result("Download", hr);
        const bool bDocumented = (hr >= E_DL_BAD_TARGET && hr <= E_DL_CANCELED) ||
                                 IsOneOf(hr, {S_OK, E_INVALIDARG, E_OUTOFMEMORY, E_FAIL, E_UNEXPECTED});
        if (!bDocumented)
            report.Undocumented("Download", hr, exchange.strWhat);
        size_t nEnds;
        HRESULT hrEnd;
        {
            std::lock_guard<std::mutex> lock(m_ends.mutex);
            nEnds = m_ends.nEnds;
            hrEnd = m_ends.hrEnd;
        }
        if (nEnds != 1 || hrEnd != hr)
            report.Undocumented("Download", hr,
                                std::to_string(nEnds) + " end notifications, the last " + FuzzHResultText(hrEnd) +
                                    ": " + exchange.strWhat);
        if (hr != S_OK || strGot == exchange.strIntended)
            return;
        // A length the server declared is one the downloader can hold the body to. A body whose
        // end WinINet never saw declared can only be judged as the client judges every package:
        // by the size and digest the signed update information gives for the intended file.
        if (exchange.bLengthDeclared)
            report.Undocumented("Download", hr,
                                "complete with " + Sizes(strGot, exchange.strIntended) +
                                    " although the length was declared: " + exchange.strWhat);
        else if (ClientAcceptsPackage(strTarget, exchange.strIntended))
            report.Undocumented("Download", hr,
                                "complete with " + Sizes(strGot, exchange.strIntended) +
                                    ", and the size and digest accept it: " + exchange.strWhat);
        else
            report.Caught("transfers of a body whose end WinINet hides reported complete with other bytes, all "
                          "refused by the size and digest check");
    }

    void RunCheck(CFuzzRandom& rng, IFuzzReport& report)
    {
        const size_t nSeed = rng.Below(m_infoFiles.size());
        SHostileExchange exchange = MakeHostileExchange(rng, InfoPath(), m_infoFiles[nSeed], false, kReceiveTimeoutMs);
        // The signature beside it is honest: the hostile answers are the information file's.
        exchange.answers[InfoPath() + ".sig"] = {HonestAnswer(m_signatures[nSeed])};
        m_server.SetAnswers(exchange.answers);
        fprintf(stderr, "check: %s\n", exchange.strWhat.c_str());
        long lResult = -1;
        const HRESULT hr = Check(lResult);
        report.Result("CheckWhetherUpdateExists", hr);
        if (!IsOneOf(hr, {S_OK, ZEP_E_SERVICE_BUSY, ZEP_E_SERVICE_LIST, ZEP_E_INFO_FILE_INVALID,
                          ZEP_E_INFO_HEADER_INVALID, ZEP_E_INFO_DOWNLOAD_LOCAL,
                          ZEP_E_DOWNLOAD_LENGTH, ZEP_E_DOWNLOAD_NETWORK, ZEP_E_DOWNLOAD_TIMEOUT, ZEP_E_INFO_NOT_FOUND,
                          ZEP_E_DOWNLOAD_CANCELED, E_INVALIDARG, E_FAIL, E_OUTOFMEMORY, E_POINTER, E_UNEXPECTED}))
            report.Undocumented("CheckWhetherUpdateExists", hr, exchange.strWhat);
        if (hr == S_OK && exchange.strIntended == m_infoFiles[nSeed] && lResult != m_expected[nSeed])
            report.Undocumented("CheckWhetherUpdateExists", hr,
                                "answer " + std::to_string(lResult) + " instead of " +
                                    std::to_string(m_expected[nSeed]) + ": " + exchange.strWhat);
    }

    std::wstring m_strService;
    std::vector<std::string> m_infoFiles;
    std::vector<std::string> m_signatures;
    std::vector<long> m_expected;
    bool m_bSelfTested = false;
    CHostileHttpServer m_server;
    std::wstring m_strDownloadFolder;
    SEndRecord m_ends;
    std::unique_ptr<CXHttpDownloader> m_downloader;
    std::unique_ptr<CZepUpdateInfoManagerImpl> m_manager;
};
}  // namespace

std::unique_ptr<IFuzzTarget> CreateHttpFuzzTarget()
{
    return std::unique_ptr<IFuzzTarget>(new CHttpFuzzTarget);
}
