// Resource ids of the service program.
#define IDS_PROJNAME 100
#define IDR_SZEMBRA 101
#define IDR_ZEMBRA 102
#define IDR_DEVICELIST 103
#define IDR_DEVICE 106
#define IDR_DEVICEINFO 107
#define IDR_ADDRESSLIST 109
#define IDR_ADDRESS 110
#define IDR_CONTACTLIST 201
#define IDR_CONTACT 202
#define IDR_SMSLIST 203
#define IDR_SMS 204
#define IDR_EVENT 206
#define IDR_EVENTLIST 207
