// Loading an information file: layout, charset, header values, digest, XML.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "common/com_init.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "update/info/tests/info_test_util.h"
#include "update/info/zep_backend_log.h"
#include "update/info/zep_update_info_analyzer.h"
#include "update/info/zep_update_info_errors.h"

using infotest::MakeFile;
using infotest::MakeSignedFile;
using infotest::Unsigned;

namespace
{
const wchar_t kService[] = L"svc-fw";
const wchar_t kCategory[] = L"Velomar";
const std::string kBody = "<InformationFile Noop=\"true\"/>";
const std::string kBom = "\xEF\xBB\xBF";

struct LoadCase
{
    const char* pszName;
    std::function<std::string()> make;
    const wchar_t* pszService;
    const wchar_t* pszCategory;
    HRESULT hrExpected;
    std::vector<std::wstring> errorLines;
};

std::string Replace(std::string str, const std::string& from, const std::string& to)
{
    for (size_t pos = 0; (pos = str.find(from, pos)) != std::string::npos; pos += to.size())
        str.replace(pos, from.size(), to);
    return str;
}

// The digest part of a signed file's header.
std::string DigestOf(const std::string& strFile)
{
    const size_t pos = strFile.find("digest: ") + 8;
    return strFile.substr(pos, strFile.find('\n', pos) - pos);
}

class LoadTest : public ::testing::Test
{
protected:
    // CryptoAPI finds its providers in the machine registry.
    zeptest::CRegistrySandboxSuspension m_realRegistry;
    CComInitScope m_com;
    CZepUpdateInfoAnalyzer m_analyzer;
};
}  // namespace

