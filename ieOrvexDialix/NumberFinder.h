#pragma once
#include <windows.h>
#include <oaidl.h>
#include <string>
#include <vector>
#include "ComHeapObject.h"

// Finding phone numbers in page text and turning a clicked one into digits.
// The patterns are compiled once, when the library loads; everything here is
// safe from any thread.

// One byte per UTF-16 unit, so positions agree with the wide text. Units
// above 0xFF become a byte no pattern matches: keeping only the low byte
// would read a character such as U+4E35 as the digit 5.
std::string NarrowForSearch(const wchar_t* text, size_t length);

struct NumberMatch {
  size_t position;
  size_t length;
};
// Every number in the narrow text, left to right, without overlaps.
std::vector<NumberMatch> FindNumbers(const std::string& narrow);

// True for the names, in any case, of the elements whose text is scanned.
bool IsScannedParent(const wchar_t* name, size_t length);

// The number on a clicked wrap element without its separators, or empty
// unless the element's own text is one whole number as the finder finds it
// and the id is that same text. The page's script may plant an element of
// that name, or change the id, text or children of one of ours: only what
// the user sees on the element is ever dialled.
std::wstring DiallableNumber(const std::wstring& shown, const std::wstring& id);

// "file:///" + page, with "?action=..&name=value" when action is given,
// escaped in the browser's canonical form and never cut short.
HRESULT BuildPageAddress(const std::wstring& page, const wchar_t* action, const wchar_t* name,
                         const std::wstring& value, std::wstring* address);

// The local page below the installation folder; false when the folder
// cannot be read.
bool LocalPagePath(std::wstring* page);

// The document's click handler: dispatch id 0 calls the callback with the
// user data. Reference-counted, lives on the browser's thread.
class CEventHandler : public CComHeapObject<IDispatch> {
public:
  typedef void (*Callback)(void* userData);
  CEventHandler(Callback callback, void* userData)
      : CComHeapObject(0), m_callback(callback), m_userData(userData) {}

  STDMETHOD(GetTypeInfoCount)(UINT* count) override;
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return S_OK; }
  STDMETHOD(Invoke)(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

  // The helper object is going: a click that still arrives does nothing.
  void Detach() { m_callback = nullptr; }

private:
  ~CEventHandler() override = default;
  Callback m_callback;
  void* m_userData;
};
