#include "tools/fuzz/info_signature_fuzz_target.h"

#include "common/string_util.h"
#include "tools/fuzz/info_fuzz_target.h"
#include "tools/fuzz/mutator.h"
#include "update/info/info_signature.h"
#include "update/info/trusted_update_keys.h"

namespace
{
const char* const kVocabulary[] = {
    "key:", "serial:", "expires:", "signature:", "key: ", "\n", "\r\n", " ", "\t", ":", "=", "==", "+", "/",
    "0", "1", "9223372036854775807", "9223372036854775808", "18446744073709551615", "-1", "00",
    "2099-12-31T23:59:59Z", "2001-01-01T00:00:00Z", "2024-02-30T00:00:00Z", "9999-12-31T23:59:59Z", "0000-00-00T00:00:00Z",
    "0123456789abcdef", "MEUCIQ", "MEQCI", "AAAA", "MAYCAQECAQE=", "\xEF\xBB\xBF", "\xFF", "velomar-update-info-v1",
};

class CInfoSignatureFuzzTarget : public IFuzzTarget
{
public:
    const char* Name() const override { return "infosig"; }

    bool SetUp(const std::wstring& strCorpusDir, const std::wstring&, std::string& strError) override
    {
        const std::vector<std::string> infos = ReadCorpus(strCorpusDir, L".info");
        m_signatures = ReadCorpus(strCorpusDir, L".sig");
        if (infos.empty() || infos.size() != m_signatures.size())
        {
            strError = "the corpus needs one X.sig for each X.info";
            return false;
        }
        for (size_t i = 0; i < infos.size(); ++i)
        {
            m_infos.push_back(infos[i]);
            InfoSignature::Fields fields;
            std::wstring strProblem;
            if (!InfoSignature::Parse(m_signatures[i], fields, strProblem))
            {
                strError = "seed signature " + std::to_string(i) + " does not parse";
                return false;
            }
            m_fields.push_back(fields);
        }
        m_vocabulary.assign(std::begin(kVocabulary), std::end(kVocabulary));
        m_mutator.reset(new CMutator(m_signatures, m_vocabulary));
        return true;
    }

    bool SelfTest(std::string& strError) override
    {
        for (size_t i = 0; i < m_infos.size(); ++i)
        {
            InfoSignature::Outcome outcome;
            if (FAILED(Check(i, m_signatures[i], outcome)) || outcome.eVerdict != InfoSignature::EVerdict::Valid)
            {
                strError = "seed " + std::to_string(i) + " is not accepted: " + WideToUtf8(outcome.strDiagnosis);
                return false;
            }
        }
        return true;
    }

    std::string MakeInput(CFuzzRandom& rng) override
    {
        const size_t nSeed = rng.Below(m_signatures.size());
        // The seed number goes first, so that a kept input can be run again against its file.
        return std::string(1, static_cast<char>(nSeed)) + m_mutator->Mutate(rng, m_signatures[nSeed]);
    }

    void Run(CFuzzRandom&, const std::string& input, IFuzzReport& report) override
    {
        if (input.empty())
            return;
        const size_t nSeed = static_cast<unsigned char>(input[0]) % m_infos.size();
        const std::string strSignature = input.substr(1);
        InfoSignature::Outcome outcome;
        const HRESULT hr = Check(nSeed, strSignature, outcome);
        report.Result("Check", hr);
        if (hr != S_OK)
        {
            report.Undocumented("Check", hr, "the check itself failed");
            return;
        }
        report.Result(VerdictName(outcome.eVerdict), S_OK);
        if (outcome.eVerdict != InfoSignature::EVerdict::Valid)
            return;
        // Accepted: it must carry exactly what was signed, however its lines are written.
        InfoSignature::Fields fields;
        std::wstring strProblem;
        const InfoSignature::Fields& seed = m_fields[nSeed];
        if (!InfoSignature::Parse(strSignature, fields, strProblem) || fields.strKeyId != seed.strKeyId ||
            fields.ullSerial != seed.ullSerial || fields.strExpires != seed.strExpires || fields.der != seed.der)
            report.Undocumented("Check", hr, "accepted a signature it was not given");
    }

    void TearDown() override {}

private:
    HRESULT Check(size_t nSeed, const std::string& strSignature, InfoSignature::Outcome& outcome) const
    {
        InfoSignature::Request request;
        request.pInfo = &m_infos[nSeed];
        request.pSignature = &strSignature;
        request.strService = FUZZ_INFO_SERVICE;
        request.strCategory = FUZZ_INFO_CATEGORY;
        ::GetSystemTimeAsFileTime(&request.ftNow);
        request.pKeys = &TrustedUpdateKeys();
        return InfoSignature::Check(request, outcome);
    }

    static const char* VerdictName(InfoSignature::EVerdict eVerdict)
    {
        switch (eVerdict)
        {
        case InfoSignature::EVerdict::Valid:
            return "verdict valid";
        case InfoSignature::EVerdict::Malformed:
            return "verdict malformed";
        case InfoSignature::EVerdict::UnknownKey:
            return "verdict unknown key";
        case InfoSignature::EVerdict::BadSignature:
            return "verdict bad signature";
        case InfoSignature::EVerdict::Expired:
            return "verdict expired";
        default:
            return "verdict other";
        }
    }

    std::vector<std::string> m_infos;
    std::vector<std::string> m_signatures;
    std::vector<InfoSignature::Fields> m_fields;
    std::vector<std::string> m_vocabulary;
    std::unique_ptr<CMutator> m_mutator;
};
}  // namespace

std::unique_ptr<IFuzzTarget> CreateInfoSignatureFuzzTarget()
{
    return std::unique_ptr<IFuzzTarget>(new CInfoSignatureFuzzTarget);
}
