#pragma once
// Names and private messages of the launcher program.
#include <windows.h>

#include "common/product_keys.h"

// The application name: single-instance suffix, main-window marker property, profile name
// and profile section all at once.
#define TOLVIK_APP_NAME L"Velomar Launcher"
#define TOLVIK_PROFILE_ROOT L"Orvo Corporation"
#define TOLVIK_MUTEX_NAME L"Global\\" TOLVIK_APP_NAME

// Per-user profile of the application: HKCU\Software\<root>\<app>\<app>.
#define TOLVIK_PROFILE_KEY L"Software\\" TOLVIK_PROFILE_ROOT L"\\" TOLVIK_APP_NAME L"\\" TOLVIK_APP_NAME

// HKLM keys below the product key.
#define TOLVIK_KEY ZEP_PRODUCT_KEY L"\\" ZEP_TOLVIK_SUBKEY
#define TOLVIK_DOWNLOAD_KEY TOLVIK_KEY L"\\Download"
#define TOLVIK_AUTO_KEY TOLVIK_KEY L"\\Auto"
#define TOLVIK_PIRRO_KEY ZEP_PRODUCT_KEY L"\\" ZEP_PIRRO_SUBKEY

#define WM_TOLVIK_CHECKUPDATE (WM_USER + 10)
#define WM_TOLVIK_FIRSTRUN (WM_USER + 0x100)

// The message on which the device watcher closes itself; registered at program load.
extern const UINT WatcherCloseMessage;
