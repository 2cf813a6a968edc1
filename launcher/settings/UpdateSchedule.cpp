#include "launcher/settings/UpdateSchedule.h"
bool IsUpdateDue(const UpdateScheduleValues&, LONGLONG) { return false; }
bool IsUpdateDue() { return false; }
UpdateScheduleValues ReadUpdateScheduleValues() { return UpdateScheduleValues(); }
LONGLONG CurrentUnixTime() { return 0; }
HRESULT WriteUpdateStart(bool) { return E_NOTIMPL; }
HRESULT WriteUpdateFrequency(DWORD) { return E_NOTIMPL; }
HRESULT WriteUpdateTime(LONGLONG) { return E_NOTIMPL; }
