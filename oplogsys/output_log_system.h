#pragma once
#include <windows.h>
#include <cstdarg>
#include <atomic>
#include <string>

namespace opLogSys
{
class ILog;
class ILogFilter;
class ILogSysInfo;
class IOutputLogSystemFactory;
class CSubjectEntry;

// The log of one subject of one component. Formatted operations format into 1023 characters at
// most; longer text is cut.
class COutputLogSystem final
{
public:
    // Takes the factory and the filter from pInfo (pInfo itself is not kept).
    COutputLogSystem(const wchar_t* pszSubject, ILogSysInfo* pInfo, const wchar_t* pszErrorLogPath,
                     DWORD dwMaxErrorLogSize, int nTrim) noexcept;
    ~COutputLogSystem();
    COutputLogSystem(const COutputLogSystem&) = delete;
    COutputLogSystem& operator=(const COutputLogSystem&) = delete;

    virtual HRESULT Printf(const wchar_t* pszFormat, ...);
    virtual HRESULT LevelPrintf(const wchar_t* pszSubject, long nLevel, const wchar_t* pszFormat, ...);
    // Unfiltered: the calling thread's log writes the text.
    virtual HRESULT Write(const wchar_t* pszText);
    virtual HRESULT LevelWrite(const wchar_t* pszSubject, long nLevel, const wchar_t* pszText);
    // E_POINTER when pData cannot be read for cbSize bytes; nLineSize must be 1 to 64.
    virtual HRESULT Dump(const wchar_t* pszTitle, const void* pData, size_t cbSize, int nLineSize);
    virtual HRESULT LevelDump(const wchar_t* pszSubject, long nLevel, const wchar_t* pszTitle, const void* pData,
                              size_t cbSize, int nLineSize);
    virtual HRESULT ErrorPrintfAt(int nLine, int nReserved, const wchar_t* pszSource, const wchar_t* pszFormat, ...);
    virtual HRESULT ErrorPrintf(const wchar_t* pszFormat, ...);
    virtual HRESULT ErrorVPrintfAt(int nLine, int nReserved, const wchar_t* pszSource, const wchar_t* pszFormat,
                                   va_list args);
    // "%05d:[%s] %s" with line, source and text.
    virtual HRESULT ErrorAt(int nLine, int nReserved, const wchar_t* pszSource, const wchar_t* pszText);
    // Always written, to the error log file (never filtered).
    virtual HRESULT WriteError(const wchar_t* pszText);
    virtual HRESULT BeginBlock();
    virtual HRESULT EndBlock();

    // Lock-free and allocation-free: false at once when the configuration has no filters.
    bool IsEnabled(const wchar_t* pszSubject, long nLevel) const noexcept;
    bool HasFilters() const noexcept;
    // The calling thread's log for this subject, with a reference for the caller; nullptr when it
    // could not be made.
    ILog* GetThreadLog() noexcept;
    HRESULT VPrintf(const wchar_t* pszFormat, va_list args);

    const std::wstring& GetSubject() const noexcept { return m_strSubject; }
    const std::wstring& GetErrorLogPath() const noexcept { return m_strErrorLogPath; }

private:
    std::wstring m_strSubject;
    std::wstring m_strErrorLogPath;
    DWORD m_dwMaxErrorLogSize;
    int m_nTrim;
    IOutputLogSystemFactory* m_pFactory = nullptr;
    ILogFilter* m_pFilter = nullptr;
    ILog* m_pErrorLog = nullptr;  // never filled: each error line makes its own error output
    std::atomic<CSubjectEntry*> m_pEntry{nullptr};
};
}  // namespace opLogSys
