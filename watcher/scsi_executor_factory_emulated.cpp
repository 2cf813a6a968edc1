#include "watcher/scsi_executor_factory.h"

#include <windows.h>
#include <string>
#include <vector>

#include "common/module_path.h"
#include "watcher/exec_scsi_emulated.h"

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
    return ModuleFolder() + kDefaultMapName;
}
}  // namespace

std::unique_ptr<CExecScsiInterface> CreateScsiExecutor()
{
    return std::unique_ptr<CExecScsiInterface>(new CExecScsiEmulated(InquiryMapPath()));
}
