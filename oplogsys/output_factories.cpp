#include <new>
#include "oplogsys/error_log.h"
#include "oplogsys/file_io.h"
#include "oplogsys/file_output_factory.h"
#include "oplogsys/log.h"
#include "oplogsys/null_output_factory.h"
#include "oplogsys/ods_output_factory.h"

namespace opLogSys
{
ILog* COutputLogSystemFactoryBase::CreateLog(DWORD dwId, ILogIO* pIO)
{
    return new (std::nothrow) CLog(dwId, pIO);
}

ILog* COutputLogSystemFactoryBase::CreateErrorLog(ILogIO* pIO)
{
    return new (std::nothrow) CErrorLog(pIO);
}

namespace Null
{
ILogIO* COutputLogSystemFactory::CreateIO(const wchar_t* /*pszSubject*/)
{
    return new (std::nothrow) CNullIO;
}
}  // namespace Null

namespace Ods
{
long COutputLogSystemFactory::COutputDebugStringIO::WriteLine(const wchar_t* pszText)
{
    Common::CScopedLock<Common::CCriticalSection> lock(m_lock);
    ::OutputDebugStringW(pszText ? pszText : L"");
    ::OutputDebugStringW(L"\n");
    return 0;
}

long COutputLogSystemFactory::COutputDebugStringIO::Write(const wchar_t* pszText)
{
    Common::CScopedLock<Common::CCriticalSection> lock(m_lock);
    ::OutputDebugStringW(pszText ? pszText : L"");
    return 0;
}

ILogIO* COutputLogSystemFactory::CreateIO(const wchar_t* /*pszSubject*/)
{
    return new (std::nothrow) COutputDebugStringIO;
}
}  // namespace Ods

namespace File
{
COutputLogSystemFactory::COutputLogSystemFactory(bool bAutoFlush, const std::wstring& strLocation)
    : m_bAutoFlush(bAutoFlush), m_strLocation(strLocation)
{
}

ILogIO* COutputLogSystemFactory::CreateIO(const wchar_t* pszSubject)
{
    try
    {
        return new CFileIO(pszSubject, m_bAutoFlush, m_strLocation);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}
}  // namespace File
}  // namespace opLogSys
