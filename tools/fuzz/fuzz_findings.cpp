#include "tools/fuzz/fuzz_findings.h"

#include "common/string_util.h"
#include "common/unique_resource.h"

CFuzzFindings::CFuzzFindings(const std::wstring& strFolder, const std::string& strKind)
    : m_strFolder(strFolder), m_strKind(strKind)
{
}

void CFuzzFindings::StartInput(uint64_t nIndex, const std::string* pInput)
{
    m_nIndex = nIndex;
    m_pInput = pInput;
    m_bInputKept = false;
}

void CFuzzFindings::Result(const char* pszApi, HRESULT hr)
{
    ++m_counts[std::string(pszApi) + " " + FuzzHResultText(hr)];
}

void CFuzzFindings::Caught(const std::string& strWhat)
{
    ++m_caught[strWhat];
}

void CFuzzFindings::Undocumented(const char* pszApi, HRESULT hr, const std::string& strDetail)
{
    m_inputsWithFindings.insert(m_nIndex);
    const std::string strSignature = std::string(pszApi) + " " + FuzzHResultText(hr);
    const bool bKeep = ++m_signatures[strSignature] <= kInputsKeptPerSignature;
    std::string strFile;
    if (bKeep && m_pInput && !m_bInputKept)
    {
        strFile = m_strKind + "-" + std::to_string(m_nIndex) + "-undocumented.bin";
        WriteWholeFileBytes(m_strFolder + L"\\" + Utf8ToWide(strFile), *m_pInput);
        m_bInputKept = true;
    }
    std::string strDetailLine = strDetail.substr(0, 400);
    for (char& ch : strDetailLine)
    {
        if (ch == '\n' || ch == '\r')
            ch = ' ';
    }
    AppendLog("undocumented " + std::to_string(m_nIndex) + " " + strSignature +
              (strFile.empty() ? std::string() : " input=" + strFile) +
              (strDetailLine.empty() ? std::string() : " : " + strDetailLine));
}

void CFuzzFindings::AppendLog(const std::string& strLine)
{
    // Both lanes append to the same log.
    UniqueHandle file(::CreateFileW((m_strFolder + L"\\" + Utf8ToWide(m_strKind) + L".log").c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!file)
        return;
    const std::string strData = strLine + "\n";
    DWORD cbWritten = 0;
    ::WriteFile(file.Get(), strData.data(), static_cast<DWORD>(strData.size()), &cbWritten, nullptr);
}
