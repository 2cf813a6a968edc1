// Evaluating a loaded information file: condition order, rules, descriptions, packages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/registry.h"
#include "common/scope_exit.h"
#include "common/string_util.h"
#include "update/info/system_info.h"
#include "update/info/tests/info_test_util.h"
#include "update/info/zep_update_info_analyzer.h"
#include "update/info/zep_update_info_errors.h"

namespace
{
const char kPackage[] = R"(<Package ID="fw" Version="2.0" URI="http://h/fw.bin" MAC="abc" Size="10"/>)";

std::string Condition(const std::string& strRules, const std::string& strForce = "false",
                      const std::string& strDescription = "update")
{
    return "<ApplyCondition Force=\"" + strForce + "\"><Rules>" + strRules +
           "</Rules><Descriptions DefaultLang=\"xx\"><Description Lang=\"xx\">" + strDescription +
           "</Description></Descriptions><Distributions>" + kPackage + "</Distributions></ApplyCondition>";
}

std::string Rule(const std::string& strType, const std::string& strKey, const std::string& strValue,
                 const std::string& strOperator)
{
    return "<Rule Type=\"" + strType + "\" Key=\"" + strKey + "\" Value=\"" + strValue + "\" Operator=\"" +
           strOperator + "\"/>";
}

std::string Body(const std::string& strConditions, const std::string& strExtras = "",
                 const std::string& strNoop = "false")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<InformationFile Noop=\"" + strNoop +
           "\"><ApplyConditions>" + strConditions + "</ApplyConditions>" + strExtras + "</InformationFile>";
}

struct CallbackRecorder
{
    struct Call
    {
        std::wstring strCurrent;
        std::wstring strRule;
        int nRule;
    };
    std::vector<Call> calls;
    std::vector<LONG> results;  // answered in order; the last one repeats

    static LONG Callback(void* pContext, const wchar_t* pszCurrent, const wchar_t* pszRule, int nRule)
    {
        auto* self = static_cast<CallbackRecorder*>(pContext);
        self->calls.push_back({pszCurrent, pszRule, nRule});
        const size_t i = self->calls.size() - 1;
        return self->results.empty() ? 0 : self->results[i < self->results.size() ? i : self->results.size() - 1];
    }
};

class EvaluationTest : public ::testing::Test
{
protected:
    EvaluationTest()
    {
        m_facts.m_strModel = L"VM-Q3";
        m_facts.m_strCurrentVersion = L"1.2";
        m_facts.m_strOSName = L"Windows";
        m_facts.m_strOSVersion = L"6.1";
        m_facts.m_strOSEdition = L"unknown";
        m_facts.m_strOSServicePack = L"Service Pack 1";
        m_facts.m_strNation = L"JP";
        m_facts.m_strLanguage = L"ja";
        m_facts.m_strClientVersion = L"1.0";
        m_facts.m_strSerialNumber = L"SN0001";
        m_facts.m_strExtensionKey = L"K1";
        m_facts.m_strProductionMode = L"Release";
    }

    HRESULT LoadBody(const std::string& strBody)
    {
        const std::wstring strPath = infotest::WriteTempFile(L"info.xml", infotest::Unsigned(strBody));
        return m_analyzer.Load(strPath.c_str(), L"svc", L"cat", nullptr);
    }

    // Runs Exist on a file with one condition made of the given rules.
    HRESULT RulesHold(const std::string& strRules, bool& bHolds, const std::string& strExtras = "")
    {
        bHolds = false;
        HRESULT hr = LoadBody(Body(Condition(strRules), strExtras));
        if (FAILED(hr))
            return hr;
        int nForce = 0, nExist = 0;
        hr = m_analyzer.Exist(m_facts, &nForce, &nExist);
        bHolds = nExist == 1;
        return hr;
    }

    bool RuleHolds(const std::string& strRule, const std::string& strExtras = "")
    {
        bool bHolds = false;
        EXPECT_EQ(S_OK, RulesHold(strRule, bHolds, strExtras)) << strRule;
        return bHolds;
    }

