#include <windows.h>

#include "common/com_init.h"
#include "common/file_util.h"
#include "update/info/info_signature.h"
#include "update/info/trusted_update_keys.h"
#include "update/info/tool/command_line.h"
#include "update/info/tool/console.h"
#include "update/info/tool/zepinfo_commands.h"
#include "update/info/zep_update_info_errors.h"

void PrintVerifyHelp()
{
    ConsoleOut(
        L"Usage: zepinfo verify --service S --category C [--accepted-serial N] FILE\n"
        L"\n"
        L"Checks FILE exactly as the update client does for service S in category C: first its\n"
        L"signature FILE.sig (a key this build trusts, signed for S and C and these bytes, not\n"
        L"expired, a serial not lower than N, the highest the client accepted before; default 0),\n"
        L"then header lines, body digest (salted with S and C), UTF-8, XML. Prints the result\n"
        L"code, the error lines the client would write to its error log, and the reason.\n"
        L"\n"
        L"Exit code: 0 when the file loads, otherwise the client's result code\n"
        L"(0x80044301 file unusable, 0x80044204 header or digest invalid).\n");
}

int ExitCodeOf(HRESULT hr)
{
    return SUCCEEDED(hr) ? 0 : static_cast<int>(hr);
}

std::wstring ResultText(HRESULT hr)
{
    switch (hr)
    {
    case S_OK:
        return L"OK";
    case ZEP_E_INFO_FILE_INVALID:
        return L"information file unusable or incomplete";
    case ZEP_E_INFO_HEADER_INVALID:
        return L"information file header or digest invalid";
    case E_POINTER:
        return L"a required element or attribute is missing (XML layer)";
    default:
        break;
    }
    wchar_t szMessage[512] = {};
    if (::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(hr),
                         0, szMessage, _countof(szMessage), nullptr))
    {
        std::wstring str = szMessage;
        while (!str.empty() && (str.back() == L'\n' || str.back() == L'\r' || str.back() == L' '))
            str.pop_back();
        return str;
    }
    return L"error";
}

void PrintLoadResult(const CZepUpdateInfoAnalyzer& analyzer, HRESULT hr, const ZepXmlParseError& parseError)
{
    ConsoleOutPrintf(L"Result: 0x%08X (%s)\n", static_cast<unsigned>(hr), ResultText(hr).c_str());
    if (SUCCEEDED(hr))
        return;
    const auto& lines = analyzer.GetLoadErrorLines();
    if (lines.empty())
        ConsoleOut(L"Error log: (the client writes no error line for this failure)\n");
    else
    {
        ConsoleOut(L"Error log:\n");
        for (const std::wstring& strLine : lines)
            ConsoleOut(L"  " + strLine + L"\n");
    }
    if (!analyzer.GetLoadDiagnosis().empty())
        ConsoleOut(L"Reason: " + analyzer.GetLoadDiagnosis() + L"\n");
    if (parseError.m_lErrorCode != 0)
        ConsoleOutPrintf(L"Parser: errorcode=0x%08X line=%ld linepos=%ld reason=%s\n",
                         static_cast<unsigned>(parseError.m_lErrorCode), parseError.m_lLine, parseError.m_lLinePos,
                         parseError.m_strReason.c_str());
}

bool CheckPathSegment(const wchar_t* pszWhat, const std::wstring& strValue)
{
    if (strValue.empty())
    {
        ConsoleErrPrintf(L"zepinfo: --%s is required\n", pszWhat);
        return false;
    }
    if (strValue == L"." || strValue == L".." || strValue.find_first_of(L"\\/:*?\"<>|%#") != std::wstring::npos)
    {
        ConsoleErrPrintf(L"zepinfo: --%s \"%s\" cannot be a folder name and URL path segment "
                         L"(no \\ / : * ? \" < > | %% #, not . or ..)\n",
                         pszWhat, strValue.c_str());
        return false;
    }
    for (wchar_t ch : strValue)
    {
        if (ch < 0x20 || ch == L' ')
        {
            ConsoleErrPrintf(L"zepinfo: --%s must not contain blanks or control characters\n", pszWhat);
            return false;
        }
    }
    return true;
}

