#pragma once
// An HTTPS server for certificate tests: openssl's s_server on the host side of Wine, started
// through tls_server.sh with a certificate issued by a throw-away root.
#include <string>

namespace zeptest
{
class CTlsTestServer
{
public:
    CTlsTestServer() = default;
    ~CTlsTestServer() { Stop(); }
    CTlsTestServer(const CTlsTestServer&) = delete;
    CTlsTestServer& operator=(const CTlsTestServer&) = delete;

    // Serves the files of strDir (each a complete HTTP response) with a certificate for
    // strName issued by the root kept in strCaDir (made there when missing); false when the
    // host side cannot run it.
    bool Start(const std::wstring& strCaDir, const std::wstring& strDir, const std::string& strName);
    void Stop();
    std::wstring Url(const std::string& strPath) const;
    // Makes the root of strCaDir trusted for the current user (the registry is sandboxed).
    // WinINet's chain engine reads the roots once per process: trust before the first check.
    static bool TrustRoot(const std::wstring& strCaDir);

private:
    std::wstring m_strDir;
    std::string m_strUnixDir;
    unsigned short m_nPort = 0;
    bool m_bRunning = false;
};
}  // namespace zeptest
