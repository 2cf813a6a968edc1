// The network half of CXHttpDownloader: connection, request, headers and body.
#include "update/download/xhttp_downloader.h"

#include <cwchar>
#include <cwctype>
#include <vector>

#include "common/string_util.h"
#include "update/download/download_log.h"

namespace
{
const DWORD kSendAttempts = 5;
const DWORD kBodyBlockSize = 16384;
const DWORD kAuthDrainBlockSize = 50;
const size_t kCrackBufferChars = 250;
const DWORD kStatusRangeNotSatisfiable = 416;
// Redirects followed for one transfer; a server that sends more is going round in circles.
const DWORD kMaxRedirects = 10;

bool IsRedirect(DWORD dwStatusCode)
{
    return dwStatusCode == 301 || dwStatusCode == 302 || dwStatusCode == 303 || dwStatusCode == 307 ||
           dwStatusCode == 308;
}

// A decimal number that fills the whole text (blanks around it allowed).
bool ParseUnsigned(const wchar_t* pszText, ULONGLONG& ullValue)
{
    while (iswspace(*pszText))
        ++pszText;
    if (!iswdigit(*pszText))
        return false;
    wchar_t* pszEnd = nullptr;
    ullValue = wcstoull(pszText, &pszEnd, 10);
    while (iswspace(*pszEnd))
        ++pszEnd;
    return *pszEnd == L'\0';
}

// The first byte of a Content-Range: "bytes 100-199/200", "bytes 100-199/*", or "bytes 100-199"
// from a server that leaves the total out.
bool ParseRangeStart(const wchar_t* pszText, ULONGLONG& ullStart)
{
    while (iswspace(*pszText))
        ++pszText;
    if (_wcsnicmp(pszText, L"bytes", 5) == 0)
        pszText += 5;
    while (iswspace(*pszText))
        ++pszText;
    if (!iswdigit(*pszText))
        return false;
    wchar_t* pszEnd = nullptr;
    ullStart = wcstoull(pszText, &pszEnd, 10);
    while (iswspace(*pszEnd))
        ++pszEnd;
    return *pszEnd == L'-';
}

// Whether the answer came with an HTTP/1.0 or HTTP/1.1 head. Wine's WinINet takes an answer
// without a status line, or with one that does not begin with "HTTP", for HTTP/0.9: it shows
// "HTTP/1.0 200 OK" without a single header line and hands the whole answer, head included, out
// as the body. It also passes any version through ("HTTP/9.9", "HTTP/").
bool IsHttp1Answer(HINTERNET hRequest)
{
    wchar_t szVersion[16] = {};
    DWORD cbVersion = sizeof(szVersion) - sizeof(wchar_t);
    if (!::HttpQueryInfoW(hRequest, HTTP_QUERY_VERSION, szVersion, &cbVersion, nullptr))
        return false;
    if (wcscmp(szVersion, L"HTTP/1.1") == 0)
        return true;
    if (wcscmp(szVersion, L"HTTP/1.0") != 0)
        return false;
    // A head too long for the buffer has header lines, which the made-up one never has.
    wchar_t szHead[64] = {};
    DWORD cbHead = sizeof(szHead) - sizeof(wchar_t);
    if (!::HttpQueryInfoW(hRequest, HTTP_QUERY_RAW_HEADERS_CRLF, szHead, &cbHead, nullptr))
        return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
    const wchar_t* pszLineEnd = wcsstr(szHead, L"\r\n");
    return pszLineEnd != nullptr && wcscmp(pszLineEnd, L"\r\n\r\n") != 0;
}
}  // namespace

HRESULT CXHttpDownloader::SendFailureResult(DWORD dwError)
{
    switch (dwError)
    {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:  // 12037
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:    // 12038
    case ERROR_INTERNET_INVALID_CA:             // 12045
    // WinINet reports several problems at once, or a chain it cannot judge, with these:
    case ERROR_INTERNET_SEC_CERT_ERRORS:      // 12055
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:  // 12057
    case ERROR_INTERNET_SEC_INVALID_CERT:     // 12169
    case ERROR_INTERNET_SEC_CERT_REVOKED:     // 12170
        return E_DL_CERTIFICATE;
    case ERROR_INTERNET_TIMEOUT:
        return E_DL_TIMEOUT;
    default:
        return E_DL_NETWORK;
    }
}

