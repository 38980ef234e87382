#include <windows.h>
#include "PhoneWorldMedia.h"
#include "PhoneWorldStore.h"
#include "ZCLText.h"

namespace PhoneSim {

namespace {
const wchar_t kMediaFile[] = L"connmgr.txt";
const wchar_t kCablePortFile[] = L"connmgr-port.txt";
}  // namespace

std::vector<CMediumElement> ReadMediumElements(CPhoneWorld& world) {
  std::vector<CMediumElement> elements;
  std::string text;
  if (!world.ReadFileText(kMediaFile, &text)) return elements;
  for (const std::string& line : WorldStore::Lines(text)) {
    std::vector<std::string> fields = WorldStore::TabFields(line);
    if (fields.size() != 4) continue;
    CMediumElement element;
    element.id = ZCLUtf8ToWide(fields[0]);
    element.medium = static_cast<BYTE>(WorldStore::ToNumber(fields[1]));
    element.enabled = fields[2] == "1";
    element.name = UnescapeValue(fields[3]);
    elements.push_back(element);
  }
  return elements;
}

void WriteMediumElements(CPhoneWorld& world, const std::vector<CMediumElement>& elements) {
  std::string text;
  for (const CMediumElement& e : elements)
    text += ZCLWideToUtf8(e.id) + "\t" + std::to_string(e.medium) + "\t" + (e.enabled ? "1" : "0") + "\t" +
            EscapeValue(e.name) + "\n";
  world.WriteFileText(kMediaFile, text);
}

void SetMediumElement(CPhoneWorld& world, const CMediumElement& element) {
  CPhoneWorld::CLock lock(world);
  std::vector<CMediumElement> elements = ReadMediumElements(world);
  bool replaced = false;
  for (CMediumElement& e : elements) {
    if (lstrcmpiW(e.id.c_str(), element.id.c_str()) == 0) {
      e = element;
      replaced = true;
    }
  }
  if (!replaced) elements.push_back(element);
  WriteMediumElements(world, elements);
}

bool EnableMediumElement(CPhoneWorld& world, const std::wstring& id) {
  CPhoneWorld::CLock lock(world);
  std::vector<CMediumElement> elements = ReadMediumElements(world);
  bool found = false;
  for (CMediumElement& e : elements) {
    if (lstrcmpiW(e.id.c_str(), id.c_str()) == 0) {
      e.enabled = true;
      found = true;
    }
  }
  if (found) WriteMediumElements(world, elements);
  return found;
}

BYTE ReadCablePort(CPhoneWorld& world) {
  std::string text;
  if (!world.ReadFileText(kCablePortFile, &text)) return 0;
  unsigned long port = WorldStore::ToNumber(text);
  return port <= 255 ? static_cast<BYTE>(port) : 0;
}

void WriteCablePort(CPhoneWorld& world, BYTE port) {
  world.WriteFileText(kCablePortFile, std::to_string(port) + "\n");
}

}  // namespace PhoneSim
