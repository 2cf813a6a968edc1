#include "oplogsys/log.h"

#include "oplogsys/format_buffer.h"

namespace opLogSys
{
namespace
{
const long kMaxBars = 63;
}

CLog::CLog(DWORD dwId, ILogIO* pIO) noexcept : m_pIO(pIO), m_dwId(dwId)
{
    if (m_pIO)
        m_pIO->AddRef();
}

CLog::~CLog()
{
    if (m_pIO)
        m_pIO->Release();
}

long CLog::IncIndent()
{
    return ++m_nIndent;
}

long CLog::DecIndent()
{
    if (m_nIndent > 0)
        --m_nIndent;
    return m_nIndent;
}

long CLog::Write(const wchar_t* pszText)
{
    if (m_pIO == nullptr)
        return 0;
    // "[%08X][%04d/%02d/%02d(%02d:%02d:%02d.%03d)]" changes at most once a millisecond: it is
    // built again only then. One bar follows per level beyond the first.
    const ULONGLONG ullTick = ::GetTickCount64();
    if (ullTick != m_ullStampTick)
    {
        SYSTEMTIME st;
        ::GetLocalTime(&st);
        m_ullStampTick = ullTick;
        wchar_t* p = m_szStamp;
        *p++ = L'[';
        p = Common::AppendHex(p, m_dwId, 8);
        *p++ = L']';
        *p++ = L'[';
        p = Common::AppendDec(p, st.wYear, 4);
        *p++ = L'/';
        p = Common::AppendDec(p, st.wMonth, 2);
        *p++ = L'/';
        p = Common::AppendDec(p, st.wDay, 2);
        *p++ = L'(';
        p = Common::AppendDec(p, st.wHour, 2);
        *p++ = L':';
        p = Common::AppendDec(p, st.wMinute, 2);
        *p++ = L':';
        p = Common::AppendDec(p, st.wSecond, 2);
        *p++ = L'.';
        p = Common::AppendDec(p, st.wMilliseconds, 3);
        *p++ = L')';
        *p++ = L']';
        m_cchStamp = static_cast<size_t>(p - m_szStamp);
    }
    wchar_t szHeader[kStampChars + kMaxBars + 1];
    wmemcpy(szHeader, m_szStamp, m_cchStamp);
    wchar_t* p = szHeader + m_cchStamp;
    for (long nLevel = 1; nLevel < m_nIndent && nLevel <= kMaxBars; ++nLevel)
        *p++ = L'\x2502';
    *p = L'\0';

    return WriteHeadedLine(*m_pIO, szHeader, pszText);
}

long CLog::BeginBlock()
{
    ++m_nBlock;
    if (m_pIO)
        m_pIO->Lock();
    return m_nBlock;
}

long CLog::EndBlock()
{
    --m_nBlock;
    if (m_pIO)
    {
        if (m_nBlock < 1)
            m_pIO->Flush();
        m_pIO->Unlock();
    }
    if (m_nBlock < 0)
        m_nBlock = 0;
    return m_nBlock;
}

DWORD CLog::GetId()
{
    return m_dwId;
}
}  // namespace opLogSys
