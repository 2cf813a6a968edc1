// Resource and control ids of Tolvik.exe.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDR_MAINFRAME 128
#define IDD_TOLVIK_DIALOG 102
#define IDD_ABOUTBOX 133
#define IDD_OPTION 131
#define IDD_UPDATE 144
#define IDD_SETTING 145

#define IDS_ABOUTBOX 101
#define IDS_SETTING_CAPTION 1300
#define IDS_TAB_APPLICATIONS 1301
#define IDS_TAB_UPDATE 1302

// Texts of the application selection page and its file dialog.
#define IDS_NOT_INSTALLED 1100
#define IDS_NOT_SELECTED 1101
#define IDS_CUSTOM 1102
#define IDS_SELECT_APP_TITLE 1200
#define IDS_SELECT_APP_FILTER 1201
#define IDS_CANNOT_SELECT 10000

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

// Settings dialog: the tab control holding the two pages.
#define IDC_SETTING_TAB 1016

// Application selection page: one drop-down list per content kind.
#define IDC_COMBO_MUSIC 1006
#define IDC_COMBO_PHOTO 1007
#define IDC_COMBO_VIDEO 1008
#define IDC_COMBO_PODCAST 1009

// Update page. The radio group's first button stands for frequency 0.
#define IDC_UPDATE_AT_START 1010
#define IDC_UPDATE_NOW 1011
#define IDC_FREQUENCY_EVERY_START 1015
#define IDC_FREQUENCY_DAILY 1016
#define IDC_FREQUENCY_WEEKLY 1017

// Version dialog: the version text.
#define IDC_VERSION_TEXT 1007

// System menu command of the version dialog.
#define IDM_ABOUTBOX 0x0010
