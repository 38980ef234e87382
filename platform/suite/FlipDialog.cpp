#include <windows.h>
#include <cstring>
#include "QorsalDialix.h"
#include "ZCLFrame.h"

namespace {

// Walks a dialog template in its copy; every read is checked against the
// resource's size, so a damaged template gives no dialog instead of a crash.
class CTemplateWalker {
public:
  CTemplateWalker(BYTE* bytes, size_t size) : m_bytes(bytes), m_size(size) {}

  bool Skip(size_t count) {
    if (count > m_size - m_offset) return false;
    m_offset += count;
    return true;
  }
  bool AlignDword() { return Skip((4 - m_offset % 4) % 4); }
  // A pointer to the next count bytes, moving past them; null past the end.
  BYTE* Take(size_t count) {
    BYTE* at = m_bytes + m_offset;
    return Skip(count) ? at : nullptr;
  }
  bool ReadWord(WORD* value) {
    BYTE* at = Take(sizeof(WORD));
    if (at) std::memcpy(value, at, sizeof(WORD));
    return at != nullptr;
  }
  // A name or number: 0 (none), 0xFFFF and a number, or a terminated text.
  bool SkipNameOrOrdinal() {
    WORD first = 0;
    if (!ReadWord(&first)) return false;
    if (first == 0) return true;
    if (first == 0xFFFF) return Skip(sizeof(WORD));
    for (WORD c = first; c != 0;)
      if (!ReadWord(&c)) return false;
    return true;
  }
  bool SkipText() {
    for (WORD c = 1; c != 0;)
      if (!ReadWord(&c)) return false;
    return true;
  }

private:
  BYTE* m_bytes;
  size_t m_size;
  size_t m_offset = 0;
};

short ReadShort(const BYTE* at) {
  short value;
  std::memcpy(&value, at, sizeof(value));
  return value;
}
void WriteShort(BYTE* at, short value) { std::memcpy(at, &value, sizeof(value)); }

// Mirrors every item's x inside the dialog's width; false when the template
// is not whole.
bool MirrorItems(BYTE* bytes, size_t size, BOOL flag) {
  CTemplateWalker walk(bytes, size);
  WORD version = 0, signature = 0;
  if (size < 4) return false;
  std::memcpy(&version, bytes, sizeof(WORD));
  std::memcpy(&signature, bytes + 2, sizeof(WORD));
  const bool extended = version == 1 && signature == 0xFFFF;
  DWORD style = 0;
  BYTE* exStyle = nullptr;
  if (extended) {
    if (!walk.Skip(8)) return false;  // version, signature, help id
    exStyle = walk.Take(4);
    BYTE* styleAt = walk.Take(4);
    if (!styleAt) return false;
    std::memcpy(&style, styleAt, 4);
  } else {
    BYTE* styleAt = walk.Take(4);
    if (!styleAt) return false;
    std::memcpy(&style, styleAt, 4);
    exStyle = walk.Take(4);
  }
  WORD count = 0;
  BYTE* frame = nullptr;
  if (!exStyle || !walk.ReadWord(&count) || !(frame = walk.Take(8))) return false;
  if (flag) {
    DWORD ex;
    std::memcpy(&ex, exStyle, 4);
    ex |= WS_EX_LAYOUTRTL;
    std::memcpy(exStyle, &ex, 4);
  }
  const short width = ReadShort(frame + 4);
  if (!walk.SkipNameOrOrdinal() || !walk.SkipNameOrOrdinal() || !walk.SkipText()) return false;  // menu, class, title
  if (style & (DS_SETFONT | DS_SHELLFONT)) {
    if (!walk.Skip(extended ? 6 : 2) || !walk.SkipText()) return false;  // size (weight, italic, charset), face
  }
  for (WORD item = 0; item < count; ++item) {
    // Items start on a DWORD boundary: help id, extended style and style
    // (extended form) or style and extended style, then the rectangle.
    if (!walk.AlignDword() || !walk.Skip(extended ? 12 : 8)) return false;
    BYTE* rect = walk.Take(8);
    if (!rect || !walk.Skip(extended ? 4 : 2)) return false;  // id
    if (!walk.SkipNameOrOrdinal() || !walk.SkipNameOrOrdinal()) return false;  // class, title
    WORD extra = 0;
    if (!walk.ReadWord(&extra) || !walk.Skip(extra)) return false;
    WriteShort(rect, static_cast<short>(width - ReadShort(rect) - ReadShort(rect + 4)));
  }
  return true;
}

}  // namespace

HGLOBAL CRTLHelper::FlipDialog(HINSTANCE module, UINT dialogId, BOOL flag) {
  HGLOBAL flipped = nullptr;
  ZCLGuarded(2, ZCL_SITE, [&] {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(dialogId), MAKEINTRESOURCEW(5));
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* source = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = found ? ::SizeofResource(module, found) : 0;
    if (!source || size == 0) return;
    // GMEM_FIXED: the handle is the template's address, and GlobalLock works.
    HGLOBAL copy = ::GlobalAlloc(GMEM_FIXED, size);
    if (!copy) return;
    std::memcpy(copy, source, size);
    if (!MirrorItems(static_cast<BYTE*>(copy), size, flag)) {
      ZCLLogMessage(2, nullptr, "FlipDialog: dialog %u is not a whole template", dialogId);
      ::GlobalFree(copy);
      return;
    }
    flipped = copy;
  });
  return flipped;
}
