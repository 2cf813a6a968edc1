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
    return strSafe;
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