    CComInitScope m_com;
    CZepUpdateInfoAnalyzer m_analyzer;
    ClientFacts m_facts;
};
}  // namespace

TEST_F(EvaluationTest, NoopTrueOffersNothingWithoutEvaluatingRules)
{
    CallbackRecorder recorder;
    m_analyzer.SetVersionCheckCallback(&CallbackRecorder::Callback, &recorder);
    // The rule lacks its Operator: evaluating it would be an error.
    const std::string strConditions = Condition(R"(<Rule Type="System" Key="FirmwareVersion" Value="1"/>)");
    int nForce = 0, nExist = 1;

    ASSERT_EQ(S_OK, LoadBody(Body(strConditions, "", "true")));
    EXPECT_EQ(S_OK, m_analyzer.Exist(m_facts, &nForce, &nExist));
    EXPECT_EQ(0, nExist);
    EXPECT_TRUE(recorder.calls.empty());

    // Only the exact text counts.
    ASSERT_EQ(S_OK, LoadBody(Body(strConditions, "", "True")));
    EXPECT_EQ(ZEP_E_INFO_FILE_INVALID, m_analyzer.Exist(m_facts, &nForce, &nExist));
}

TEST_F(EvaluationTest, FirstMatchingConditionWinsAndFailedRulesShortCircuit)
{
    CallbackRecorder recorder;
    recorder.results = {1, 0};  // first callback: does not hold; second: holds
    m_analyzer.SetVersionCheckCallback(&CallbackRecorder::Callback, &recorder);
    const std::string strConditions =
        // 1: no rules never matches
        Condition("", "true", "first") +
        // 2: the first rule fails, so the firmware rule after it must not be asked
        Condition(Rule("System", "Model", "OTHER", "Equal") + Rule("System", "FirmwareVersion", "9.9", "LessThan"),
                  "true", "second") +
        // 3: the firmware check answers "does not hold"
        Condition(Rule("System", "FirmwareVersion", "1.0", "GreaterThan"), "true", "third") +
        // 4: all rules hold
        Condition(Rule("Software", "VM-Q3", "2.0", "LessThan") + Rule("System", "FirmwareVersion", "1.2", "Equal"),
                  "true", "fourth") +
        // 5: would hold too, but comes later
        Condition(Rule("System", "Model", "VM-Q3", "Equal"), "false", "fifth");
    ASSERT_EQ(S_OK, LoadBody(Body(strConditions)));

    int nForce = 0, nExist = 0;
    ASSERT_EQ(S_OK, m_analyzer.Exist(m_facts, &nForce, &nExist));
    EXPECT_EQ(1, nExist);
    EXPECT_EQ(1, nForce);
    EXPECT_EQ(4, m_analyzer.GetMatchedConditionIndex());
    ASSERT_EQ(2u, recorder.calls.size());
    EXPECT_EQ(L"1.2", recorder.calls[0].strCurrent);
    EXPECT_EQ(L"1.0", recorder.calls[0].strRule);
    EXPECT_EQ(8, recorder.calls[0].nRule);
    EXPECT_EQ(L"1.2", recorder.calls[1].strRule);
    EXPECT_EQ(1, recorder.calls[1].nRule);

    ZEP_NEW_VERSION_INFO info = {};
    ASSERT_EQ(S_OK, m_analyzer.GetNewVersionInfo(&info));
    EXPECT_STREQ(L"fourth", info.m_bstrUpdateDetail);
    ZepClearNewVersionInfo(&info);
}