ECommandStart StartCommand(const wchar_t* pszName, CCommandLine& cmd, int argc, wchar_t** argv,
                           void (*pfnPrintHelp)(), const std::function<bool(const CCommandLine&)>& bArgumentsOk,
                           const wchar_t* pszNeeds)
{
    const std::wstring strName = pszName;
    std::wstring strError;
    if (!cmd.Parse(argc, argv, 2, strError))
    {
        ConsoleErr(L"zepinfo " + strName + L": " + strError + L"\n(see zepinfo " + strName + L" --help)\n");
        return ECommandStart::UsageError;
    }
    if (cmd.Has(L"help"))
    {
        pfnPrintHelp();
        return ECommandStart::HelpShown;
    }
    if (!bArgumentsOk(cmd))
    {
        ConsoleErr(L"zepinfo " + strName + L": " + pszNeeds + L"\n(see zepinfo " + strName + L" --help)\n");
        return ECommandStart::UsageError;
    }
    return ECommandStart::Run;
}

namespace
{
// The client's verdict on FILE.sig, printed; false when the client refuses the file.
bool VerifySignature(const std::wstring& strFile, const std::wstring& strService, const std::wstring& strCategory,
                     ULONGLONG ullAcceptedSerial)
{
    std::string strInfo, strSignature;
    if (ReadWholeFile(strFile, strInfo, 64 * 1024 * 1024) != ERROR_SUCCESS)
    {
        ConsoleOut(L"Signature: not checked, the file cannot be read\n");
        return false;
    }
    const DWORD dwSigError = ReadWholeFile(strFile + L".sig", strSignature, 64 * 1024);
    InfoSignature::Request request;
    request.pInfo = &strInfo;
    request.pSignature = dwSigError == ERROR_SUCCESS ? &strSignature : nullptr;
    request.strService = strService;
    request.strCategory = strCategory;
    ::GetSystemTimeAsFileTime(&request.ftNow);
    request.ullHighestSerial = ullAcceptedSerial;
    request.pKeys = &TrustedUpdateKeys();
    InfoSignature::Outcome outcome;
    const HRESULT hr = InfoSignature::Check(request, outcome);
    if (FAILED(hr))
    {
        ConsoleOutPrintf(L"Signature: cannot be checked (0x%08X %s)\n", static_cast<unsigned>(hr), ResultText(hr).c_str());
        return false;
    }
    if (outcome.eVerdict == InfoSignature::EVerdict::Valid)
    {
        InfoSignature::Fields fields;
        std::wstring strIgnored;
        InfoSignature::Parse(strSignature, fields, strIgnored);
        ConsoleOutPrintf(L"Signature: OK (key %s, serial %s, expires %s)\n", fields.strKeyId.c_str(),
                         std::to_wstring(fields.ullSerial).c_str(), fields.strExpires.c_str());
        return true;
    }
    ConsoleOutPrintf(L"Signature: REFUSED, 0x%08X (%s)\n  Error log:\n    %s\n    %s\n  Reason: %s\n",
                     static_cast<unsigned>(ZEP_E_INFO_HEADER_INVALID), ResultText(ZEP_E_INFO_HEADER_INVALID).c_str(),
                     outcome.strErrorLine.c_str(), outcome.strDetailLine.c_str(), outcome.strDiagnosis.c_str());
    return false;
}
}  // namespace

int RunVerify(int argc, wchar_t** argv)
{
    CCommandLine cmd({L"service", L"category", L"accepted-serial"}, {L"help"});
    const ECommandStart start = StartCommand(
        L"verify", cmd, argc, argv, PrintVerifyHelp,
        [](const CCommandLine& c) { return c.Positionals().size() == 1 && c.Has(L"service") && c.Has(L"category"); },
        L"needs --service, --category and one FILE");
    if (start != ECommandStart::Run)
        return start == ECommandStart::HelpShown ? 0 : 1;
    ULONGLONG ullAccepted = 0;
    if (cmd.Has(L"accepted-serial") && !InfoSignature::ParseSerial(cmd.Get(L"accepted-serial"), ullAccepted))
    {
        ConsoleErr(L"zepinfo verify: --accepted-serial must be a number from 1 to 9223372036854775807\n");
        return 1;
    }

    CComInitScope com;
    CZepUpdateInfoAnalyzer analyzer;
    ZepXmlParseError parseError;
    const std::wstring& strFile = cmd.Positionals()[0];
    ConsoleOutPrintf(L"File: %s\nService: %s\nCategory: %s\n", strFile.c_str(), cmd.Get(L"service").c_str(),
                     cmd.Get(L"category").c_str());
    const bool bSigned = VerifySignature(strFile, cmd.Get(L"service"), cmd.Get(L"category"), ullAccepted);
    const HRESULT hr =
        analyzer.Load(strFile.c_str(), cmd.Get(L"service").c_str(), cmd.Get(L"category").c_str(), &parseError);
    PrintLoadResult(analyzer, hr, parseError);
    // The client checks the signature first: its refusal is the result.
    return bSigned ? ExitCodeOf(hr) : ExitCodeOf(ZEP_E_INFO_HEADER_INVALID);
}
