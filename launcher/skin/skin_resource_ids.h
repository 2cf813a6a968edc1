#pragma once
// Bitmap resources of the skinned window family. The images are generated at build time by
// bitmaps/make_skin_bitmaps.py and listed in skin_bitmaps.rc, which the program's own .rc
// includes (resources of a static library would be dropped by the linker).

// Auto-launch check box: unticked and ticked, each normal / hover / pressed.
#define IDB_CHECK_OFF_NORMAL 2000
#define IDB_CHECK_OFF_HOVER 2001
#define IDB_CHECK_OFF_PRESSED 2002
#define IDB_CHECK_ON_NORMAL 2003
#define IDB_CHECK_ON_HOVER 2004
#define IDB_CHECK_ON_PRESSED 2005

// Title bar buttons; hover is base + 1, pressed base + 2.
#define IDB_CAPTION_CLOSE 2006
#define IDB_CAPTION_CLOSE_HOVER 2007
#define IDB_CAPTION_CLOSE_PRESSED 2008
#define IDB_CAPTION_MINIMIZE 2009
#define IDB_CAPTION_MINIMIZE_HOVER 2010
#define IDB_CAPTION_MINIMIZE_PRESSED 2011

// Content buttons of the main window (normal / hover / pressed).
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

// Main window background, 600 x 290 (the whole client area, title bar strip included).
#define IDB_TOLVIK_BACKGROUND 2100

// The program icon the title bar shows at 16 x 16 (supplied by the program's own .rc).
#define IDI_SKIN_TITLE_ICON 128
