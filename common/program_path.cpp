#include "common/program_path.h"

#include <windows.h>

#include "common/string_util.h"

bool IsStartableProgramPath(const std::wstring& path, const wchar_t* pszValue)
{
    if (!path.empty() && path.size() <= kMaxProgramPathChars)
        return true;
    // Neither program has a log of its own; a debugger or DebugView shows why nothing started.
    const std::wstring strLine =
        path.empty() ? FormatString(L"%s is empty or unreadable: nothing is started.\n", pszValue)
                     : FormatString(L"%s is %u characters long, more than a path can be: nothing is started.\n",
                                    pszValue, static_cast<unsigned>(path.size()));
    ::OutputDebugStringW(strLine.c_str());
    return false;
}
