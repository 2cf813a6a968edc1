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

// Main window background and the bitmaps of the six buttons (normal / hover / pressed).
#define IDB_TOLVIK_BACKGROUND 2100
#define IDB_MUSIC_NORMAL 2012
#define IDB_MUSIC_HOVER 2013
#define IDB_MUSIC_PRESSED 2014
#define IDB_VIDEO_NORMAL 2015
#define IDB_VIDEO_HOVER 2016
#define IDB_VIDEO_PRESSED 2017
#define IDB_PHOTO_NORMAL 2018
#define IDB_PHOTO_HOVER 2019
#define IDB_PHOTO_PRESSED 2020
#define IDB_DOWNLOAD_NORMAL 2021
#define IDB_DOWNLOAD_HOVER 2022
#define IDB_DOWNLOAD_PRESSED 2023
#define IDB_PODCAST_NORMAL 141
#define IDB_PODCAST_HOVER 142
#define IDB_PODCAST_PRESSED 143
#define IDB_SETTING_HOVER 134
#define IDB_SETTING_NORMAL 135
#define IDB_SETTING_PRESSED 136

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
