#pragma once
// Resources of the tray program.

#define IDD_ABOUTBOX 100
#define IDR_TRAYMENU 201
#define IDD_SETTINGS 214

// Icons: the tray's four pictures.
#define IDI_DISCONNECTED 206
#define IDI_CONNECTED 212
#define IDI_CONNECTING 215
#define IDI_MIXED 216

// PNG pictures of the about dialog.
#define IDP_ABOUT_BACKGROUND 206
#define IDP_OK_NORMAL 209
#define IDP_OK_PUSHED 210
#define IDP_OK_DISABLED 211
#define IDP_SYSINFO_NORMAL 212
#define IDP_SYSINFO_PUSHED 213
#define IDP_SYSINFO_DISABLED 214

// Strings.
#define IDS_PRODUCT 129
#define IDS_ABOUT_FIRST_LINE 130
#define IDS_CONNECTING 131
#define IDS_CONNECTED 132
#define IDS_DISCONNECTED 133
#define IDS_HELP 213
#define IDS_INIT_FAILED 214
#define IDS_DEVICE_CONNECTED 215
#define IDS_DEVICE_CONNECTING 216
#define IDS_NO_DEVICES 217

// Menu commands.
#define ID_OPEN_BROWSER 32772
#define ID_LAUNCH_WIZARD 32774
#define ID_SETTINGS 32777
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665

// Controls of the about dialog.
#define IDC_SYSINFO 1001
#define IDC_ABOUT_TEXT 1002
#define IDC_ABOUT_LINE 1003

// Controls of the settings dialog.
#define IDC_BROWSER_GROUP 1000
#define IDC_FIREFOX 1001
#define IDC_FIREFOX_PATH 1002
#define IDC_FIREFOX_COMMAND_LINE 1003
#define IDC_IE 1004
#define IDC_IE_COMMAND_LINE 1005
#define IDC_BROWSE 1006
