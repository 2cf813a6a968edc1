#pragma once
// Records exchanged with the update information manager's callers: the definitions widl
// generates from the component library's IDL, so the code and the type library cannot disagree.
#include <windows.h>
#include <oleauto.h>

#include "zep_backend_library.h"

// Frees every string of the record and zeroes it, so it can be filled again.
void ZepClearNewVersionInfo(ZEP_NEW_VERSION_INFO* pInfo);
// Copies the details into a caller's record that may still hold strings of its own: those are
// all freed, and package slots beyond m_nInfoSize come back empty. m_bReboot is left as the
// caller set it. On failure the caller's record is unchanged.
HRESULT ZepCopyNewVersionInfo(const ZEP_NEW_VERSION_INFO& from, ZEP_NEW_VERSION_INFO* pTo);
