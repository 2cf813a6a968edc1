#pragma once
// Text output of the tool: UTF-16 to a console, UTF-8 to files and pipes.
#include <windows.h>
#include <string>

void ConsoleOut(const std::wstring& strText);
void ConsoleErr(const std::wstring& strText);
void ConsoleOutPrintf(const wchar_t* pszFormat, ...);
void ConsoleErrPrintf(const wchar_t* pszFormat, ...);
