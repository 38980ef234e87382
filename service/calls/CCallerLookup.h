#pragma once
#include <windows.h>
#include <string>
#include "CZembraDeviceList.h"
#include "SZembra.h"

// The number as the phone and the lookup take it: without its blanks.
std::wstring WithoutBlanks(const std::wstring& text);

// The caller of a number on one phone: a new contact object for the first
// stored contact with the number, with its picture when the phone's data
// folder holds one. S_FALSE when none matches or the number is too short to
// tell one contact from another; E_INVALIDARG for an empty number, a null
// out pointer or an unknown phone. Any thread.
HRESULT LookUpCaller(CZembraDeviceList& devices, const std::wstring& serial, const std::wstring& number,
                     IContact** contact);
