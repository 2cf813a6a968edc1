#pragma once
// The log of the ZepBackend_Library component.
#include "oplogsys/oplogsys.h"

#define ZEP_BACKEND_LOG_SUBJECT L"ZepBackend_Library"

// Made on first use from "ZepBackend_Library.log.xml" next to the executable; the same object
// afterwards.
opLogSys::COutputLogSystem& ZepBackendLibraryLog() noexcept;
