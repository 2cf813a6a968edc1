#pragma once
#include <windows.h>
#include <cstdarg>

namespace opLogSys
{
class COutputLogSystem;
class ILog;

namespace Fmt
{
// Traces one method call: an entry line "┌ name()" when constructed, an exit line when it goes
// out of scope, and "│ "-prefixed lines in between, indented by the thread's call depth.
// Subject and method name are kept as pointers: pass literals (or text that outlives the object).
// Everything but the error operations does nothing and returns 0 unless the configuration enables
// (subject, level).
class CMethodLogBase
{
public:
    CMethodLogBase(const CMethodLogBase&) = delete;
    CMethodLogBase& operator=(const CMethodLogBase&) = delete;

    virtual HRESULT LevelPrintf(long nLevel, const wchar_t* pszFormat, ...);
    virtual HRESULT Printf(const wchar_t* pszFormat, ...);
    virtual HRESULT LevelVPrintf(long nLevel, const wchar_t* pszFormat, va_list args);
    virtual HRESULT VPrintf(const wchar_t* pszFormat, va_list args);
    virtual HRESULT LevelWrite(long nLevel, const wchar_t* pszText);
    virtual HRESULT Write(const wchar_t* pszText);
    virtual HRESULT LevelDump(long nLevel, const wchar_t* pszTitle, const void* pData, size_t cbSize, int nLineSize);
    virtual HRESULT Dump(const wchar_t* pszTitle, const void* pData, size_t cbSize, int nLineSize);
    // Error lines always reach the error log file, and the trace too.
    virtual HRESULT ErrorPrintfAt(int nLine, int nReserved, const wchar_t* pszSource, const wchar_t* pszFormat, ...);
    virtual HRESULT ErrorPrintf(const wchar_t* pszFormat, ...);
    virtual HRESULT ErrorVPrintfAt(int nLine, int nReserved, const wchar_t* pszSource, const wchar_t* pszFormat,
                                   va_list args);
    virtual HRESULT ErrorAt(int nLine, int nReserved, const wchar_t* pszSource, const wchar_t* pszText);
    virtual HRESULT Error(const wchar_t* pszText);
    virtual HRESULT BeginBlock();
    virtual HRESULT EndBlock();

    bool IsEnabled() const noexcept { return m_bEnabled; }

protected:
    CMethodLogBase(COutputLogSystem& logSystem, const wchar_t* pszSubject, long nLevel,
                   const wchar_t* pszMethod) noexcept;
    // Looks the log system up by subject (GetSubjectLogSystem).
    CMethodLogBase(const wchar_t* pszSubject, long nLevel, const wchar_t* pszMethod) noexcept;
    ~CMethodLogBase();

    void WriteExit(long nResult) noexcept;
    void WriteSimpleExit() noexcept;

private:
    void Enter() noexcept;
    ILog* ThreadLog() noexcept;
    HRESULT WriteTraceLine(const wchar_t* pszText) noexcept;

    COutputLogSystem* m_pLogSystem;
    ILog* m_pLog = nullptr;
    const wchar_t* m_pszMethod;
    const wchar_t* m_pszSubject;
    long m_nLevel;
    bool m_bEnabled = false;
};
}  // namespace Fmt
}  // namespace opLogSys