HRESULT CXHttpDownloader::Connect()
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::Connect", &hr);

    // Buffers as large as the URL itself, so that no part is ever cut.
    const size_t cchPart =
        m_strRequestUrl.size() + 1 > kCrackBufferChars ? m_strRequestUrl.size() + 1 : kCrackBufferChars;
    std::vector<wchar_t> scheme(cchPart), host(cchPart), user(cchPart), password(cchPart), path(cchPart),
        extra(cchPart);
    URL_COMPONENTSW components = {};
    components.dwStructSize = sizeof(components);
    components.lpszScheme = scheme.data();
    components.dwSchemeLength = static_cast<DWORD>(cchPart);
    components.lpszHostName = host.data();
    components.dwHostNameLength = static_cast<DWORD>(cchPart);
    components.lpszUserName = user.data();
    components.dwUserNameLength = static_cast<DWORD>(cchPart);
    components.lpszPassword = password.data();
    components.dwPasswordLength = static_cast<DWORD>(cchPart);
    components.lpszUrlPath = path.data();
    components.dwUrlPathLength = static_cast<DWORD>(cchPart);
    components.lpszExtraInfo = extra.data();
    components.dwExtraInfoLength = static_cast<DWORD>(cchPart);
    if (!::InternetCrackUrlW(m_strRequestUrl.c_str(), 0, 0, &components))
    {
        const DWORD dwError = ::GetLastError();
        log.ErrorPrintf(L"InternetCrackUrl() failed. %d\t%s", dwError, SystemErrorText(dwError).c_str());
        hr = EndTransfer(E_DL_NETWORK);
        return hr;
    }
    log.DebugPrintf(L"cracked download URL");
    log.DebugPrintf(L"m_downloadUrl = %s", m_strRequestUrl.c_str());
    log.DebugPrintf(L"UrlComponents.lpszScheme = %s", scheme.data());
    log.DebugPrintf(L"UrlComponents.lpszHostName = %s", host.data());
    log.DebugPrintf(L"UrlComponents.lpszUrlPath = %s", path.data());
    log.DebugPrintf(L"UrlComponents.lpszExtraInfo = %s", extra.data());

    // A redirect may name any scheme; only HTTP and HTTPS are fetched (never a local file).
    if (components.nScheme != INTERNET_SCHEME_HTTP && components.nScheme != INTERNET_SCHEME_HTTPS)
    {
        log.ErrorPrintf(L"Not an HTTP or HTTPS URL: %s", m_strRequestUrl.c_str());
        hr = EndTransfer(E_DL_NETWORK);
        return hr;
    }
    const bool bSecure = components.nScheme == INTERNET_SCHEME_HTTPS;
    if (m_hConnection != nullptr)
    {
        ::InternetCloseHandle(m_hConnection);
        m_hConnection = nullptr;
    }
    log.Printf(L"Call ::InternetConnect()");
    m_hConnection = ::InternetConnectW(m_hSession, host.data(), components.nPort, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, bSecure ? INTERNET_FLAG_SECURE : 0,
                                       reinterpret_cast<DWORD_PTR>(this));
    DWORD dwError = ::GetLastError();
    log.Printf(L"GetLastError() : %d\t%s", dwError, SystemErrorText(dwError).c_str());
    if (m_hConnection == nullptr)
    {
        log.ErrorPrintf(L"Could not Connect to HTTP Server: %s. Wininet returned error %d.", host.data(), dwError);
        hr = EndTransfer(E_DL_NETWORK);
        return hr;
    }
    log.Printf(L"Connected to HTTP Server: %s", host.data());
    ApplyTimeouts(m_hConnection);

    m_strObject = std::wstring(path.data()) + extra.data();
    // Redirects are followed here, not by WinINet, which follows a loop for ever. The body is
    // kept only in the download folder: a cache copy of WinINet's would take the space twice
    // and cost every small request its cache index work.
    m_dwRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                       INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (bSecure)
        m_dwRequestFlags |= INTERNET_FLAG_SECURE;
    hr = OpenRequest();
    return hr;
}

