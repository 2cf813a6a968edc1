#pragma once
// Where the launcher keeps its settings file.
#include <windows.h>
#include <string>

#define LAUNCHER_SETTINGS_FILE_NAME L"TOLVIKSetting.xml"

// The data folder (all-users application data + "Orvo Corporation\Velomar Launcher", created
// with its parents when missing), without a trailing backslash.
HRESULT GetLauncherDataFolder(std::wstring& folder);

// The data folder, a backslash and "TOLVIKSetting.xml".
HRESULT GetLauncherSettingsFilePath(std::wstring& path);

// Makes GetLauncherDataFolder return this folder instead (tests); an empty text restores the
// real location.
void SetLauncherDataFolderOverride(const std::wstring& folder);
