#include "oplogsys/hex_dump.h"

namespace opLogSys
{
namespace HexDump
{
bool IsReadable(const void* pData, size_t cbSize) noexcept
{
    if (cbSize == 0)
        return true;
    if (pData == nullptr)
        return false;
    const ULONG_PTR nStart = reinterpret_cast<ULONG_PTR>(pData);
    const ULONG_PTR nEnd = nStart + cbSize;
    if (nEnd < nStart)
        return false;
    const DWORD dwReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                             PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    ULONG_PTR nAt = nStart;
    while (nAt < nEnd)
    {
        MEMORY_BASIC_INFORMATION mbi;
        if (::VirtualQuery(reinterpret_cast<const void*>(nAt), &mbi, sizeof(mbi)) == 0)
            return false;
        if (mbi.State != MEM_COMMIT || (mbi.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0 ||
            (mbi.Protect & dwReadable) == 0)
            return false;
        const ULONG_PTR nRegionEnd = reinterpret_cast<ULONG_PTR>(mbi.BaseAddress) + mbi.RegionSize;
        if (nRegionEnd <= nAt)
            return false;
        nAt = nRegionEnd;
    }
    return true;
}

namespace
{
const wchar_t kHex[] = L"0123456789ABCDEF";

void AppendByte(std::wstring& str, unsigned int nValue)
{
    str += kHex[(nValue >> 4) & 0xF];
    str += kHex[nValue & 0xF];
}
}  // namespace

void AppendHexColumns(std::wstring& strLine, const BYTE* pBytes, size_t cbCount, int nLineSize)
{
    for (int i = 0; i < nLineSize; ++i)
    {
        if (i > 0 && i % 8 == 0)
            strLine += L' ';
        if (static_cast<size_t>(i) < cbCount)
        {
            AppendByte(strLine, pBytes[i]);
            strLine += L' ';
        }
        else
        {
            strLine += L"   ";
        }
    }
}

std::wstring RulerNumbers(int nLineSize)
{
    std::wstring str;
    for (int i = 0; i < nLineSize; ++i)
    {
        if (i > 0 && i % 8 == 0)
            str += L' ';
        AppendByte(str, static_cast<unsigned int>(i));
        str += L' ';
    }
    return str;
}

std::wstring RulerDashes(int nLineSize)
{
    std::wstring str;
    for (int i = 0; i < nLineSize; ++i)
    {
        if (i > 0 && i % 8 == 0)
            str += L' ';
        str += L"---";
    }
    return str;
}

std::wstring TextColumn(const BYTE* pBytes, size_t cbCount)
{
    if (cbCount == 0)
        return std::wstring();
    char bytes[64];
    const size_t cb = cbCount < sizeof(bytes) ? cbCount : sizeof(bytes);
    memcpy(bytes, pBytes, cb);
    // A double-byte character cut by the line end would swallow or garble its neighbour.
    size_t i = 0;
    while (i < cb)
    {
        if (::IsDBCSLeadByte(static_cast<BYTE>(bytes[i])))
        {
            if (i + 1 >= cb)
            {
                bytes[i] = '.';
                break;
            }
            i += 2;
        }
        else
        {
            ++i;
        }
    }
    wchar_t text[64];
    const int cch = ::MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(cb), text, 64);
    std::wstring str;
    for (int n = 0; n < cch; ++n)
    {
        const wchar_t ch = text[n];
        str += (ch < 0x20 || (ch >= 0x7F && ch <= 0x9F)) ? L'.' : ch;
    }
    return str;
}
}  // namespace HexDump
}  // namespace opLogSys
