// Command-line control of a running watcher, for scripts:
//   PirroCtl wait [ms]                    wait for the watcher's window
//   PirroCtl gone [ms]                    wait until the window has gone
//   PirroCtl arrive <letters> [event]     send a volume device-change (default: arrival)
//   PirroCtl close                        broadcast the launcher's close request
//   PirroCtl autoplay <path>              ask the AutoPlay handler; prints S_FALSE or S_OK
//   PirroCtl inquiry <letter> <vendor> <player id>   prints a line for the emulator's map file
//   PirroCtl fixture <letter> <vid> <pid> <serial>   registers a USB player behind the letter
//   PirroCtl unfixture <letter> <vid> <pid> <serial> removes those entries again
//   PirroCtl mount <letter> <folder> [removable|fixed|remote|cdrom]   (Wine only)
//   PirroCtl unmount <letter>                                         (Wine only)
// Exit code 0 on success, 1 on failure, 2 on bad usage.
#include <windows.h>
#include <dbt.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "common/com_init.h"
#include "common/string_util.h"
#include "watcher/testing/pirro_control.h"

namespace
{
DWORD Timeout(int argc, wchar_t** argv, int index, DWORD dwDefault)
{
    return argc > index ? static_cast<DWORD>(wcstoul(argv[index], nullptr, 0)) : dwDefault;
}

int Fail(const char* pszWhat)
{
    fprintf(stderr, "PirroCtl: %s\n", pszWhat);
    return 1;
}

UINT DriveTypeFromName(const std::wstring& name)
{
    if (name == L"fixed")
        return DRIVE_FIXED;
    if (name == L"remote")
        return DRIVE_REMOTE;
    if (name == L"cdrom")
        return DRIVE_CDROM;
    return DRIVE_REMOVABLE;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    const std::wstring command = argv[1];
    HWND hwnd = nullptr;

    if (command == L"wait")
        return PirroControl::WaitForPirroWindow(0, Timeout(argc, argv, 2, 10000), hwnd) ? 0 : Fail("no watcher window");
    if (command == L"gone")
    {
        const ULONGLONG start = ::GetTickCount64();
        while (PirroControl::FindPirroWindow(0))
        {
            if (::GetTickCount64() - start > Timeout(argc, argv, 2, 10000))
                return Fail("watcher window still there");
            ::Sleep(20);
        }
        return 0;
    }
    if (command == L"arrive" && argc >= 3)
    {
        if (!PirroControl::WaitForPirroWindow(0, 10000, hwnd))
            return Fail("no watcher window");
        const WPARAM nEvent = argc > 3 ? wcstoul(argv[3], nullptr, 0) : DBT_DEVICEARRIVAL;
        return PirroControl::SendVolumeEvent(hwnd, nEvent, PirroControl::UnitMaskFromLetters(argv[2]))
                   ? 0
                   : Fail("device change not delivered");
    }
    if (command == L"close")
        return PirroControl::BroadcastWatcherClose() ? 0 : Fail("broadcast failed");
    if (command == L"autoplay" && argc >= 3)
    {
        CComInitScope com(COINIT_APARTMENTTHREADED);
        HRESULT hrAnswer = E_FAIL;
        const HRESULT hr = PirroControl::AskAllowAutoPlay(argv[2], hrAnswer);
        if (FAILED(hr))
        {
            fprintf(stderr, "PirroCtl: no AutoPlay handler (0x%08lX)\n", static_cast<unsigned long>(hr));
            return 1;
        }
        printf("%s\n", hrAnswer == S_FALSE ? "S_FALSE" : hrAnswer == S_OK ? "S_OK" : "other");
        return 0;
    }
    if (command == L"inquiry" && argc >= 5)
    {
        const std::string vendor = WideToUtf8(argv[3]);
        const std::string player = WideToUtf8(argv[4]);
        printf("%s\n", PirroControl::InquiryMapLine(argv[2][0], PirroControl::InquiryResponse(vendor.c_str(),
                                                                                            player.c_str()))
                           .c_str());
        return 0;
    }
    if (command == L"fixture" && argc >= 6)
        return PirroControl::WritePlayerFixture(argv[2][0], argv[3], argv[4], argv[5]) ? 0 : Fail("fixture failed");
    if (command == L"unfixture" && argc >= 6)
    {
        PirroControl::RemovePlayerFixture(argv[2][0], argv[3], argv[4], argv[5]);
        return 0;
    }
    if (command == L"mount" && argc >= 4)
    {
        const UINT uType = DriveTypeFromName(argc > 4 ? argv[4] : L"removable");
        return PirroControl::DefineWineDrive(argv[2][0], argv[3], uType) ? 0 : Fail("mount failed");
    }
    if (command == L"unmount" && argc >= 3)
        return PirroControl::RemoveWineDrive(argv[2][0]) ? 0 : Fail("unmount failed");
    return 2;
}
