#pragma once
// Resource and control ids of the skin tests' own dialogs.

#define IDD_SKIN_MAIN 300
#define IDD_SKIN_NO_SYSMENU 301
#define IDD_SKIN_NO_MINIMIZE 302
#define IDD_SKIN_NO_CAPTION 303
#define IDD_SKIN_PLAIN_TEXTS 304

#define IDC_SKIN_MUSIC 1000
#define IDC_SKIN_VIDEO 1001
#define IDC_SKIN_PHOTO 1002
#define IDC_SKIN_DOWNLOAD 1003
#define IDC_SKIN_AUTO 1004
#define IDC_SKIN_DESCRIPTION 1005
#define IDC_SKIN_SETTING 1006
#define IDC_SKIN_PODCAST 1007