// Thousands of conditions spread over thousands of ApplyConditions lists (a few megabytes) are
// evaluated in one walk: found by the mutation run, where selecting each condition by its
// position from the root kept such a file busy for minutes.
TEST_F(EvaluationTest, ThousandsOfConditionListsTakeOneWalk)
{
    const std::string strFailing = Condition(Rule("System", "Model", "OTHER", "Equal"));
    std::string strBody = "<InformationFile Noop=\"false\">";
    for (int i = 0; i < 4000; ++i)
        strBody += "<ApplyConditions>" + strFailing + strFailing + strFailing + "</ApplyConditions>";
    strBody += "<ApplyConditions>" + Condition(Rule("System", "Model", "VM-Q3", "Equal"), "true", "last") +
               "</ApplyConditions></InformationFile>";
    ASSERT_EQ(S_OK, LoadBody(strBody));

    const ULONGLONG ullStart = ::GetTickCount64();
    int nForce = 0, nExist = 0;
    ASSERT_EQ(S_OK, m_analyzer.Exist(m_facts, &nForce, &nExist));
    EXPECT_LT(::GetTickCount64() - ullStart, 5000u);
    EXPECT_EQ(1, nExist);
    EXPECT_EQ(12001, m_analyzer.GetMatchedConditionIndex());
}

// Conditions count in document order whichever ApplyConditions element holds them, each with its
// own rules.
TEST_F(EvaluationTest, ConditionsOfSeveralListsCountInDocumentOrder)
{
    const std::string strBody = "<InformationFile Noop=\"false\"><ApplyConditions>" +
                                Condition(Rule("System", "Model", "OTHER", "Equal"), "false", "first") +
                                "</ApplyConditions><ApplyConditions>" +
                                Condition(Rule("System", "Model", "VM-Q3", "Equal"), "true", "second") +
                                "</ApplyConditions></InformationFile>";
    ASSERT_EQ(S_OK, LoadBody(strBody));
    int nForce = 0, nExist = 0;
    ASSERT_EQ(S_OK, m_analyzer.Exist(m_facts, &nForce, &nExist));
    EXPECT_EQ(1, nExist);
    EXPECT_EQ(1, nForce);
    EXPECT_EQ(2, m_analyzer.GetMatchedConditionIndex());
    ZEP_NEW_VERSION_INFO info = {};
    ASSERT_EQ(S_OK, m_analyzer.GetNewVersionInfo(&info));
    EXPECT_STREQ(L"second", info.m_bstrUpdateDetail);
    ZepClearNewVersionInfo(&info);
}

TEST_F(EvaluationTest, CallbackErrorEndsTheEvaluationAndLeavesTheAnalyzerUsable)
{
    CallbackRecorder recorder;
    recorder.results = {static_cast<LONG>(0x80041234)};
    m_analyzer.SetVersionCheckCallback(&CallbackRecorder::Callback, &recorder);
    const std::string strConditions = Condition(Rule("System", "FirmwareVersion", "1.0", "GreaterThan")) +
                                      Condition(Rule("System", "FirmwareVersion", "1.0", "Equal"));
    ASSERT_EQ(S_OK, LoadBody(Body(strConditions)));

    int nForce = 0, nExist = 0;
    EXPECT_EQ(static_cast<HRESULT>(0x80041234), m_analyzer.Exist(m_facts, &nForce, &nExist));
    EXPECT_EQ(1u, recorder.calls.size());

    recorder.results = {5, 0};
    recorder.calls.clear();
    EXPECT_EQ(S_OK, m_analyzer.Exist(m_facts, &nForce, &nExist));
    EXPECT_EQ(1, nExist);
    EXPECT_EQ(2, m_analyzer.GetMatchedConditionIndex());
}

TEST_F(EvaluationTest, FirmwareRuleWithoutCallbackDoesNotHold)
{
    EXPECT_FALSE(RuleHolds(Rule("System", "FirmwareVersion", "1.2", "Equal")));
}

