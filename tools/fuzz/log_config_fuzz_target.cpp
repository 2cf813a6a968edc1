#include "tools/fuzz/log_config_fuzz_target.h"

#include "oplogsys/oplogsys.h"
#include "tools/fuzz/mutator.h"

namespace
{
const char* const kVocabulary[] = {
    "FACTORY", "FILTERLIST", "FILTER", "name", "class", "location", "autoflush", "subject", "minLevel", "maxLevel",
    "IOutputLogSystemFactory", "opLogSys::File::COutputLogSystemFactory", "opLogSys::Null::COutputLogSystemFactory",
    "opLogSys::Ods::COutputLogSystemFactory", "current", "desktop", ".", ".\\..\\..", "C:\\Logs", "true",
    "ZepBackend_Library", "HttpDownloader", "ZepMini_Application", "0", "1", "10", "-1", "2147483647",
    "<FILTER subject=\"ZepBackend_Library\" minLevel=\"0\" maxLevel=\"10\"/>", "<FILTERLIST/>", "<FACTORY/>",
    "<FACTORY name=\"IOutputLogSystemFactory\" class=\"opLogSys::File::COutputLogSystemFactory\"/>",
};

class CLogConfigFuzzTarget : public IFuzzTarget
{
public:
    const char* Name() const override { return "logconfig"; }

    bool SetUp(const std::wstring& strCorpusDir, const std::wstring& strWorkDir, std::string& strError) override
    {
        m_seeds = ReadCorpus(strCorpusDir, L".log.xml");
        if (m_seeds.empty())
        {
            strError = "no seed files (*.log.xml) in the corpus folder";
            return false;
        }
        m_vocabulary.assign(std::begin(kVocabulary), std::end(kVocabulary));
        m_mutator.reset(new CMutator(m_seeds, m_vocabulary));
        m_strPath = strWorkDir + L"\\Fuzz.log.xml";
        return true;
    }

    bool SelfTest(std::string& strError) override
    {
        for (size_t i = 0; i < m_seeds.size(); ++i)
        {
            WriteWholeFileBytes(m_strPath, m_seeds[i]);
            opLogSys::CLogSysInfoFromXML* pInfo = new opLogSys::CLogSysInfoFromXML(m_strPath.c_str());
            opLogSys::ILogFilter* pFilter = pInfo->GetFilter();
            const bool bFilters = pFilter && pFilter->HasFilters() == S_OK;
            if (pFilter)
                pFilter->Release();
            pInfo->Release();
            if (!bFilters)
            {
                strError = "seed " + std::to_string(i) + " gives no filters";
                return false;
            }
        }
        return true;
    }

    std::string MakeInput(CFuzzRandom& rng) override
    {
        return m_mutator->Mutate(rng, m_seeds[rng.Below(m_seeds.size())]);
    }

    void Run(CFuzzRandom&, const std::string& input, IFuzzReport& report) override
    {
        if (!WriteWholeFileBytes(m_strPath, input))
            return;
        // Constructing reads the file; whatever it holds, the result is a usable configuration.
        opLogSys::CLogSysInfoFromXML* pInfo = new opLogSys::CLogSysInfoFromXML(m_strPath.c_str());
        opLogSys::IOutputLogSystemFactory* pFactory = pInfo->GetFactory();
        if (!pFactory)
            report.Undocumented("GetFactory", E_POINTER, "no factory");
        else if (!dynamic_cast<opLogSys::File::COutputLogSystemFactory*>(pFactory) &&
                 !dynamic_cast<opLogSys::Null::COutputLogSystemFactory*>(pFactory) &&
                 !dynamic_cast<opLogSys::Ods::COutputLogSystemFactory*>(pFactory))
            report.Undocumented("GetFactory", S_OK, "a factory of an unknown class");
        if (pFactory)
            pFactory->Release();

        opLogSys::ILogFilter* pFilter = pInfo->GetFilter();
        if (!pFilter)
        {
            report.Undocumented("GetFilter", E_POINTER, "no filter");
        }
        else
        {
            HRESULT hr = pFilter->HasFilters();
            report.Result("HasFilters", hr);
            if (!IsOneOf(hr, {S_OK, E_FAIL}))
                report.Undocumented("HasFilters", hr, std::string());
            for (const wchar_t* pszSubject : {L"ZepBackend_Library", L"HttpDownloader", L""})
            {
                for (long nLevel : {0L, 1L, -1L, 0x7FFFFFFFL})
                {
                    hr = pFilter->IsEnabled(pszSubject, nLevel);
                    report.Result("IsEnabled", hr);
                    if (!IsOneOf(hr, {S_OK, E_FAIL}))
                        report.Undocumented("IsEnabled", hr, std::string());
                }
            }
            pFilter->Release();
        }
        pInfo->Release();
    }

    void TearDown() override {}

private:
    std::vector<std::string> m_seeds;
    std::vector<std::string> m_vocabulary;
    std::unique_ptr<CMutator> m_mutator;
    std::wstring m_strPath;
};
}  // namespace

std::unique_ptr<IFuzzTarget> CreateLogConfigFuzzTarget()
{
    return std::unique_ptr<IFuzzTarget>(new CLogConfigFuzzTarget);
}
