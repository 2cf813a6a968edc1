#include "watcher/shell_starter.h"

#include <shellapi.h>

void CSystemShellStarter::Start(const std::wstring& file, const std::wstring& parameters)
{
    // Nobody is told about a failed start: the watcher reports nothing.
    ::ShellExecuteW(nullptr, nullptr, file.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
}
