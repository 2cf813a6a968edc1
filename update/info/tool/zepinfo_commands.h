#pragma once
// The commands of zepinfo. Each returns the process exit code.
#include <functional>
#include <string>

#include "update/info/tool/command_line.h"

#include "update/info/zep_update_info_analyzer.h"

int RunPublish(int argc, wchar_t** argv);
int RunVerify(int argc, wchar_t** argv);
int RunEvaluate(int argc, wchar_t** argv);
int RunKeygen(int argc, wchar_t** argv);

void PrintPublishHelp();
void PrintVerifyHelp();
void PrintEvaluateHelp();
void PrintKeygenHelp();

// How the start every command shares ended: go on, or end now.
enum class ECommandStart
{
    Run,
    HelpShown,
    UsageError,
};
// Parses the arguments after the command word, prints the help on --help, and reports an unknown
// option, a missing value or arguments that fail bArgumentsOk (pszNeeds says what the command
// needs) as "zepinfo NAME: PROBLEM" followed by "(see zepinfo NAME --help)".
ECommandStart StartCommand(const wchar_t* pszName, CCommandLine& cmd, int argc, wchar_t** argv,
                           void (*pfnPrintHelp)(), const std::function<bool(const CCommandLine&)>& bArgumentsOk,
                           const wchar_t* pszNeeds);

// Exit code of a failed load or evaluation: the result code itself.
int ExitCodeOf(HRESULT hr);
std::wstring ResultText(HRESULT hr);
// The result code, the error lines the client logs, the reason and the parser's report.
void PrintLoadResult(const CZepUpdateInfoAnalyzer& analyzer, HRESULT hr, const ZepXmlParseError& parseError);
// Checks that a service identifier or category can be a folder name and a URL path segment.
bool CheckPathSegment(const wchar_t* pszWhat, const std::wstring& strValue);
