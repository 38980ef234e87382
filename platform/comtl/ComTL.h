#pragma once
// The COM template layer in one include.
#include <windows.h>
#include "ComBSTR.h"
#include "ComDispatch.h"
#include "ComError.h"
#include "ComFactory.h"
#include "ComModule.h"
#include "ComObject.h"
#include "ComPtr.h"
#include "ComVariant.h"
#include "ExeModule.h"
#include "Registrar.h"
#include "ClassRegistration.h"
