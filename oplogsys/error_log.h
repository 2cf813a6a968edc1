#pragma once
#include "oplogsys/i_log.h"
#include "oplogsys/i_log_io.h"
#include "oplogsys/reference.h"

namespace opLogSys
{
// Writes error lines, each stamped with the time and the process id.
class CErrorLog : public Common::CReference<ILog>
{
public:
    explicit CErrorLog(ILogIO* pIO) noexcept;
    ~CErrorLog() override;

    long IncIndent() override { return 1; }
    long DecIndent() override { return 1; }
    long Write(const wchar_t* pszText) override;
    long BeginBlock() override { return 1; }
    long EndBlock() override { return 1; }
    DWORD GetId() override { return 0; }

private:
    ILogIO* m_pIO;
};
}  // namespace opLogSys
