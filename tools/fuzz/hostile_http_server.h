#pragma once
// An HTTP server on 127.0.0.1 (a free port) that answers with whatever bytes it is told to:
// broken status lines, lying lengths, broken chunking, cut or reset connections, bytes dripped
// with pauses. Each path has a list of answers, used in turn (the last one again and again), so
// that a client's retries and redirects meet the answers planned for them.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct SHostileAnswer
{
    // Sent as they are: the head (status line and headers) and the body.
    std::string strHead;
    std::string strBody;
    // Only this many bytes of head + body are sent (npos: all of them).
    size_t cbSendLimit = std::string::npos;
    // Sent in pieces of cbDrip bytes with a pause of dwDripMs after each (0: at once).
    size_t cbDrip = 0;
    DWORD dwDripMs = 0;
    // A pause once this many bytes are out (npos: none).
    size_t cbPauseAt = std::string::npos;
    DWORD dwPauseMs = 0;
    // How the connection ends: an orderly close, a reset, or held open until the client goes
    // away (at most dwHoldMs).
    enum EEnd
    {
        eClose,
        eReset,
        eHold,
    } eEnd = eClose;
    DWORD dwHoldMs = 0;
};

struct SHostileRequest
{
    std::string strPath;
    std::string strRange;  // the Range header's value, empty when none was sent
};

class CHostileHttpServer
{
public:
    CHostileHttpServer();
    ~CHostileHttpServer();
    CHostileHttpServer(const CHostileHttpServer&) = delete;
    CHostileHttpServer& operator=(const CHostileHttpServer&) = delete;

    bool Start();
    void Stop();
    unsigned short Port() const { return m_nPort; }

    // Replaces every path's answers; an unknown path is answered 404. Forgets the requests and
    // listens on a new port: a connection that the client keeps from an earlier exchange (with
    // whatever bytes it left unread) must not answer for this one.
    bool SetAnswers(const std::map<std::string, std::vector<SHostileAnswer>>& answers);
    std::vector<SHostileRequest> Requests() const;
    // Waits until no connection is served any more (at most dwTimeoutMs): the next exchange
    // must not meet the rest of this one.
    bool WaitIdle(DWORD dwTimeoutMs) const;

private:
    static DWORD WINAPI AcceptThread(void* pThis);
    static DWORD WINAPI ConnectionThread(void* pParam);
    void AcceptLoop();
    bool Listen();
    void Serve(uintptr_t hSocket);
    bool SendPaced(uintptr_t hSocket, const std::string& strData, const SHostileAnswer& answer);
    void WaitForClientClose(uintptr_t hSocket, DWORD dwMaxMs);

    uintptr_t m_hListen;
    unsigned short m_nPort;
    HANDLE m_hAcceptThread;
    std::atomic<bool> m_bStopping;
    std::atomic<long> m_nActive;
    mutable std::mutex m_mutex;
    std::map<std::string, std::vector<SHostileAnswer>> m_answers;
    std::map<std::string, size_t> m_nextAnswer;
    std::vector<SHostileRequest> m_requests;
    std::vector<uintptr_t> m_openSockets;
};