HRESULT CXHttpDownloader::OpenRequest()
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::OpenRequest", &hr);

    if (m_hRequest != nullptr)
    {
        ::InternetSetStatusCallbackW(m_hRequest, nullptr);
        ::InternetCloseHandle(m_hRequest);
        m_hRequest = nullptr;
    }
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    const bool bPost = !m_strPostData.empty();
    if (bPost)
        log.Printf(L"Call ::HttpOpenRequest(\"POST\", parammeter:%s, openFlag:%d)", m_strObject.c_str(),
                   m_dwRequestFlags);
    else
        log.Printf(L"Call ::HttpOpenRequest(\"GET\", parammeter:%s, openFlag:%d)", m_strObject.c_str(),
                   m_dwRequestFlags);
    // The request carries this object as its context too: WinINet reports the connection's
    // progress (resolving, connecting, sending) on the request handle.
    m_hRequest = ::HttpOpenRequestW(m_hConnection, bPost ? L"POST" : nullptr, m_strObject.c_str(), nullptr, nullptr,
                                    acceptTypes, m_dwRequestFlags, reinterpret_cast<DWORD_PTR>(this));
    if (m_hRequest == nullptr)
    {
        const DWORD dwError = ::GetLastError();
        log.ErrorPrintf(L"HTTP Open request Failed to Server: %s. Wininet returned error %d.", m_strUrl.c_str(),
                        dwError);
        hr = EndTransfer(E_DL_NETWORK);
        return hr;
    }
    ApplyTimeouts(m_hRequest);
    m_hrLastResult = S_OK;
    return hr;
}

void CXHttpDownloader::ApplyTimeouts(HINTERNET hInternet)
{
    // Set on each handle: not every WinINet passes a session's time-outs down to its requests.
    if (m_dwConnectTimeout != 0)
        ::InternetSetOptionW(hInternet, INTERNET_OPTION_CONNECT_TIMEOUT, &m_dwConnectTimeout, sizeof(DWORD));
    if (m_dwReceiveTimeout != 0)
    {
        ::InternetSetOptionW(hInternet, INTERNET_OPTION_RECEIVE_TIMEOUT, &m_dwReceiveTimeout, sizeof(DWORD));
        ::InternetSetOptionW(hInternet, INTERNET_OPTION_SEND_TIMEOUT, &m_dwReceiveTimeout, sizeof(DWORD));
    }
}

