// drenloxctl: plugs, unplugs and swaps the simulated player behind the stand-in Drenlox.dll, and
// writes firmware images it accepts.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <map>
#include <string>

#include "update/client/drenlox/drenlox_state.h"

namespace
{
const wchar_t kUsage[] =
    L"Usage: drenloxctl COMMAND [options]\n"
    L"  show                      print the simulated bus and player\n"
    L"  plug [player options]     connect one player (options change it; the rest is kept)\n"
    L"  unplug                    disconnect it\n"
    L"  second                    connect a second player as well (the client refuses two)\n"
    L"  unusable                  the player is there but cannot be used\n"
    L"  image VERSION FILE        write a firmware image that updates a player to VERSION\n"
    L"Player options: --serial S --service ID --version V --model M --word0 N --word1 N\n"
    L"                --storage DIR (the player's storage folder)\n"
    L"                --delay MS (how long an update takes; -1: the player never comes back)\n"
    L"State file: %DRENLOX_PLAYER_STATE%, else %ProgramData%\\Drenlox Simulator\\player.ini\n";

struct Default
{
    const wchar_t* pszOption;
    const wchar_t* pszKey;
    const wchar_t* pszValue;
};
// The demo's player: the launcher's firmware block names model QX-B417.
const Default kDefaults[] = {
    {L"--serial", L"DeviceId", L"QXB417-000123"}, {L"--service", L"ServiceId", L"QXB417FW"},
    {L"--version", L"FirmwareVersion", L"1.0.0.0"}, {L"--model", L"Model", L"QX B417"},
    {L"--word0", L"Word0", L"1"},                   {L"--word1", L"Word1", L"417"},
    {L"--delay", L"ReturnDelayMs", L"5000"},        {L"--storage", L"Storage", L""},
};

std::wstring Read(const std::wstring& strFile, const wchar_t* pszSection, const wchar_t* pszKey)
{
    wchar_t sz[1024] = {};
    ::GetPrivateProfileStringW(pszSection, pszKey, L"", sz, _countof(sz), strFile.c_str());
    return sz;
}

void Write(const std::wstring& strFile, const wchar_t* pszSection, const wchar_t* pszKey, const std::wstring& str)
{
    ::WritePrivateProfileStringW(pszSection, pszKey, str.c_str(), strFile.c_str());
}

int Show(const std::wstring& strFile)
{
    wprintf(L"State file: %ls\n", strFile.c_str());
    wprintf(L"Players on the bus: %ls%ls\n", Read(strFile, L"Bus", L"Players").c_str(),
            Read(strFile, L"Bus", L"Unusable") == L"1" ? L" (unusable)" : L"");
    for (const Default& d : kDefaults)
        wprintf(L"  %-16ls %ls\n", d.pszKey, Read(strFile, L"Player", d.pszKey).c_str());
    const std::wstring strReturn = Read(strFile, L"Player", L"ReturnAt");
    if (!strReturn.empty() && strReturn != L"0")
        wprintf(L"  updating; comes back with %ls\n", Read(strFile, L"Player", L"PendingVersion").c_str());
    return 0;
}

int Plug(const std::wstring& strFile, int argc, wchar_t** argv)
{
    std::map<std::wstring, std::wstring> options;
    for (int i = 2; i + 1 < argc; i += 2)
        options[argv[i]] = argv[i + 1];
    for (const Default& d : kDefaults)
    {
        auto it = options.find(d.pszOption);
        if (it != options.end())
            Write(strFile, L"Player", d.pszKey, it->second);
        else if (Read(strFile, L"Player", d.pszKey).empty())
        {
            std::wstring strValue = d.pszValue;
            if (std::wstring(d.pszKey) == L"Storage")
            {
                // A folder beside the state file stands for the player's storage.
                strValue = strFile.substr(0, strFile.find_last_of(L'\\')) + L"\\storage";
                ::SHCreateDirectoryExW(nullptr, strValue.c_str(), nullptr);
            }
            Write(strFile, L"Player", d.pszKey, strValue);
        }
    }
    Write(strFile, L"Player", L"ReturnAt", L"0");
    Write(strFile, L"Player", L"PendingVersion", L"");
    Write(strFile, L"Bus", L"Unusable", L"0");
    Write(strFile, L"Bus", L"Players", L"1");
    return Show(strFile);
}

int Image(const wchar_t* pszVersion, const wchar_t* pszFile)
{
    FILE* pFile = _wfopen(pszFile, L"wb");
    if (!pFile)
    {
        fwprintf(stderr, L"drenloxctl: cannot write %ls\n", pszFile);
        return 1;
    }
    fprintf(pFile, "VELOMAR-FIRMWARE %ls\r\n", pszVersion);
    // Some bulk, so that the update progress has something to show.
    for (int i = 0; i < 4096; ++i)
        fputs("simulated firmware image block\r\n", pFile);
    fclose(pFile);
    return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring strFile = DrenloxStatePath();
    if (argc < 2 || strFile.empty())
    {
        fputws(kUsage, stderr);
        return 2;
    }
    const std::wstring strFolder = strFile.substr(0, strFile.find_last_of(L'\\'));
    ::SHCreateDirectoryExW(nullptr, strFolder.c_str(), nullptr);
    const std::wstring strCommand = argv[1];
    if (strCommand == L"show")
        return Show(strFile);
    if (strCommand == L"plug")
        return Plug(strFile, argc, argv);
    if (strCommand == L"unplug")
    {
        Write(strFile, L"Bus", L"Players", L"0");
        Write(strFile, L"Player", L"ReturnAt", L"0");
        return Show(strFile);
    }
    if (strCommand == L"second")
    {
        Write(strFile, L"Bus", L"Players", L"2");
        return Show(strFile);
    }
    if (strCommand == L"unusable")
    {
        Write(strFile, L"Bus", L"Unusable", L"1");
        return Show(strFile);
    }
    if (strCommand == L"image" && argc == 4)
        return Image(argv[2], argv[3]);
    fputws(kUsage, stderr);
    return 2;
}
