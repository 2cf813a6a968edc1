#include "oplogsys/error_log.h"

#include "oplogsys/format_buffer.h"

namespace opLogSys
{
CErrorLog::CErrorLog(ILogIO* pIO) noexcept : m_pIO(pIO)
{
    if (m_pIO)
        m_pIO->AddRef();
}

CErrorLog::~CErrorLog()
{
    if (m_pIO)
        m_pIO->Release();
}

long CErrorLog::Write(const wchar_t* pszText)
{
    if (m_pIO == nullptr)
        return 0;
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    wchar_t szHeader[64];
    Common::Format(szHeader, 64, L"[%04d/%02d/%02d %02d:%02d:%02d][%X] ", st.wYear, st.wMonth, st.wDay, st.wHour,
                   st.wMinute, st.wSecond, ::GetCurrentProcessId());
    return WriteHeadedLine(*m_pIO, szHeader, pszText);
}
}  // namespace opLogSys