HRESULT CXHttpDownloader::ReadHeader(bool& bLengthKnown)
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::ReadHeader", &hr);
    bLengthKnown = false;

    if (m_bResume)
    {
        log.Printf(L"download file path : %s", m_strFullPath.c_str());
        UniqueHandle existing(::CreateFileW(m_strFullPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size = {};
        if (!existing || !::GetFileSizeEx(existing.Get(), &size) ||
            size.QuadPart < static_cast<LONGLONG>(m_dwResumeOffset))
        {
            m_bResume = false;
            m_dwResumeOffset = 0;
        }
    }
    if (!m_bResume)
        m_dwResumeOffset = 0;

    DWORD dwStatusCode = 0;
    // A range the server cannot satisfy means that its file is now shorter than ours (another
    // package under the same name): the whole file is fetched again, once (without a range).
    DWORD nRedirects = 0;
    for (;;)
    {
        hr = SendRequest(dwStatusCode);
        if (FAILED(hr))
            return hr;
        if (IsRedirect(dwStatusCode))
        {
            hr = FollowRedirect(nRedirects++);
            if (FAILED(hr))
                return hr;
            continue;
        }
        if (dwStatusCode != kStatusRangeNotSatisfiable || !m_bResume || m_dwResumeOffset == 0)
            break;
        log.Printf(L"Range from %lu not satisfiable; downloading %s again from its start", m_dwResumeOffset,
                   m_strFullPath.c_str());
        m_bResume = false;
        m_dwResumeOffset = 0;
        hr = OpenRequest();
        if (FAILED(hr))
            return hr;
    }

    if (dwStatusCode == HTTP_STATUS_DENIED || dwStatusCode == HTTP_STATUS_PROXY_AUTH_REQ)
    {
        // The body is drained so that the connection can be used again.
        log.Printf(L"Call InternetReadFile() repeatedly");
        char drain[kAuthDrainBlockSize];
        DWORD cbRead = 0;
        while (!m_bCancel && ::InternetReadFile(m_hRequest, drain, sizeof(drain), &cbRead) && cbRead != 0)
        {
        }
        log.Printf(L"GetLastError() : %d", ::GetLastError());
        hr = EndTransfer(E_DL_AUTH_REQUIRED);
        return hr;
    }
    if (dwStatusCode < 200 || dwStatusCode > 299)
    {
        HRESULT hrStatus = E_DL_NETWORK;
        if (dwStatusCode == HTTP_STATUS_BAD_REQUEST)
            hrStatus = E_DL_HTTP_400;
        else if (dwStatusCode == HTTP_STATUS_NOT_FOUND)
            hrStatus = E_DL_HTTP_404;
        else if (dwStatusCode == HTTP_STATUS_SERVER_ERROR)
            hrStatus = E_DL_HTTP_500;
        EndTransfer(hrStatus);
        log.ErrorPrintf(L"CXHttpDownloader::ReadHeader() Failed to retrieve a HTTP 200 status, Status Code:%d\n",
                        dwStatusCode);
        hr = hrStatus;
        return hr;
    }

    // A server that ignores the range sends the whole body: the file is written from its start.
    if (m_dwResumeOffset != 0 && m_bResume && dwStatusCode != HTTP_STATUS_PARTIAL_CONTENT)
    {
        m_bResume = false;
        m_dwResumeOffset = 0;
    }
    hr = QueryLength(dwStatusCode, bLengthKnown);
    return hr;
}

HRESULT CXHttpDownloader::SendRequest(DWORD& dwStatusCode)
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::SendRequest", &hr);

    if (m_bCancel)
    {
        log.Printf(L"File %s Download Canceled", m_strFullPath.c_str());
        hr = EndTransfer(E_DL_CANCELED);
        return hr;
    }

    std::wstring strHeaders;
    if (m_dwResumeOffset != 0 && m_bResume)
        strHeaders = FormatString(L"Range: bytes=%lu-\r\n", m_dwResumeOffset);
    strHeaders += L"Content-Type: application/x-www-form-urlencoded";
    std::string strBody = WideToAnsi(m_strPostData);

    BOOL bSent = FALSE;
    DWORD dwError = ERROR_SUCCESS;
    for (DWORD nAttempt = 0; nAttempt < kSendAttempts; ++nAttempt)
    {
        if (nAttempt != 0 && m_bCancel)
        {
            log.Printf(L"File %s Download Canceled", m_strFullPath.c_str());
            hr = EndTransfer(E_DL_CANCELED);
            return hr;
        }
        log.Printf(L"Call HttpSendRequest()");
        bSent = ::HttpSendRequestW(m_hRequest, strHeaders.c_str(), static_cast<DWORD>(-1),
                                   strBody.empty() ? nullptr : &strBody[0], static_cast<DWORD>(strBody.size()));
        dwError = bSent ? ERROR_SUCCESS : ::GetLastError();
        log.Printf(L"Retry : %d, GetLastError() : %d\t%s", nAttempt, dwError, SystemErrorText(dwError).c_str());
        if (bSent || !IsSendRetriable(dwError))
            break;
        PauseBeforeRetry(m_dwRetryPauseMs);
    }
    if (!bSent)
    {
        log.ErrorPrintf(L"Send LastError %d", dwError);
        hr = EndTransfer(SendFailureResult(dwError));
        return hr;
    }

    log.Printf(L"Call HttpQueryInfo()");
    wchar_t szStatus[16] = {};
    DWORD cbStatus = sizeof(szStatus);
    if (!::HttpQueryInfoW(m_hRequest, HTTP_QUERY_STATUS_CODE, szStatus, &cbStatus, nullptr))
    {
        dwError = ::GetLastError();
        log.ErrorPrintf(L"fail ::HttpQueryInfo() / GetLastError() : %d\t%s", dwError, SystemErrorText(dwError).c_str());
        hr = EndTransfer(E_DL_NETWORK);
        return hr;
    }
    dwStatusCode = static_cast<DWORD>(_wtoi(szStatus));
    if (!IsHttp1Answer(m_hRequest))
    {
        log.ErrorPrintf(L"Not an HTTP/1.x answer from %s", m_strRequestUrl.c_str());
        hr = EndTransfer(E_DL_NETWORK);
        return hr;
    }
    Notify(eMsgHttpStatus, dwStatusCode, eValueNumber);
    return hr;
}

