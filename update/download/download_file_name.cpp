#include "update/download/download_file_name.h"

#include <wininet.h>

#include <vector>

#include "update/download/download_codes.h"

std::wstring MakeSafeFileName(const std::wstring& strName)
{
    static const wchar_t kUnsafe[] = L"*:<>?\"|;%,";
    std::wstring strSafe = strName;
    for (wchar_t& ch : strSafe)
    {
        if (wcschr(kUnsafe, ch) != nullptr && ch != L'\0')
            ch = L'_';
    }
    if (!strSafe.empty() && strSafe.back() == L' ')
        strSafe.back() = L'_';
    if (IsReservedDeviceName(strSafe))
        strSafe.insert(0, 1, L'_');
    return strSafe;
}

bool IsReservedDeviceName(const std::wstring& strName)
{
    std::wstring strBase = strName.substr(0, strName.find(L'.'));
    while (!strBase.empty() && (strBase.back() == L' ' || strBase.back() == L'\t'))
        strBase.pop_back();
    if (strBase.size() == 3)
    {
        static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL"};
        for (const wchar_t* pszName : kNames)
            if (_wcsicmp(strBase.c_str(), pszName) == 0)
                return true;
        return false;
    }
    if (strBase.size() == 4)
    {
        // Superscript digits count too: Windows maps "COM¹" to COM1.
        const wchar_t chDigit = strBase[3];
        const bool bDigit = (chDigit >= L'1' && chDigit <= L'9') || chDigit == L'\u00b9' || chDigit == L'\u00b2' ||
                            chDigit == L'\u00b3';
        return bDigit && (_wcsnicmp(strBase.c_str(), L"COM", 3) == 0 || _wcsnicmp(strBase.c_str(), L"LPT", 3) == 0);
    }
    return _wcsicmp(strBase.c_str(), L"CONIN$") == 0 || _wcsicmp(strBase.c_str(), L"CONOUT$") == 0;
}

static HRESULT CanonicalizeDecoded(const wchar_t* pszUrl, std::wstring& strOut)
{
    // Canonical forms can grow (escapes), so ask for the size the system needs.
    DWORD cch = static_cast<DWORD>(wcslen(pszUrl)) * 3 + 16;
    for (int nAttempt = 0; nAttempt < 3; ++nAttempt)
    {
        std::vector<wchar_t> buffer(cch + 1);
        DWORD cchInOut = cch;
        if (::InternetCanonicalizeUrlW(pszUrl, buffer.data(), &cchInOut, ICU_DECODE))
        {
            strOut.assign(buffer.data(), cchInOut);
            return S_OK;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
        cch = cchInOut > cch ? cchInOut : cch * 2;
    }
    return E_FAIL;
}

HRESULT DeriveDownloadFileName(const wchar_t* pszUrl, std::wstring& strName)
{
    strName.clear();
    if (pszUrl == nullptr || *pszUrl == L'\0')
        return E_INVALIDARG;

    std::wstring strCanonical;
    if (FAILED(CanonicalizeDecoded(pszUrl, strCanonical)))
        strCanonical = pszUrl;  // a URL WinINet cannot canonicalise still names its last segment

    size_t nSep = strCanonical.rfind(L'\\');
    if (nSep == std::wstring::npos)
        nSep = strCanonical.rfind(L'/');
    if (nSep == std::wstring::npos)
        return E_DL_BAD_TARGET;

    std::wstring strLast = strCanonical.substr(nSep + 1);
    if (strLast.size() > kMaxDownloadFileName)
        strLast.erase(0, strLast.size() - kMaxDownloadFileName);
    strName = MakeSafeFileName(strLast);
    if (strName.empty())
        strName = L"unknown";
    return S_OK;
}