TEST_F(EvaluationTest, SystemAndSoftwareRules)
{
    const struct
    {
        std::string strRule;
        bool bHolds;
    } cases[] = {
        {Rule("System", "Model", "VM-Q3", "Equal"), true},
        {Rule("System", "OSName", "Windows", "Equal"), true},
        {Rule("System", "OSName", "windows", "Equal"), false},
        {Rule("System", "OSVersion", "5.1", "GreaterThanEqual"), true},
        {Rule("System", "OSEdition", "unknown", "Equal"), true},
        {Rule("System", "OSServicePack", "Service Pack", "StartWith"), true},
        {Rule("System", "Nation", "JP", "Equal"), true},
        {Rule("System", "Language", "ja", "Equal"), true},
        {Rule("System", "SerialNo", "SN", "StartWith"), true},
        {Rule("System", "ClientVersion", "1.0", "Equal"), true},
        {Rule("System", "ProductionMode", "Release", "Equal"), true},
        {Rule("System", "Model", "", "Exist"), false},  // existence means nothing for facts
        {Rule("System", "Unknown", "", "NotExist"), false},
        {Rule("Software", "VM-Q3", "1.10", "LessThan"), false},  // 1.2 sorts above 1.10
        {Rule("Software", "VM-Q3", "1.2", "Equal"), true},
        {Rule("Software", "VM-Z9", "1.2", "Equal"), false},  // another model's software rule
        {Rule("Software", "VM-Z9", "9", "NotEqual"), false},
        {Rule("Other", "Model", "VM-Q3", "Equal"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.bHolds, RuleHolds(c.strRule)) << c.strRule;
}

TEST_F(EvaluationTest, RegistryRulesReadTheMachineRegistry)
{
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, L"Software\\Orvo\\Player\\Sub\\Deep", L"Version", L"1.2.0"));
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, L"Software\\Orvo\\Player", L"Edition", L"Pro"));
    ASSERT_EQ(S_OK, Registry::WriteDword(HKEY_LOCAL_MACHINE, L"Software\\Orvo\\Player", L"Build", 1234));

    const struct
    {
        std::string strRule;
        bool bHolds;
    } cases[] = {
        {Rule("Registry", "Orvo\\Player\\Sub\\Deep\\Version", "1.2.0", "Equal"), true},
        {Rule("Registry", "Orvo\\Player\\Sub\\Deep\\VERSION", "1.10", "GreaterThan"), true},  // name without case
        {Rule("Registry", "Orvo\\Player\\Sub\\Deep\\Version", "anything", "Exist"), true},
        {Rule("Registry", "Orvo\\Player\\Sub\\Deep\\Version", "", "NotExist"), false},
        {Rule("Registry", "Orvo\\Player\\Edition", "Pro", "Equal"), true},  // no middle path
        {Rule("Registry", "Orvo\\Player\\Build", "1234", "Equal"), true},
        {Rule("Registry", "Orvo\\Player\\Missing", "", "NotExist"), true},
        {Rule("Registry", "Orvo\\Player\\Missing", "", "Exist"), false},
        {Rule("Registry", "Orvo\\Nothing\\Here\\Version", "", "NotExist"), true},  // key missing
        {Rule("Registry", "Orvo\\Nothing\\Here\\Version", "", "NotEqual"), false},
        {Rule("Registry", "Orvo\\Player", "", "NotExist"), true},  // too short to name a value
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.bHolds, RuleHolds(c.strRule)) << c.strRule;
}

TEST_F(EvaluationTest, ExtendedRulesUseTheClientsExtensionKey)
{
    const std::string strExtensions =
        R"(<Extensions><Extension Key="K1" Value="abc"/><Extension Key='K"2' Value="quoted"/>)"
        R"(<Extension Key="K3"/></Extensions>)";
    EXPECT_TRUE(RuleHolds(Rule("Extended", "ignored", "ab", "StartWith"), strExtensions));
    EXPECT_FALSE(RuleHolds(Rule("Extended", "K1", "abd", "Equal"), strExtensions));

    m_facts.m_strExtensionKey = L"K\"2";
    EXPECT_TRUE(RuleHolds(Rule("Extended", "", "quoted", "Equal"), strExtensions));

    m_facts.m_strExtensionKey = L"none";
    EXPECT_FALSE(RuleHolds(Rule("Extended", "", "", "NotExist"), strExtensions));

    m_facts.m_strExtensionKey = L"K3";
    bool bHolds = false;
    EXPECT_EQ(E_POINTER, RulesHold(Rule("Extended", "", "", "Equal"), bHolds, strExtensions));
}

