#include "update/info/info_log.h"

#include <cstdarg>

// Placeholder until the log library is in the tree: lines are dropped.
class CInfoMethodLog::CImpl
{
};

CInfoMethodLog::CInfoMethodLog(const wchar_t*, long*) {}
CInfoMethodLog::~CInfoMethodLog() = default;
void CInfoMethodLog::Error(const std::wstring&) {}
void CInfoMethodLog::ErrorPrintf(const wchar_t*, ...) {}
void CInfoMethodLog::Trace(const std::wstring&) {}
