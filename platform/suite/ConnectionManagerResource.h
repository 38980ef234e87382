#pragma once
#define IDR_CONNECTIONMANAGER 102
