#pragma once
// What one driver process found: the count of every call's result, and the inputs that gave an
// undocumented result (a few per API and result), each with a line in <kind>.log in the findings
// folder, which tools/fuzz.sh counts.
#include <windows.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "tools/fuzz/fuzz_target.h"

class CFuzzFindings : public IFuzzReport
{
public:
    CFuzzFindings(const std::wstring& strFolder, const std::string& strKind);

    // The input that the next reports are about.
    void StartInput(uint64_t nIndex, const std::string* pInput);

    void Result(const char* pszApi, HRESULT hr) override;
    void Undocumented(const char* pszApi, HRESULT hr, const std::string& strDetail) override;
    void Caught(const std::string& strWhat) override;

    size_t UndocumentedInputs() const { return m_inputsWithFindings.size(); }
    // "API result" -> number of calls.
    const std::map<std::string, size_t>& Counts() const { return m_counts; }
    // What -> number of inputs.
    const std::map<std::string, size_t>& CaughtCounts() const { return m_caught; }

private:
    static const size_t kInputsKeptPerSignature = 5;

    void AppendLog(const std::string& strLine);

    std::wstring m_strFolder;
    std::string m_strKind;
    uint64_t m_nIndex = 0;
    const std::string* m_pInput = nullptr;
    bool m_bInputKept = false;
    std::set<uint64_t> m_inputsWithFindings;
    std::map<std::string, size_t> m_signatures;
    std::map<std::string, size_t> m_counts;
    std::map<std::string, size_t> m_caught;
};
