#pragma once
#include "oplogsys/i_reference.h"

namespace opLogSys
{
// Where lines end up. Lock/Unlock nest; writes between them stay together.
class ILogIO : public IReference
{
public:
    virtual long Lock() = 0;
    virtual long Unlock() = 0;
    virtual long WriteLine(const wchar_t* pszText) = 0;
    virtual long Write(const wchar_t* pszText) = 0;
    virtual long Flush() = 0;
};

// One line kept together: the header, the text, CR LF. Returns what writing the text returned.
inline long WriteHeadedLine(ILogIO& io, const wchar_t* pszHeader, const wchar_t* pszText)
{
    io.Lock();
    io.Write(pszHeader);
    const long nResult = io.Write(pszText ? pszText : L"");
    io.Write(L"\r\n");
    io.Unlock();
    return nResult;
}
}  // namespace opLogSys
