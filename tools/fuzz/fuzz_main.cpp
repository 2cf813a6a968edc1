// fuzz_driver.exe: feeds mutated files through the code that reads untrusted files, many inputs
// per process. Input n of a kind depends only on the seed, the kind and n, so a run that ended
// in a crash or a hang goes on from n + 1 in a new process, and any input can be written out
// again on its own (--write-input). Driven by tools/fuzz.sh.
#include <windows.h>
#include <wincrypt.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "common/com_init.h"
#include "common/file_util.h"
#include "common/string_util.h"
#include "common/testing/registry_sandbox.h"
#include "common/unique_resource.h"
#include "tools/fuzz/fuzz_findings.h"
#include "tools/fuzz/fuzz_target.h"
#include "tools/fuzz/http_fuzz_target.h"
#include "tools/fuzz/info_fuzz_target.h"
#include "tools/fuzz/info_signature_fuzz_target.h"
#include "tools/fuzz/log_config_fuzz_target.h"
#include "tools/fuzz/settings_fuzz_target.h"

namespace
{
enum DriverExit
{
    eExitDone = 0,
    eExitUsage = 2,
    eExitSetUpFailed = 4,
    eExitCrash = 70,
    eExitHang = 75,
};

struct Options
{
    std::wstring strKind;
    uint64_t seed = 1;
    uint64_t first = 0;
    uint64_t count = 0;
    bool bWriteInput = false;
    uint64_t writeIndex = 0;
    std::wstring strOut;
    std::wstring strRunFile;
    std::wstring strCorpus;
    std::wstring strWork;
    std::wstring strFindings;
    DWORD dwTimeoutMs = 5000;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options)
{
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const std::wstring strName = argv[i];
        const std::wstring strValue = argv[i + 1];
        if (strName == L"--kind")
            options.strKind = strValue;
        else if (strName == L"--seed")
            options.seed = _wcstoui64(strValue.c_str(), nullptr, 10);
        else if (strName == L"--first")
            options.first = _wcstoui64(strValue.c_str(), nullptr, 10);
        else if (strName == L"--count")
            options.count = _wcstoui64(strValue.c_str(), nullptr, 10);
        else if (strName == L"--write-input")
        {
            options.bWriteInput = true;
            options.writeIndex = _wcstoui64(strValue.c_str(), nullptr, 10);
        }
        else if (strName == L"--out")
            options.strOut = strValue;
        else if (strName == L"--run-file")
            options.strRunFile = strValue;
        else if (strName == L"--corpus")
            options.strCorpus = strValue;
        else if (strName == L"--work")
            options.strWork = strValue;
        else if (strName == L"--findings")
            options.strFindings = strValue;
        else if (strName == L"--timeout-ms")
            options.dwTimeoutMs = static_cast<DWORD>(_wtoi(strValue.c_str()));
        else
            return false;
    }
    if (argc % 2 == 0 || options.strKind.empty() || options.strCorpus.empty() || options.strWork.empty())
        return false;
    if (options.bWriteInput)
        return !options.strOut.empty();
    return !options.strFindings.empty();
}

// The kinds; the number is part of every input's seed.
const struct
{
    const wchar_t* pszKind;
    uint32_t nKind;
    std::unique_ptr<IFuzzTarget> (*pfnCreate)();
} kTargets[] = {
    {L"info", 1, &CreateInfoFuzzTarget},
    {L"settings", 2, &CreateSettingsFuzzTarget},
    {L"logconfig", 3, &CreateLogConfigFuzzTarget},
    {L"http", 4, &CreateHttpFuzzTarget},
    {L"infosig", 5, &CreateInfoSignatureFuzzTarget},
};

std::unique_ptr<IFuzzTarget> CreateTarget(const std::wstring& strKind, uint32_t& nKind)
{
    for (const auto& target : kTargets)
    {
        if (strKind == target.pszKind)
        {
            nKind = target.nKind;
            return target.pfnCreate();
        }
    }
    return nullptr;
}

