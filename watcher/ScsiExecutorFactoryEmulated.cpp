#include "watcher/ScsiExecutorFactory.h"

#include <windows.h>
#include <string>
#include <vector>

#include "watcher/ExecScsiEmulated.h"

namespace
{
const wchar_t kMapVariable[] = L"PIRRO_EMU_INQUIRY";
const wchar_t kDefaultMapName[] = L"PirroEmu.inquiry.txt";

// The file named by the environment, else the one beside the program.
std::wstring InquiryMapPath()
{
    std::vector<wchar_t> value(32768);
    const DWORD cch = ::GetEnvironmentVariableW(kMapVariable, value.data(), static_cast<DWORD>(value.size()));
    if (cch > 0 && cch < value.size())
        return std::wstring(value.data(), cch);
    std::vector<wchar_t> module(32768);
    const DWORD cchModule = ::GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    std::wstring path(module.data(), cchModule);
    const size_t slash = path.find_last_of(L"\\/");
    path = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    return path + kDefaultMapName;
}
}  // namespace

std::unique_ptr<CExecScsiInterface> CreateScsiExecutor()
{
    return std::unique_ptr<CExecScsiInterface>(new CExecScsiEmulated(InquiryMapPath()));
}
