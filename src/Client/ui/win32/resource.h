#pragma once
// Resource ids shared by the resource script and the window code.

#define IDR_MAINFRAME 128
#define IDB_BANNER 130
#define IDD_UPDATE_DIALOG 103
