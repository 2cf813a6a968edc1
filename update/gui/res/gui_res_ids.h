#pragma once
// Identifiers of ZepGUI_LibraryRes.dll, the language resource library of ZepGUI_Library: both
// the library and the resource script use them.

// Dialog templates and the icon.
#define IDD_ZEP_PROGRESS 11004
#define IDD_ZEP_MARQUEE 11007
#define IDD_ZEP_CONFIRM 11009
#define IDI_ZEP_UPDATE 11015

// Controls. The progress window's percentage and remaining time reuse the confirmation
// window's size-line and label identifiers.
#define IDC_ZEP_NOTE 655
#define IDC_ZEP_PROGRESS_BAR 11002
#define IDC_ZEP_DETAIL 11005
#define IDC_ZEP_TITLE 11010
#define IDC_ZEP_ICON 11011
#define IDC_ZEP_SIZE_LINE 11012
#define IDC_ZEP_PERCENT 11012
#define IDC_ZEP_DETAIL_LABEL 11013
#define IDC_ZEP_REMAINING 11013

// Strings.
#define IDS_ZEP_CAPTION 102
#define IDS_ZEP_REMAINING_HOURS 201    // hours, minutes
#define IDS_ZEP_REMAINING_MINUTES 202  // minutes
#define IDS_ZEP_REMAINING_SECONDS 203  // seconds
#define IDS_ZEP_PERCENT 204            // percentage
#define IDS_ZEP_UNIT_KB 205
#define IDS_ZEP_UNIT_MB 206
#define IDS_ZEP_UNIT_GB 207
#define IDS_ZEP_TITLE_SOFTWARE 1001  // application name
#define IDS_ZEP_TITLE_INFO 1002
#define IDS_ZEP_SIZE_LINE 1003  // number, unit text
#define IDS_ZEP_DETAIL_LABEL 1004
#define IDS_ZEP_TITLE_FIRMWARE 1005  // application name
#define IDS_ZEP_DOWNLOAD_CANCELED 2004
#define IDS_ZEP_COMPLETE 2005  // application name
#define IDS_ZEP_NO_UPDATE 2006
#define IDS_ZEP_CANCEL_QUESTION 2008
#define IDS_ZEP_ERR_INFO_INVALID 7001
#define IDS_ZEP_ERR_SERVER 7002
#define IDS_ZEP_ERR_NETWORK 7004
#define IDS_ZEP_ERR_FILE_INVALID 7007
#define IDS_ZEP_UPDATE_TITLE 7008
#define IDS_ZEP_ERR_DISK_FULL 7009
#define IDS_ZEP_ERR_SAVE 7010
#define IDS_ZEP_ERR_GENERAL 7011
// The text for a check of the same service already running elsewhere; 7008 is the update
// window's title and cannot say both.
#define IDS_ZEP_ERR_CHECK_BUSY 7012
