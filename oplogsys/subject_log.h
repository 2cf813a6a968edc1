#pragma once
#include <windows.h>
#include <string>
#include "oplogsys/output_log_system.h"

namespace opLogSys
{
// What the components pass for their error log.
const DWORD kErrorLogMaxSize = 0x10000;
const int kErrorLogTrim = 1;
// The level the components trace methods at.
const long kMethodLevel = 1;

// The log system of a subject ("ZepBackend_Library", "HttpDownloader", "ZepMini_Application"...):
// made on the first call from "<subject>.log.xml" next to the executable and the user's error log,
// then the same object until the module unloads. Safe from any thread; never fails (without memory
// it answers a log system that writes nothing).
COutputLogSystem& GetSubjectLogSystem(const wchar_t* pszSubject) noexcept;

// "<directory of the executable>\<subject>.log.xml".
std::wstring GetSubjectConfigPath(const wchar_t* pszSubject);

// The user's error log: "<roaming app data>\Orvo Corporation\CommonDlonloader\" (created) followed by
// "<subject>.log" when the subject is configured, else "COMMONDWONLOADER.log".
std::wstring GetErrorLogPath(const wchar_t* pszSubject, bool bConfigExists);

// The directory of the process's executable, with a trailing backslash.
std::wstring GetExecutableDir();
}  // namespace opLogSys
