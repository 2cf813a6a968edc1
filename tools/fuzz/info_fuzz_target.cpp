#include "tools/fuzz/info_fuzz_target.h"

#include "common/com_init.h"
#include "common/registry.h"
#include "common/string_util.h"
#include "tools/fuzz/mutator.h"
#include "update/info/info_file_format.h"
#include "update/info/rule_operators.h"
#include "update/info/zep_update_info_analyzer.h"
#include "update/info/zep_update_info_errors.h"

namespace
{
namespace Fmt = InfoFileFormat;

// Names and values of the information file, for tokens and attribute values.
const char* const kVocabulary[] = {
    "InformationFile", "Noop", "ApplyConditions", "ApplyCondition", "Force", "Rules", "Rule", "Type", "Key", "Value",
    "Operator", "Descriptions", "DefaultLang", "Description", "Lang", "Distributions", "Package", "ID", "Version",
    "URI", "MAC", "Size", "ControlConditions", "DefaultServiceStatus", "ControlCondition", "Model", "ServiceStatus",
    "Extensions", "Extension", "true", "false", "open", "manual-only", "close", "Software", "System", "Registry",
    "Extended", "OSName", "OSVersion", "OSEdition", "OSServicePack", "Nation", "Language", "SerialNo",
    "ClientVersion", "ProductionMode", "FirmwareVersion", "Equal", "NotEqual", "LessThan", "LessThanEqual",
    "GreaterThan", "GreaterThanEqual", "StartWith", "NotStartWith", "EndWith", "NotEndWith", "Include", "Exclude",
    "Exist", "NotExist", "VM-Q3", "VM-Q1", "en", "ja", "region-eu", "2.0", "1.10", "Windows",
    "Orvo Corporation\\Velomar Launcher\\Version\\Build", "A\\B", "A\\B\\C\\D\\E\\V", "\\\\\\", "Software\\Microsoft",
    "<Rule Type=\"System\" Key=\"Model\" Value=\"VM-Q3\" Operator=\"Equal\"/>",
    "<Rule Type=\"System\" Key=\"FirmwareVersion\" Value=\"9\" Operator=\"LessThan\"/>",
    "<Rule Type=\"Extended\" Key=\"\" Value=\"eu\" Operator=\"Equal\"/>", "<Rule/>",
    "<ApplyCondition Force=\"true\"><Rules><Rule Type=\"Software\" Key=\"VM-Q3\" Value=\"\" Operator=\"StartWith\"/>"
    "</Rules></ApplyCondition>",
    "<Descriptions DefaultLang=\"xx\"/>", "<Description Lang=\"en\"/>", "<Distributions/>",
    "<Package ID=\"a\" Version=\"1\" URI=\"u\" MAC=\"m\" Size=\"1\"/>", "<Extension Key=\"region-eu\"/>",
    "<ControlCondition Model=\"VM-Q3\"/>", "<ControlConditions/>",
    // header pieces, for the raw mutants
    "eaid:", "daid:", "digest:", "ENC0001", "enc0001", "ENC0002", "HAS0001", "HAS0002", "HAS0003", "has0003",
    "HAS0004", "\n\n", "\r\n\r\n", "\n", "\r\n", "eaid: ENC0001\ndaid: HAS0001\ndigest: \n\n",
};

// The facts of the clients the files are evaluated for: an ordinary one, one without any OS
// facts, and one whose texts need quoting in XPath.
ClientFacts MakeFacts(size_t nVariant)
{
    ClientFacts facts;
    facts.m_strClientVersion = L"1.0";
    switch (nVariant)
    {
    case 0:
        facts.m_strModel = L"VM-Q3";
        facts.m_strOSName = L"Windows";
        facts.m_strOSVersion = L"6.1";
        facts.m_strOSEdition = L"Professional";
        facts.m_strOSServicePack = L"Service Pack 1";
        facts.m_strNation = L"JP";
        facts.m_strLanguage = L"ja";
        facts.m_strCurrentVersion = L"2.0";
        facts.m_strSerialNumber = L"SN0001";
        facts.m_strExtensionKey = L"region-eu";
        facts.m_strProductionMode = L"Release";
        break;
    case 1:
        facts.m_strModel = L"VM-Q1";
        facts.m_strCurrentVersion = L"";
        facts.m_strProductionMode = L"Debug";
        break;
    default:
        facts.m_strModel = L"VM\"Q'3";
        facts.m_strLanguage = L"en\"'";
        facts.m_strCurrentVersion = L"1.10";
        facts.m_strExtensionKey = L"region\"jp'";
        facts.m_strProductionMode = L"Release";
        break;
    }
    return facts;
}

// What the update client answers for a firmware rule: the operator in version order.
LONG CompareFirmware(void*, const wchar_t* pszCurrent, const wchar_t* pszRule, int nRule)
{
    const wchar_t* pszOperator = RuleOperators::OperatorName(nRule);
    return pszOperator && RuleOperators::Evaluate(pszCurrent, pszRule, pszOperator) ? 0 : 1;
}

// Whether a file's header names a digest that verifies for its body (or no digest at all):
// the only files the loader may accept.
bool DigestVerifies(const std::string& file)
{
    size_t cbHeader = 0;
    std::wstring strHeader;
    Fmt::HeaderValues values;
    if (!Fmt::FindHeaderEnd(reinterpret_cast<const BYTE*>(file.data()), file.size(), cbHeader) ||
        FAILED(Fmt::DecodeUtf8Strict(reinterpret_cast<const BYTE*>(file.data()), cbHeader, strHeader)) ||
        !Fmt::SplitHeader(strHeader, values))
        return false;
    if (EqualsNoCase(values.m_strDigestId, Fmt::kDigestNone))
        return true;
    const ALG_ID algId = Fmt::DigestAlgorithm(values.m_strDigestId);
    std::wstring strExpected;
    return algId != 0 &&
           SUCCEEDED(Fmt::ComputeSaltedDigest(algId, reinterpret_cast<const BYTE*>(file.data()) + cbHeader,
                                              file.size() - cbHeader, FUZZ_INFO_SERVICE, FUZZ_INFO_CATEGORY,
                                              strExpected)) &&
           EqualsNoCase(values.m_strDigest, strExpected);
}

class CInfoFuzzTarget : public IFuzzTarget
{
public:
    const char* Name() const override { return "info"; }

