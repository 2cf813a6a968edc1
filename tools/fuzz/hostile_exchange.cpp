#include "tools/fuzz/hostile_exchange.h"

#include <algorithm>
#include <cctype>

namespace
{
// How the body of an answer is delimited.
enum EFraming
{
    eLength,   // Content-Length
    eChunked,  // Transfer-Encoding: chunked
    eClose,    // neither: the body ends with the connection
};

// An answer under construction: status line, header lines, body.
struct SDraft
{
    std::string strStatus = "HTTP/1.1 200 OK";
    std::vector<std::string> headers;
    std::string strBody;
    std::string strEol = "\r\n";

    SHostileAnswer Answer() const
    {
        SHostileAnswer answer;
        answer.strHead = strStatus.empty() ? std::string() : strStatus + strEol;
        for (const std::string& strHeader : headers)
            answer.strHead += strHeader + strEol;
        answer.strHead += strEol;
        answer.strBody = strBody;
        return answer;
    }
};

std::string RandomBytes(CFuzzRandom& rng, size_t cb)
{
    std::string str(cb, '\0');
    for (char& ch : str)
        ch = static_cast<char>(rng.Below(256));
    return str;
}

std::string Hex(uint64_t n, bool bUpper)
{
    char sz[24];
    snprintf(sz, sizeof(sz), bUpper ? "%llX" : "%llx", static_cast<unsigned long long>(n));
    return sz;
}

// A correct chunked body: chunks of random sizes, now and then an extension, a trailer.
std::string Chunked(CFuzzRandom& rng, const std::string& strData)
{
    std::string strOut;
    size_t nPos = 0;
    const bool bUpper = rng.Percent(50);
    while (nPos < strData.size())
    {
        const size_t cb = std::min(strData.size() - nPos, rng.Between(1, rng.Percent(50) ? 64 : 20000));
        strOut += (rng.Percent(10) ? "000" : "") + Hex(cb, bUpper) + (rng.Percent(10) ? ";name=value" : "") + "\r\n";
        strOut += strData.substr(nPos, cb) + "\r\n";
        nPos += cb;
    }
    strOut += "0\r\n";
    if (rng.Percent(10))
        strOut += "X-Trailer: yes\r\n";
    strOut += "\r\n";
    return strOut;
}

// The body as the framing sends it.
void Frame(CFuzzRandom& rng, SDraft& draft, EFraming eFraming, const std::string& strData)
{
    if (eFraming == eLength)
    {
        draft.headers.push_back("Content-Length: " + std::to_string(strData.size()));
        draft.strBody = strData;
    }
    else if (eFraming == eChunked)
    {
        draft.headers.push_back("Transfer-Encoding: chunked");
        draft.strBody = Chunked(rng, strData);
    }
    else
    {
        draft.strBody = strData;
    }
    draft.headers.push_back(eFraming == eClose || rng.Percent(50) ? "Connection: close" : "Connection: keep-alive");
}

void RemoveHeader(SDraft& draft, const std::string& strPrefix)
{
    draft.headers.erase(std::remove_if(draft.headers.begin(), draft.headers.end(),
                                       [&](const std::string& strHeader) {
                                           return strHeader.compare(0, strPrefix.size(), strPrefix) == 0;
                                       }),
                        draft.headers.end());
}

// Whether a length, chunking or range header line arrived whole.
bool HasWholeFramingLine(const std::string& strHead)
{
    for (const char* pszName : {"\nContent-Length:", "\nTransfer-Encoding:", "\nContent-Range:"})
    {
        const size_t nAt = strHead.find(pszName);
        if (nAt != std::string::npos && strHead.find('\n', nAt + 1) != std::string::npos)
            return true;
    }
    return false;
}

// A status other than 206 says the body is the whole file: so it is.
void WholeFileUnlessPart(CFuzzRandom& rng, SDraft& draft, EFraming eFraming, const std::string& strFile)
{
    if (draft.strStatus.find(" 206") != std::string::npos)
        return;
    RemoveHeader(draft, "Content-Range");
    RemoveHeader(draft, "Content-Length");
    RemoveHeader(draft, "Transfer-Encoding");
    RemoveHeader(draft, "Connection");
    Frame(rng, draft, eFraming, strFile);
}

// Whether the answer's head arrives whole (not cut, no pause in it beyond the time-out), is an
// HTTP/1.x head, and gives the body's length as a number without chunking beside it.
bool DeclaresLength(const SHostileAnswer& answer)
{
    const std::string& strHead = answer.strHead;
    if (strHead.compare(0, 9, "HTTP/1.0 ") != 0 && strHead.compare(0, 9, "HTTP/1.1 ") != 0)
        return false;
    if ((answer.cbSendLimit != std::string::npos && answer.cbSendLimit < strHead.size()) ||
        (answer.cbPauseAt != std::string::npos && answer.cbPauseAt < strHead.size()))
        return false;
    bool bLength = false;
    size_t nLine = strHead.find('\n');
    while (nLine != std::string::npos)
    {
        const size_t nNext = strHead.find('\n', nLine + 1);
        std::string strLine = strHead.substr(nLine + 1, nNext == std::string::npos ? std::string::npos : nNext - nLine - 1);
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        nLine = nNext;
        const size_t nColon = strLine.find(':');
        if (nColon == std::string::npos)
            continue;
        std::string strName = strLine.substr(0, nColon);
        for (char& ch : strName)
            ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
        std::string strValue = strLine.substr(nColon + 1);
        strValue.erase(0, strValue.find_first_not_of(' '));
        strValue.erase(strValue.find_last_not_of(' ') + 1);
        if (strName == "transfer-encoding")
            return false;
        if (strName == "content-length")
        {
            if (strValue.empty() || strValue.find_first_not_of("0123456789") != std::string::npos)
                return false;
            bLength = true;
        }
    }
    return bLength;
}

bool AllDeclareLength(const SHostileExchange& exchange)
{
    for (const auto& path : exchange.answers)
    {
        for (const SHostileAnswer& answer : path.second)
        {
            if (!DeclaresLength(answer))
                return false;
        }
    }
    return true;
}

void EndBadly(CFuzzRandom& rng, SHostileAnswer& answer, DWORD dwTimeoutMs)
{
    answer.eEnd = static_cast<SHostileAnswer::EEnd>(rng.Below(3));
    answer.dwHoldMs = dwTimeoutMs * 2 + 200;
}

const char* const kStatusLines[] = {
    "", "HTTP/1.1", "HTTP/1.1 200", "HTTP/1.1 2OO OK", "HTTP/1.1 -200 OK", "HTTP/1.1 99999999999 OK",
    "HTTP/1.1 2000 OK", "HTTP/1.1 20 OK", "HTTP/1.1 199 Weird", "HTTP/1.0 200 OK", "HTTP/2.0 200 OK",
    "HTTP/9.9 200 OK", "ICY 200 OK", "http/1.1 200 ok", " HTTP/1.1 200 OK", "HTTP/1.1  200  OK",
    "HTTP/1.1 200 OK junk junk", "HTTP/1.1 100 Continue", "HTTP/1.1 302 Found", "HTTP/1.1 404 Not Found",
    "HTTP/1.1 500 Oops", "HTTP/1.1 401 Who", "HTTP/1.1 407 Proxy", "HTTP/1.1 416 Range", "HTTP/1.1 0 Zero",
    "HTTP/1.1 4294967496 Wrap", "HTTP/ 200 OK", "HTTP/1.1 200 OK\rX-Odd: 1", "GET / HTTP/1.1",
};

const char* const kLengthValues[] = {
    "-5", "-0", "-1", "0x10", "1e3", "", " ", "99999999999999999999", "4294967296", "4294967295",
    "18446744073709551616", "18446744073709551615", "9223372036854775808", "abc",
};

const char* const kOtherSchemes[] = {
    "file:///C:/windows/win.ini", "file://localhost/C:/windows/system.ini", "file:///Z:/etc/hostname",
    "ftp://127.0.0.1:1/file.bin", "https://127.0.0.1:1/file.bin", "gopher://127.0.0.1:1/x",
    "javascript:alert(1)", "data:text/plain,abc", "//127.0.0.1:1/x", "http://[::1", "http://127.0.0.1:99999/x",
    "", "http://%00/", "mailto:a@b", "res://shdoclet.dll/x", "\\\\127.0.0.1\\share\\file.bin",
    "C:\\windows\\win.ini", "http:", "http://",
};
}  // namespace

