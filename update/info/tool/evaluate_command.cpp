#include <windows.h>

#include "common/com_init.h"
#include "common/scope_exit.h"
#include "common/string_util.h"
#include "update/info/four_part_version.h"
#include "update/info/rule_operators.h"
#include "update/info/system_info.h"
#include "update/info/tool/command_line.h"
#include "update/info/tool/console.h"
#include "update/info/tool/zepinfo_commands.h"

namespace
{
enum EvaluateExit
{
    eEvaluateUpdate = 0,
    eEvaluateNoUpdate = 1,
    eEvaluateUsage = 2,
};

// The player's three-way answer given on the command line: 2 none given, else -1, 0 or 1.
int g_nPlayerOrder = 2;

// Answers as the update client does: a PC software version by the four-part numeric comparison
// (the very code the client uses), or, with --player-answer, by the order the player's firmware
// library would report.
LONG CompareFirmware(void*, const wchar_t* pszCurrent, const wchar_t* pszRule, int nRule)
{
    const wchar_t* pszOperator = RuleOperators::OperatorName(nRule);
    const bool bHolds = g_nPlayerOrder == 2 ? FourPartVersion::CheckRule(pszCurrent, pszRule, nRule) == 0
                                            : FourPartVersion::RuleHolds(g_nPlayerOrder, nRule);
    ConsoleOutPrintf(L"  FirmwareVersion rule: \"%s\" %s \"%s\" -> %s%s\n", pszCurrent,
                     pszOperator ? pszOperator : L"(unknown operator)", pszRule, bHolds ? L"holds" : L"does not hold",
                     g_nPlayerOrder == 2 ? L"" : L" (the player's answer)");
    return bHolds ? 0 : 1;
}

const wchar_t* ModeName(zepUpdateCheckMode eMode)
{
    return eMode == eMANUAL ? L"MANUAL" : L"AUTO";
}

void PrintFact(const wchar_t* pszName, const std::wstring& strValue)
{
    ConsoleOutPrintf(L"  %-16s %s\n", pszName, strValue.empty() ? L"(empty)" : strValue.c_str());
}
}  // namespace

void PrintEvaluateHelp()
{
    ConsoleOut(
        L"Usage: zepinfo evaluate --service S --category C [facts] FILE\n"
        L"\n"
        L"Loads FILE as the update client does, then evaluates it for one player: service\n"
        L"status, the first ApplyCondition whose rules all hold, its force flag, description\n"
        L"and packages. FirmwareVersion rules are answered as the update client answers them\n"
        L"for PC software: both versions as four-part numbers a.b.c.d (anything else is\n"
        L"malformed, below every version and equal to any other malformed one). For the\n"
        L"player's firmware the client asks the player's library instead; give its answer:\n"
        L"  --player-answer lower|equal|higher   the current version against the rule's\n"
        L"                                       version, as the library would compare them\n"
        L"\n"
        L"Facts about the player:\n"
        L"  --model M              player model (Software rules, ControlConditions)\n"
        L"  --current-version V    installed firmware/software version\n"
        L"  --serial N             serial number\n"
        L"  --nation N             nation code\n"
        L"  --language L           language code (default: this computer's ISO 639 name)\n"
        L"  --extension-key K      key of the Extension entry for Extended rules\n"
        L"  --production-mode P    release (default) or debug\n"
        L"  --mode auto|manual     checking mode (default auto)\n"
        L"Facts about the computer (default: the running system):\n"
        L"  --os-name, --os-version, --os-edition, --os-service-pack\n"
        L"\n"
        L"The description is chosen by this computer's language, as on a client.\n"
        L"Exit code: 0 an update applies, 1 no update, otherwise the client's error code.\n");
}

