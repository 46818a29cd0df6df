// Resource identifiers. The numeric values are fixed: dialog templates and
// control IDs are what the program and its stored layouts rely on.
//
// Control ID names say the dialog and the kind:
//   IDT_ text/label   IDB_ button   IDX_ check box   IDR_ radio button
//   IDE_ edit box     IDL_ list view  IDP_ progress bar  IDK_ track bar
//   IDU_ up-down      IDN_ link       IDC_ other control
#pragma once

// Icon, strings, version, manifest.
#define IDI_CLIPDECK                128
#define IDS_ABOUTBOX                101
#define IDM_ABOUTBOX                0x0010
#define IDS_LIBRARY                 102
#define IDM_LIBRARY                 0x0020

// Dialog templates.
#define IDD_ABOUTBOX                100
#define IDD_CLIPDECK                102
#define IDD_PLAYER                  130
#define IDD_MONITOR                 131
#define IDD_CONTROL                 132
#define IDD_HISTORY                 134
#define IDD_FAVORITE                136
#define IDD_QUALITY                 137
#define IDD_ITEMSETTING             138

// About box (100).
#define IDT_ABOUT_VERSION           1016
#define IDN_ABOUT_MAKER             1015

// Main dialog (102).
#define IDN_MAIN_MAKER              1015

// Player window (130).
#define IDC_PLAYER_FLASH            1000

// Monitor (131).
#define IDE_MONITOR_LOG             1001

// Control panel (132).
#define IDE_CONTROL_VIDEOREF        1002
#define IDB_CONTROL_PLAY            1004
#define IDB_CONTROL_PAUSE           1005
#define IDB_CONTROL_STOP            1006
#define IDB_CONTROL_TOSTART         1007
#define IDB_CONTROL_BACK            1008
#define IDB_CONTROL_FORWARD         1009
#define IDP_CONTROL_LOADED          1010
#define IDT_CONTROL_TIME            1011
#define IDP_CONTROL_POSITION        1012
#define IDK_CONTROL_VOLUME          1013
#define IDX_CONTROL_MUTE            1014
#define IDT_CONTROL_STATUS          1015
#define IDB_CONTROL_NEXT            1016
#define IDT_CONTROL_QUALITY         1017
#define IDB_CONTROL_HISTORY         1018
#define IDB_CONTROL_FAVORITE        1019
#define IDT_CONTROL_VOLUME          1020
#define IDB_CONTROL_PREV            1021
#define IDX_CONTROL_LISTPLAY        1022
#define IDX_CONTROL_FRAME           1024
#define IDX_CONTROL_TOPMOST         1025
#define IDB_CONTROL_QUALITY         1026
#define IDT_CONTROL_TITLE           1027
#define IDB_CONTROL_ASPECT43        1030
#define IDB_CONTROL_ASPECT169       1031

// History dialog (134).
#define IDL_HISTORY_LIST            1009
#define IDB_HISTORY_PLAYBACK        1017
#define IDB_HISTORY_SETTITLE        1018
#define IDB_HISTORY_DELETE          1019
#define IDB_HISTORY_TOFAVORITE      1020
#define IDX_HISTORY_IE              1042
#define IDX_HISTORY_CHROME          1043

// Favourites dialog (136).
#define IDB_FAVORITE_PLAYBACK       1017
#define IDB_FAVORITE_UP             1018
#define IDB_FAVORITE_DELETE         1019
#define IDL_FAVORITE_LIST           1020
#define IDB_FAVORITE_AUTOPLAY       1021
#define IDB_FAVORITE_DOWN           1022
#define IDB_FAVORITE_SETTING        1023

// Quality dialog (137).
#define IDT_QUALITY_CURRENT         1024
#define IDR_QUALITY_DEFAULT         1025
#define IDR_QUALITY_SMALL           1026
#define IDR_QUALITY_MEDIUM          1027
#define IDR_QUALITY_LARGE           1028
#define IDR_QUALITY_HD720           1029

// Item settings dialog (138).
#define IDE_ITEM_VOLUME             1028
#define IDU_ITEM_VOLUME             1029
#define IDE_ITEM_STARTPOS           1030
#define IDU_ITEM_STARTPOS           1031
#define IDE_ITEM_ENDPOS             1032
#define IDU_ITEM_ENDPOS             1033
#define IDR_ITEM_VOL20              1034
#define IDR_ITEM_VOL40              1035
#define IDR_ITEM_VOL60              1036
#define IDR_ITEM_VOL80              1037
#define IDR_ITEM_VOL100             1038
#define IDE_ITEM_TITLE              1039
#define IDT_ITEM_TOTALTIME          1040