HRESULT CXHttpDownloader::FollowRedirect(DWORD nRedirect)
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::FollowRedirect", &hr);

    if (nRedirect >= kMaxRedirects)
    {
        log.ErrorPrintf(L"More than %lu redirects from %s", kMaxRedirects, m_strUrl.c_str());
        hr = EndTransfer(E_DL_NETWORK);
        return hr;
    }
    DWORD cbLocation = 0;
    ::HttpQueryInfoW(m_hRequest, HTTP_QUERY_LOCATION, nullptr, &cbLocation, nullptr);
    std::vector<wchar_t> location(cbLocation / sizeof(wchar_t) + 1);
    cbLocation = static_cast<DWORD>(location.size() * sizeof(wchar_t));
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
        !::HttpQueryInfoW(m_hRequest, HTTP_QUERY_LOCATION, location.data(), &cbLocation, nullptr))
    {
        log.ErrorPrintf(L"A redirect without a location from %s", m_strRequestUrl.c_str());
        hr = EndTransfer(E_DL_NETWORK);
        return hr;
    }
    // A relative location counts from the URL that answered.
    DWORD cchTarget = 0;
    ::InternetCombineUrlW(m_strRequestUrl.c_str(), location.data(), nullptr, &cchTarget, ICU_NO_ENCODE);
    std::vector<wchar_t> target(cchTarget + 1);
    cchTarget = static_cast<DWORD>(target.size());
    if (!::InternetCombineUrlW(m_strRequestUrl.c_str(), location.data(), target.data(), &cchTarget, ICU_NO_ENCODE))
    {
        log.ErrorPrintf(L"Cannot follow the redirect from %s to %s", m_strRequestUrl.c_str(), location.data());
        hr = EndTransfer(E_DL_NETWORK);
        return hr;
    }
    log.Printf(L"Redirected from %s to %s", m_strRequestUrl.c_str(), target.data());
    m_strRequestUrl = target.data();
    hr = Connect();
    return hr;
}

bool CXHttpDownloader::IsOnlyLength(ULONGLONG ullLength)
{
    // WinINet reads as many bytes as the first Content-Length says; a second one that says
    // otherwise leaves no telling which is the file's length.
    for (DWORD dwIndex = 1; dwIndex < 8; ++dwIndex)
    {
        wchar_t szValue[64] = {};
        DWORD cbValue = sizeof(szValue) - sizeof(wchar_t);
        DWORD dwAt = dwIndex;
        if (!::HttpQueryInfoW(m_hRequest, HTTP_QUERY_CONTENT_LENGTH, szValue, &cbValue, &dwAt))
            return ::GetLastError() == ERROR_HTTP_HEADER_NOT_FOUND;
        ULONGLONG ullOther = 0;
        if (!ParseUnsigned(szValue, ullOther) || ullOther != ullLength)
            return false;
    }
    return true;
}