SHostileExchange MakeHostileExchange(CFuzzRandom& rng, const std::string& strPath, const std::string& strFile,
                                     bool bResume, DWORD dwReceiveTimeoutMs)
{
    SHostileExchange exchange;
    exchange.strPath = strPath;
    exchange.strIntended = strFile;
    const size_t n = strFile.size();

    // What lies on disk, and whether the client will ask for a range.
    bool bRange = false;
    size_t nFrom = 0;
    if (bResume && n > 1 && rng.Percent(60))
    {
        const size_t cbGood = rng.Between(1, n - 1);
        exchange.bFileBefore = true;
        exchange.strFileBefore = strFile.substr(0, cbGood);
        // Bytes behind the offset are the client's to drop.
        exchange.dwResumeOffset = static_cast<DWORD>(rng.Percent(70) ? cbGood : rng.Between(1, cbGood));
        if (exchange.dwResumeOffset < cbGood)
            exchange.strFileBefore = strFile.substr(0, exchange.dwResumeOffset) +
                                     RandomBytes(rng, cbGood - exchange.dwResumeOffset);
        // Now and then an offset beyond the file: no range then.
        if (rng.Percent(10))
            exchange.dwResumeOffset = static_cast<DWORD>(cbGood + rng.Between(1, 1000));
        bRange = exchange.dwResumeOffset <= exchange.strFileBefore.size();
        nFrom = bRange ? exchange.dwResumeOffset : 0;
    }
    else if (rng.Percent(20))
    {
        // A stale file of the same name: a fresh transfer empties it.
        exchange.bFileBefore = true;
        exchange.strFileBefore = RandomBytes(rng, rng.Below(3000));
    }

    // The honest answer to the request.
    SDraft draft;
    const EFraming eFraming = static_cast<EFraming>(rng.Below(3));
    const std::string strPart = strFile.substr(nFrom);
    if (bRange)
    {
        draft.strStatus = "HTTP/1.1 206 Partial Content";
        draft.headers.push_back("Content-Range: bytes " + std::to_string(nFrom) + "-" + std::to_string(n - 1) + "/" +
                                std::to_string(n));
    }
    draft.headers.push_back("Server: hostile");
    if (rng.Percent(30))
        draft.headers.push_back("Content-Type: application/octet-stream");
    Frame(rng, draft, eFraming, strPart);
    SHostileAnswer answer;

    switch (rng.Below(16))
    {
    case 0:
        exchange.strWhat = "honest";
        answer = draft.Answer();
        break;
    case 1:
    {
        const size_t nLine = rng.Below(sizeof(kStatusLines) / sizeof(kStatusLines[0]) + 2);
        if (nLine < sizeof(kStatusLines) / sizeof(kStatusLines[0]))
            draft.strStatus = kStatusLines[nLine];
        else if (nLine == sizeof(kStatusLines) / sizeof(kStatusLines[0]))
            draft.strStatus = RandomBytes(rng, rng.Between(1, 40));
        if (bRange)
            WholeFileUnlessPart(rng, draft, eFraming, strFile);
        exchange.strWhat = "status line \"" + draft.strStatus.substr(0, 40) + "\"";
        answer = draft.Answer();
        if (nLine > sizeof(kStatusLines) / sizeof(kStatusLines[0]))
        {
            // No head at all: the body alone.
            exchange.strWhat = "no head";
            answer.strHead.clear();
        }
        break;
    }
    case 2:
    {
        // A length longer than the body, then the connection closes, resets or stalls.
        RemoveHeader(draft, "Transfer-Encoding");
        RemoveHeader(draft, "Content-Length");
        const size_t nDelta = rng.Percent(50) ? rng.Between(1, 10) : rng.Between(1, n + 100000);
        draft.headers.push_back("Content-Length: " + std::to_string(strPart.size() + nDelta));
        draft.strBody = strPart;
        exchange.strWhat = "length +" + std::to_string(nDelta);
        answer = draft.Answer();
        EndBadly(rng, answer, dwReceiveTimeoutMs);
        break;
    }
    case 3:
    {
        // A shorter length with more bytes behind: the length is what the server means.
        if (strPart.empty())
        {
            answer = draft.Answer();
            exchange.strWhat = "honest (empty)";
            break;
        }
        RemoveHeader(draft, "Transfer-Encoding");
        RemoveHeader(draft, "Content-Length");
        RemoveHeader(draft, "Content-Range");
        const size_t cbSaid = rng.Below(strPart.size());
        draft.headers.push_back("Content-Length: " + std::to_string(cbSaid));
        if (bRange)
            draft.headers.push_back("Content-Range: bytes " + std::to_string(nFrom) + "-" +
                                    std::to_string(nFrom + cbSaid - 1) + "/" + std::to_string(nFrom + cbSaid));
        draft.strBody = strPart;
        exchange.strIntended = strFile.substr(0, nFrom + cbSaid);
        exchange.strWhat = "length -" + std::to_string(strPart.size() - cbSaid);
        answer = draft.Answer();
        break;
    }
    case 4:
    {
        // Lengths that are no length, and two lengths that disagree.
        RemoveHeader(draft, "Transfer-Encoding");
        RemoveHeader(draft, "Content-Length");
        const size_t nValue = rng.Below(sizeof(kLengthValues) / sizeof(kLengthValues[0]) + 3);
        const std::string strSize = std::to_string(strPart.size());
        if (nValue < sizeof(kLengthValues) / sizeof(kLengthValues[0]))
        {
            draft.headers.push_back(std::string("Content-Length: ") + kLengthValues[nValue]);
        }
        else if (nValue == sizeof(kLengthValues) / sizeof(kLengthValues[0]))
        {
            draft.headers.push_back("Content-Length: " + strSize + ", " + strSize);
        }
        else
        {
            const std::string strOther = std::to_string(strPart.size() + rng.Between(1, 50) -
                                                        (rng.Percent(50) ? std::min<size_t>(strPart.size(), 51) : 0));
            const bool bOtherFirst = rng.Percent(50);
            draft.headers.push_back("Content-Length: " + (bOtherFirst ? strOther : strSize));
            draft.headers.push_back("Content-Length: " + (bOtherFirst ? strSize : strOther));
        }
        draft.strBody = strPart;
        exchange.strWhat = "length value " + draft.headers.back().substr(0, 50);
        answer = draft.Answer();
        answer.eEnd = SHostileAnswer::eClose;
        break;
    }
    case 5:
    {
        // Chunked with a Content-Length beside it (the chunking decides), or chunking in capitals.
        RemoveHeader(draft, "Transfer-Encoding");
        RemoveHeader(draft, "Content-Length");
        draft.headers.push_back(rng.Percent(50) ? "Transfer-Encoding: chunked" : "transfer-encoding: CHUNKED");
        draft.strBody = Chunked(rng, strPart);
        if (rng.Percent(60))
            draft.headers.push_back("Content-Length: " +
                                    std::to_string(rng.Percent(50) ? strPart.size() : rng.Below(draft.strBody.size() + 1)));
        exchange.strWhat = "chunked with length";
        answer = draft.Answer();
        break;
    }
    case 6:
    {
        // Broken chunking.
        RemoveHeader(draft, "Transfer-Encoding");
        RemoveHeader(draft, "Content-Length");
        draft.headers.push_back("Transfer-Encoding: chunked");
        std::string strBody = Chunked(rng, strPart);
        const size_t cbLastChunk = 5;  // "0\r\n\r\n" at least
        switch (rng.Below(7))
        {
        case 0:
            strBody = "zz\r\n" + strBody;
            exchange.strWhat = "chunk size zz";
            break;
        case 1:
            strBody = "-5\r\nabcde\r\n" + strBody;
            exchange.strWhat = "chunk size -5";
            break;
        case 2:
            strBody = (rng.Percent(50) ? "FFFFFFFFFFFFFFFF\r\n" : "100000000\r\n") + strPart;
            exchange.strWhat = "chunk size huge";
            break;
        case 3:
            strBody = Hex(strPart.size() + rng.Between(1, 100), false) + "\r\n" + strPart + "\r\n0\r\n\r\n";
            exchange.strWhat = "chunk longer than its data";
            break;
        case 4:
            strBody = Hex(strPart.size(), false) + "\r\n" + strPart + "XX0\r\n\r\n";
            exchange.strWhat = "no line end after a chunk";
            break;
        case 5:
            strBody = strBody.substr(0, strBody.size() >= cbLastChunk ? strBody.size() - cbLastChunk : 0);
            exchange.strWhat = "no last chunk";
            break;
        default:
            strBody = strBody.substr(0, rng.Below(strBody.size() + 1));
            exchange.strWhat = "chunking cut";
            break;
        }
        draft.strBody = strBody;
        answer = draft.Answer();
        EndBadly(rng, answer, dwReceiveTimeoutMs);
        break;
    }
    case 7:
    {
        // Cut in the body.
        answer = draft.Answer();
        answer.cbSendLimit = answer.strHead.size() + rng.Below(answer.strBody.size() + 1);
        EndBadly(rng, answer, dwReceiveTimeoutMs);
        if (eFraming == eClose && answer.eEnd == SHostileAnswer::eClose)
        {
            // Nothing tells the client that more was meant: the cut body is the file. Not so
            // after a reset: it drops bytes in flight, which the server counts as sent.
            const size_t cbSent = answer.cbSendLimit - answer.strHead.size();
            exchange.strIntended = strFile.substr(0, nFrom + cbSent);
        }
        exchange.strWhat = "cut in the body";
        break;
    }
    case 8:
        // Cut in the head.
        answer = draft.Answer();
        answer.cbSendLimit = rng.Below(answer.strHead.size());
        EndBadly(rng, answer, dwReceiveTimeoutMs);
        exchange.strWhat = "cut in the head at " + std::to_string(answer.cbSendLimit);
        if (!bRange && answer.eEnd == SHostileAnswer::eClose && answer.cbSendLimit >= 12 &&
            !HasWholeFramingLine(answer.strHead.substr(0, answer.cbSendLimit)))
        {
            // A status and no word of a length, then the end: an empty body as far as anybody
            // can tell.
            exchange.strIntended.clear();
        }
        break;
    case 9:
    {
        // Huge or odd headers.
        switch (rng.Below(6))
        {
        case 0:
            draft.headers.insert(draft.headers.begin(),
                                 "X-Huge: " + std::string(rng.Percent(50) ? rng.Between(8000, 70000)
                                                                          : rng.Between(100000, 2000000),
                                                          'h'));
            exchange.strWhat = "one huge header";
            break;
        case 1:
        {
            // Not more: Wine's WinINet takes quadratic time over the lines (20 000 take about 10 s).
            std::vector<std::string> many(rng.Between(500, 4000));
            for (size_t i = 0; i < many.size(); ++i)
                many[i] = "X-Many-" + std::to_string(i) + ": v";
            draft.headers.insert(draft.headers.begin(), many.begin(), many.end());
            exchange.strWhat = "many headers";
            break;
        }
        case 2:
            draft.strStatus += std::string(rng.Between(1000, 100000), 'r');
            exchange.strWhat = "huge reason phrase";
            break;
        case 3:
            draft.strEol = "\n";
            exchange.strWhat = "bare line feeds";
            break;
        case 4:
            draft.headers.insert(draft.headers.begin(), "No colon here");
            draft.headers.insert(draft.headers.begin(), " folded: continuation");
            draft.headers.insert(draft.headers.begin(), RandomBytes(rng, rng.Between(1, 200)));
            exchange.strWhat = "lines that are no headers";
            break;
        default:
            draft.headers.insert(draft.headers.begin(), std::string(rng.Between(1000, 100000), 'N') + ": v");
            exchange.strWhat = "huge header name";
            break;
        }
        answer = draft.Answer();
        break;
    }
    case 10:
    {
        // Redirects: loops, chains, other schemes.
        const char* const kCodes[] = {"301 Moved", "302 Found", "303 See Other", "307 Temporary", "308 Permanent"};
        auto redirect = [&](const std::string& strLocation, bool bLocation) {
            SDraft hop;
            hop.strStatus = std::string("HTTP/1.1 ") + kCodes[rng.Below(5)];
            if (bLocation)
                hop.headers.push_back("Location: " + strLocation);
            hop.headers.push_back("Content-Length: 5");
            hop.headers.push_back(rng.Percent(50) ? "Connection: close" : "Connection: keep-alive");
            hop.strBody = "moved";
            return hop.Answer();
        };
        const std::string strName = strPath.substr(strPath.rfind('/') + 1);
        switch (rng.Below(4))
        {
        case 0:
            answer = redirect(strPath, true);
            exchange.strWhat = "redirect to itself";
            break;
        case 1:
            answer = redirect("/loop-b/" + strName, true);
            exchange.answers["/loop-b/" + strName] = {redirect(strPath, true)};
            exchange.strWhat = "redirect loop of two";
            break;
        case 2:
        {
            const size_t nHops = rng.Between(1, 40);
            answer = redirect("/hop1/" + strName, true);
            for (size_t i = 1; i < nHops; ++i)
                exchange.answers["/hop" + std::to_string(i) + "/" + strName] = {
                    redirect("/hop" + std::to_string(i + 1) + "/" + strName, true)};
            exchange.answers["/hop" + std::to_string(nHops) + "/" + strName] = {draft.Answer()};
            exchange.strWhat = "redirect chain of " + std::to_string(nHops);
            break;
        }
        default:
        {
            const size_t nTarget = rng.Below(sizeof(kOtherSchemes) / sizeof(kOtherSchemes[0]) + 1);
            const bool bLocation = nTarget < sizeof(kOtherSchemes) / sizeof(kOtherSchemes[0]);
            answer = redirect(bLocation ? kOtherSchemes[nTarget] : "", bLocation);
            exchange.strWhat = bLocation ? std::string("redirect to ") + kOtherSchemes[nTarget] : "redirect without Location";
            break;
        }
        }
        break;
    }
    case 11:
    {
        // Dripped a byte at a time: within the time-out (a short answer), or with one pause
        // that outlasts it.
        answer = draft.Answer();
        answer.cbDrip = 1;
        const size_t cbAll = answer.strHead.size() + answer.strBody.size();
        if (rng.Percent(50) && cbAll < 400)
        {
            answer.dwDripMs = static_cast<DWORD>(std::max<size_t>(1, std::min<size_t>(dwReceiveTimeoutMs / 4, 1500 / cbAll)));
            exchange.strWhat = "dripped";
        }
        else
        {
            answer.cbDrip = 0;
            answer.cbPauseAt = rng.Below(cbAll);
            answer.dwPauseMs = dwReceiveTimeoutMs + static_cast<DWORD>(rng.Between(100, 600));
            exchange.strWhat = "pause of " + std::to_string(answer.dwPauseMs) + " ms at " + std::to_string(answer.cbPauseAt);
        }
        break;
    }
    case 12:
    {
        // A part: to a request without a range, or from another offset than asked for.
        RemoveHeader(draft, "Content-Range");
        RemoveHeader(draft, "Transfer-Encoding");
        RemoveHeader(draft, "Content-Length");
        RemoveHeader(draft, "Connection");
        draft.strStatus = "HTTP/1.1 206 Partial Content";
        const size_t nStart = n == 0 ? 0 : rng.Below(n);
        const std::string strSent = strFile.substr(nStart);
        switch (rng.Below(4))
        {
        case 0:
            draft.headers.push_back("Content-Range: bytes " + std::to_string(nStart) + "-" + std::to_string(n - 1) +
                                    "/" + std::to_string(n));
            break;
        case 1:
            draft.headers.push_back("Content-Range: bytes " + std::to_string(nStart) + "-" + std::to_string(n - 1));
            break;
        case 2:
            draft.headers.push_back("Content-Range: bytes */" + std::to_string(n));
            break;
        default:
            break;  // no Content-Range at all
        }
        Frame(rng, draft, eFraming, strSent);
        exchange.strWhat = "206 from " + std::to_string(nStart) + (bRange ? " to a range" : " to no range") +
                           (draft.headers.empty() ? "" : " " + draft.headers.front().substr(0, 60));
        answer = draft.Answer();
        break;
    }
    case 13:
    {
        // Content-Range values that lie, for the honest part.
        RemoveHeader(draft, "Content-Range");
        draft.strStatus = "HTTP/1.1 206 Partial Content";
        const std::string strFrom = std::to_string(nFrom), strLast = std::to_string(n == 0 ? 0 : n - 1),
                          strN = std::to_string(n);
        const std::string kRanges[] = {
            "bytes " + std::to_string(nFrom + rng.Between(1, 1000)) + "-" + strLast + "/" + strN,
            "bytes " + std::to_string(nFrom > 0 ? nFrom - 1 : 0) + "-" + strLast + "/" + strN,
            "bytes -" + strFrom + "-" + strLast + "/" + strN,
            "bytes " + strFrom + "-" + strLast + "/" + std::to_string(n + rng.Between(1, 100000)),
            "bytes " + strFrom + "-" + strLast + "/" + std::to_string(n > 0 ? rng.Below(n) : 0),
            "bytes " + strFrom + "-" + strLast + "/99999999999999999999",
            "bytes " + strFrom + "-" + strLast + "/-" + strN,
            "bytes " + strFrom + "-" + strLast + "/*",
            "bytes " + strFrom + "-1/" + strN,
            "bytes=" + strFrom + "-" + strLast + "/" + strN,
            "bytes 18446744073709551616-" + strLast + "/" + strN,
            "bytes " + strFrom,
            "",
        };
        const std::string& strRange = kRanges[rng.Below(sizeof(kRanges) / sizeof(kRanges[0]))];
        draft.headers.push_back("Content-Range: " + strRange);
        exchange.strWhat = "Content-Range " + strRange + (bRange ? " to a range" : " to no range");
        answer = draft.Answer();
        break;
    }
    case 14:
        // The whole file to a range request, or a range that cannot be served, then the file.
        if (bRange && rng.Percent(50))
        {
            SDraft refused;
            refused.strStatus = "HTTP/1.1 416 Range Not Satisfiable";
            refused.headers = {"Content-Range: bytes */" + std::to_string(n), "Content-Length: 0", "Connection: close"};
            SDraft whole;
            whole.headers.push_back("Server: hostile");
            Frame(rng, whole, eFraming, strFile);
            exchange.answers[strPath] = {refused.Answer(), rng.Percent(50) ? whole.Answer() : refused.Answer()};
            exchange.strWhat = "416, then the file";
            exchange.bLengthDeclared = AllDeclareLength(exchange);
            return exchange;
        }
        {
            SDraft whole;
            whole.headers.push_back("Server: hostile");
            Frame(rng, whole, eFraming, strFile);
            answer = whole.Answer();
            exchange.strWhat = bRange ? "200 to a range" : "honest 200";
        }
        break;
    default:
    {
        // Statuses that are no file, with the file as their body.
        const char* const kStatuses[] = {"HTTP/1.1 404 Not Found", "HTTP/1.1 500 Internal Server Error",
                                         "HTTP/1.1 401 Unauthorized", "HTTP/1.1 407 Proxy Authentication Required",
                                         "HTTP/1.1 400 Bad Request", "HTTP/1.1 503 Busy", "HTTP/1.1 304 Not Modified",
                                         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK"};
        draft.strStatus = kStatuses[rng.Below(sizeof(kStatuses) / sizeof(kStatuses[0]))];
        if (bRange)
            WholeFileUnlessPart(rng, draft, eFraming, strFile);
        exchange.strWhat = "status " + draft.strStatus.substr(9, 3);
        answer = draft.Answer();
        if (rng.Percent(30))
            EndBadly(rng, answer, dwReceiveTimeoutMs);
        break;
    }
    }
    const char* const kFramings[] = {" [length]", " [chunked]", " [close]"};
    exchange.strWhat += kFramings[eFraming];
    exchange.answers[strPath].insert(exchange.answers[strPath].begin(), answer);
    exchange.bLengthDeclared = AllDeclareLength(exchange);
    return exchange;
}
