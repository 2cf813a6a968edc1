// Resource and control ids of Tolvik.exe.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDR_MAINFRAME 128
#define IDD_TOLVIK_DIALOG 102
#define IDD_ABOUTBOX 133

#define IDS_ABOUTBOX 101
#define IDS_SETTING_CAPTION 1300

// Bitmaps of the main window and its buttons, and the icon the title bar shows.
#include "launcher/skin/skin_resource_ids.h"

// Main window controls.
#define IDC_MUSIC 1000
#define IDC_VIDEO 1001
#define IDC_PHOTO 1002
#define IDC_DOWNLOAD 1003
#define IDC_AUTOLAUNCH 1004
#define IDC_DESCRIPTION 1005
#define IDC_SETTING 1006
#define IDC_PODCAST 1007

// Version dialog: the version text.
#define IDC_VERSION_TEXT 1007

// System menu command of the version dialog.
#define IDM_ABOUTBOX 0x0010
