#pragma once
// Resource ids of the phone-data server.
#define IDR_PHONEDATASERVER 101
