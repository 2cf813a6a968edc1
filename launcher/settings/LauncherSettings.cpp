#include "launcher/settings/LauncherSettings.h"

CLauncherSettings::CLauncherSettings() = default;
CLauncherSettings::~CLauncherSettings() = default;
HRESULT CLauncherSettings::Load(HMODULE) { return E_NOTIMPL; }
void CLauncherSettings::GetSelections(AppEntry&, AppEntry&, AppEntry&, AppEntry&) const {}
HRESULT CLauncherSettings::GetCandidates(const std::wstring&, std::vector<AppEntry>& c) const { c.clear(); return E_NOTIMPL; }
HRESULT CLauncherSettings::StoreAndSave(const AppEntry&, const AppEntry&, const AppEntry&, const AppEntry&) { return E_NOTIMPL; }
void CLauncherSettings::Release() { m_pDocument.Reset(); }
