#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include "update/download/tests/tls_test_server.h"

#include <vector>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "update/download/tests/loopback_http_server.h"

namespace zeptest
{
namespace
{
// Wine maps DOS paths to host paths for programs that run on the host side.
bool UnixPathOf(const std::wstring& strPath, std::string& strUnix)
{
    typedef char*(CDECL * PFN_GET_UNIX_FILE_NAME)(const wchar_t*);
    const PFN_GET_UNIX_FILE_NAME pfn = reinterpret_cast<PFN_GET_UNIX_FILE_NAME>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    if (pfn == nullptr)
        return false;
    char* psz = pfn(strPath.c_str());
    if (psz == nullptr)
        return false;
    strUnix = psz;
    ::HeapFree(::GetProcessHeap(), 0, psz);
    return true;
}

bool RunHostShell(const std::wstring& strArguments, bool bWait)
{
    std::wstring strCommand = L"/bin/sh " + strArguments;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!zeptest::CreateProcessTried(L"Z:\\bin\\sh", strCommand, FALSE, si, pi))
        return false;
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    if (bWait)
        ::WaitForSingleObject(process.Get(), 10000);
    return true;
}

bool CanConnect(unsigned short nPort)
{
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(nPort);
    const bool bConnected = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    closesocket(s);
    return bConnected;
}
}  // namespace

bool CTlsTestServer::Start(const std::wstring& strCaDir, const std::wstring& strDir, const std::string& strName)
{
    m_strDir = strDir;
    std::string strUnixCaDir;
    if (!UnixPathOf(strDir, m_strUnixDir) || !UnixPathOf(strCaDir, strUnixCaDir))
        return false;
    {
        CLoopbackHttpServer probe;  // borrows a free port
        if (!probe.Start())
            return false;
        m_nPort = probe.Port();
        probe.Stop();
    }
    // Windows rules split the command line for the host program: double quotes group.
    const std::string strArguments = "\"" ZEP_DOWNLOAD_TEST_SOURCE_DIR "/tls_server.sh\" \"" + strUnixCaDir + "\" \"" +
                                     m_strUnixDir + "\" " +
                                     std::to_string(m_nPort) + " " + strName;
    if (!RunHostShell(Utf8ToWide(strArguments), false))
        return false;
    m_bRunning = true;

    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    bool bReady = false;
    for (int i = 0; i < 200 && !bReady; ++i)
    {
        ::Sleep(100);
        bReady = CanConnect(m_nPort);
    }
    WSACleanup();
    return bReady;
}

void CTlsTestServer::Stop()
{
    if (!m_bRunning)
        return;
    m_bRunning = false;
    RunHostShell(Utf8ToWide("-c \"kill $(cat '" + m_strUnixDir + "/pid')\""), true);
}

std::wstring CTlsTestServer::Url(const std::string& strPath) const
{
    return L"https://127.0.0.1:" + std::to_wstring(m_nPort) + Utf8ToWide(strPath);
}

bool CTlsTestServer::TrustRoot(const std::wstring& strCaDir)
{
    std::string strPem;
    if (!ReadFileBytes(strCaDir + L"ca.pem", strPem))
        return false;
    DWORD cbDer = 0;
    if (!::CryptStringToBinaryA(strPem.c_str(), static_cast<DWORD>(strPem.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                &cbDer, nullptr, nullptr))
        return false;
    std::vector<BYTE> der(cbDer);
    if (!::CryptStringToBinaryA(strPem.c_str(), static_cast<DWORD>(strPem.size()), CRYPT_STRING_BASE64HEADER,
                                der.data(), &cbDer, nullptr, nullptr))
        return false;
    HCERTSTORE hStore = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (hStore == nullptr)
        return false;
    const BOOL bAdded = ::CertAddEncodedCertificateToStore(hStore, X509_ASN_ENCODING, der.data(), cbDer,
                                                           CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    ::CertCloseStore(hStore, 0);
    return bAdded != FALSE;
}
}  // namespace zeptest