TEST_F(EvaluationTest, MissingMandatoryPartsEndTheEvaluation)
{
    const std::string strHolds = Rule("System", "Model", "VM-Q3", "Equal");
    const std::string strFails = Rule("System", "Model", "OTHER", "Equal");
    const std::string strDist = std::string("<Distributions>") + kPackage + "</Distributions>";
    const struct
    {
        const char* pszName;
        std::string strBody;
        HRESULT hr;
    } cases[] = {
        {"no Noop", R"(<InformationFile><ApplyConditions/></InformationFile>)", ZEP_E_INFO_FILE_INVALID},
        {"other document element", R"(<Info Noop="false"/>)", ZEP_E_INFO_FILE_INVALID},
        {"rule without Operator", Body(Condition(R"(<Rule Type="System" Key="Model" Value="VM-Q3"/>)")),
         ZEP_E_INFO_FILE_INVALID},
        {"rule without Type", Body(Condition(R"(<Rule Key="Model" Value="VM-Q3" Operator="Equal"/>)")),
         ZEP_E_INFO_FILE_INVALID},
        {"matching condition without Force",
         Body("<ApplyCondition><Rules>" + strHolds + "</Rules><Descriptions DefaultLang=\"xx\"><Description "
              "Lang=\"xx\">d</Description></Descriptions>" + strDist + "</ApplyCondition>"),
         ZEP_E_INFO_FILE_INVALID},
        {"condition without Force that does not match",
         Body("<ApplyCondition><Rules>" + strFails + "</Rules></ApplyCondition>"), S_OK},
        {"no Descriptions", Body("<ApplyCondition Force=\"true\"><Rules>" + strHolds + "</Rules>" + strDist +
                                 "</ApplyCondition>"),
         E_POINTER},
        {"no DefaultLang", Body("<ApplyCondition Force=\"true\"><Rules>" + strHolds +
                                "</Rules><Descriptions><Description Lang=\"xx\">d</Description></Descriptions>" +
                                strDist + "</ApplyCondition>"),
         E_POINTER},
        {"no Description for DefaultLang",
         Body("<ApplyCondition Force=\"true\"><Rules>" + strHolds +
              "</Rules><Descriptions DefaultLang=\"yy\"><Description Lang=\"xx\">d</Description></Descriptions>" +
              strDist + "</ApplyCondition>"),
         ZEP_E_INFO_FILE_INVALID},
        {"no Distributions",
         Body("<ApplyCondition Force=\"true\"><Rules>" + strHolds +
              "</Rules><Descriptions DefaultLang=\"xx\"><Description Lang=\"xx\">d</Description></Descriptions>"
              "</ApplyCondition>"),
         ZEP_E_INFO_FILE_INVALID},
        {"six packages",
         Body("<ApplyCondition Force=\"true\"><Rules>" + strHolds +
              "</Rules><Descriptions DefaultLang=\"xx\"><Description Lang=\"xx\">d</Description></Descriptions>"
              "<Distributions>" + kPackage + kPackage + kPackage + kPackage + kPackage + kPackage +
              "</Distributions></ApplyCondition>"),
         ZEP_E_INFO_FILE_INVALID},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        ASSERT_EQ(S_OK, LoadBody(c.strBody));
        int nForce = 0, nExist = 0;
        EXPECT_EQ(c.hr, m_analyzer.Exist(m_facts, &nForce, &nExist));
        EXPECT_EQ(0, nExist);
    }
}

