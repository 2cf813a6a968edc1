#pragma once
// Internal: the text lines of a hex dump.
#include <windows.h>
#include <string>

namespace opLogSys
{
namespace HexDump
{
// True when cbSize bytes from pData are committed, readable memory (nothing to read is readable).
bool IsReadable(const void* pData, size_t cbSize) noexcept;

// "XX " per column with one extra space before every eighth column; absent bytes (beyond cbCount)
// as three spaces.
void AppendHexColumns(std::wstring& strLine, const BYTE* pBytes, size_t cbCount, int nLineSize);
// The column numbers and the "---" line under them.
std::wstring RulerNumbers(int nLineSize);
std::wstring RulerDashes(int nLineSize);
// The bytes as text of the ANSI code page; control characters (C0, DEL, C1) and a lead byte cut
// off at the end of the line show as ".".
std::wstring TextColumn(const BYTE* pBytes, size_t cbCount);
}  // namespace HexDump
}  // namespace opLogSys
