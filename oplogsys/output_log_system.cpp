#include "oplogsys/output_log_system.h"

#include <new>

#include "common/module_path.h"
#include "oplogsys/error_log.h"
#include "oplogsys/format_buffer.h"
#include "oplogsys/hex_dump.h"
#include "oplogsys/i_log.h"
#include "oplogsys/i_log_filter.h"
#include "oplogsys/i_log_sys_info.h"
#include "oplogsys/i_output_log_system_factory.h"
#include "oplogsys/output_error_log_io.h"
#include "oplogsys/subject_registry.h"

namespace opLogSys
{
namespace
{
// Releases a log handed out with a reference.
class CThreadLogRef
{
public:
    explicit CThreadLogRef(ILog* pLog) noexcept : m_pLog(pLog) {}
    ~CThreadLogRef()
    {
        if (m_pLog)
            m_pLog->Release();
    }
    CThreadLogRef(const CThreadLogRef&) = delete;
    CThreadLogRef& operator=(const CThreadLogRef&) = delete;
    ILog* operator->() const noexcept { return m_pLog; }
    explicit operator bool() const noexcept { return m_pLog != nullptr; }

private:
    ILog* m_pLog;
};
}  // namespace

COutputLogSystem::COutputLogSystem(const wchar_t* pszSubject, ILogSysInfo* pInfo, const wchar_t* pszErrorLogPath,
                                   DWORD dwMaxErrorLogSize, int nTrim) noexcept
    : m_dwMaxErrorLogSize(dwMaxErrorLogSize), m_nTrim(nTrim)
{
    // Made before any log system so that it is torn down after all of them.
    CSubjectRegistry::Instance();
    try
    {
        m_strSubject = pszSubject ? pszSubject : L"";
        m_strErrorLogPath = pszErrorLogPath ? pszErrorLogPath : L"";
    }
    catch (const std::bad_alloc&)
    {
    }
    if (pInfo)
    {
        m_pFactory = pInfo->GetFactory();
        m_pFilter = pInfo->GetFilter();
    }
}

COutputLogSystem::~COutputLogSystem()
{
    if (m_pErrorLog)
        m_pErrorLog->Release();
    if (m_pFilter)
        m_pFilter->Release();
    if (m_pFactory)
        m_pFactory->Release();
}

bool COutputLogSystem::HasFilters() const noexcept
{
    return m_pFilter != nullptr && m_pFilter->HasFilters() == S_OK;
}

bool COutputLogSystem::IsEnabled(const wchar_t* pszSubject, long nLevel) const noexcept
{
    return HasFilters() && m_pFilter->IsEnabled(pszSubject ? pszSubject : L"", nLevel) == S_OK;
}

ILog* COutputLogSystem::GetThreadLog() noexcept
{
    if (m_pFactory == nullptr)
        return nullptr;
    CSubjectRegistry* pRegistry = CSubjectRegistry::Instance();
    if (pRegistry == nullptr)
        return nullptr;
    Common::CScopedLock<Common::CCriticalSection> lock(pRegistry->Lock());
    CSubjectEntry* pEntry = m_pEntry.load(std::memory_order_relaxed);
    if (pEntry == nullptr)
    {
        pEntry = pRegistry->FindOrCreateEntry(m_strSubject, m_pFactory);
        if (pEntry == nullptr)
            return nullptr;
        m_pEntry.store(pEntry, std::memory_order_relaxed);
    }
    return pRegistry->GetThreadLog(pEntry, m_pFactory, ::GetCurrentThreadId());
}

HRESULT COutputLogSystem::VPrintf(const wchar_t* pszFormat, va_list args)
{
    wchar_t szText[Common::kFormatChars];
    Common::FormatV(szText, Common::kFormatChars, pszFormat, args);
    return Write(szText);
}

HRESULT COutputLogSystem::Printf(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    const HRESULT hr = VPrintf(pszFormat, args);
    va_end(args);
    return hr;
}

HRESULT COutputLogSystem::LevelPrintf(const wchar_t* pszSubject, long nLevel, const wchar_t* pszFormat, ...)
{
    // Deciding first spares the formatting of lines nobody reads.
    if (!IsEnabled(pszSubject, nLevel))
        return S_FALSE;
    va_list args;
    va_start(args, pszFormat);
    const HRESULT hr = VPrintf(pszFormat, args);
    va_end(args);
    return hr;
}

HRESULT COutputLogSystem::Write(const wchar_t* pszText)
{
    CThreadLogRef log(GetThreadLog());
    if (!log)
        return S_FALSE;
    log->Write(pszText);
    return S_OK;
}

HRESULT COutputLogSystem::LevelWrite(const wchar_t* pszSubject, long nLevel, const wchar_t* pszText)
{
    if (!IsEnabled(pszSubject, nLevel))
        return S_FALSE;
    return Write(pszText);
}

HRESULT COutputLogSystem::Dump(const wchar_t* pszTitle, const void* pData, size_t cbSize, int nLineSize)
{
    CThreadLogRef log(GetThreadLog());
    if (!log)
        return S_FALSE;
    wchar_t szLine[Common::kFormatChars];
    HRESULT hr = S_OK;
    log->BeginBlock();
    log->Write(L"\x2530");
    Common::Format(szLine, Common::kFormatChars, L"\x2503[%s]", pszTitle ? pszTitle : L"");
    log->Write(szLine);
    if (!HexDump::IsReadable(pData, cbSize))
    {
        log->Write(L"\x2503" L"Bad read Pointer.");
        hr = E_POINTER;
    }
    else if (nLineSize <= 0 || nLineSize > 64)
    {
        log->Write(L"\x2503" L"Invalided Parameter : nLineSize == 0 || nLineSize > 64");
        hr = E_INVALIDARG;
    }
    else
    {
        try
        {
            log->Write(L"\x2503");
            log->Write((L"\x2503" + HexDump::RulerNumbers(nLineSize)).c_str());
            log->Write((L"\x2503" + HexDump::RulerDashes(nLineSize)).c_str());
            const BYTE* pBytes = static_cast<const BYTE*>(pData);
            std::wstring strLine;
            for (size_t nOffset = 0; nOffset < cbSize; nOffset += static_cast<size_t>(nLineSize))
            {
                const size_t cbLine = (cbSize - nOffset < static_cast<size_t>(nLineSize))
                                          ? cbSize - nOffset
                                          : static_cast<size_t>(nLineSize);
                strLine.assign(L"\x2503");
                HexDump::AppendHexColumns(strLine, pBytes + nOffset, cbLine, nLineSize);
                strLine += L"    ";
                strLine += HexDump::TextColumn(pBytes + nOffset, cbLine);
                log->Write(strLine.c_str());
            }
        }
        catch (const std::bad_alloc&)
        {
            hr = E_OUTOFMEMORY;
        }
    }
    log->Write(L"\x2538");
    log->EndBlock();
    return hr;
}

HRESULT COutputLogSystem::LevelDump(const wchar_t* pszSubject, long nLevel, const wchar_t* pszTitle,
                                    const void* pData, size_t cbSize, int nLineSize)
{
    if (!IsEnabled(pszSubject, nLevel))
        return S_FALSE;
    return Dump(pszTitle, pData, cbSize, nLineSize);
}

HRESULT COutputLogSystem::ErrorPrintfAt(int nLine, int nReserved, const wchar_t* pszSource,
                                        const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    const HRESULT hr = ErrorVPrintfAt(nLine, nReserved, pszSource, pszFormat, args);
    va_end(args);
    return hr;
}

HRESULT COutputLogSystem::ErrorPrintf(const wchar_t* pszFormat, ...)
{
    wchar_t szText[Common::kFormatChars];
    va_list args;
    va_start(args, pszFormat);
    Common::FormatV(szText, Common::kFormatChars, pszFormat, args);
    va_end(args);
    return WriteError(szText);
}

HRESULT COutputLogSystem::ErrorVPrintfAt(int nLine, int nReserved, const wchar_t* pszSource,
                                         const wchar_t* pszFormat, va_list args)
{
    wchar_t szText[Common::kFormatChars];
    Common::FormatV(szText, Common::kFormatChars, pszFormat, args);
    return ErrorAt(nLine, nReserved, pszSource, szText);
}

HRESULT COutputLogSystem::ErrorAt(int nLine, int /*nReserved*/, const wchar_t* pszSource, const wchar_t* pszText)
{
    wchar_t szLine[Common::kFormatChars];
    Common::FormatErrorAt(szLine, Common::kFormatChars, nLine, pszSource, pszText);
    return WriteError(szLine);
}

HRESULT COutputLogSystem::WriteError(const wchar_t* pszText)
{
    CSubjectRegistry* pRegistry = CSubjectRegistry::Instance();
    if (pRegistry == nullptr)
        return S_FALSE;
    Common::CScopedLock<Common::CCriticalSection> lock(pRegistry->Lock());
    if (m_strErrorLogPath.empty())
        return S_FALSE;
    COutputErrorLogIO* pIO = new (std::nothrow) COutputErrorLogIO(m_strErrorLogPath.c_str(), m_dwMaxErrorLogSize, m_nTrim);
    if (pIO == nullptr)
        return E_OUTOFMEMORY;
    ILog* pLog = m_pFactory ? m_pFactory->CreateErrorLog(pIO) : new (std::nothrow) CErrorLog(pIO);
    if (pLog == nullptr)
    {
        pIO->Release();
        return E_OUTOFMEMORY;
    }
    // One open of the file for the banner and the line, and no other writer between them.
    pIO->Lock();
    if (pRegistry->IsFirstErrorLineFor(m_strErrorLogPath))
    {
        try
        {
            const std::wstring strRule(79, L'-');
            pLog->Write(strRule.c_str());
            pLog->Write(ModuleFilePath().c_str());
            pLog->Write(strRule.c_str());
        }
        catch (const std::bad_alloc&)
        {
        }
    }
    pLog->Write(pszText);
    pIO->Unlock();
    pLog->Release();
    pIO->Release();
    return S_OK;
}

HRESULT COutputLogSystem::BeginBlock()
{
    CThreadLogRef log(GetThreadLog());
    if (!log)
        return S_FALSE;
    log->BeginBlock();
    return S_OK;
}

HRESULT COutputLogSystem::EndBlock()
{
    CThreadLogRef log(GetThreadLog());
    if (!log)
        return S_FALSE;
    log->EndBlock();
    return S_OK;
}
}  // namespace opLogSys