// The index of the input in progress, in a file that outlives a crash of this process.
class CProgressFile
{
public:
    bool Open(const std::wstring& strPath)
    {
        m_file.Reset(::CreateFileW(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        return m_file.IsValid();
    }
    void Write(uint64_t nIndex)
    {
        char sz[24];
        const int cch = snprintf(sz, sizeof(sz), "%-20llu\n", static_cast<unsigned long long>(nIndex));
        DWORD cbWritten = 0;
        ::SetFilePointer(m_file.Get(), 0, nullptr, FILE_BEGIN);
        ::WriteFile(m_file.Get(), sz, static_cast<DWORD>(cch), &cbWritten, nullptr);
    }

private:
    UniqueHandle m_file;
};

// Ends the process when one input runs longer than the limit: a hang is a finding, and the
// driver is started again after it. The limit grows with the input's size (3 s per MiB): parsing
// and saving a file of several megabytes takes seconds under Wine without any fault.
std::atomic<ULONGLONG> g_ullInputStart{0};
std::atomic<uint64_t> g_nCurrentIndex{0};
std::atomic<ULONGLONG> g_ullInputLimitMs{5000};
DWORD g_dwTimeoutMs = 5000;
// The counts of the calls made so far, printed before the process is ended for a hang (the
// main thread is stuck in the input and no longer touches them).
const CFuzzFindings* g_pFindings = nullptr;
const char* g_pszKind = "";

void PrintCounts(const CFuzzFindings& findings, const char* pszKind)
{
    for (const auto& count : findings.Counts())
        printf("result %s %zu %s\n", pszKind, count.second, count.first.c_str());
    for (const auto& caught : findings.CaughtCounts())
        printf("caught %s %zu %s\n", pszKind, caught.second, caught.first.c_str());
    fflush(stdout);
}

DWORD WINAPI WatchdogThread(void*)
{
    for (;;)
    {
        ::Sleep(200);
        const ULONGLONG ullStart = g_ullInputStart.load();
        const ULONGLONG ullLimit = g_ullInputLimitMs.load();
        if (ullStart != 0 && ::GetTickCount64() - ullStart > ullLimit)
        {
            fprintf(stderr, "hang: input %llu still running after %llu ms\n",
                    static_cast<unsigned long long>(g_nCurrentIndex.load()), ullLimit);
            fflush(stderr);
            if (g_pFindings)
                PrintCounts(*g_pFindings, g_pszKind);
            ::TerminateProcess(::GetCurrentProcess(), eExitHang);
        }
    }
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pInfo)
{
    fprintf(stderr, "crash: input %llu, exception 0x%08lX at %p\n",
            static_cast<unsigned long long>(g_nCurrentIndex.load()),
            static_cast<unsigned long>(pInfo->ExceptionRecord->ExceptionCode), pInfo->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), eExitCrash);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Sandbox keys of earlier drivers that did not live to remove them (their process is gone).
void RemoveStaleSandboxes()
{
    UniqueHKey root;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, zeptest::kSandboxRoot, 0, KEY_READ | KEY_WRITE, root.Receive()) !=
        ERROR_SUCCESS)
        return;
    std::vector<std::wstring> stale;
    for (DWORD i = 0;; ++i)
    {
        wchar_t szName[256];
        DWORD cch = ARRAYSIZE(szName);
        if (::RegEnumKeyExW(root.Get(), i, szName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (wcsncmp(szName, L"fuzz_", 5) != 0)
            continue;
        UniqueHandle owner(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(_wtoi(szName + 5))));
        if (!owner || ::WaitForSingleObject(owner.Get(), 0) == WAIT_OBJECT_0)
            stale.push_back(szName);
    }
    for (const std::wstring& name : stale)
        ::RegDeleteTreeW(root.Get(), name.c_str());
}

int Run(const Options& options)
{
    uint32_t nKind = 0;
    std::unique_ptr<IFuzzTarget> target = CreateTarget(options.strKind, nKind);
    if (!target)
    {
        fprintf(stderr, "fuzz_driver: unknown kind\n");
        return eExitUsage;
    }
    std::string strError;
    if (!target->SetUp(options.strCorpus, options.strWork, strError))
    {
        fprintf(stderr, "fuzz_driver: %s: %s\n", target->Name(), strError.c_str());
        return eExitSetUpFailed;
    }

    if (options.bWriteInput)
    {
        CFuzzRandom rng(FuzzInputSeed(options.seed, nKind, options.writeIndex));
        const std::string input = target->MakeInput(rng);
        target->TearDown();
        return WriteWholeFileBytes(options.strOut, input) ? eExitDone : eExitSetUpFailed;
    }

    if (!options.strRunFile.empty())
    {
        // One file, e.g. a finding, run on its own with the generator of input 0.
        std::string input;
        if (ReadWholeFile(options.strRunFile, input) != ERROR_SUCCESS)
        {
            fprintf(stderr, "fuzz_driver: cannot read the file\n");
            return eExitSetUpFailed;
        }
        CFuzzFindings findings(options.strFindings, target->Name());
        CFuzzRandom rng(FuzzInputSeed(options.seed, nKind, 0));
        const ULONGLONG ullStart = ::GetTickCount64();
        target->Run(rng, input, findings);
        const ULONGLONG ullTook = ::GetTickCount64() - ullStart;
        target->TearDown();
        PrintCounts(findings, target->Name());
        printf("ran %s in %llu ms, undocumented results %zu\n", target->Name(),
               static_cast<unsigned long long>(ullTook), findings.UndocumentedInputs());
        return eExitDone;
    }

    // Only the first process of a run checks the seeds: every later one starts mid-run.
    if (options.first == 0 && !target->SelfTest(strError))
    {
        fprintf(stderr, "fuzz_driver: %s: self-test failed: %s\n", target->Name(), strError.c_str());
        target->TearDown();
        return eExitSetUpFailed;
    }

    CProgressFile progress;
    if (!progress.Open(options.strWork + L"\\" + options.strKind + L".progress"))
    {
        fprintf(stderr, "fuzz_driver: cannot write the progress file\n");
        return eExitSetUpFailed;
    }
    CFuzzFindings findings(options.strFindings, target->Name());
    g_dwTimeoutMs = options.dwTimeoutMs;
    g_pFindings = &findings;
    g_pszKind = target->Name();
    UniqueHandle watchdog(::CreateThread(nullptr, 0, &WatchdogThread, nullptr, 0, nullptr));

    const ULONGLONG ullBegin = ::GetTickCount64();
    ULONGLONG ullMaking = 0;
    std::multimap<ULONGLONG, uint64_t> slowest;  // the few slowest inputs: time -> index
    for (uint64_t n = options.first; n < options.first + options.count; ++n)
    {
        progress.Write(n);
        const ULONGLONG ullMake = ::GetTickCount64();
        CFuzzRandom rng(FuzzInputSeed(options.seed, nKind, n));
        const std::string input = target->MakeInput(rng);
        findings.StartInput(n, &input);
        g_nCurrentIndex = n;
        g_ullInputLimitMs = g_dwTimeoutMs + input.size() * 3000 / (1 << 20);
        const ULONGLONG ullStart = ::GetTickCount64();
        ullMaking += ullStart - ullMake;
        g_ullInputStart = ullStart;
        target->Run(rng, input, findings);
        g_ullInputStart = 0;
        slowest.emplace(::GetTickCount64() - ullStart, n);
        if (slowest.size() > 3)
            slowest.erase(slowest.begin());
    }
    g_pFindings = nullptr;
    target->TearDown();

    PrintCounts(findings, target->Name());
    std::string strSlowest;
    for (auto it = slowest.rbegin(); it != slowest.rend(); ++it)
        strSlowest += " " + std::to_string(it->second) + ":" + std::to_string(it->first) + "ms";
    printf("done %s %llu..%llu undocumented-inputs %zu ms %llu making-inputs-ms %llu slowest%s\n", target->Name(),
           static_cast<unsigned long long>(options.first),
           static_cast<unsigned long long>(options.first + options.count - 1), findings.UndocumentedInputs(),
           static_cast<unsigned long long>(::GetTickCount64() - ullBegin), static_cast<unsigned long long>(ullMaking),
           strSlowest.c_str());
    fflush(stdout);
    return eExitDone;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::SetUnhandledExceptionFilter(&CrashFilter);
    Options options;
    if (!ParseOptions(argc, argv, options))
    {
        fprintf(stderr,
                "usage: fuzz_driver --kind info|settings|logconfig|http|infosig --seed S --corpus DIR --work DIR\n"
                "                   (--first I --count N --findings DIR [--timeout-ms MS]\n"
                "                    | --write-input I --out FILE | --run-file FILE --findings DIR)\n");
        return eExitUsage;
    }
    RemoveStaleSandboxes();
    zeptest::BeginRegistrySandbox(L"fuzz_" + std::to_wstring(::GetCurrentProcessId()));
    int nExit = eExitSetUpFailed;
    {
        // Every digest acquires and releases a provider context; one held for the whole run
        // keeps the provider's DLL loaded in between, which triples the inputs per second.
        UniqueCryptProv heldProvider;
        ::CryptAcquireContextW(heldProvider.Receive(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT);
        CComInitScope com;
        nExit = Run(options);
    }
    zeptest::EndRegistrySandbox();
    return nExit;
}
