#pragma once
// Resource ids shared by the resource script and the window code.

#define IDR_MAINFRAME 128
#define IDB_BANNER 130
#define IDD_UPDATE_DIALOG 103

// Controls of the update dialog; the same numbers as qrnv::DialogControl (DialogWindow.h),
// which the code uses. The resource compiler reads only this header.
#define IDC_PROGRESS 0x3EA
#define IDC_MESSAGE_TEXT 0x3EC
#define IDC_CHECK_DONT_SHOW_AGAIN 0x3EE
#define IDC_DOWNLOAD_PROGRESS 0x3F0
#define IDC_SERVER_VERSION_TEXT 0x3F2
#define IDC_SERVER_VERSION 0x3F5
#define IDC_RADIO_DONT_SHOW_AGAIN 0x3FE
#define IDC_RADIO_REMIND_LATER 0x3FF
#define IDC_RADIO_INSTALL_NOW 0x400
#define IDC_UPDATE_NOW_BUTTON 0x80
#define IDC_CLOSE_BUTTON 0x81
#define IDC_CONTINUE_BUTTON 0x82

// The header band's control id.
#define IDC_HEADER_BAND 103
