#include <winsock2.h>
#include <ws2tcpip.h>

#include "tools/fuzz/hostile_http_server.h"

#include <algorithm>
#include <cctype>

namespace
{
const size_t kMaxRequestHead = 64 * 1024;
const DWORD kRequestReadMs = 2000;
const DWORD kPollMs = 20;

struct SConnection
{
    CHostileHttpServer* pServer;
    SOCKET hSocket;
};

std::string LowerAscii(std::string str)
{
    for (char& ch : str)
        ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    return str;
}

// The request's path (query and fragment dropped) and Range; false when none arrived.
bool ReadRequest(SOCKET hSocket, SHostileRequest& request)
{
    std::string strData;
    char buffer[4096];
    size_t nEnd;
    while ((nEnd = strData.find("\r\n\r\n")) == std::string::npos)
    {
        const int cb = recv(hSocket, buffer, sizeof(buffer), 0);
        if (cb <= 0 || strData.size() > kMaxRequestHead)
            return false;
        strData.append(buffer, static_cast<size_t>(cb));
    }
    const size_t nSpace1 = strData.find(' ');
    const size_t nSpace2 = strData.find(' ', nSpace1 + 1);
    if (nSpace1 == std::string::npos || nSpace2 == std::string::npos || nSpace2 > nEnd)
        return false;
    std::string strTarget = strData.substr(nSpace1 + 1, nSpace2 - nSpace1 - 1);
    const size_t nScheme = strTarget.find("://");
    if (nScheme != std::string::npos)
    {
        const size_t nPath = strTarget.find('/', nScheme + 3);
        strTarget = nPath == std::string::npos ? "/" : strTarget.substr(nPath);
    }
    request.strPath = strTarget.substr(0, strTarget.find_first_of("?#"));
    const std::string strHead = LowerAscii(strData.substr(0, nEnd + 2));
    const size_t nRange = strHead.find("\r\nrange:");
    if (nRange != std::string::npos)
    {
        const size_t nValue = nRange + 8;
        std::string strValue = strData.substr(nValue, strHead.find("\r\n", nValue) - nValue);
        strValue.erase(0, strValue.find_first_not_of(' '));
        request.strRange = strValue;
    }
    return true;
}
}  // namespace

CHostileHttpServer::CHostileHttpServer()
    : m_hListen(INVALID_SOCKET), m_nPort(0), m_hAcceptThread(nullptr), m_bStopping(false), m_nActive(0)
{
}

CHostileHttpServer::~CHostileHttpServer() { Stop(); }

bool CHostileHttpServer::Start()
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0 || !Listen())
        return false;
    m_hAcceptThread = ::CreateThread(nullptr, 0, &CHostileHttpServer::AcceptThread, this, 0, nullptr);
    return m_hAcceptThread != nullptr;
}

bool CHostileHttpServer::Listen()
{
    SOCKET hListen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (hListen == INVALID_SOCKET)
        return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int cbAddress = sizeof(address);
    if (bind(hListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(hListen, SOMAXCONN) != 0 ||
        getsockname(hListen, reinterpret_cast<sockaddr*>(&address), &cbAddress) != 0)
    {
        closesocket(hListen);
        return false;
    }
    SOCKET hOld;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        hOld = m_hListen;
        m_hListen = hListen;
        m_nPort = ntohs(address.sin_port);
    }
    if (hOld != INVALID_SOCKET)
        closesocket(hOld);
    return true;
}

void CHostileHttpServer::Stop()
{
    if (m_hListen == INVALID_SOCKET)
        return;
    m_bStopping = true;
    if (m_hAcceptThread)
    {
        ::WaitForSingleObject(m_hAcceptThread, INFINITE);
        ::CloseHandle(m_hAcceptThread);
        m_hAcceptThread = nullptr;
    }
    closesocket(m_hListen);
    m_hListen = INVALID_SOCKET;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (uintptr_t hSocket : m_openSockets)
            shutdown(hSocket, SD_BOTH);
    }
    WaitIdle(10000);
    WSACleanup();
}

bool CHostileHttpServer::SetAnswers(const std::map<std::string, std::vector<SHostileAnswer>>& answers)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answers = answers;
        m_nextAnswer.clear();
        m_requests.clear();
    }
    return Listen();
}

std::vector<SHostileRequest> CHostileHttpServer::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

bool CHostileHttpServer::WaitIdle(DWORD dwTimeoutMs) const
{
    const ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
    while (m_nActive.load() != 0)
    {
        if (::GetTickCount64() >= ullEnd)
            return false;
        ::Sleep(2);
    }
    return true;
}

