#pragma once
// One kind of untrusted file and the code that reads it: makes the mutated inputs and runs
// them, reporting every result outside the documented set of the API that returned it.
#include <windows.h>
#include <string>
#include <vector>

#include "tools/fuzz/fuzz_random.h"

class IFuzzReport
{
public:
    virtual ~IFuzzReport() = default;
    // Counts one call's result for the run's summary (e.g. "Load", 0x80044301).
    virtual void Result(const char* pszApi, HRESULT hr) = 0;
    // A result outside the documented set, or a broken promise of the API; the input is kept.
    virtual void Undocumented(const char* pszApi, HRESULT hr, const std::string& strDetail) = 0;
    // A wrong result of the API that the checks after it refuse, as the system relies on them
    // to: counted for the summary (e.g. "file cut, refused by size and digest"), not a finding.
    virtual void Caught(const std::string& strWhat) = 0;
};

class IFuzzTarget
{
public:
    virtual ~IFuzzTarget() = default;
    virtual const char* Name() const = 0;
    // Reads the valid seed files of this kind from strCorpusDir; strWorkDir is a private
    // scratch folder. False, with the reason, when the target cannot run.
    virtual bool SetUp(const std::wstring& strCorpusDir, const std::wstring& strWorkDir, std::string& strError) = 0;
    // Runs every seed unmutated: they must all be accepted. False, with the reason, otherwise.
    virtual bool SelfTest(std::string& strError) = 0;
    // Input number n, made from its own generator.
    virtual std::string MakeInput(CFuzzRandom& rng) = 0;
    // Feeds one input through the reader and what follows it.
    virtual void Run(CFuzzRandom& rng, const std::string& input, IFuzzReport& report) = 0;
    virtual void TearDown() = 0;
};

// Files of a folder whose names end in strSuffix, in name order.
std::vector<std::string> ReadCorpus(const std::wstring& strDir, const wchar_t* pszSuffix);
bool WriteWholeFileBytes(const std::wstring& strPath, const std::string& data);
// "0x8004xxxx"
std::string FuzzHResultText(HRESULT hr);
// Whether hr is one of the listed results.
bool IsOneOf(HRESULT hr, std::initializer_list<HRESULT> results);