    bool SetUp(const std::wstring& strCorpusDir, const std::wstring& strWorkDir, std::string& strError) override
    {
        m_seeds = ReadCorpus(strCorpusDir, L".info");
        for (const std::string& seed : m_seeds)
        {
            const size_t posBody = seed.find("\n\n");
            if (posBody == std::string::npos)
            {
                strError = "a seed file has no header";
                return false;
            }
            m_bodies.push_back(seed.substr(posBody + 2));
            const size_t posDaid = seed.find("daid: ");
            m_digestIds.push_back(Utf8ToWide(seed.substr(posDaid + 6, 7)));
        }
        if (m_seeds.empty())
        {
            strError = "no seed files (*.info) in the corpus folder";
            return false;
        }
        m_vocabulary.assign(std::begin(kVocabulary), std::end(kVocabulary));
        m_bodyMutator.reset(new CMutator(m_bodies, m_vocabulary));
        m_fileMutator.reset(new CMutator(m_seeds, m_vocabulary));
        m_strPath = strWorkDir + L"\\info.xml";
        m_analyzer.SetVersionCheckCallback(&CompareFirmware, nullptr);

        // Values for the Registry rules of the seeds, in the sandboxed machine registry.
        const wchar_t kProduct[] = L"Software\\Orvo Corporation\\Velomar Launcher";
        Registry::WriteString(HKEY_LOCAL_MACHINE, (std::wstring(kProduct) + L"\\Version").c_str(), L"Build", L"120");
        Registry::WriteString(HKEY_LOCAL_MACHINE, (std::wstring(kProduct) + L"\\TOLVIK").c_str(), L"InstalledPath",
                              L"C:\\Program Files\\Velomar\\Tolvik.exe");
        Registry::WriteDword(HKEY_LOCAL_MACHINE, L"Software\\A\\B", L"V", 7);
        return true;
    }

    bool SelfTest(std::string& strError) override
    {
        for (size_t i = 0; i < m_seeds.size(); ++i)
        {
            if (!WriteWholeFileBytes(m_strPath, m_seeds[i]))
            {
                strError = "cannot write the input file";
                return false;
            }
            const HRESULT hr = m_analyzer.Load(m_strPath.c_str(), FUZZ_INFO_SERVICE, FUZZ_INFO_CATEGORY, nullptr);
            if (hr != S_OK)
            {
                strError = "seed " + std::to_string(i) + " does not load: " + FuzzHResultText(hr) + " " +
                           WideToUtf8(m_analyzer.GetLoadDiagnosis());
                return false;
            }
        }
        return true;
    }

