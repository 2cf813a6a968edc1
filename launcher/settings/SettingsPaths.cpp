#include "launcher/settings/SettingsPaths.h"
HRESULT GetLauncherDataFolder(std::wstring& f) { f.clear(); return E_NOTIMPL; }
HRESULT GetLauncherSettingsFilePath(std::wstring& p) { p.clear(); return E_NOTIMPL; }
void SetLauncherDataFolderOverride(const std::wstring&) {}
