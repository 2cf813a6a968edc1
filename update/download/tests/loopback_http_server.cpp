#include <winsock2.h>
#include <ws2tcpip.h>

#include "update/download/tests/loopback_http_server.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace zeptest
{
namespace
{
uint32_t PatternWord(uint32_t nSeed, uint64_t ullWord)
{
    uint32_t h = static_cast<uint32_t>(ullWord) * 0x9E3779B1u ^ static_cast<uint32_t>(ullWord >> 32) ^ nSeed;
    h ^= h >> 15;
    h *= 0x85EBCA77u;
    h ^= h >> 13;
    h *= 0xC2B2AE3Du;
    h ^= h >> 16;
    return h;
}

const char* ReasonPhrase(int nStatus)
{
    switch (nStatus)
    {
    case 200: return "OK";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 407: return "Proxy Authentication Required";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

std::string ToLowerAscii(std::string str)
{
    for (char& ch : str)
        ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    return str;
}

std::string Trim(const std::string& str)
{
    const size_t nFirst = str.find_first_not_of(" \t");
    if (nFirst == std::string::npos)
        return std::string();
    const size_t nLast = str.find_last_not_of(" \t");
    return str.substr(nFirst, nLast - nFirst + 1);
}

// Reads one request (headers and a Content-Length body); false when the client went away.
bool ReadRequest(SOCKET hSocket, SRecordedRequest& request)
{
    std::string strData;
    char buffer[4096];
    size_t nHeaderEnd = std::string::npos;
    while ((nHeaderEnd = strData.find("\r\n\r\n")) == std::string::npos)
    {
        const int cb = recv(hSocket, buffer, sizeof(buffer), 0);
        if (cb <= 0)
            return false;
        strData.append(buffer, static_cast<size_t>(cb));
        if (strData.size() > 1024 * 1024)
            return false;
    }
    const std::string strHead = strData.substr(0, nHeaderEnd);
    std::string strBody = strData.substr(nHeaderEnd + 4);

    size_t nLineEnd = strHead.find("\r\n");
    const std::string strRequestLine = strHead.substr(0, nLineEnd);
    const size_t nSpace1 = strRequestLine.find(' ');
    const size_t nSpace2 = strRequestLine.find(' ', nSpace1 + 1);
    if (nSpace1 == std::string::npos || nSpace2 == std::string::npos)
        return false;
    request.strMethod = strRequestLine.substr(0, nSpace1);
    request.strTarget = strRequestLine.substr(nSpace1 + 1, nSpace2 - nSpace1 - 1);
    request.strPath = request.strTarget;
    const size_t nScheme = request.strPath.find("://");
    if (nScheme != std::string::npos)
    {
        const size_t nPathStart = request.strPath.find('/', nScheme + 3);
        request.strPath = nPathStart == std::string::npos ? "/" : request.strPath.substr(nPathStart);
    }

    while (nLineEnd != std::string::npos)
    {
        const size_t nNext = strHead.find("\r\n", nLineEnd + 2);
        const std::string strLine =
            strHead.substr(nLineEnd + 2, nNext == std::string::npos ? std::string::npos : nNext - nLineEnd - 2);
        const size_t nColon = strLine.find(':');
        if (nColon != std::string::npos)
            request.headers[ToLowerAscii(Trim(strLine.substr(0, nColon)))] = Trim(strLine.substr(nColon + 1));
        nLineEnd = nNext;
    }

    const auto length = request.headers.find("content-length");
    const size_t cbBody = length == request.headers.end() ? 0 : strtoul(length->second.c_str(), nullptr, 10);
    while (strBody.size() < cbBody)
    {
        const int cb = recv(hSocket, buffer, sizeof(buffer), 0);
        if (cb <= 0)
            return false;
        strBody.append(buffer, static_cast<size_t>(cb));
    }
    request.strBody = strBody.substr(0, cbBody);
    return true;
}
}  // namespace

void FillPattern(uint32_t nSeed, uint64_t ullOffset, void* pBuffer, size_t cb)
{
    unsigned char* p = static_cast<unsigned char*>(pBuffer);
    size_t i = 0;
    // Head up to a word boundary, whole words, then the tail.
    while (i < cb && ((ullOffset + i) & 3) != 0)
    {
        p[i] = static_cast<unsigned char>(PatternWord(nSeed, (ullOffset + i) >> 2) >> (8 * ((ullOffset + i) & 3)));
        ++i;
    }
    for (; i + 4 <= cb; i += 4)
    {
        const uint32_t w = PatternWord(nSeed, (ullOffset + i) >> 2);
        memcpy(p + i, &w, 4);
    }
    for (; i < cb; ++i)
        p[i] = static_cast<unsigned char>(PatternWord(nSeed, (ullOffset + i) >> 2) >> (8 * ((ullOffset + i) & 3)));
}

std::string PatternString(uint32_t nSeed, uint64_t ullOffset, size_t cb)
{
    std::string str(cb, '\0');
    if (cb != 0)
        FillPattern(nSeed, ullOffset, &str[0], cb);
    return str;
}

std::string SRecordedRequest::Header(const std::string& strName) const
{
    const auto it = headers.find(ToLowerAscii(strName));
    return it == headers.end() ? std::string() : it->second;
}

CLoopbackHttpServer::CLoopbackHttpServer()
    : m_hListen(INVALID_SOCKET), m_nPort(0), m_bStopping(false), m_ullBodyBytesSent(0)
{
}

CLoopbackHttpServer::~CLoopbackHttpServer() { Stop(); }

bool CLoopbackHttpServer::Start()
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return false;
    m_hListen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_hListen == INVALID_SOCKET)
        return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // a free port chosen by the system
    int cbAddress = sizeof(address);
    if (bind(m_hListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(m_hListen, SOMAXCONN) != 0 ||
        getsockname(m_hListen, reinterpret_cast<sockaddr*>(&address), &cbAddress) != 0)
    {
        closesocket(m_hListen);
        m_hListen = INVALID_SOCKET;
        return false;
    }
    m_nPort = ntohs(address.sin_port);
    m_bStopping = false;
    m_acceptThread = std::thread(&CLoopbackHttpServer::AcceptLoop, this);
    return true;
}

void CLoopbackHttpServer::Stop()
{
    if (m_hListen == INVALID_SOCKET && !m_acceptThread.joinable())
        return;
    m_bStopping = true;
    if (m_hListen != INVALID_SOCKET)
    {
        closesocket(m_hListen);
        m_hListen = INVALID_SOCKET;
    }
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (SocketHandle hSocket : m_openSockets)
            shutdown(hSocket, SD_BOTH);
        threads.swap(m_connectionThreads);
    }
    for (std::thread& thread : threads)
        thread.join();
    WSACleanup();
}

std::wstring CLoopbackHttpServer::Url(const std::string& strPath) const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_nPort) + std::wstring(strPath.begin(), strPath.end());
}