    std::string MakeInput(CFuzzRandom& rng) override
    {
        const size_t nSeed = rng.Below(m_seeds.size());
        // Mostly a mutated body under a valid header, so that the XML is reached at all.
        if (rng.Percent(80))
        {
            const std::string body = m_bodyMutator->Mutate(rng, m_bodies[nSeed]);
            std::wstring strDigestId = m_digestIds[nSeed];
            if (rng.Percent(10))
                strDigestId = rng.Percent(50) ? Fmt::kDigestMd5 : Fmt::kDigestSha1;
            // Now and then signed for another service: must never verify.
            const std::wstring strService = rng.Percent(3) ? L"other-fw" : FUZZ_INFO_SERVICE;
            std::wstring strDigest;
            const ALG_ID algId = Fmt::DigestAlgorithm(strDigestId);
            if (algId != 0)
                Fmt::ComputeSaltedDigest(algId, reinterpret_cast<const BYTE*>(body.data()), body.size(), strService,
                                         FUZZ_INFO_CATEGORY, strDigest);
            return Fmt::BuildHeader(strDigestId, strDigest) + body;
        }
        return m_fileMutator->Mutate(rng, m_seeds[nSeed]);
    }

    void Run(CFuzzRandom& rng, const std::string& input, IFuzzReport& report) override
    {
        if (!WriteWholeFileBytes(m_strPath, input))
            return;
        ZepXmlParseError parseError;
        HRESULT hr = m_analyzer.Load(m_strPath.c_str(), FUZZ_INFO_SERVICE, FUZZ_INFO_CATEGORY, &parseError);
        report.Result("Load", hr);
        if (!IsOneOf(hr, {S_OK, ZEP_E_INFO_FILE_INVALID, ZEP_E_INFO_HEADER_INVALID}))
            report.Undocumented("Load", hr, WideToUtf8(m_analyzer.GetLoadDiagnosis()));
        if (hr != S_OK)
            return;
        if (!DigestVerifies(input))
            report.Undocumented("Load", hr, "accepted a file whose digest does not verify");

        const ClientFacts facts = MakeFacts(rng.Below(3));
        // The order of the update information manager: service status, then the conditions.
        std::wstring strStatus;
        hr = m_analyzer.GetServiceStatus(facts.m_strModel, strStatus);
        Check(report, "GetServiceStatus", hr);
        bool bOpen = false;
        hr = m_analyzer.IsServiceOpen(facts.m_strModel, eAUTO, &bOpen);
        Check(report, "IsServiceOpen", hr);
        zepUpdateCheckMode eMode = eAUTO;
        bool bPolling = false;
        hr = m_analyzer.ResolveServiceStatus(facts.m_strModel, &eMode, &bPolling);
        Check(report, "ResolveServiceStatus", hr);
        if (SUCCEEDED(hr) && bPolling != (strStatus == L"open" || strStatus == L"manual-only"))
            report.Undocumented("ResolveServiceStatus", hr, "answer does not follow the status word");

        int nForce = -1, nExist = -1;
        hr = m_analyzer.Exist(facts, &nForce, &nExist);
        Check(report, "Exist", hr);
        if (FAILED(hr))
            return;
        if (nExist != 0 && nExist != 1)
            report.Undocumented("Exist", hr, "exist flag " + std::to_string(nExist));
        if (nExist != 1)
            return;
        if (nForce != 0 && nForce != 1)
            report.Undocumented("Exist", hr, "force flag " + std::to_string(nForce));

        ZEP_NEW_VERSION_INFO info = {};
        hr = m_analyzer.GetNewVersionInfo(&info);
        Check(report, "GetNewVersionInfo", hr);
        if (SUCCEEDED(hr) && (info.m_nInfoSize < 0 || info.m_nInfoSize > ZEP_MAX_DOWNLOAD_SOFTWARE))
            report.Undocumented("GetNewVersionInfo", hr, "package count " + std::to_string(info.m_nInfoSize));
        ZepClearNewVersionInfo(&info);
    }

    void TearDown() override {}

private:
    // The evaluation's documented results: success, a missing mandatory part, the XML layer's
    // invalid pointer for a missing description list, no memory.
    static void Check(IFuzzReport& report, const char* pszApi, HRESULT hr)
    {
        report.Result(pszApi, hr);
        if (!IsOneOf(hr, {S_OK, S_FALSE, ZEP_E_INFO_FILE_INVALID, E_POINTER, E_OUTOFMEMORY}))
            report.Undocumented(pszApi, hr, std::string());
    }

    std::vector<std::string> m_seeds;
    std::vector<std::string> m_bodies;
    std::vector<std::wstring> m_digestIds;
    std::vector<std::string> m_vocabulary;
    std::unique_ptr<CMutator> m_bodyMutator;
    std::unique_ptr<CMutator> m_fileMutator;
    std::wstring m_strPath;
    CZepUpdateInfoAnalyzer m_analyzer;
};
}  // namespace

std::unique_ptr<IFuzzTarget> CreateInfoFuzzTarget()
{
    return std::unique_ptr<IFuzzTarget>(new CInfoFuzzTarget);
}