DWORD WINAPI CHostileHttpServer::AcceptThread(void* pThis)
{
    static_cast<CHostileHttpServer*>(pThis)->AcceptLoop();
    return 0;
}

DWORD WINAPI CHostileHttpServer::ConnectionThread(void* pParam)
{
    const SConnection connection = *static_cast<SConnection*>(pParam);
    delete static_cast<SConnection*>(pParam);
    connection.pServer->Serve(connection.hSocket);
    --connection.pServer->m_nActive;
    return 0;
}

void CHostileHttpServer::AcceptLoop()
{
    while (!m_bStopping)
    {
        SOCKET hListen;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            hListen = m_hListen;
        }
        // Polled, so that a new listening socket is taken up soon after it replaced this one.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(hListen, &readable);
        timeval wait = {0, static_cast<long>(kPollMs * 1000)};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        const SOCKET hClient = accept(hListen, nullptr, nullptr);
        if (hClient == INVALID_SOCKET)
            continue;
        ++m_nActive;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_openSockets.push_back(hClient);
        }
        HANDLE hThread = ::CreateThread(nullptr, 0, &CHostileHttpServer::ConnectionThread,
                                        new SConnection{this, hClient}, 0, nullptr);
        if (hThread)
        {
            ::CloseHandle(hThread);
        }
        else
        {
            closesocket(hClient);
            --m_nActive;
        }
    }
}

void CHostileHttpServer::Serve(uintptr_t hSocket)
{
    const DWORD dwReadMs = kRequestReadMs;
    setsockopt(hSocket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&dwReadMs), sizeof(dwReadMs));
    SHostileRequest request;
    bool bReset = false;
    if (ReadRequest(hSocket, request))
    {
        SHostileAnswer answer;
        bool bFound = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
            const auto it = m_answers.find(request.strPath);
            if (it != m_answers.end() && !it->second.empty())
            {
                size_t& nNext = m_nextAnswer[request.strPath];
                answer = it->second[std::min(nNext, it->second.size() - 1)];
                ++nNext;
                bFound = true;
            }
        }
        if (!bFound)
            answer.strHead = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        std::string strData = answer.strHead + answer.strBody;
        if (answer.cbSendLimit < strData.size())
            strData.resize(answer.cbSendLimit);
        if (SendPaced(hSocket, strData, answer))
        {
            if (answer.eEnd == SHostileAnswer::eReset)
                bReset = true;
            else if (answer.eEnd == SHostileAnswer::eHold)
                WaitForClientClose(hSocket, answer.dwHoldMs);
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openSockets.erase(std::remove(m_openSockets.begin(), m_openSockets.end(), hSocket), m_openSockets.end());
    }
    if (bReset)
    {
        linger reset = {1, 0};
        setsockopt(hSocket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof(reset));
    }
    else
    {
        shutdown(hSocket, SD_SEND);
    }
    closesocket(hSocket);
}

bool CHostileHttpServer::SendPaced(uintptr_t hSocket, const std::string& strData, const SHostileAnswer& answer)
{
    size_t nSent = 0;
    while (nSent < strData.size())
    {
        if (m_bStopping)
            return false;
        size_t cb = strData.size() - nSent;
        if (answer.cbDrip != 0)
            cb = std::min(cb, answer.cbDrip);
        if (answer.cbPauseAt > nSent)
            cb = std::min(cb, answer.cbPauseAt - nSent);
        cb = std::min<size_t>(cb, 1024 * 1024);
        const int n = send(hSocket, strData.data() + nSent, static_cast<int>(cb), 0);
        if (n <= 0)
            return false;
        nSent += static_cast<size_t>(n);
        if (nSent == answer.cbPauseAt)
            ::Sleep(answer.dwPauseMs);
        if (answer.cbDrip != 0 && answer.dwDripMs != 0)
            ::Sleep(answer.dwDripMs);
    }
    return true;
}

void CHostileHttpServer::WaitForClientClose(uintptr_t hSocket, DWORD dwMaxMs)
{
    const ULONGLONG ullEnd = ::GetTickCount64() + dwMaxMs;
    while (!m_bStopping && ::GetTickCount64() < ullEnd)
    {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(hSocket, &readable);
        timeval wait = {0, static_cast<long>(kPollMs * 1000)};
        const int n = select(0, &readable, nullptr, nullptr, &wait);
        if (n < 0)
            return;
        if (n > 0)
        {
            char buffer[512];
            if (recv(hSocket, buffer, sizeof(buffer), 0) <= 0)
                return;
        }
    }
}
