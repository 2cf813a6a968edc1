#include "update/info/registry_value_reader.h"

#include <vector>

#include "common/string_util.h"
#include "common/unique_resource.h"

namespace
{
SRWLOCK g_rootLock = SRWLOCK_INIT;
LONG g_lRootSelector = 0;

const LONG kMaxRootSelector = 999;
// Upper bound of a value name in characters; used when the name buffer turns out too small.
const DWORD kMaxValueName = 16384;

// Text of a value's data. Strings end at their first NUL or at the data's end; numbers are
// written in decimal; other data is read as the UTF-16 text it holds.
std::wstring DataToText(DWORD dwType, const std::vector<BYTE>& data, DWORD cbData)
{
    if (dwType == REG_DWORD && cbData >= sizeof(DWORD))
    {
        DWORD dw = 0;
        memcpy(&dw, data.data(), sizeof(dw));
        return FormatString(L"%lu", static_cast<unsigned long>(dw));
    }
    if (dwType == REG_QWORD && cbData >= sizeof(ULONGLONG))
    {
        ULONGLONG qw = 0;
        memcpy(&qw, data.data(), sizeof(qw));
        return FormatString(L"%llu", qw);
    }
    const wchar_t* psz = reinterpret_cast<const wchar_t*>(data.data());
    const size_t cchMax = cbData / sizeof(wchar_t);
    size_t cch = 0;
    while (cch < cchMax && psz[cch] != L'\0')
        ++cch;
    return std::wstring(psz, cch);
}
}  // namespace

bool RegistryValueReader::SetRoot(LONG lSelector) noexcept
{
    if (lSelector > kMaxRootSelector)
        return false;
    ::AcquireSRWLockExclusive(&g_rootLock);
    g_lRootSelector = lSelector;
    ::ReleaseSRWLockExclusive(&g_rootLock);
    return true;
}

LONG RegistryValueReader::GetRoot() noexcept
{
    ::AcquireSRWLockShared(&g_rootLock);
    const LONG l = g_lRootSelector;
    ::ReleaseSRWLockShared(&g_rootLock);
    return l;
}

bool RegistryValueReader::SetPath(const std::wstring& strA, const std::wstring& strB, const std::wstring& strM)
{
    m_strA = strA;
    m_strB = strB;
    m_strM = strM;
    return true;
}

std::wstring RegistryValueReader::GetKeyPath() const
{
    std::wstring strPath = FormatString(L"%s\\%s\\%s", L"Software", m_strA.c_str(), m_strB.c_str());
    if (!m_strM.empty())
    {
        strPath += L'\\';
        strPath += m_strM;
    }
    return strPath;
}

bool RegistryValueReader::GetValue(const std::wstring& strName, std::wstring& strText) const
{
    const std::wstring strKeyPath = GetKeyPath();
    const HKEY hRoot = GetRoot() >= 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    if (ReadFromRoot(hRoot, strKeyPath, strName, strText))
        return true;
    return ReadFromRoot(HKEY_LOCAL_MACHINE, strKeyPath, strName, strText);
}

bool RegistryValueReader::ReadFromRoot(HKEY hRoot, const std::wstring& strKeyPath, const std::wstring& strName,
                                       std::wstring& strText)
{
    UniqueHKey key;
    if (::RegOpenKeyExW(hRoot, strKeyPath.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return false;

    DWORD cValues = 0, cchMaxName = 0, cbMaxData = 0;
    if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &cValues, &cchMaxName,
                           &cbMaxData, nullptr, nullptr) != ERROR_SUCCESS)
        return false;

    std::vector<wchar_t> name(static_cast<size_t>(cchMaxName) + 1);
    // Room for a terminator even when a string value's data lacks one.
    std::vector<BYTE> data(static_cast<size_t>(cbMaxData) + sizeof(wchar_t));

    for (DWORD dwIndex = 0;; ++dwIndex)
    {
        DWORD cchName = 0, cbData = 0, dwType = 0;
        LONG lResult = ERROR_SUCCESS;
        // Values may grow between the query and the read: retry the entry with what it reports.
        for (int nAttempt = 0; nAttempt < 8; ++nAttempt)
        {
            cchName = static_cast<DWORD>(name.size());
            cbData = static_cast<DWORD>(data.size() - sizeof(wchar_t));
            lResult = ::RegEnumValueW(key.Get(), dwIndex, name.data(), &cchName, nullptr, &dwType, data.data(),
                                      &cbData);
            if (lResult != ERROR_MORE_DATA)
                break;
            if (cbData + sizeof(wchar_t) > data.size())
                data.resize(static_cast<size_t>(cbData) + sizeof(wchar_t));
            else if (name.size() < kMaxValueName + 1)
                name.resize(kMaxValueName + 1);
            else
                break;
        }
        if (lResult == ERROR_NO_MORE_ITEMS)
            return false;
        if (lResult != ERROR_SUCCESS)
        {
            if (dwIndex >= cValues + 64)
                return false;
            continue;
        }
        if (EqualsNoCase(std::wstring(name.data(), cchName), strName))
        {
            std::fill(data.begin() + cbData, data.end(), 0);
            strText = DataToText(dwType, data, cbData);
            return true;
        }
    }
}