int RunEvaluate(int argc, wchar_t** argv)
{
    CCommandLine cmd({L"service", L"category", L"model", L"current-version", L"serial", L"nation", L"language",
                      L"extension-key", L"production-mode", L"mode", L"player-answer", L"os-name", L"os-version", L"os-edition",
                      L"os-service-pack"},
                     {L"help"});
    const ECommandStart start = StartCommand(
        L"evaluate", cmd, argc, argv, PrintEvaluateHelp,
        [](const CCommandLine& c) { return c.Positionals().size() == 1 && c.Has(L"service") && c.Has(L"category"); },
        L"needs --service, --category and one FILE");
    if (start != ECommandStart::Run)
        return start == ECommandStart::HelpShown ? 0 : eEvaluateUsage;
    const std::wstring strMode = ToLower(cmd.Get(L"mode", L"auto"));
    const std::wstring strProduction = ToLower(cmd.Get(L"production-mode", L"release"));
    if ((strMode != L"auto" && strMode != L"manual") || (strProduction != L"release" && strProduction != L"debug"))
    {
        ConsoleErr(L"zepinfo evaluate: --mode is auto or manual, --production-mode is release or debug\n");
        return eEvaluateUsage;
    }
    zepUpdateCheckMode eMode = strMode == L"manual" ? eMANUAL : eAUTO;
    if (cmd.Has(L"player-answer"))
    {
        const std::wstring strAnswer = ToLower(cmd.Get(L"player-answer"));
        g_nPlayerOrder = strAnswer == L"lower" ? -1 : strAnswer == L"equal" ? 0 : strAnswer == L"higher" ? 1 : 3;
        if (g_nPlayerOrder == 3)
        {
            ConsoleErr(L"zepinfo evaluate: --player-answer is lower, equal or higher\n");
            return eEvaluateUsage;
        }
    }

    CComInitScope com;
    CZepUpdateInfoAnalyzer analyzer;
    analyzer.SetVersionCheckCallback(&CompareFirmware, nullptr);
    ZepXmlParseError parseError;
    const std::wstring& strFile = cmd.Positionals()[0];
    HRESULT hr = analyzer.Load(strFile.c_str(), cmd.Get(L"service").c_str(), cmd.Get(L"category").c_str(), &parseError);
    ConsoleOutPrintf(L"File: %s\n", strFile.c_str());
    if (FAILED(hr))
    {
        PrintLoadResult(analyzer, hr, parseError);
        return ExitCodeOf(hr);
    }

    ClientFacts facts;
    SystemInfo system;
    if (SUCCEEDED(system.Refresh()))
    {
        facts.m_strOSName = L"Windows";
        facts.m_strOSVersion = system.GetVersionText();
        facts.m_strOSEdition = system.GetEditionText();
        facts.m_strOSServicePack = system.GetServicePackText();
    }
    facts.m_strOSName = cmd.Get(L"os-name", facts.m_strOSName);
    facts.m_strOSVersion = cmd.Get(L"os-version", facts.m_strOSVersion);
    facts.m_strOSEdition = cmd.Get(L"os-edition", facts.m_strOSEdition);
    facts.m_strOSServicePack = cmd.Get(L"os-service-pack", facts.m_strOSServicePack);
    std::wstring strUserLanguage;
    GetUserLanguageName(strUserLanguage);
    facts.m_strLanguage = cmd.Get(L"language", strUserLanguage);
    facts.m_strModel = cmd.Get(L"model");
    facts.m_strCurrentVersion = cmd.Get(L"current-version");
    facts.m_strSerialNumber = cmd.Get(L"serial");
    facts.m_strNation = cmd.Get(L"nation");
    facts.m_strExtensionKey = cmd.Get(L"extension-key");
    facts.m_strClientVersion = L"1.0";
    facts.m_strProductionMode = strProduction == L"debug" ? L"Debug" : L"Release";

    ConsoleOut(L"Client facts:\n");
    PrintFact(L"Model", facts.m_strModel);
    PrintFact(L"CurrentVersion", facts.m_strCurrentVersion);
    PrintFact(L"SerialNo", facts.m_strSerialNumber);
    PrintFact(L"Nation", facts.m_strNation);
    PrintFact(L"Language", facts.m_strLanguage);
    PrintFact(L"ExtensionKey", facts.m_strExtensionKey);
    PrintFact(L"ProductionMode", facts.m_strProductionMode);
    PrintFact(L"ClientVersion", facts.m_strClientVersion);
    PrintFact(L"OSName", facts.m_strOSName);
    PrintFact(L"OSVersion", facts.m_strOSVersion);
    PrintFact(L"OSEdition", facts.m_strOSEdition);
    PrintFact(L"OSServicePack", facts.m_strOSServicePack);
    PrintFact(L"Mode", ModeName(eMode));

    // The order of the update information manager: status, then conditions.
    std::wstring strStatus;
    hr = analyzer.GetServiceStatus(facts.m_strModel, strStatus);
    bool bOpen = false;
    if (SUCCEEDED(hr))
        hr = analyzer.IsServiceOpen(facts.m_strModel, eMode, &bOpen);
    bool bPolling = true;
    if (SUCCEEDED(hr) && !bOpen)
        hr = analyzer.ResolveServiceStatus(facts.m_strModel, &eMode, &bPolling);
    if (FAILED(hr))
    {
        ConsoleOutPrintf(L"Service status: error 0x%08X (%s)\n", static_cast<unsigned>(hr), ResultText(hr).c_str());
        return ExitCodeOf(hr);
    }
    ConsoleOutPrintf(L"Service status: %s\n  open in this mode: %s; server polling available: %s; mode now %s\n",
                     strStatus.c_str(), bOpen ? L"yes" : L"no", bPolling ? L"yes" : L"no", ModeName(eMode));

    int nForce = 0, nExist = 0;
    hr = analyzer.Exist(facts, &nForce, &nExist);
    if (FAILED(hr))
    {
        ConsoleOutPrintf(L"Evaluation: error 0x%08X (%s)\n", static_cast<unsigned>(hr), ResultText(hr).c_str());
        return ExitCodeOf(hr);
    }
    if (nExist == 0)
    {
        ConsoleOut(L"Result: no update\n");
        return eEvaluateNoUpdate;
    }

    ZEP_NEW_VERSION_INFO info = {};
    auto cleanup = MakeScopeExit([&] { ZepClearNewVersionInfo(&info); });
    hr = analyzer.GetNewVersionInfo(&info);
    if (FAILED(hr))
    {
        ConsoleOutPrintf(L"Packages: error 0x%08X (%s)\n", static_cast<unsigned>(hr), ResultText(hr).c_str());
        return ExitCodeOf(hr);
    }
    ConsoleOutPrintf(L"Result: update (ApplyCondition %d)\n", analyzer.GetMatchedConditionIndex());
    ConsoleOutPrintf(L"  Force: %s\n", nForce ? L"yes (installed without asking)" : L"no (the user is asked)");
    std::wstring strDetail = info.m_bstrUpdateDetail ? info.m_bstrUpdateDetail : L"";
    for (size_t pos = 0; (pos = strDetail.find(L'\n', pos)) != std::wstring::npos; pos += 5)
        strDetail.insert(pos + 1, L"    ");
    ConsoleOutPrintf(L"  Description (language %s):\n    %s\n", strUserLanguage.c_str(), strDetail.c_str());
    ConsoleOutPrintf(L"  Packages: %d\n", info.m_nInfoSize);
    for (int i = 0; i < info.m_nInfoSize; ++i)
    {
        const ZEP_DOWNLOAD_SOFTWARE_INFO& sw = info.m_stDownloadSoftwareInfos[i];
        ConsoleOutPrintf(L"    %d. %s %s\n       URI  %s\n       Size %lu bytes\n       MAC  %s\n", i + 1,
                         sw.m_bstrSoftwareName, sw.m_bstrNewVersion, sw.m_bstrURL,
                         static_cast<unsigned long>(sw.m_dwSize), sw.m_bstrMac);
    }
    return eEvaluateUpdate;
}
