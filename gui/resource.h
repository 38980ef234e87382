#pragma once
// Resources of the call-window library.
#define IDS_PROJNAME 100
#define IDR_CALLUI 102

#define IDD_CALLDIALOG 103
#define IDD_SMSDIALOG 209

#define IDB_DEFAULTPICTURE 202
#define IDB_ANSWER 204
#define IDB_ANSWER_PUSHED 219
#define IDB_ANSWER_HOVER 211
#define IDB_ANSWER_DISABLED 207
#define IDB_HANGUP 206
#define IDB_HANGUP_PUSHED 220
#define IDB_HANGUP_HOVER 212
#define IDB_HANGUP_DISABLED 210
#define IDB_BUTTONMASK 218
#define IDI_DIALIX 215

// Call window controls.
#define IDC_NUMBER 201
#define IDC_DURATION 202
#define IDC_PICTURE 203
#define IDC_STATUS 1000
#define IDC_ANSWER 2000
#define IDC_HANGUP 2001
#define IDC_SENDTEXT 1005

// Text-message window controls (203 is the picture, 2000 the call button).
#define IDC_HEADER 204
#define IDC_COUNTER 1001
#define IDC_MESSAGE 1004
#define IDC_SEND 1005
#define IDC_SHOWMESSAGE 1006
#define IDC_CALLSENDER 2000