HRESULT CXHttpDownloader::QueryLength(DWORD dwStatusCode, bool& bLengthKnown)
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::QueryLength", &hr);

    bool bQueryRange = dwStatusCode == HTTP_STATUS_PARTIAL_CONTENT;
    // A partial answer without the total: its Content-Length counts from the resume offset.
    bool bPartOnly = false;
    DWORD cbBuffer = 64 * sizeof(wchar_t);
    for (int nQuery = 0; nQuery < 8; ++nQuery)
    {
        if (m_bCancel)
        {
            log.Printf(L"File %s Download Canceled", m_strFullPath.c_str());
            hr = EndTransfer(E_DL_CANCELED);
            return hr;
        }
        std::vector<wchar_t> buffer(cbBuffer / sizeof(wchar_t) + 1);
        DWORD cbInOut = cbBuffer;
        log.Printf(L"Call HttpQueryInfo()");
        if (::HttpQueryInfoW(m_hRequest, bQueryRange ? HTTP_QUERY_CONTENT_RANGE : HTTP_QUERY_CONTENT_LENGTH,
                             buffer.data(), &cbInOut, nullptr))
        {
            const std::wstring strValue(buffer.data());
            ULONGLONG ullLength = 0;
            if (bQueryRange)
            {
                // The part must begin where the file is cut, whatever else the header says (or
                // leaves out): any other start would misplace every byte.
                ULONGLONG ullStart = 0;
                if (!ParseRangeStart(strValue.c_str(), ullStart) || ullStart != m_dwResumeOffset)
                {
                    log.ErrorPrintf(L"Content-Range \"%s\" does not start at %lu", strValue.c_str(), m_dwResumeOffset);
                    hr = EndTransfer(E_DL_NETWORK);
                    return hr;
                }
                const size_t nSlash = strValue.rfind(L'/');
                if (nSlash == std::wstring::npos)
                {
                    bQueryRange = false;
                    bPartOnly = true;
                    continue;
                }
                if (!ParseUnsigned(strValue.c_str() + nSlash + 1, ullLength))
                {
                    // "*": the total is not known.
                    bQueryRange = false;
                    bPartOnly = true;
                    continue;
                }
            }
            else
            {
                if (!ParseUnsigned(strValue.c_str(), ullLength) || !IsOnlyLength(ullLength))
                {
                    log.ErrorPrintf(L"Content-Length \"%s\" is not one number", strValue.c_str());
                    hr = EndTransfer(E_DL_NETWORK);
                    return hr;
                }
                if (bPartOnly)
                    ullLength += m_dwResumeOffset;
            }
            if (ullLength > 0xFFFFFFFFULL)
            {
                log.ErrorPrintf(L"Content length %I64u is beyond 4 GiB", ullLength);
                hr = EndTransfer(E_DL_NETWORK);
                return hr;
            }
            m_dwContentLength = static_cast<DWORD>(ullLength);
            bLengthKnown = true;
            Notify(eMsgDownloadSize, m_dwContentLength, eValueNumber);
            log.Printf(L"CXHttpDownloader::ReadHeader() Done");
            return hr;
        }

        const DWORD dwError = ::GetLastError();
        log.Printf(L"fail ::HttpQueryInfo() / GetLastError() : %d\t%s", dwError, SystemErrorText(dwError).c_str());
        if (dwError == ERROR_INSUFFICIENT_BUFFER)
        {
            log.Printf(L"Error: Insufficient buffer! Retry HttpQueryInfo().");
            cbBuffer = cbInOut > cbBuffer ? cbInOut : cbBuffer * 2;
            continue;
        }
        // A part that does not say where it belongs cannot be placed in the file.
        if (bQueryRange)
        {
            log.ErrorPrintf(L"A partial answer without a Content-Range");
            hr = EndTransfer(E_DL_NETWORK);
            return hr;
        }
        // Errors from outside WinINet's range are not the header's fault.
        if (dwError == ERROR_HTTP_HEADER_NOT_FOUND || dwError < 12001 || dwError > 12174)
        {
            log.Printf(L"Fail ::HttpQueryInfo() but Success ReadHeader()");
            return hr;
        }
        log.ErrorPrintf(L"Fail ::HttpQueryInfo() for Fail ReadHeader()");
        hr = EndTransfer(E_DL_NETWORK);
        return hr;
    }
    hr = EndTransfer(E_DL_NETWORK);
    return hr;
}