TEST_F(LoadTest, TableOfFiles)
{
    const std::string strDoctypeBody =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE InformationFile [<!ENTITY x \"yes\">]>\n"
        "<InformationFile Noop=\"&x;\"/>";
    const std::string strExternalEntityBody =
        "<!-- published --><!DOCTYPE InformationFile [<!ENTITY x SYSTEM \"file:///c:/windows/win.ini\">]>"
        "<InformationFile Noop=\"true\">&x;</InformationFile>";

    const std::vector<LoadCase> cases = {
        {"sha1", [&] { return MakeSignedFile(kBody, kService, kCategory); }, kService, kCategory, S_OK, {}},
        {"md5", [&] { return MakeSignedFile(kBody, kService, kCategory, "HAS0002"); }, kService, kCategory, S_OK, {}},
        // Digests computed outside this code base for the same body, service and category.
        {"sha1 known vector", [&] { return MakeFile("HAS0003", "e072997d0528ccf6ab058c011d1fcaf6149ed539", kBody); },
         kService, kCategory, S_OK, {}},
        {"md5 known vector", [&] { return MakeFile("HAS0002", "0bb62ac0fc3dd9bcac3441bec674d468", kBody); }, kService,
         kCategory, S_OK, {}},
        {"upper-case digest", [&] { return MakeFile("HAS0003", "E072997D0528CCF6AB058C011D1FCAF6149ED539", kBody); },
         kService, kCategory, S_OK, {}},
        {"lower-case identifiers",
         [&] {
             return Replace(Replace(MakeSignedFile(kBody, kService, kCategory), "ENC0001", "enc0001"), "HAS0003",
                            "has0003");
         },
         kService, kCategory, S_OK, {}},
        {"upper-case tag", [&] { return Replace(MakeSignedFile(kBody, kService, kCategory), "daid:", "DAID:"); },
         kService, kCategory, ZEP_E_INFO_HEADER_INVALID, {}},
        {"tag later in its line", [&] { return Replace(Unsigned(kBody), "eaid: ", "  eaid:\t"); }, kService,
         kCategory, S_OK, {}},
        {"CR LF everywhere", [&] { return Replace(MakeSignedFile(kBody, kService, kCategory), "\n", "\r\n"); },
         kService, kCategory, ZEP_E_INFO_FILE_INVALID, {L"File:Invalid XML"}},
        {"HAS0001 with empty digest", [&] { return Unsigned(kBody); }, kService, kCategory, S_OK, {}},
        {"HAS0001 with any digest", [&] { return MakeFile("HAS0001", "not checked", kBody); }, kService, kCategory,
         S_OK, {}},
        {"HAS0001 without digest line", [&] { return "eaid: ENC0001\ndaid: HAS0001\n\n" + kBody; }, kService,
         kCategory, ZEP_E_INFO_HEADER_INVALID, {}},
        {"HAS0002 with empty digest", [&] { return MakeFile("HAS0002", "", kBody); }, kService, kCategory,
         ZEP_E_INFO_HEADER_INVALID, {L"File:Body Part is Invalid"}},
        {"digest not hexadecimal", [&] { return MakeFile("HAS0003", "e07299zz", kBody); }, kService, kCategory,
         ZEP_E_INFO_FILE_INVALID, {L"File:Header Part is Invalid"}},
        {"unknown digest identifier",
         [&] { return Replace(MakeSignedFile(kBody, kService, kCategory), "HAS0003", "HAS0004"); }, kService,
         kCategory, ZEP_E_INFO_HEADER_INVALID, {L"File:Body Part is Invalid"}},
        {"other encoding identifier", [&] { return Replace(Unsigned(kBody), "ENC0001", "ENC0002"); }, kService,
         kCategory, ZEP_E_INFO_FILE_INVALID, {}},
        {"published for another service", [&] { return MakeSignedFile(kBody, L"svc-app", kCategory); }, kService,
         kCategory, ZEP_E_INFO_HEADER_INVALID, {L"File:Body Part is Invalid"}},
        {"published for another category", [&] { return MakeSignedFile(kBody, kService, L"Other"); }, kService,
         kCategory, ZEP_E_INFO_HEADER_INVALID, {L"File:Body Part is Invalid"}},
        {"salt without separators only", [&] { return MakeSignedFile(kBody, L"svc-fwV", L"elomar"); }, kService,
         kCategory, S_OK, {}},
        {"body edited after signing",
         [&] { return Replace(MakeSignedFile(kBody, kService, kCategory), "\"true\"", "\"tru\" "); }, kService,
         kCategory, ZEP_E_INFO_HEADER_INVALID, {L"File:Body Part is Invalid"}},
        {"byte-order mark digested", [&] { return MakeSignedFile(kBom + kBody, kService, kCategory); }, kService,
         kCategory, S_OK, {}},
        {"byte-order mark left out of the digest",
         [&] {
             return MakeFile("HAS0003", DigestOf(MakeSignedFile(kBody, kService, kCategory)), kBom + kBody);
         },
         kService, kCategory, ZEP_E_INFO_HEADER_INVALID, {L"File:Body Part is Invalid"}},
        {"zero-byte file", [&] { return std::string(); }, kService, kCategory, ZEP_E_INFO_FILE_INVALID,
         {L"File:Size Zero"}},
        {"no separator", [&] { return "eaid: ENC0001\ndaid: HAS0001\ndigest:\n" + kBody; }, kService, kCategory,
         ZEP_E_INFO_FILE_INVALID, {L"File:Invalid XML"}},
        {"invalid UTF-8 in body", [&] { return Unsigned("<InformationFile Noop=\"\xFF\"/>"); }, kService, kCategory,
         ZEP_E_INFO_FILE_INVALID, {L"File:Charset Unknown"}},
        {"overlong UTF-8 in body", [&] { return Unsigned("<InformationFile Noop=\"\xC0\xAF\"/>"); }, kService,
         kCategory, ZEP_E_INFO_FILE_INVALID, {L"File:Charset Unknown"}},
        {"invalid UTF-8 in header", [&] { return Replace(Unsigned(kBody), "ENC0001", "ENC\xC3("); }, kService,
         kCategory, ZEP_E_INFO_FILE_INVALID, {L"File:Charset Unknown"}},
        {"empty body", [&] { return Unsigned(""); }, kService, kCategory, ZEP_E_INFO_FILE_INVALID,
         {L"File:Charset Unknown"}},
        {"not well formed", [&] { return Unsigned("<InformationFile Noop=\"true\">"); }, kService, kCategory,
         ZEP_E_INFO_FILE_INVALID, {L"XML:cannot load xml file"}},
        {"DOCTYPE with internal entity", [&] { return MakeSignedFile(strDoctypeBody, kService, kCategory); },
         kService, kCategory, ZEP_E_INFO_FILE_INVALID, {L"XML:cannot load xml file"}},
        {"DOCTYPE with external entity", [&] { return Unsigned(strExternalEntityBody); }, kService, kCategory,
         ZEP_E_INFO_FILE_INVALID, {L"XML:cannot load xml file"}},
        {"UTF-8 text in body", [&] { return Unsigned("<InformationFile Noop=\"\xE6\x9B\xB4\xE6\x96\xB0\"/>"); },
         kService, kCategory, S_OK, {}},
    };

    for (const LoadCase& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        const std::wstring strPath = infotest::WriteTempFile(L"info.xml", c.make());
        CZepUpdateInfoAnalyzer analyzer;
        ZepXmlParseError err;
        EXPECT_EQ(c.hrExpected, analyzer.Load(strPath.c_str(), c.pszService, c.pszCategory, &err))
            << WideToUtf8(analyzer.GetLoadDiagnosis());
        EXPECT_EQ(c.errorLines, analyzer.GetLoadErrorLines());
        EXPECT_EQ(c.hrExpected == S_OK, analyzer.HasDocument());
        if (c.hrExpected != S_OK)
        {
            EXPECT_FALSE(analyzer.GetLoadDiagnosis().empty());
        }
    }
}

TEST_F(LoadTest, ParseErrorRecordIsFilledOnlyForXmlSyntax)
{
    const std::wstring strPath =
        infotest::WriteTempFile(L"info.xml", Unsigned("<InformationFile Noop=\"true\">\n  <ApplyConditions>\n</Information>"));
    ZepXmlParseError err;
    ASSERT_EQ(ZEP_E_INFO_FILE_INVALID, m_analyzer.Load(strPath.c_str(), kService, kCategory, &err));
    // Wine's parser reports only a code and a reason; Windows adds line and position.
    EXPECT_NE(0, err.m_lErrorCode);
    EXPECT_FALSE(err.m_strReason.empty());

    // Other failures leave the record at zero, since the caller logs it whatever failed.
    const std::wstring strBad = infotest::WriteTempFile(L"bad.xml", MakeFile("HAS0002", "", kBody));
    err.m_lLine = 7;
    ASSERT_EQ(ZEP_E_INFO_HEADER_INVALID, m_analyzer.Load(strBad.c_str(), kService, kCategory, &err));
    EXPECT_EQ(0, err.m_lErrorCode);
    EXPECT_EQ(0, err.m_lLine);
    EXPECT_TRUE(err.m_strReason.empty());
}

TEST_F(LoadTest, DoctypeIsRefusedWithTheParsersDtdCodeAndPosition)
{
    const std::wstring strPath = infotest::WriteTempFile(
        L"info.xml", Unsigned("<?xml version=\"1.0\"?>\n<!-- x -->\n  <!DOCTYPE a [<!ENTITY e \"v\">]><a/>"));
    ZepXmlParseError err;
    ASSERT_EQ(ZEP_E_INFO_FILE_INVALID, m_analyzer.Load(strPath.c_str(), kService, kCategory, &err));
    EXPECT_EQ(ZEP_E_XML_DTD_PROHIBITED, err.m_lErrorCode);
    EXPECT_EQ(3, err.m_lLine);
    EXPECT_EQ(3, err.m_lLinePos);
}

TEST_F(LoadTest, MissingFileLogsTheSystemErrorAndThePath)
{
    const std::wstring strPath = zeptest::TestTempDir() + L"absent.xml";
    ASSERT_EQ(ZEP_E_INFO_FILE_INVALID, m_analyzer.Load(strPath.c_str(), kService, kCategory, nullptr));
    const std::vector<std::wstring> expected = {L"File:Open Failed", L"- (HRESULT value=0x80070002)",
                                                L"- (path:" + strPath + L")"};
    EXPECT_EQ(expected, m_analyzer.GetLoadErrorLines());
}

TEST_F(LoadTest, HeaderFailuresKeepThePreviousDocumentXmlFailuresDropIt)
{
    const std::wstring strGood = infotest::WriteTempFile(L"good.xml", MakeSignedFile(kBody, kService, kCategory));
    const std::wstring strBadDigest = infotest::WriteTempFile(L"digest.xml", MakeFile("HAS0003", "00", kBody));
    const std::wstring strBadXml = infotest::WriteTempFile(L"xml.xml", Unsigned("<InformationFile"));

    ASSERT_EQ(S_OK, m_analyzer.Load(strGood.c_str(), kService, kCategory, nullptr));
    ASSERT_EQ(ZEP_E_INFO_HEADER_INVALID, m_analyzer.Load(strBadDigest.c_str(), kService, kCategory, nullptr));
    EXPECT_TRUE(m_analyzer.HasDocument());
    ASSERT_EQ(ZEP_E_INFO_FILE_INVALID, m_analyzer.Load(strBadXml.c_str(), kService, kCategory, nullptr));
    EXPECT_FALSE(m_analyzer.HasDocument());

    ClientFacts facts;
    int nForce = 0, nExist = 0;
    EXPECT_EQ(ZEP_E_INFO_FILE_INVALID, m_analyzer.Exist(facts, &nForce, &nExist));
}

TEST_F(LoadTest, FileStaysUsableByOthersWhileAndAfterLoading)
{
    const std::wstring strPath = infotest::WriteTempFile(L"info.xml", MakeSignedFile(kBody, kService, kCategory));
    ASSERT_EQ(S_OK, m_analyzer.Load(strPath.c_str(), kService, kCategory, nullptr));
    // The manager deletes the downloaded file right after loading.
    EXPECT_TRUE(::DeleteFileW(strPath.c_str()));
}

TEST_F(LoadTest, FailureLinesReachTheErrorLog)
{
    const std::wstring strLogPath = ZepBackendLibraryLog().GetErrorLogPath();
    ASSERT_FALSE(strLogPath.empty());
    const std::wstring strPath = zeptest::TestTempDir() + L"absent-for-log.xml";
    ASSERT_EQ(ZEP_E_INFO_FILE_INVALID, m_analyzer.Load(strPath.c_str(), kService, kCategory, nullptr));

    // Other programs write to the same log meanwhile, and a full log is trimmed: read this
    // process's lines only and find the failure by its file, whose name is unique to this test.
    std::string strLog;
    ASSERT_TRUE(zeptest::ReadFileBytes(strLogPath, strLog));
    char szTag[32];
    snprintf(szTag, sizeof(szTag), "][%lX] ", ::GetCurrentProcessId());
    std::vector<std::string> lines;
    size_t nStart = 0;
    while (nStart < strLog.size())
    {
        size_t nEnd = strLog.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = strLog.size();
        const std::string strLine = strLog.substr(nStart, nEnd - nStart);
        if (strLine.find(szTag) != std::string::npos)
            lines.push_back(strLine);
        nStart = nEnd + 1;
    }
    const std::string strName = WideToAnsi(strPath) + ")";
    size_t nPathLine = lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(strName) != std::string::npos)
            nPathLine = i;
    ASSERT_LT(nPathLine, lines.size()) << strLog;
    ASSERT_GE(nPathLine, 2u) << strLog;
    EXPECT_NE(std::string::npos, lines[nPathLine - 2].find("File:Open Failed")) << strLog;
    EXPECT_NE(std::string::npos, lines[nPathLine - 1].find("- (HRESULT value=0x80070002)")) << strLog;
}