TEST_F(EvaluationTest, DescriptionInTheUsersLanguageElseTheDefault)
{
    std::wstring strLanguage;
    ASSERT_EQ(S_OK, GetUserLanguageName(strLanguage));
    const std::string strUser = WideToUtf8(strLanguage);
    const std::string strRules = Rule("System", "Model", "VM-Q3", "Equal");
    const std::string strDist = std::string("<Distributions>") + kPackage + "</Distributions>";
    auto body = [&](const std::string& strDescriptions) {
        return Body("<ApplyCondition Force=\"false\"><Rules>" + strRules + "</Rules>" + strDescriptions + strDist +
                    "</ApplyCondition>");
    };
    int nForce = 0, nExist = 0;
    ZEP_NEW_VERSION_INFO info = {};
    auto cleanup = MakeScopeExit([&] { ZepClearNewVersionInfo(&info); });

    // The request asks for another language that has a description of its own: the user's wins.
    m_facts.m_strLanguage = L"qq";
    ASSERT_NE(L"qq", strLanguage);
    ASSERT_EQ(S_OK, LoadBody(body("<Descriptions DefaultLang=\"zz\"><Description Lang=\"zz\">default</Description>"
                                  "<Description Lang=\"qq\">requested</Description>"
                                  "<Description Lang=\"" + strUser + "\">mine\nsecond line</Description></Descriptions>")));
    ASSERT_EQ(S_OK, m_analyzer.Exist(m_facts, &nForce, &nExist));
    ASSERT_EQ(S_OK, m_analyzer.GetNewVersionInfo(&info));
    EXPECT_STREQ(L"mine\nsecond line", info.m_bstrUpdateDetail);
    ZepClearNewVersionInfo(&info);

    // Without one in the user's language the default is taken, not the request's.
    ASSERT_EQ(S_OK, LoadBody(body("<Descriptions DefaultLang=\"zz\"><Description Lang=\"zz\">default</Description>"
                                  "<Description Lang=\"qq\">requested</Description></Descriptions>")));
    ASSERT_EQ(S_OK, m_analyzer.Exist(m_facts, &nForce, &nExist));
    ASSERT_EQ(S_OK, m_analyzer.GetNewVersionInfo(&info));
    EXPECT_STREQ(L"default", info.m_bstrUpdateDetail);
}

TEST_F(EvaluationTest, OnlyForceTrueInLowerCaseForces)
{
    const struct
    {
        const char* pszForce;
        int nForce;
    } cases[] = {{"true", 1}, {"True", 0}, {"TRUE", 0}, {"false", 0}, {"1", 0}, {"", 0}, {" true", 0}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszForce);
        ASSERT_EQ(S_OK, LoadBody(Body(Condition(Rule("System", "Model", "VM-Q3", "Equal"), c.pszForce))));
        int nForce = -1, nExist = 0;
        ASSERT_EQ(S_OK, m_analyzer.Exist(m_facts, &nForce, &nExist));
        EXPECT_EQ(1, nExist);
        EXPECT_EQ(c.nForce, nForce);
    }
}

TEST_F(EvaluationTest, PackagesOfTheMatchedCondition)
{
    const std::string strBody = Body(
        "<ApplyCondition Force=\"false\"><Rules>" + Rule("System", "Model", "VM-Q3", "Equal") +
        "</Rules><Descriptions DefaultLang=\"xx\"><Description Lang=\"xx\">d</Description></Descriptions>"
        "<Distributions>\n"
        "  <A ID=\"fw\" Version=\"2.0\" URI=\"http://h/fw.bin\" MAC=\"m1\" Size=\" 1234\"/>\n"
        "  <!-- comments and text between packages are not packages -->\n"
        "  <B ID=\"app\" Version=\"3.1\" URI=\"http://h/app.exe\" MAC=\"m2\" Size=\"12abc\"/>\n"
        "  <C ID=\"c\" Version=\"1\" URI=\"u\" MAC=\"m\" Size=\"abc\"/>\n"
        "  <D ID=\"d\" Version=\"1\" URI=\"u\" MAC=\"m\" Size=\"-5\"/>\n"
        "  <E ID=\"e\" Version=\"1\" URI=\"u\" MAC=\"m\" Size=\"4294967296\"/>\n"
        "</Distributions></ApplyCondition>");
    ASSERT_EQ(S_OK, LoadBody(strBody));
    int nForce = 1, nExist = 0;
    ASSERT_EQ(S_OK, m_analyzer.Exist(m_facts, &nForce, &nExist));
    EXPECT_EQ(0, nForce);

    ZEP_NEW_VERSION_INFO info = {};
    auto cleanup = MakeScopeExit([&] { ZepClearNewVersionInfo(&info); });
    ASSERT_EQ(S_OK, m_analyzer.GetNewVersionInfo(&info));
    ASSERT_EQ(5, info.m_nInfoSize);
    EXPECT_STREQ(L"fw", info.m_stDownloadSoftwareInfos[0].m_bstrSoftwareName);
    EXPECT_STREQ(L"2.0", info.m_stDownloadSoftwareInfos[0].m_bstrNewVersion);
    EXPECT_STREQ(L"http://h/fw.bin", info.m_stDownloadSoftwareInfos[0].m_bstrURL);
    EXPECT_STREQ(L"m1", info.m_stDownloadSoftwareInfos[0].m_bstrMac);
    EXPECT_EQ(1234u, info.m_stDownloadSoftwareInfos[0].m_dwSize);
    EXPECT_STREQ(L"app", info.m_stDownloadSoftwareInfos[1].m_bstrSoftwareName);
    EXPECT_EQ(12u, info.m_stDownloadSoftwareInfos[1].m_dwSize);
    EXPECT_EQ(0u, info.m_stDownloadSoftwareInfos[2].m_dwSize);
    EXPECT_EQ(0u, info.m_stDownloadSoftwareInfos[3].m_dwSize);
    EXPECT_EQ(0xFFFFFFFFu, info.m_stDownloadSoftwareInfos[4].m_dwSize);
}

