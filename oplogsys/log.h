#pragma once
#include "oplogsys/i_log.h"
#include "oplogsys/i_log_io.h"
#include "oplogsys/reference.h"

namespace opLogSys
{
// The log of one thread for one subject: stamps each line with the thread id and the time, and
// shows the call depth as a column of "│".
class CLog : public Common::CReference<ILog>
{
public:
    // Holds its own reference on pIO.
    CLog(DWORD dwId, ILogIO* pIO) noexcept;
    ~CLog() override;

    long IncIndent() override;
    long DecIndent() override;
    long Write(const wchar_t* pszText) override;
    long BeginBlock() override;
    long EndBlock() override;
    DWORD GetId() override;

    long GetIndent() const noexcept { return m_nIndent; }

private:
    ILogIO* m_pIO;
    long m_nIndent = 0;
    long m_nBlock = 0;
    DWORD m_dwId;
    // Reading the clock costs more than the rest of a line; the system tick (which is also the
    // clock's own granularity) tells when the time may have changed.
    // The id and time part of the header, for the tick it was made in.
    static const size_t kStampChars = 64;
    ULONGLONG m_ullStampTick = ~0ull;
    wchar_t m_szStamp[kStampChars] = {};
    size_t m_cchStamp = 0;
};
}  // namespace opLogSys