HRESULT CXHttpDownloader::ReadFile(bool bLengthKnown)
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::ReadFile", &hr);

    // Before the file is opened: a canceled transfer leaves a partial file exactly as it was.
    if (m_bCancel)
    {
        log.Printf(L"File %s Download Canceled", m_strFullPath.c_str());
        hr = EndTransfer(E_DL_CANCELED);
        return hr;
    }
    if (bLengthKnown && FAILED(ValidDiscFreeSpace()))
    {
        hr = EndTransfer(E_DL_DISK_FULL);
        return hr;
    }

    m_hFile.Reset();
    m_hKeptFile.Reset();
    m_hFile.Reset(::CreateFileW(m_strFullPath.c_str(), GENERIC_WRITE | (m_bKeepFile ? GENERIC_READ : 0),
                                FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_hFile)
    {
        log.ErrorPrintf(L"Failed to open file for writing \"%s\"", m_strFullPath.c_str());
        hr = EndTransfer(E_DL_BAD_TARGET);
        return hr;
    }
    const bool bResuming = m_bResume && m_dwResumeOffset != 0;
    if (bResuming)
    {
        LARGE_INTEGER offset = {};
        offset.QuadPart = m_dwResumeOffset;
        if (!::SetFilePointerEx(m_hFile.Get(), offset, nullptr, FILE_BEGIN))
        {
            m_hFile.Reset();
            hr = EndTransfer(E_DL_SEEK);
            return hr;
        }
    }
    // A fresh transfer empties the file; a resumed one drops whatever lies behind the offset.
    if (!::SetEndOfFile(m_hFile.Get()))
    {
        const DWORD dwError = ::GetLastError();
        m_hFile.Reset();
        log.ErrorPrintf(L"SetEndOfFile() failed. %d\t%s", dwError, SystemErrorText(dwError).c_str());
        hr = EndTransfer(dwError == ERROR_DISK_FULL ? E_DL_DISK_FULL : E_DL_WRITE);
        return hr;
    }

    DWORD dwCount = 0;
    if (bResuming)
    {
        dwCount = m_dwResumeOffset;
        log.Printf(L"Resuming Download from %lu", dwCount);
    }

    std::vector<BYTE> block(kBodyBlockSize);
    bool bCanceled = false;
    for (;;)
    {
        DWORD cbRead = 0;
        if (!::InternetReadFile(m_hRequest, block.data(), kBodyBlockSize, &cbRead))
        {
            log.ErrorPrintf(L"Failed in call to InternetReadFile@ReadFile, Error:%d\n", ::GetLastError());
            m_hFile.Reset();
            hr = EndTransfer(E_DL_NETWORK);
            return hr;
        }
        if (cbRead == 0)
        {
            bCanceled = m_bCancel;
            if (bCanceled || !bLengthKnown || dwCount == m_dwContentLength)
                break;
            log.ErrorPrintf(
                L"The downloaded file is not available, invalid data length. [Downloaded/Estimated] = [%lu / %lu]",
                dwCount, m_dwContentLength);
            m_hFile.Reset();
            hr = EndTransfer(E_DL_LENGTH_MISMATCH);
            return hr;
        }
        if (m_bCancel)
        {
            bCanceled = true;
            break;
        }
        if (static_cast<ULONGLONG>(dwCount) + cbRead > 0xFFFFFFFFULL)
        {
            log.ErrorPrintf(L"The body goes beyond 4 GiB");
            m_hFile.Reset();
            hr = EndTransfer(E_DL_LENGTH_MISMATCH);
            return hr;
        }
        const HRESULT hrWrite = WriteBlock(block.data(), cbRead);
        if (FAILED(hrWrite))
        {
            const DWORD dwError = ::GetLastError();
            m_hFile.Reset();
            log.ErrorPrintf(L"Exception caught in CXHttpDownloader::ReadFile with err %d", dwError);
            log.ErrorPrintf(L"An exception occured while writing to the download file.");
            hr = EndTransfer(hrWrite);
            return hr;
        }
        // Counted once written: the progress tells how much of the file is on disk.
        dwCount += cbRead;
        Notify(eMsgDownloadProgress, dwCount, eValueNumber);
    }

    if (m_bKeepFile && !bCanceled)
        m_hKeptFile = std::move(m_hFile);
    m_hFile.Reset();
    if (bCanceled)
    {
        log.Printf(L"File %s Download Canceled.", m_strFullPath.c_str());
        hr = EndTransfer(E_DL_CANCELED);
    }
    else
    {
        log.Printf(L"File %s Download succeeded.", m_strFullPath.c_str());
        hr = EndTransfer(S_OK);
    }
    return hr;
}

HRESULT CXHttpDownloader::WriteBlock(const BYTE* pData, DWORD cbData)
{
    // A short write is followed by another, so that a full disk is told apart from other failures.
    while (cbData != 0)
    {
        DWORD cbWritten = 0;
        if (!::WriteFile(m_hFile.Get(), pData, cbData, &cbWritten, nullptr))
            return ::GetLastError() == ERROR_DISK_FULL ? E_DL_DISK_FULL : E_DL_WRITE;
        if (cbWritten == 0)
            return E_DL_WRITE;
        pData += cbWritten;
        cbData -= cbWritten;
    }
    return S_OK;
}

