#pragma once
// Identifiers of ZepHelper_ApplicationRes.dll, the language resource library of the update
// client.
#define IDS_ZEPHELPER_CAPTION 102
#define IDS_ZEPHELPER_INIT_FAILED 1002
#define IDS_ZEPHELPER_NO_PLAYER 2001      // 0x80040200
#define IDS_ZEPHELPER_PRODUCT_NAME 2002   // the player's name in the confirmation window
#define IDS_ZEPHELPER_MANY_PLAYERS 2003   // 0x80040202
#define IDS_ZEPHELPER_FAILED_CODE 2004    // any other failure; takes the result code
#define IDS_ZEPHELPER_UPDATE_TIMEOUT 2005 // 0x80041211
#define IDS_ZEPHELPER_OUT_OF_MEMORY 2006  // 0x8007000E
// The error text for 0x80040201; 2002 is the product name and cannot say both.
#define IDS_ZEPHELPER_PLAYER_UNUSABLE 2007
#define IDS_ZEPHELPER_APP_TITLE 0xE000
