#include <windows.h>

#include "common/string_util.h"
#include "common/unique_resource.h"
#include "update/info/tool/command_line.h"
#include "update/info/tool/console.h"
#include "update/info/tool/signing_options.h"
#include "update/info/tool/update_signing_key.h"
#include "update/info/tool/zepinfo_commands.h"

void PrintKeygenHelp()
{
    ConsoleOut(
        L"Usage: zepinfo keygen KEY.pem\n"
        L"\n"
        L"Makes a new ECDSA P-256 signing key for update information and writes its private key\n"
        L"to KEY.pem (PKCS#8 PEM, as openssl genpkey writes; an existing file is never replaced).\n"
        L"Prints the public key (PEM) and its key id. Clients trust a key when the public key is\n"
        L"in the file their build was configured with (-DZEP_UPDATE_KEYS=FILE). Keep KEY.pem\n"
        L"offline; it signs with zepinfo publish --key KEY.pem.\n"
        L"\n"
        L"Exit code: 0 written, 1 usage error, 3 not written.\n");
}

int RunKeygen(int argc, wchar_t** argv)
{
    CCommandLine cmd({}, {L"help"});
    const ECommandStart start =
        StartCommand(L"keygen", cmd, argc, argv, PrintKeygenHelp,
                     [](const CCommandLine& c) { return c.Positionals().size() == 1; }, L"needs KEY.pem");
    if (start != ECommandStart::Run)
        return start == ECommandStart::HelpShown ? 0 : 1;
    const std::wstring& strPath = cmd.Positionals()[0];
    CUpdateSigningKey key;
    HRESULT hr = key.Generate();
    if (FAILED(hr))
    {
        ConsoleErrPrintf(L"zepinfo keygen: no key could be made: 0x%08X %s\n", static_cast<unsigned>(hr),
                         ResultText(hr).c_str());
        return 3;
    }
    std::string strPem = key.PrivatePem();
    UniqueHandle file(::CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    DWORD cbWritten = 0;
    const bool bWritten = file && ::WriteFile(file.Get(), strPem.data(), static_cast<DWORD>(strPem.size()),
                                              &cbWritten, nullptr) &&
                          cbWritten == strPem.size() && ::FlushFileBuffers(file.Get());
    const DWORD dwError = ::GetLastError();
    SecureZeroMemory(&strPem[0], strPem.size());
    if (!bWritten)
    {
        if (file)
        {
            file.Reset();
            ::DeleteFileW(strPath.c_str());
        }
        ConsoleErrPrintf(L"zepinfo keygen: cannot write %s: %s\n", strPath.c_str(),
                         ResultText(HRESULT_FROM_WIN32(dwError)).c_str());
        return 3;
    }
    std::wstring strKeyId;
    EcdsaP256::KeyId(key.PublicPoint(), strKeyId);
    ConsoleOut(L"Private key written to " + strPath + L"\nKey id: " + strKeyId + L"\nPublic key:\n" +
               Utf8ToWide(key.PublicPem()));
    return 0;
}
