#pragma once
// A small HTTP/1.1 server on 127.0.0.1 (a free port) that runs inside the test process and
// misbehaves on request: no Content-Length, ignored ranges, a Content-Range without a total,
// cut connections, stalls, slow drips and error statuses.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zeptest
{
// A Winsock SOCKET, kept opaque so that this header does not pull in winsock2.h.
typedef uintptr_t SocketHandle;

// The deterministic content of a generated body: byte i of the body with this seed.
void FillPattern(uint32_t nSeed, uint64_t ullOffset, void* pBuffer, size_t cb);
std::string PatternString(uint32_t nSeed, uint64_t ullOffset, size_t cb);

struct SRecordedRequest
{
    std::string strMethod;
    std::string strTarget;  // as sent (absolute when the server is used as a proxy)
    std::string strPath;    // the target without scheme and host
    std::map<std::string, std::string> headers;  // names in lower case
    std::string strBody;

    std::string Header(const std::string& strName) const;
    bool HasHeader(const std::string& strName) const { return headers.count(strName) != 0; }
};

struct SRouteBehaviour
{
    int nStatus = 200;
    // The body: strBody when bGenerated is false, else ullSize bytes of the seed's pattern.
    std::string strBody;
    bool bGenerated = false;
    uint64_t ullSize = 0;
    uint32_t nSeed = 1;

    // Sent instead of "HTTP/1.1 <status> <reason>" when non-empty (without its line end).
    std::string strStatusLine;
    // False: the head begins with its first header line.
    bool bSendStatusLine = true;
    bool bSendContentLength = true;
    // Added to the Content-Length header (a lying server).
    int64_t llLengthDelta = 0;
    bool bHonourRange = true;
    // A 206 answer whose Content-Range has no "/total".
    bool bRangeWithoutTotal = false;
    // Replaces the computed Content-Range header value when non-empty.
    std::string strContentRange;
    std::vector<std::string> extraHeaders;

    // Close the connection (FIN) after this many body bytes of the response; -1: never.
    int64_t llCutAfter = -1;
    // Per request: given the first body offset of the answer, how many body bytes to send before
    // cutting (-1: none). Overrides llCutAfter when set.
    std::function<int64_t(uint64_t ullStart)> pfnCutAfter;
    // Cut with a reset instead of an orderly close: data still in flight may be lost.
    bool bAbortiveCut = false;
    std::function<bool()> pfnAbortiveCut;  // overrides bAbortiveCut when set
    // Read the request, then send nothing until the client goes away or the server stops.
    bool bStall = false;
    // Send the body in pieces of nDripBytes with a pause of dwDripMs after each.
    DWORD dwDripMs = 0;
    size_t nDripBytes = 1024;
};

class CLoopbackHttpServer
{
public:
    CLoopbackHttpServer();
    ~CLoopbackHttpServer();
    CLoopbackHttpServer(const CLoopbackHttpServer&) = delete;
    CLoopbackHttpServer& operator=(const CLoopbackHttpServer&) = delete;

    bool Start();
    void Stop();
    unsigned short Port() const { return m_nPort; }
    // "http://127.0.0.1:<port>" + path.
    std::wstring Url(const std::string& strPath) const;

    // Routes by path (query included); an unknown path answers 404.
    void SetRoute(const std::string& strPath, const SRouteBehaviour& behaviour);
    std::vector<SRecordedRequest> Requests() const;
    void ClearRequests();
    // Body bytes handed to the network so far, over all answers.
    uint64_t BodyBytesSent() const { return m_ullBodyBytesSent.load(); }

private:
    void AcceptLoop();
    void ServeConnection(SocketHandle hSocket);
    // False when the connection is to be reset rather than closed.
    bool ServeOne(SocketHandle hSocket, const SRecordedRequest& request, const SRouteBehaviour& behaviour);
    bool SendAll(SocketHandle hSocket, const char* pData, size_t cb);
    bool WaitWhileStalled(SocketHandle hSocket);

    SocketHandle m_hListen;
    unsigned short m_nPort;
    std::atomic<bool> m_bStopping;
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    std::vector<std::thread> m_connectionThreads;
    std::vector<SocketHandle> m_openSockets;
    std::map<std::string, SRouteBehaviour> m_routes;
    std::vector<SRecordedRequest> m_requests;
    std::atomic<uint64_t> m_ullBodyBytesSent;
};
}  // namespace zeptest
