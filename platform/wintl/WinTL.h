#pragma once
// The window template layer in one include.
#include <windows.h>
#include "AppModule.h"
#include "BitmapButton.h"
#include "DataExchange.h"
#include "DialogResize.h"
#include "GdiHandles.h"
#include "Image.h"
#include "Window.h"
