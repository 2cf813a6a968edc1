#pragma once
// The commands of zepinfo. Each returns the process exit code.
#include <string>

#include "update/info/zep_update_info_analyzer.h"

int RunPublish(int argc, wchar_t** argv);
int RunVerify(int argc, wchar_t** argv);
int RunEvaluate(int argc, wchar_t** argv);

void PrintPublishHelp();
void PrintVerifyHelp();
void PrintEvaluateHelp();

// Exit code of a failed load or evaluation: the result code itself.
int ExitCodeOf(HRESULT hr);
std::wstring ResultText(HRESULT hr);
// The result code, the error lines the client logs, the reason and the parser's report.
void PrintLoadResult(const CZepUpdateInfoAnalyzer& analyzer, HRESULT hr, const ZepXmlParseError& parseError);
// Checks that a service identifier or category can be a folder name and a URL path segment.
bool CheckPathSegment(const wchar_t* pszWhat, const std::wstring& strValue);
