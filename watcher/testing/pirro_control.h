#pragma once
// Driving a running watcher from outside, the way the system and the launcher do: its hidden
// window, device-change notifications, the close broadcast and the AutoPlay question through
// the running object table. Shared by the process tests and the PirroCtl tool.
#include <windows.h>
#include <string>
#include <vector>

namespace PirroControl
{
// The watcher's hidden window ("#32770", caption "Pirro"); dwProcessId 0 takes any process's.
HWND FindPirroWindow(DWORD dwProcessId = 0);
// Polls until the window exists (true) or the time is up.
bool WaitForPirroWindow(DWORD dwProcessId, DWORD dwTimeoutMs, HWND& hwnd);

// Unit mask with one bit per letter of the text ("EF" -> E and F); other characters ignored.
DWORD UnitMaskFromLetters(const std::wstring& letters);
// Sends WM_DEVICECHANGE with a DEV_BROADCAST_VOLUME record, as the system does for a volume.
bool SendVolumeEvent(HWND hwnd, WPARAM nEvent, DWORD dwUnitMask, WORD wFlags = 0);
// Sends WM_DEVICECHANGE with any record (or none).
bool SendDeviceChange(HWND hwnd, WPARAM nEvent, const void* pRecord);

// Broadcasts the launcher's close request to all top-level windows.
bool BroadcastWatcherClose();

// Asks the AutoPlay handler registered in the running object table; the caller has COM.
// Returns the failure when no handler is registered, else S_OK with the handler's answer.
HRESULT AskAllowAutoPlay(const wchar_t* pszPath, HRESULT& hrAnswer);

// A 56-byte INQUIRY response: removable direct-access device, the vendor text (space
// padded to 8), a product text, revision "1.00" and the player identifier at bytes 36-43.
std::vector<BYTE> InquiryResponse(const char* pszVendor, const char* pszPlayerId);
// "X <hex>" for the emulated executor's map file.
std::string InquiryMapLine(wchar_t chLetter, const std::vector<BYTE>& response);

// Registry entries that tie a drive letter to a USB player Vid_<vid>&Pid_<pid> with the given
// serial: the drive's MountedDevices value, the USB-storage instance (with a parent-id
// prefix), the USB instance and the supported-id subkey. Written under HKLM (the sandboxed
// one in unit tests, the prefix's own in process tests).
bool WritePlayerFixture(wchar_t chLetter, const std::wstring& vid, const std::wstring& pid,
                        const std::wstring& serial);
void RemovePlayerFixture(wchar_t chLetter, const std::wstring& vid, const std::wstring& pid,
                         const std::wstring& serial);

// Wine only: makes a drive letter point at a folder with the given drive type
// (DRIVE_REMOVABLE, DRIVE_FIXED, ...), through Wine's mount manager.
bool DefineWineDrive(wchar_t chLetter, const std::wstring& folder, UINT uDriveType);
bool RemoveWineDrive(wchar_t chLetter);
}  // namespace PirroControl