void CLoopbackHttpServer::SetRoute(const std::string& strPath, const SRouteBehaviour& behaviour)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_routes[strPath] = behaviour;
}

std::vector<SRecordedRequest> CLoopbackHttpServer::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void CLoopbackHttpServer::ClearRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

void CLoopbackHttpServer::AcceptLoop()
{
    while (!m_bStopping)
    {
        const SocketHandle hClient = accept(m_hListen, nullptr, nullptr);
        if (hClient == INVALID_SOCKET)
        {
            if (m_bStopping)
                break;
            Sleep(1);
            continue;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openSockets.push_back(hClient);
        m_connectionThreads.emplace_back(&CLoopbackHttpServer::ServeConnection, this, hClient);
    }
}

void CLoopbackHttpServer::ServeConnection(SocketHandle hSocket)
{
    SRecordedRequest request;
    bool bOrderly = true;
    if (ReadRequest(hSocket, request))
    {
        SRouteBehaviour behaviour;
        bool bFound = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
            const auto route = m_routes.find(request.strPath);
            if (route != m_routes.end())
            {
                behaviour = route->second;
                bFound = true;
            }
        }
        if (!bFound)
        {
            behaviour.nStatus = 404;
            behaviour.strBody = "not found";
        }
        bOrderly = ServeOne(hSocket, request, behaviour);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openSockets.erase(std::remove(m_openSockets.begin(), m_openSockets.end(), hSocket), m_openSockets.end());
    }
    if (bOrderly)
    {
        shutdown(hSocket, SD_SEND);
    }
    else
    {
        linger reset = {1, 0};
        setsockopt(hSocket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof(reset));
    }
    closesocket(hSocket);
}

bool CLoopbackHttpServer::SendAll(SocketHandle hSocket, const char* pData, size_t cb)
{
    while (cb != 0)
    {
        if (m_bStopping)
            return false;
        const int nChunk = cb > 1024 * 1024 ? 1024 * 1024 : static_cast<int>(cb);
        const int nSent = send(hSocket, pData, nChunk, 0);
        if (nSent <= 0)
            return false;
        pData += nSent;
        cb -= static_cast<size_t>(nSent);
    }
    return true;
}

