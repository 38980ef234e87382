#pragma once
#include <windows.h>
#include <oaidl.h>
#include <string>
#include <vector>

// Stand-ins for the browser around the helper object: Wine has no page
// engine here. An in-memory page (upper-case element names, "#text" nodes,
// linked siblings, so every call but a text copy is O(1)), serialised to
// text for assertions; a browser that records what it is asked and fires its
// events through its connection point; the browser is its own site. 64-bit
// only: each interface's unused slots share one E_NOTIMPL function, which
// only a caller-cleans calling convention allows. All on one thread.
namespace FakeDom {

struct Document;
struct Node;

// A page with an "HTML" root; one reference for the caller.
Document* NewDocument();
void Release(Document* document);
Node* Root(Document* document);
// New nodes, not yet in the page.
Node* Element(Document* document, const wchar_t* tag);
Node* Text(Document* document, const wchar_t* text);
// Appends child to parent and returns child.
Node* Append(Node* parent, Node* child);
// The subtree as <TAG id="..">children</TAG>, text nodes as their text.
std::wstring Serialize(Node* node);
// The n-th element with this name, in document order; null when fewer.
Node* FindElement(Document* document, const wchar_t* name, size_t index = 0);
size_t CountElements(Document* document, const wchar_t* name);
std::wstring StyleText(Node* element);
void SetId(Node* element, const wchar_t* id);
// The document as the browser hands it out (no reference added).
IDispatch* DocumentDispatch(Document* document);
// A click on the element: the window's event names it as its source and the
// page's onclick handler is called; S_FALSE when the page has no handler.
HRESULT Click(Document* document, Node* element);
bool HasClickHandler(Document* document);

}  // namespace FakeDom

namespace FakeBrowser {

struct Browser;

struct Navigation {
  std::wstring url;
  std::wstring frame;
  LONG flags;
};

// A browser (and site) whose window is the given one; one reference.
Browser* NewBrowser(HWND window);
void Release(Browser* browser);
// The site to hand to IObjectWithSite::SetSite (no reference added).
IUnknown* Site(Browser* browser);
IDispatch* BrowserDispatch(Browser* browser);
void SetDocument(Browser* browser, FakeDom::Document* document);
// Calls every connected sink's Invoke; args are last first, as the browser passes them.
void Fire(Browser* browser, DISPID dispid, VARIANT* args = nullptr, UINT count = 0);
// DocumentComplete of the top frame with this browser as the frame.
void FireDocumentComplete(Browser* browser);
size_t Connections(Browser* browser);
const std::vector<Navigation>& Navigations(Browser* browser);
const std::vector<std::wstring>& BarsShown(Browser* browser);

}  // namespace FakeBrowser
