#include "oplogsys/method_log_base.h"

#include "oplogsys/format_buffer.h"
#include "oplogsys/i_log.h"
#include "oplogsys/output_log_system.h"
#include "oplogsys/subject_log.h"

namespace opLogSys
{
namespace Fmt
{
CMethodLogBase::CMethodLogBase(COutputLogSystem& logSystem, const wchar_t* pszSubject, long nLevel,
                               const wchar_t* pszMethod) noexcept
    : m_pLogSystem(&logSystem), m_pszMethod(pszMethod ? pszMethod : L""), m_pszSubject(pszSubject ? pszSubject : L""),
      m_nLevel(nLevel)
{
    // The common case (no configuration) must stay a single lock-free check.
    if (logSystem.HasFilters() && logSystem.IsEnabled(m_pszSubject, nLevel))
        Enter();
}

CMethodLogBase::CMethodLogBase(const wchar_t* pszSubject, long nLevel, const wchar_t* pszMethod) noexcept
    : CMethodLogBase(GetSubjectLogSystem(pszSubject), pszSubject, nLevel, pszMethod)
{
}

CMethodLogBase::~CMethodLogBase()
{
    if (m_pLog)
        m_pLog->Release();
}

ILog* CMethodLogBase::ThreadLog() noexcept
{
    if (m_pLog == nullptr)
        m_pLog = m_pLogSystem->GetThreadLog();
    return m_pLog;
}

void CMethodLogBase::Enter() noexcept
{
    m_bEnabled = true;
    ILog* pLog = ThreadLog();
    if (pLog == nullptr)
        return;
    pLog->IncIndent();
    Common::CLineBuilder line;
    line.Append(L"\x250C ").Append(m_pszMethod).Append(L"()");
    pLog->Write(line.Text());
}

void CMethodLogBase::WriteExit(long nResult) noexcept
{
    ILog* pLog = ThreadLog();
    if (pLog == nullptr)
        return;
    // "└ %s() : return 0x%08X [%d]", built by hand: every traced call writes it.
    Common::CLineBuilder line;
    line.Append(L"\x2514 ").Append(m_pszMethod).Append(L"() : return 0x").AppendHex(static_cast<unsigned long>(nResult));
    line.Append(L" [").AppendDec(nResult).Append(L"]");
    pLog->Write(line.Text());
    pLog->DecIndent();
}

void CMethodLogBase::WriteSimpleExit() noexcept
{
    ILog* pLog = ThreadLog();
    if (pLog == nullptr)
        return;
    Common::CLineBuilder line;
    line.Append(L"\x2514 ").Append(m_pszMethod).Append(L"()");
    pLog->Write(line.Text());
    pLog->DecIndent();
}

HRESULT CMethodLogBase::LevelPrintf(long nLevel, const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    const HRESULT hr = LevelVPrintf(nLevel, pszFormat, args);
    va_end(args);
    return hr;
}

HRESULT CMethodLogBase::Printf(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    const HRESULT hr = VPrintf(pszFormat, args);
    va_end(args);
    return hr;
}

HRESULT CMethodLogBase::LevelVPrintf(long nLevel, const wchar_t* pszFormat, va_list args)
{
    if (!m_bEnabled || (nLevel != m_nLevel && !m_pLogSystem->IsEnabled(m_pszSubject, nLevel)))
        return 0;
    ILog* pLog = ThreadLog();
    if (pLog == nullptr)
        return S_FALSE;
    // Formatted straight behind the "│ " of the line, cut at the line's 1023 characters.
    wchar_t szLine[Common::kFormatChars];
    szLine[0] = L'\x2502';
    szLine[1] = L' ';
    Common::FormatV(szLine + 2, Common::kFormatChars - 2, pszFormat, args);
    pLog->Write(szLine);
    return S_OK;
}

HRESULT CMethodLogBase::VPrintf(const wchar_t* pszFormat, va_list args)
{
    return LevelVPrintf(m_nLevel, pszFormat, args);
}

// "│ " and the text, cut at 1023 characters, through the thread's log.
HRESULT CMethodLogBase::WriteTraceLine(const wchar_t* pszText) noexcept
{
    ILog* pLog = ThreadLog();
    if (pLog == nullptr)
        return S_FALSE;
    wchar_t szLine[Common::kFormatChars];
    szLine[0] = L'\x2502';
    szLine[1] = L' ';
    const size_t cchText = pszText ? wcsnlen(pszText, Common::kFormatChars - 3) : 0;
    wmemcpy(szLine + 2, pszText ? pszText : L"", cchText);
    szLine[2 + cchText] = L'\0';
    pLog->Write(szLine);
    return S_OK;
}

HRESULT CMethodLogBase::LevelWrite(long nLevel, const wchar_t* pszText)
{
    // The own level was checked when the method was entered.
    if (!m_bEnabled || (nLevel != m_nLevel && !m_pLogSystem->IsEnabled(m_pszSubject, nLevel)))
        return 0;
    return WriteTraceLine(pszText);
}

HRESULT CMethodLogBase::Write(const wchar_t* pszText)
{
    return LevelWrite(m_nLevel, pszText);
}

HRESULT CMethodLogBase::LevelDump(long nLevel, const wchar_t* pszTitle, const void* pData, size_t cbSize,
                                  int nLineSize)
{
    if (!m_bEnabled || !m_pLogSystem->IsEnabled(m_pszSubject, nLevel))
        return 0;
    return Dump(pszTitle, pData, cbSize, nLineSize);
}

HRESULT CMethodLogBase::Dump(const wchar_t* pszTitle, const void* pData, size_t cbSize, int nLineSize)
{
    if (!m_bEnabled)
        return 0;
    ILog* pLog = ThreadLog();
    if (pLog == nullptr)
        return S_FALSE;
    pLog->BeginBlock();
    pLog->IncIndent();
    const HRESULT hr = m_pLogSystem->Dump(pszTitle, pData, cbSize, nLineSize);
    pLog->DecIndent();
    pLog->EndBlock();
    return hr;
}

HRESULT CMethodLogBase::ErrorPrintfAt(int nLine, int nReserved, const wchar_t* pszSource, const wchar_t* pszFormat,
                                      ...)
{
    va_list args;
    va_start(args, pszFormat);
    const HRESULT hr = ErrorVPrintfAt(nLine, nReserved, pszSource, pszFormat, args);
    va_end(args);
    return hr;
}

HRESULT CMethodLogBase::ErrorPrintf(const wchar_t* pszFormat, ...)
{
    wchar_t szText[Common::kFormatChars];
    va_list args;
    va_start(args, pszFormat);
    Common::FormatV(szText, Common::kFormatChars, pszFormat, args);
    va_end(args);
    return Error(szText);
}

HRESULT CMethodLogBase::ErrorVPrintfAt(int nLine, int nReserved, const wchar_t* pszSource,
                                       const wchar_t* pszFormat, va_list args)
{
    wchar_t szText[Common::kFormatChars];
    Common::FormatV(szText, Common::kFormatChars, pszFormat, args);
    return ErrorAt(nLine, nReserved, pszSource, szText);
}

HRESULT CMethodLogBase::ErrorAt(int nLine, int /*nReserved*/, const wchar_t* pszSource, const wchar_t* pszText)
{
    wchar_t szLine[Common::kFormatChars];
    Common::FormatErrorAt(szLine, Common::kFormatChars, nLine, pszSource, pszText);
    return Error(szLine);
}

HRESULT CMethodLogBase::Error(const wchar_t* pszText)
{
    const HRESULT hr = m_pLogSystem->WriteError(pszText);
    WriteTraceLine(pszText);
    return hr;
}

HRESULT CMethodLogBase::BeginBlock()
{
    if (!m_bEnabled)
        return 0;
    ILog* pLog = ThreadLog();
    return pLog ? pLog->BeginBlock() : 0;
}

HRESULT CMethodLogBase::EndBlock()
{
    if (!m_bEnabled)
        return 0;
    ILog* pLog = ThreadLog();
    return pLog ? pLog->EndBlock() : 0;
}
}  // namespace Fmt
}  // namespace opLogSys