TEST_F(EvaluationTest, PackageWithoutMacFailsAndLeavesTheRecordAlone)
{
    const std::string strBody = Body(
        "<ApplyCondition Force=\"false\"><Rules>" + Rule("System", "Model", "VM-Q3", "Equal") +
        "</Rules><Descriptions DefaultLang=\"xx\"><Description Lang=\"xx\">d</Description></Descriptions>"
        "<Distributions><P ID=\"fw\" Version=\"2.0\" URI=\"u\" MAC=\"m\" Size=\"1\"/>"
        "<P ID=\"fw2\" Version=\"2.0\" URI=\"u\" Size=\"1\"/></Distributions></ApplyCondition>");
    ASSERT_EQ(S_OK, LoadBody(strBody));
    int nForce = 0, nExist = 0;
    ASSERT_EQ(S_OK, m_analyzer.Exist(m_facts, &nForce, &nExist));
    ZEP_NEW_VERSION_INFO info = {};
    EXPECT_EQ(ZEP_E_INFO_FILE_INVALID, m_analyzer.GetNewVersionInfo(&info));
    EXPECT_EQ(nullptr, info.m_bstrUpdateDetail);
    EXPECT_EQ(nullptr, info.m_stDownloadSoftwareInfos[0].m_bstrSoftwareName);
    EXPECT_EQ(0, info.m_nInfoSize);
}

TEST_F(EvaluationTest, ModelNamesWithQuotesCannotRewriteTheQuery)
{
    const std::string strControl =
        R"(<ControlConditions DefaultServiceStatus="close">)"
        R"(<ControlCondition Model="VM-Q3" ServiceStatus="open"/>)"
        R"(<ControlCondition Model='Q"1' ServiceStatus="manual-only"/>)"
        R"(<ControlCondition Model="it's" ServiceStatus="open"/>)"
        R"(<ControlCondition Model="a&quot;b'c" ServiceStatus="manual-only"/>)"
        R"(</ControlConditions>)";
    ASSERT_EQ(S_OK, LoadBody(Body("", strControl)));
    const struct
    {
        const wchar_t* pszModel;
        const wchar_t* pszStatus;
    } cases[] = {
        {L"VM-Q3", L"open"},
        {L"Q\"1", L"manual-only"},
        {L"it's", L"open"},
        {L"a\"b'c", L"manual-only"},
        // Would select the VM-Q3 entry if the model were pasted into the expression.
        {L"none\" or @Model=\"VM-Q3", L"close"},
        {L"none' or @Model='VM-Q3", L"close"},
        {L"\"]|//ControlCondition[\"", L"close"},
    };
    for (const auto& c : cases)
    {
        std::wstring strStatus;
        EXPECT_EQ(S_OK, m_analyzer.GetServiceStatus(c.pszModel, strStatus)) << WideToUtf8(c.pszModel);
        EXPECT_EQ(c.pszStatus, strStatus) << WideToUtf8(c.pszModel);
    }

    // The same quoting protects the apply conditions' model rules.
    m_facts.m_strModel = L"Q\"1";
    EXPECT_TRUE(RuleHolds(Rule("System", "Model", "Q&quot;1", "Equal")));
}

