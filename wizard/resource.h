#pragma once
// Dialogs, controls and icon of the wizard program. Language strings and
// skin bitmaps come from the suite's resource modules by the ids below.

// Dialogs.
#define IDD_PAIRWELL_DIALOG 102
#define IDD_TROUBLESHOOT 134
#define IDD_WELCOME_PAGE 1014
#define IDD_SELECT_MEDIA_PAGE 1022
#define IDD_CONNECT_CABLE_PAGE 1023
#define IDD_ACTIVATE_INFRARED_PAGE 1024
#define IDD_SETUP_COMPLETE_PAGE 1025
#define IDD_SEARCH_PHONE_PAGE 1027
#define IDD_SUPPORT_INSTALL_PAGE 1029
#define IDD_AUTHENTICATE_PAGE 1071
#define IDI_PAIRWELL 128

// Main dialog.
#define IDC_BACK 1001
#define IDC_NEXT 1002
#define IDC_WIZARD_CANCEL 1003
#define IDC_WIZARD_HELP 1004
#define IDC_TITLE_BAND 1007
#define IDC_PAGE_AREA 1012
#define IDC_PICTURE_PLACE 1059

// Welcome page.
#define IDC_WELCOME_TITLE 1000
#define IDC_WELCOME_TEXT1 1010
#define IDC_WELCOME_TEXT2 1011
#define IDC_WELCOME_PICTURE 1060
#define IDC_HIDE_WELCOME 1072
// Media selection page.
#define IDC_MEDIA_TITLE 1015
#define IDC_MEDIA_TEXT 1016
#define IDC_MEDIA_CABLE 1017
#define IDC_MEDIA_INFRARED 1018
#define IDC_MEDIA_BLUETOOTH 1019
#define IDC_MEDIA_HINT 1066
// Cable page.
#define IDC_CABLE_TITLE 1028
#define IDC_CABLE_TEXT 1029
#define IDC_CABLE_NOTE 1030
#define IDC_CABLE_ANIMATION 1061
// Infrared page.
#define IDC_INFRARED_TITLE 1031
#define IDC_INFRARED_HIDDEN 1032
#define IDC_INFRARED_TEXT1 1033
#define IDC_INFRARED_TEXT2 1034
#define IDC_INFRARED_ANIMATION 1062
// Search page.
#define IDC_SEARCH_LIST 1042
#define IDC_SEARCH_TITLE 1043
#define IDC_SEARCH_TEXT1 1044
#define IDC_SEARCH_TEXT2 1045
#define IDC_SEARCH_AGAIN 1046
#define IDC_UNPAIR 1047
#define IDC_SEARCH_ANIMATION 1063
#define IDC_SEARCH_PROGRESS 1073
#define IDC_SEARCH_INFO 1076
// Authenticate page.
#define IDC_AUTH_TITLE 1047
#define IDC_PASSCODE 1050
#define IDC_AUTH_TEXT 1053
#define IDC_AUTH_PHONE_NAME 1057
// Support installation page.
#define IDC_SUPPORT_TITLE 1067
#define IDC_SUPPORT_TEXT1 1068
#define IDC_SUPPORT_TEXT2 1069
#define IDC_SUPPORT_TEXT3 1070
// Completion page.
#define IDC_COMPLETE_TITLE 1035
#define IDC_COMPLETE_TEXT1 1036
#define IDC_COMPLETE_TEXT2 1037
#define IDC_COMPLETE_LIST 1064
// Troubleshoot dialog (its Help button is IDC_WIZARD_HELP).
#define IDC_TROUBLE_OK 1082
#define IDC_TROUBLE_TEXT 1084
#define IDC_TROUBLE_HEADING 1086

// Language strings the program itself names.
#define IDS_CAPTION 5001
#define IDS_NO_SKIN 5500
#define IDS_HELP_MISSING 5501

// Posted to the main dialog.
#define WM_PAIRING_DONE (WM_APP + 2)
#define WM_PAIRING_FAILED (WM_APP + 3)
#define WM_SHOW_COMPLETION (WM_APP + 4)
#define WM_PAIRING_TIMED_OUT (WM_APP + 5)
// Posted by the support page's install worker when every id is done.
#define WM_INSTALL_DONE (WM_APP + 6)
// Brings the shown troubleshoot window over the wizard once the message
// that showed it (which may move the focus to the wizard) is done.
#define WM_RAISE_TROUBLESHOOT (WM_APP + 7)