bool CLoopbackHttpServer::WaitWhileStalled(SocketHandle hSocket)
{
    // Holds the connection until the client gives up (recv sees its close) or the server stops.
    while (!m_bStopping)
    {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(hSocket, &readable);
        timeval wait = {0, 50 * 1000};
        const int n = select(0, &readable, nullptr, nullptr, &wait);
        if (n < 0)
            return false;
        if (n > 0)
        {
            char ch;
            if (recv(hSocket, &ch, 1, 0) <= 0)
                return false;
        }
    }
    return false;
}

bool CLoopbackHttpServer::ServeOne(SocketHandle hSocket, const SRecordedRequest& request,
                                   const SRouteBehaviour& behaviour)
{
    if (behaviour.bStall)
    {
        WaitWhileStalled(hSocket);
        return true;
    }

    const uint64_t ullTotal = behaviour.bGenerated ? behaviour.ullSize : behaviour.strBody.size();
    int nStatus = behaviour.nStatus;
    uint64_t ullStart = 0;
    std::string strContentRange = behaviour.strContentRange;
    const std::string strRange = request.Header("range");
    if (nStatus == 200 && behaviour.bHonourRange && strRange.compare(0, 6, "bytes=") == 0)
    {
        const uint64_t ullFrom = _strtoui64(strRange.c_str() + 6, nullptr, 10);
        if (ullFrom >= ullTotal)
        {
            nStatus = 416;
            if (strContentRange.empty())
                strContentRange = "bytes */" + std::to_string(ullTotal);
        }
        else
        {
            nStatus = 206;
            ullStart = ullFrom;
            if (strContentRange.empty())
            {
                strContentRange = "bytes " + std::to_string(ullFrom) + "-" + std::to_string(ullTotal - 1);
                if (!behaviour.bRangeWithoutTotal)
                    strContentRange += "/" + std::to_string(ullTotal);
            }
        }
    }
    const uint64_t ullBodySize = nStatus == 416 ? 0 : ullTotal - ullStart;

    std::string strHead;
    if (behaviour.bSendStatusLine)
        strHead = (behaviour.strStatusLine.empty()
                       ? "HTTP/1.1 " + std::to_string(nStatus) + " " + ReasonPhrase(nStatus)
                       : behaviour.strStatusLine) +
                  "\r\n";
    strHead += "Server: zeptest\r\nConnection: close\r\n";
    if (behaviour.bSendContentLength)
        strHead += "Content-Length: " +
                   std::to_string(static_cast<int64_t>(ullBodySize) + behaviour.llLengthDelta) + "\r\n";
    if ((nStatus == 206 || nStatus == 416) && !strContentRange.empty())
        strHead += "Content-Range: " + strContentRange + "\r\n";
    for (const std::string& strHeader : behaviour.extraHeaders)
        strHead += strHeader + "\r\n";
    strHead += "\r\n";
    if (!SendAll(hSocket, strHead.data(), strHead.size()) || request.strMethod == "HEAD")
        return true;

    int64_t llCut = behaviour.pfnCutAfter ? behaviour.pfnCutAfter(ullStart) : behaviour.llCutAfter;
    uint64_t ullLimit = ullBodySize;
    if (llCut >= 0 && static_cast<uint64_t>(llCut) < ullLimit)
        ullLimit = static_cast<uint64_t>(llCut);

    std::vector<char> chunk(behaviour.dwDripMs != 0 ? behaviour.nDripBytes : 256 * 1024);
    uint64_t ullSent = 0;
    while (ullSent < ullLimit)
    {
        const size_t cb = static_cast<size_t>(std::min<uint64_t>(chunk.size(), ullLimit - ullSent));
        if (behaviour.bGenerated)
            FillPattern(behaviour.nSeed, ullStart + ullSent, chunk.data(), cb);
        else
            memcpy(chunk.data(), behaviour.strBody.data() + ullStart + ullSent, cb);
        if (!SendAll(hSocket, chunk.data(), cb))
            return true;
        ullSent += cb;
        m_ullBodyBytesSent += cb;
        if (behaviour.dwDripMs != 0)
            Sleep(behaviour.dwDripMs);
    }
    if (ullLimit < ullBodySize)
        return !(behaviour.pfnAbortiveCut ? behaviour.pfnAbortiveCut() : behaviour.bAbortiveCut);
    return true;
}
}  // namespace zeptest