TEST_F(EvaluationTest, ServiceStatusTable)
{
    const struct
    {
        const char* pszStatus;
        zepUpdateCheckMode eMode;
        bool bOpen;
        bool bResolved;
        zepUpdateCheckMode eModeAfter;
    } cases[] = {
        {"open", eAUTO, true, true, eAUTO},
        {"open", eMANUAL, true, true, eAUTO},
        {"manual-only", eAUTO, false, true, eMANUAL},
        {"manual-only", eMANUAL, true, true, eMANUAL},
        {"close", eAUTO, false, false, eAUTO},
        {"close", eMANUAL, false, false, eMANUAL},
        {"Open", eAUTO, false, false, eAUTO},
        {"", eMANUAL, false, false, eMANUAL},
    };
    for (const auto& c : cases)
    {
        // Once as the model's own entry, once through the default.
        const std::string strOwn = std::string(R"(<ControlConditions DefaultServiceStatus="bogus">)") +
                                   R"(<ControlCondition Model="VM-Q3" ServiceStatus=")" + c.pszStatus +
                                   R"("/></ControlConditions>)";
        const std::string strDefault = std::string(R"(<ControlConditions DefaultServiceStatus=")") + c.pszStatus +
                                       R"("><ControlCondition Model="VM-Z9" ServiceStatus="open"/></ControlConditions>)";
        for (const std::string& strControl : {strOwn, strDefault})
        {
            SCOPED_TRACE(strControl + (c.eMode == eAUTO ? " AUTO" : " MANUAL"));
            ASSERT_EQ(S_OK, LoadBody(Body("", strControl)));
            bool bOpen = !c.bOpen;
            EXPECT_EQ(S_OK, m_analyzer.IsServiceOpen(L"VM-Q3", c.eMode, &bOpen));
            EXPECT_EQ(c.bOpen, bOpen);
            zepUpdateCheckMode eMode = c.eMode;
            bool bResolved = !c.bResolved;
            EXPECT_EQ(S_OK, m_analyzer.ResolveServiceStatus(L"VM-Q3", &eMode, &bResolved));
            EXPECT_EQ(c.bResolved, bResolved);
            EXPECT_EQ(c.eModeAfter, eMode);
        }
    }
}

TEST_F(EvaluationTest, MissingStatusPartsAreErrors)
{
    const struct
    {
        const char* pszName;
        std::string strControl;
    } cases[] = {
        {"no ControlConditions", ""},
        {"no DefaultServiceStatus", R"(<ControlConditions><ControlCondition Model="X" ServiceStatus="open"/></ControlConditions>)"},
        {"own entry without ServiceStatus",
         R"(<ControlConditions DefaultServiceStatus="open"><ControlCondition Model="VM-Q3"/></ControlConditions>)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        ASSERT_EQ(S_OK, LoadBody(Body("", c.strControl)));
        bool bOpen = true;
        EXPECT_EQ(ZEP_E_INFO_FILE_INVALID, m_analyzer.IsServiceOpen(L"VM-Q3", eAUTO, &bOpen));
        zepUpdateCheckMode eMode = eAUTO;
        EXPECT_EQ(ZEP_E_INFO_FILE_INVALID, m_analyzer.ResolveServiceStatus(L"VM-Q3", &eMode, &bOpen));
        EXPECT_EQ(eAUTO, eMode);
    }
}