HRESULT CXHttpDownloader::ValidDiscFreeSpace()
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::ValidDiscFreeSpace", &hr);

    // The folder the file is really written to (the temporary folder when none was set).
    std::wstring strFolder = m_strFullPath.substr(0, m_strFullPath.rfind(L'\\') + 1);
    if (strFolder.empty())
        strFolder = m_strDownloadFolder;
    if (!strFolder.empty() && strFolder.back() != L'\\')
        strFolder += L'\\';

    ULARGE_INTEGER freeBytes = {};
    if (!QueryFreeBytes(strFolder.c_str(), freeBytes))
    {
        log.ErrorPrintf(L"GetDiskFreeSpaceEx(), failed. %s", SystemErrorText(::GetLastError()).c_str());
        hr = E_DL_DISK_FULL;
        return hr;
    }
    const double dFree = static_cast<double>(freeBytes.QuadPart);
    log.Printf(L"[Target:%s] [FreeSpace:%.2lf]", strFolder.c_str(), dFree);
    if (dFree < 2.5 * static_cast<double>(m_dwContentLength))
    {
        log.ErrorPrintf(L"Cannot ensure Free Space.");
        hr = E_DL_DISK_FULL;
    }
    return hr;
}

void CALLBACK CXHttpDownloader::OnHttpStatus(HINTERNET, DWORD_PTR dwContext, DWORD dwStatus, LPVOID,
                                             DWORD dwInfoLength)
{
    if (dwContext == 0)
        return;
    reinterpret_cast<CXHttpDownloader*>(dwContext)->HandleHttpStatus(dwStatus, dwInfoLength);
}

void CXHttpDownloader::HandleHttpStatus(DWORD dwStatus, DWORD dwInfoLength)
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::OnHttpStatus", &hr);

    struct SStatusEntry
    {
        DWORD dwStatus;
        const wchar_t* pszName;
        int nCode;  // -1: logged only
    };
    static const SStatusEntry kStatuses[] = {
        {INTERNET_STATUS_RESOLVING_NAME, L"RESOLVING_NAME", eMsgResolvingName},
        {INTERNET_STATUS_NAME_RESOLVED, L"NAME_RESOLVED", eMsgNameResolved},
        {INTERNET_STATUS_CONNECTING_TO_SERVER, L"CONNECTING_TO_SERVER", eMsgConnectingServer},
        {INTERNET_STATUS_CONNECTED_TO_SERVER, L"CONNECTED_TO_SERVER", eMsgConnectedToServer},
        {INTERNET_STATUS_SENDING_REQUEST, L"SENDING_REQUEST", eMsgSendingRequest},
        {INTERNET_STATUS_REQUEST_SENT, L"REQUEST_SENT", eMsgRequestSent},
        {INTERNET_STATUS_RECEIVING_RESPONSE, L"RECEIVEING_RESPONSE", -1},
        {INTERNET_STATUS_RESPONSE_RECEIVED, L"RESPONSE_RECEIVED", -1},
        {INTERNET_STATUS_CLOSING_CONNECTION, L"CLOSING_CONNECTION", eMsgClosingConnection},
        {INTERNET_STATUS_CONNECTION_CLOSED, L"CONNECTION_CLOSED", eMsgConnectionClosed},
        {INTERNET_STATUS_HANDLE_CREATED, L"HANDLE_CREATED", -1},
        {INTERNET_STATUS_HANDLE_CLOSING, L"HANDLE_CLOSING", -1},
        {INTERNET_STATUS_REDIRECT, L"REDIRECT", -1},
        {INTERNET_STATUS_INTERMEDIATE_RESPONSE, L"INTERMEDIATE_RESPONSE", -1},
        {INTERNET_STATUS_STATE_CHANGE, L"STATE_CHANGE", -1},
    };

    if (dwStatus == INTERNET_STATUS_REQUEST_COMPLETE)
        return;
    if (dwStatus == INTERNET_STATUS_DETECTING_PROXY)
    {
        log.Printf(L"%s: DETECTING_PROXY", m_strUrl.c_str());
        if (!m_bEnded)
            Notify(eMsgDetectingProxy, 0, eValueNone);
        return;
    }
    for (const SStatusEntry& entry : kStatuses)
    {
        if (entry.dwStatus != dwStatus)
            continue;
        log.Printf(L"%s: %s (%d)", m_strUrl.c_str(), entry.pszName, dwInfoLength);
        // Late connection notifications would otherwise follow eMsgDownloadEnd.
        if (entry.nCode >= 0 && !m_bEnded)
            Notify(static_cast<DWORD>(entry.nCode), 0, eValueNone);
        return;
    }
    log.Printf(L"%s: Unknown: Status %d Given", m_strUrl.c_str(), dwStatus);
}
