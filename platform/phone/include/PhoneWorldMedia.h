#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "PhoneWorld.h"

// The suite connection manager's elements (its media and plug-ins), kept in
// the phone world's "connmgr.txt", one "<id>\t<medium>\t<0|1>\t<name>" line
// each, for the manager's stand-in server and phonectl.
namespace PhoneSim {

struct CMediumElement {
  std::wstring id;     // "{GUID}"
  BYTE medium = 255;   // 0 to 3; 2 for a plug-in; 255 for none
  bool enabled = false;
  std::wstring name;
};

std::vector<CMediumElement> ReadMediumElements(CPhoneWorld& world);
void WriteMediumElements(CPhoneWorld& world, const std::vector<CMediumElement>& elements);
// Adds the element, or replaces the one with its id (any case).
void SetMediumElement(CPhoneWorld& world, const CMediumElement& element);
// Switches the element of that id on; false when none has it.
bool EnableMediumElement(CPhoneWorld& world, const std::wstring& id);

// The serial cable's configured port, beside the elements; 0 while none is.
BYTE ReadCablePort(CPhoneWorld& world);
void WriteCablePort(CPhoneWorld& world, BYTE port);

}  // namespace PhoneSim
