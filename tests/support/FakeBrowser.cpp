// The interfaces are used through their C vtables, so that each fake fills
// the few slots it serves and leaves the rest to one shared function.
#define CINTERFACE
#define COBJMACROS
#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <shlobj.h>
#include <shlguid.h>
#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <type_traits>
#include "FakeBrowser.h"
#include "ComBSTR.h"

#ifndef _WIN64
#error "The fakes share one function across slots of any signature: 64-bit only"
#endif

namespace {

HRESULT STDMETHODCALLTYPE NotImplemented() { return E_NOTIMPL; }

// A vtable whose every slot answers E_NOTIMPL, to be filled in by name.
template <class V>
V Unimplemented() {
  V table;
  void** slots = reinterpret_cast<void**>(&table);
  for (size_t i = 0; i < sizeof(V) / sizeof(void*); ++i) slots[i] = reinterpret_cast<void*>(&NotImplemented);
  return table;
}

// The object behind one of its interface faces.
template <class Faces, class Whole, size_t Offset>
Whole* From(void* face) {
  return static_cast<Whole*>(reinterpret_cast<Faces*>(static_cast<char*>(face) - Offset));
}

}  // namespace

namespace FakeDom {

struct NodeFaces {
  IHTMLDOMNode node;
  IHTMLElement element;
  IHTMLDOMTextNode text;
  IHTMLStyle style;
};

struct DocumentFaces {
  IHTMLDocument2 doc2;
  IHTMLDocument3 doc3;
  IHTMLWindow2 window;
  IHTMLEventObj event;
};

// A string held by the page's text store; never changed once stored.
struct Span {
  const wchar_t* text = L"";
  size_t length = 0;
  std::wstring Str() const { return std::wstring(text, length); }
  bool operator==(const wchar_t* other) const {
    return wcslen(other) == length && wmemcmp(text, other, length) == 0;
  }
};

// Nodes live as long as their page: their counts are the page's.
struct Node : NodeFaces {
  Document* document = nullptr;
  bool isText = false;
  Span name, data, id, css;
  Node *parent = nullptr, *first = nullptr, *last = nullptr, *prev = nullptr, *next = nullptr;
};

static_assert(std::is_trivially_destructible<Node>::value, "nodes are dropped with their block");

typedef std::unique_ptr<char[]> Block;
const size_t kBlockSize = 256 * 1024;

// Blocks of released pages, kept for the next page: fresh memory costs a
// page fault every few nodes, which would outweigh the work the page stands
// in for. Bounded; any thread.
class BlockCache {
public:
  Block Take() {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_free.empty()) return Block(new char[kBlockSize]);
    Block block = std::move(m_free.back());
    m_free.pop_back();
    return block;
  }
  void Give(std::vector<Block>* blocks) {
    std::lock_guard<std::mutex> hold(m_lock);
    for (Block& block : *blocks)
      if (m_free.size() < kKept) m_free.push_back(std::move(block));
    blocks->clear();
  }

private:
  static const size_t kKept = 128;
  std::mutex m_lock;
  std::vector<Block> m_free;
};
BlockCache g_blocks;

// Nodes and strings are carved from blocks that live as long as the page: a
// highlighted page makes a few nodes and strings per number, and an
// allocation for each would outweigh the work the page stands in for.
struct Document : DocumentFaces {
  LONG refs = 1;
  std::vector<Block> blocks;  // from g_blocks, given back with the page
  std::vector<Block> large;   // a text larger than a block, alone
  char* free = nullptr;
  size_t left = 0;
  Node* root = nullptr;
  Node* clickSource = nullptr;
  IDispatch* onclick = nullptr;
  ~Document() {
    if (onclick) onclick->lpVtbl->Release(onclick);
    g_blocks.Give(&blocks);
  }
  // Uninitialised room for size bytes, aligned for any node.
  void* Carve(size_t size) {
    size = (size + alignof(Node) - 1) & ~(alignof(Node) - 1);
    if (size > kBlockSize) {
      large.emplace_back(new char[size]);
      return large.back().get();
    }
    if (size > left) {
      blocks.push_back(g_blocks.Take());
      free = blocks.back().get();
      left = kBlockSize;
    }
    void* room = free;
    free += size;
    left -= size;
    return room;
  }
};

namespace {

#define NODE_OF(face, member) From<NodeFaces, Node, offsetof(NodeFaces, member)>(face)
#define DOC_OF(face, member) From<DocumentFaces, Document, offsetof(DocumentFaces, member)>(face)

// A copy of the text in the page's store; the caller may still change it
// before handing the span out.
wchar_t* StoreText(Document* d, const wchar_t* text, size_t length, Span* span) {
  wchar_t* copy = static_cast<wchar_t*>(d->Carve(length * sizeof(wchar_t)));
  if (length) wmemcpy(copy, text, length);
  span->text = copy;
  span->length = length;
  return copy;
}

void StoreBstr(Document* d, BSTR text, Span* span) {
  StoreText(d, text ? text : L"", text ? ::SysStringLen(text) : 0, span);
}

wchar_t* StoreUpper(Document* d, const wchar_t* text, size_t length, Span* span) {
  wchar_t* copy = StoreText(d, text, length, span);
  if (length) ::CharUpperBuffW(copy, static_cast<DWORD>(length));
  return copy;
}

BSTR Copy(const Span& span) { return ::SysAllocStringLen(span.text, static_cast<UINT>(span.length)); }

ULONG AddRefDocument(Document* d) { return static_cast<ULONG>(++d->refs); }
ULONG ReleaseDocument(Document* d) {
  LONG count = --d->refs;
  if (count == 0) delete d;
  return static_cast<ULONG>(count);
}

HRESULT NodeQuery(Node* n, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch) || ::IsEqualIID(iid, IID_IHTMLDOMNode))
    *ppv = &n->node;
  else if (!n->isText && ::IsEqualIID(iid, IID_IHTMLElement))
    *ppv = &n->element;
  else if (n->isText && ::IsEqualIID(iid, IID_IHTMLDOMTextNode))
    *ppv = &n->text;
  else if (!n->isText && ::IsEqualIID(iid, IID_IHTMLStyle))
    *ppv = &n->style;
  if (!*ppv) return E_NOINTERFACE;
  AddRefDocument(n->document);
  return S_OK;
}

// Our node behind any of its faces, or null for somebody else's object.
Node* NodeOfUnknown(IUnknown* unknown) {
  if (!unknown) return nullptr;
  IHTMLDOMNode* face = nullptr;
  if (FAILED(unknown->lpVtbl->QueryInterface(unknown, IID_IHTMLDOMNode, reinterpret_cast<void**>(&face))) || !face)
    return nullptr;
  Node* n = NODE_OF(face, node);
  ReleaseDocument(n->document);
  return n;
}

IHTMLDOMNode* Give(Node* n) {
  if (!n) return nullptr;
  AddRefDocument(n->document);
  return &n->node;
}

void Unlink(Node* child) {
  Node* parent = child->parent;
  if (!parent) return;
  (child->prev ? child->prev->next : parent->first) = child->next;
  (child->next ? child->next->prev : parent->last) = child->prev;
  child->parent = child->prev = child->next = nullptr;
}

// Inserts child before ref (at the end for null), taking it from where it was.
void Link(Node* parent, Node* child, Node* ref) {
  Unlink(child);
  child->parent = parent;
  child->next = ref;
  child->prev = ref ? ref->prev : parent->last;
  (child->prev ? child->prev->next : parent->first) = child;
  (ref ? ref->prev : parent->last) = child;
}

Node* NewNode(Document* d, bool isText);

// --- IHTMLDOMNode
HRESULT STDMETHODCALLTYPE N_QueryInterface(IHTMLDOMNode* t, REFIID iid, void** ppv) {
  return NodeQuery(NODE_OF(t, node), iid, ppv);
}
ULONG STDMETHODCALLTYPE N_AddRef(IHTMLDOMNode* t) { return AddRefDocument(NODE_OF(t, node)->document); }
ULONG STDMETHODCALLTYPE N_Release(IHTMLDOMNode* t) { return ReleaseDocument(NODE_OF(t, node)->document); }
HRESULT STDMETHODCALLTYPE N_get_nodeType(IHTMLDOMNode* t, LONG* type) {
  *type = NODE_OF(t, node)->isText ? 3 : 1;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE N_get_parentNode(IHTMLDOMNode* t, IHTMLDOMNode** out) {
  *out = Give(NODE_OF(t, node)->parent);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE N_hasChildNodes(IHTMLDOMNode* t, VARIANT_BOOL* out) {
  *out = NODE_OF(t, node)->first ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE N_get_firstChild(IHTMLDOMNode* t, IHTMLDOMNode** out) {
  *out = Give(NODE_OF(t, node)->first);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE N_get_lastChild(IHTMLDOMNode* t, IHTMLDOMNode** out) {
  *out = Give(NODE_OF(t, node)->last);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE N_get_nextSibling(IHTMLDOMNode* t, IHTMLDOMNode** out) {
  *out = Give(NODE_OF(t, node)->next);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE N_get_previousSibling(IHTMLDOMNode* t, IHTMLDOMNode** out) {
  *out = Give(NODE_OF(t, node)->prev);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE N_get_nodeName(IHTMLDOMNode* t, BSTR* out) {
  Node* n = NODE_OF(t, node);
  *out = n->isText ? ::SysAllocString(L"#text") : Copy(n->name);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE N_appendChild(IHTMLDOMNode* t, IHTMLDOMNode* child, IHTMLDOMNode** out) {
  Node* parent = NODE_OF(t, node);
  Node* c = NodeOfUnknown(reinterpret_cast<IUnknown*>(child));
  if (!c || parent->isText) return E_INVALIDARG;
  Link(parent, c, nullptr);
  if (out) *out = Give(c);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE N_insertBefore(IHTMLDOMNode* t, IHTMLDOMNode* child, VARIANT ref, IHTMLDOMNode** out) {
  Node* parent = NODE_OF(t, node);
  Node* c = NodeOfUnknown(reinterpret_cast<IUnknown*>(child));
  Node* r = nullptr;
  if (ref.vt == VT_DISPATCH || ref.vt == VT_UNKNOWN) r = NodeOfUnknown(ref.punkVal);
  if (!c || parent->isText || (r && r->parent != parent)) return E_INVALIDARG;
  Link(parent, c, r);
  if (out) *out = Give(c);
  return S_OK;
}

// --- IHTMLDOMTextNode
HRESULT STDMETHODCALLTYPE T_QueryInterface(IHTMLDOMTextNode* t, REFIID iid, void** ppv) {
  return NodeQuery(NODE_OF(t, text), iid, ppv);
}
ULONG STDMETHODCALLTYPE T_AddRef(IHTMLDOMTextNode* t) { return AddRefDocument(NODE_OF(t, text)->document); }
ULONG STDMETHODCALLTYPE T_Release(IHTMLDOMTextNode* t) { return ReleaseDocument(NODE_OF(t, text)->document); }
HRESULT STDMETHODCALLTYPE T_toString(IHTMLDOMTextNode* t, BSTR* out) {
  *out = Copy(NODE_OF(t, text)->data);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE T_put_data(IHTMLDOMTextNode* t, BSTR in) {
  Node* n = NODE_OF(t, text);
  StoreBstr(n->document, in, &n->data);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE T_get_length(IHTMLDOMTextNode* t, LONG* out) {
  *out = static_cast<LONG>(NODE_OF(t, text)->data.length);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE T_splitText(IHTMLDOMTextNode* t, LONG offset, IHTMLDOMNode** out) {
  Node* n = NODE_OF(t, text);
  if (offset < 0 || static_cast<size_t>(offset) > n->data.length) return E_INVALIDARG;
  Node* rest = NewNode(n->document, true);
  StoreText(n->document, n->data.text + offset, n->data.length - offset, &rest->data);
  n->data.length = static_cast<size_t>(offset);
  if (n->parent) Link(n->parent, rest, n->next);
  *out = Give(rest);
  return S_OK;
}

// --- IHTMLElement
HRESULT STDMETHODCALLTYPE E_QueryInterface(IHTMLElement* t, REFIID iid, void** ppv) {
  return NodeQuery(NODE_OF(t, element), iid, ppv);
}
ULONG STDMETHODCALLTYPE E_AddRef(IHTMLElement* t) { return AddRefDocument(NODE_OF(t, element)->document); }
ULONG STDMETHODCALLTYPE E_Release(IHTMLElement* t) { return ReleaseDocument(NODE_OF(t, element)->document); }
HRESULT STDMETHODCALLTYPE E_put_id(IHTMLElement* t, BSTR in) {
  Node* n = NODE_OF(t, element);
  StoreBstr(n->document, in, &n->id);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE E_get_id(IHTMLElement* t, BSTR* out) {
  *out = Copy(NODE_OF(t, element)->id);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE E_get_tagName(IHTMLElement* t, BSTR* out) {
  *out = Copy(NODE_OF(t, element)->name);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE E_get_style(IHTMLElement* t, IHTMLStyle** out) {
  Node* n = NODE_OF(t, element);
  AddRefDocument(n->document);
  *out = &n->style;
  return S_OK;
}

// --- IHTMLStyle
HRESULT STDMETHODCALLTYPE S_QueryInterface(IHTMLStyle* t, REFIID iid, void** ppv) {
  return NodeQuery(NODE_OF(t, style), iid, ppv);
}
ULONG STDMETHODCALLTYPE S_AddRef(IHTMLStyle* t) { return AddRefDocument(NODE_OF(t, style)->document); }
ULONG STDMETHODCALLTYPE S_Release(IHTMLStyle* t) { return ReleaseDocument(NODE_OF(t, style)->document); }
HRESULT STDMETHODCALLTYPE S_put_cssText(IHTMLStyle* t, BSTR in) {
  Node* n = NODE_OF(t, style);
  StoreBstr(n->document, in, &n->css);
  return S_OK;
}

const IHTMLDOMNodeVtbl kNodeVtbl = [] {
  IHTMLDOMNodeVtbl v = Unimplemented<IHTMLDOMNodeVtbl>();
  v.QueryInterface = N_QueryInterface;
  v.AddRef = N_AddRef;
  v.Release = N_Release;
  v.get_nodeType = N_get_nodeType;
  v.get_parentNode = N_get_parentNode;
  v.hasChildNodes = N_hasChildNodes;
  v.get_firstChild = N_get_firstChild;
  v.get_lastChild = N_get_lastChild;
  v.get_nextSibling = N_get_nextSibling;
  v.get_previousSibling = N_get_previousSibling;
  v.get_nodeName = N_get_nodeName;
  v.appendChild = N_appendChild;
  v.insertBefore = N_insertBefore;
  return v;
}();
const IHTMLDOMTextNodeVtbl kTextVtbl = [] {
  IHTMLDOMTextNodeVtbl v = Unimplemented<IHTMLDOMTextNodeVtbl>();
  v.QueryInterface = T_QueryInterface;
  v.AddRef = T_AddRef;
  v.Release = T_Release;
  v.toString = T_toString;
  v.get_data = T_toString;
  v.put_data = T_put_data;
  v.get_length = T_get_length;
  v.splitText = T_splitText;
  return v;
}();
const IHTMLElementVtbl kElementVtbl = [] {
  IHTMLElementVtbl v = Unimplemented<IHTMLElementVtbl>();
  v.QueryInterface = E_QueryInterface;
  v.AddRef = E_AddRef;
  v.Release = E_Release;
  v.put_id = E_put_id;
  v.get_id = E_get_id;
  v.get_tagName = E_get_tagName;
  v.get_style = E_get_style;
  return v;
}();
const IHTMLStyleVtbl kStyleVtbl = [] {
  IHTMLStyleVtbl v = Unimplemented<IHTMLStyleVtbl>();
  v.QueryInterface = S_QueryInterface;
  v.AddRef = S_AddRef;
  v.Release = S_Release;
  v.put_cssText = S_put_cssText;
  return v;
}();

Node* NewNode(Document* d, bool isText) {
  Node* made = new (d->Carve(sizeof(Node))) Node;
  made->node.lpVtbl = const_cast<IHTMLDOMNodeVtbl*>(&kNodeVtbl);
  made->element.lpVtbl = const_cast<IHTMLElementVtbl*>(&kElementVtbl);
  made->text.lpVtbl = const_cast<IHTMLDOMTextNodeVtbl*>(&kTextVtbl);
  made->style.lpVtbl = const_cast<IHTMLStyleVtbl*>(&kStyleVtbl);
  made->document = d;
  made->isText = isText;
  return made;
}

// --- Document, its window and the window's current event.
HRESULT DocumentQuery(Document* d, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch) || ::IsEqualIID(iid, IID_IHTMLDocument) ||
      ::IsEqualIID(iid, IID_IHTMLDocument2))
    *ppv = &d->doc2;
  else if (::IsEqualIID(iid, IID_IHTMLDocument3))
    *ppv = &d->doc3;
  if (!*ppv) return E_NOINTERFACE;
  AddRefDocument(d);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE D2_QueryInterface(IHTMLDocument2* t, REFIID iid, void** ppv) {
  return DocumentQuery(DOC_OF(t, doc2), iid, ppv);
}
ULONG STDMETHODCALLTYPE D2_AddRef(IHTMLDocument2* t) { return AddRefDocument(DOC_OF(t, doc2)); }
ULONG STDMETHODCALLTYPE D2_Release(IHTMLDocument2* t) { return ReleaseDocument(DOC_OF(t, doc2)); }
HRESULT STDMETHODCALLTYPE D2_get_parentWindow(IHTMLDocument2* t, IHTMLWindow2** out) {
  Document* d = DOC_OF(t, doc2);
  AddRefDocument(d);
  *out = &d->window;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE D2_createElement(IHTMLDocument2* t, BSTR tag, IHTMLElement** out) {
  Node* n = NewNode(DOC_OF(t, doc2), false);
  StoreUpper(n->document, tag ? tag : L"", tag ? ::SysStringLen(tag) : 0, &n->name);
  AddRefDocument(n->document);
  *out = &n->element;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE D2_put_onclick(IHTMLDocument2* t, VARIANT handler) {
  Document* d = DOC_OF(t, doc2);
  IDispatch* made = handler.vt == VT_DISPATCH ? handler.pdispVal : nullptr;
  if (made) made->lpVtbl->AddRef(made);
  if (d->onclick) d->onclick->lpVtbl->Release(d->onclick);
  d->onclick = made;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE D3_QueryInterface(IHTMLDocument3* t, REFIID iid, void** ppv) {
  return DocumentQuery(DOC_OF(t, doc3), iid, ppv);
}
ULONG STDMETHODCALLTYPE D3_AddRef(IHTMLDocument3* t) { return AddRefDocument(DOC_OF(t, doc3)); }
ULONG STDMETHODCALLTYPE D3_Release(IHTMLDocument3* t) { return ReleaseDocument(DOC_OF(t, doc3)); }
HRESULT STDMETHODCALLTYPE D3_get_documentElement(IHTMLDocument3* t, IHTMLElement** out) {
  Document* d = DOC_OF(t, doc3);
  AddRefDocument(d);
  *out = &d->root->element;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE W_QueryInterface(IHTMLWindow2* t, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IDispatch) && !::IsEqualIID(iid, IID_IHTMLWindow2))
    return E_NOINTERFACE;
  *ppv = t;
  AddRefDocument(DOC_OF(t, window));
  return S_OK;
}
ULONG STDMETHODCALLTYPE W_AddRef(IHTMLWindow2* t) { return AddRefDocument(DOC_OF(t, window)); }
ULONG STDMETHODCALLTYPE W_Release(IHTMLWindow2* t) { return ReleaseDocument(DOC_OF(t, window)); }
HRESULT STDMETHODCALLTYPE W_get_event(IHTMLWindow2* t, IHTMLEventObj** out) {
  Document* d = DOC_OF(t, window);
  AddRefDocument(d);
  *out = &d->event;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE V_QueryInterface(IHTMLEventObj* t, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IDispatch) && !::IsEqualIID(iid, IID_IHTMLEventObj))
    return E_NOINTERFACE;
  *ppv = t;
  AddRefDocument(DOC_OF(t, event));
  return S_OK;
}
ULONG STDMETHODCALLTYPE V_AddRef(IHTMLEventObj* t) { return AddRefDocument(DOC_OF(t, event)); }
ULONG STDMETHODCALLTYPE V_Release(IHTMLEventObj* t) { return ReleaseDocument(DOC_OF(t, event)); }
HRESULT STDMETHODCALLTYPE V_get_srcElement(IHTMLEventObj* t, IHTMLElement** out) {
  Document* d = DOC_OF(t, event);
  *out = nullptr;
  if (d->clickSource && !d->clickSource->isText) {
    AddRefDocument(d);
    *out = &d->clickSource->element;
  }
  return S_OK;
}

const IHTMLDocument2Vtbl kDoc2Vtbl = [] {
  IHTMLDocument2Vtbl v = Unimplemented<IHTMLDocument2Vtbl>();
  v.QueryInterface = D2_QueryInterface;
  v.AddRef = D2_AddRef;
  v.Release = D2_Release;
  v.get_parentWindow = D2_get_parentWindow;
  v.createElement = D2_createElement;
  v.put_onclick = D2_put_onclick;
  return v;
}();
const IHTMLDocument3Vtbl kDoc3Vtbl = [] {
  IHTMLDocument3Vtbl v = Unimplemented<IHTMLDocument3Vtbl>();
  v.QueryInterface = D3_QueryInterface;
  v.AddRef = D3_AddRef;
  v.Release = D3_Release;
  v.get_documentElement = D3_get_documentElement;
  return v;
}();
const IHTMLWindow2Vtbl kWindowVtbl = [] {
  IHTMLWindow2Vtbl v = Unimplemented<IHTMLWindow2Vtbl>();
  v.QueryInterface = W_QueryInterface;
  v.AddRef = W_AddRef;
  v.Release = W_Release;
  v.get_event = W_get_event;
  return v;
}();
const IHTMLEventObjVtbl kEventVtbl = [] {
  IHTMLEventObjVtbl v = Unimplemented<IHTMLEventObjVtbl>();
  v.QueryInterface = V_QueryInterface;
  v.AddRef = V_AddRef;
  v.Release = V_Release;
  v.get_srcElement = V_get_srcElement;
  return v;
}();

void SerializeInto(Node* n, std::wstring& out) {
  if (n->isText) {
    out.append(n->data.text, n->data.length);
    return;
  }
  out += L"<" + n->name.Str();
  if (n->id.length) out += L" id=\"" + n->id.Str() + L"\"";
  out += L">";
  for (Node* c = n->first; c; c = c->next) SerializeInto(c, out);
  out += L"</" + n->name.Str() + L">";
}

// Document order without recursion: a long page must not exhaust the stack.
template <class Visit>
void Walk(Node* root, Visit visit) {
  Node* n = root;
  while (n) {
    if (!visit(n)) return;
    if (n->first) {
      n = n->first;
      continue;
    }
    while (n && n != root && !n->next) n = n->parent;
    if (!n || n == root) return;
    n = n->next;
  }
}

}  // namespace

Document* NewDocument() {
  Document* d = new Document;
  d->doc2.lpVtbl = const_cast<IHTMLDocument2Vtbl*>(&kDoc2Vtbl);
  d->doc3.lpVtbl = const_cast<IHTMLDocument3Vtbl*>(&kDoc3Vtbl);
  d->window.lpVtbl = const_cast<IHTMLWindow2Vtbl*>(&kWindowVtbl);
  d->event.lpVtbl = const_cast<IHTMLEventObjVtbl*>(&kEventVtbl);
  d->root = Element(d, L"HTML");
  return d;
}

void Release(Document* document) { ReleaseDocument(document); }
Node* Root(Document* document) { return document->root; }

Node* Element(Document* document, const wchar_t* tag) {
  Node* n = NewNode(document, false);
  StoreUpper(document, tag, wcslen(tag), &n->name);
  return n;
}

Node* Text(Document* document, const wchar_t* text) {
  Node* n = NewNode(document, true);
  StoreText(document, text, wcslen(text), &n->data);
  return n;
}

Node* Append(Node* parent, Node* child) {
  Link(parent, child, nullptr);
  return child;
}

std::wstring Serialize(Node* node) {
  std::wstring out;
  SerializeInto(node, out);
  return out;
}

Node* FindElement(Document* document, const wchar_t* name, size_t index) {
  Node* found = nullptr;
  Walk(document->root, [&](Node* n) {
    if (!n->isText && n->name == name && index-- == 0) found = n;
    return !found;
  });
  return found;
}

size_t CountElements(Document* document, const wchar_t* name) {
  size_t count = 0;
  Walk(document->root, [&](Node* n) {
    count += !n->isText && n->name == name;
    return true;
  });
  return count;
}

std::wstring StyleText(Node* element) { return element->css.Str(); }
void SetId(Node* element, const wchar_t* id) { StoreText(element->document, id, wcslen(id), &element->id); }

IDispatch* DocumentDispatch(Document* document) { return reinterpret_cast<IDispatch*>(&document->doc2); }

bool HasClickHandler(Document* document) { return document->onclick != nullptr; }

HRESULT Click(Document* document, Node* element) {
  if (!document->onclick) return S_FALSE;
  document->clickSource = element;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  IDispatch* handler = document->onclick;
  handler->lpVtbl->AddRef(handler);
  HRESULT hr = handler->lpVtbl->Invoke(handler, DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr,
                                       nullptr, nullptr);
  handler->lpVtbl->Release(handler);
  document->clickSource = nullptr;
  return hr;
}

}  // namespace FakeDom

namespace FakeBrowser {

struct BrowserFaces {
  IWebBrowser2 web;
  IConnectionPointContainer points;
  IConnectionPoint point;
  IServiceProvider services;
  IOleWindow window;
};

struct Browser : BrowserFaces {
  LONG refs = 1;
  HWND hwnd = nullptr;
  FakeDom::Document* document = nullptr;  // one reference
  std::map<DWORD, IDispatch*> sinks;      // one reference each
  DWORD nextCookie = 1;
  std::vector<Navigation> navigations;
  std::vector<std::wstring> bars;
  ~Browser() {
    for (auto& sink : sinks) sink.second->lpVtbl->Release(sink.second);
    if (document) FakeDom::Release(document);
  }
};

namespace {

#define BROWSER_OF(face, member) From<BrowserFaces, Browser, offsetof(BrowserFaces, member)>(face)

ULONG AddRefBrowser(Browser* b) { return static_cast<ULONG>(++b->refs); }
ULONG ReleaseBrowser(Browser* b) {
  LONG count = --b->refs;
  if (count == 0) delete b;
  return static_cast<ULONG>(count);
}

HRESULT BrowserQuery(Browser* b, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch) || ::IsEqualIID(iid, IID_IWebBrowser) ||
      ::IsEqualIID(iid, IID_IWebBrowserApp) || ::IsEqualIID(iid, IID_IWebBrowser2))
    *ppv = &b->web;
  else if (::IsEqualIID(iid, IID_IConnectionPointContainer))
    *ppv = &b->points;
  else if (::IsEqualIID(iid, IID_IServiceProvider))
    *ppv = &b->services;
  else if (::IsEqualIID(iid, IID_IOleWindow))
    *ppv = &b->window;
  if (!*ppv) return E_NOINTERFACE;
  AddRefBrowser(b);
  return S_OK;
}

std::wstring VariantText(const VARIANT* v) {
  return v && v->vt == VT_BSTR ? BstrText(v->bstrVal) : std::wstring();
}

HRESULT STDMETHODCALLTYPE B_QueryInterface(IWebBrowser2* t, REFIID iid, void** ppv) {
  return BrowserQuery(BROWSER_OF(t, web), iid, ppv);
}
ULONG STDMETHODCALLTYPE B_AddRef(IWebBrowser2* t) { return AddRefBrowser(BROWSER_OF(t, web)); }
ULONG STDMETHODCALLTYPE B_Release(IWebBrowser2* t) { return ReleaseBrowser(BROWSER_OF(t, web)); }
HRESULT STDMETHODCALLTYPE B_get_Document(IWebBrowser2* t, IDispatch** out) {
  Browser* b = BROWSER_OF(t, web);
  *out = b->document ? FakeDom::DocumentDispatch(b->document) : nullptr;
  if (*out) (*out)->lpVtbl->AddRef(*out);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE B_Navigate(IWebBrowser2* t, BSTR url, VARIANT* flags, VARIANT* frame, VARIANT*, VARIANT*) {
  LONG f = flags && flags->vt == VT_I4 ? flags->lVal : -1;
  BROWSER_OF(t, web)->navigations.push_back({BstrText(url), VariantText(frame), f});
  return S_OK;
}
HRESULT STDMETHODCALLTYPE B_ShowBrowserBar(IWebBrowser2* t, VARIANT* clsid, VARIANT*, VARIANT*) {
  BROWSER_OF(t, web)->bars.push_back(VariantText(clsid));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE C_QueryInterface(IConnectionPointContainer* t, REFIID iid, void** ppv) {
  return BrowserQuery(BROWSER_OF(t, points), iid, ppv);
}
ULONG STDMETHODCALLTYPE C_AddRef(IConnectionPointContainer* t) { return AddRefBrowser(BROWSER_OF(t, points)); }
ULONG STDMETHODCALLTYPE C_Release(IConnectionPointContainer* t) { return ReleaseBrowser(BROWSER_OF(t, points)); }
HRESULT STDMETHODCALLTYPE C_FindConnectionPoint(IConnectionPointContainer* t, REFIID iid, IConnectionPoint** out) {
  *out = nullptr;
  if (!::IsEqualIID(iid, DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
  Browser* b = BROWSER_OF(t, points);
  AddRefBrowser(b);
  *out = &b->point;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE P_QueryInterface(IConnectionPoint* t, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
  *ppv = t;
  AddRefBrowser(BROWSER_OF(t, point));
  return S_OK;
}
ULONG STDMETHODCALLTYPE P_AddRef(IConnectionPoint* t) { return AddRefBrowser(BROWSER_OF(t, point)); }
ULONG STDMETHODCALLTYPE P_Release(IConnectionPoint* t) { return ReleaseBrowser(BROWSER_OF(t, point)); }
HRESULT STDMETHODCALLTYPE P_Advise(IConnectionPoint* t, IUnknown* sink, DWORD* cookie) {
  IDispatch* events = nullptr;
  if (!sink || FAILED(sink->lpVtbl->QueryInterface(sink, IID_IDispatch, reinterpret_cast<void**>(&events))))
    return CONNECT_E_CANNOTCONNECT;
  Browser* b = BROWSER_OF(t, point);
  *cookie = b->nextCookie++;
  b->sinks[*cookie] = events;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE P_Unadvise(IConnectionPoint* t, DWORD cookie) {
  Browser* b = BROWSER_OF(t, point);
  auto found = b->sinks.find(cookie);
  if (found == b->sinks.end()) return CONNECT_E_NOCONNECTION;
  IDispatch* sink = found->second;
  b->sinks.erase(found);
  sink->lpVtbl->Release(sink);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE S_QueryInterface(IServiceProvider* t, REFIID iid, void** ppv) {
  return BrowserQuery(BROWSER_OF(t, services), iid, ppv);
}
ULONG STDMETHODCALLTYPE S_AddRef(IServiceProvider* t) { return AddRefBrowser(BROWSER_OF(t, services)); }
ULONG STDMETHODCALLTYPE S_Release(IServiceProvider* t) { return ReleaseBrowser(BROWSER_OF(t, services)); }
HRESULT STDMETHODCALLTYPE S_QueryService(IServiceProvider* t, REFGUID service, REFIID iid, void** ppv) {
  Browser* b = BROWSER_OF(t, services);
  if (::IsEqualGUID(service, SID_SWebBrowserApp) || ::IsEqualGUID(service, SID_SShellBrowser))
    return BrowserQuery(b, iid, ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE O_QueryInterface(IOleWindow* t, REFIID iid, void** ppv) {
  return BrowserQuery(BROWSER_OF(t, window), iid, ppv);
}
ULONG STDMETHODCALLTYPE O_AddRef(IOleWindow* t) { return AddRefBrowser(BROWSER_OF(t, window)); }
ULONG STDMETHODCALLTYPE O_Release(IOleWindow* t) { return ReleaseBrowser(BROWSER_OF(t, window)); }
HRESULT STDMETHODCALLTYPE O_GetWindow(IOleWindow* t, HWND* out) {
  *out = BROWSER_OF(t, window)->hwnd;
  return S_OK;
}

const IWebBrowser2Vtbl kWebVtbl = [] {
  IWebBrowser2Vtbl v = Unimplemented<IWebBrowser2Vtbl>();
  v.QueryInterface = B_QueryInterface;
  v.AddRef = B_AddRef;
  v.Release = B_Release;
  v.get_Document = B_get_Document;
  v.Navigate = B_Navigate;
  v.ShowBrowserBar = B_ShowBrowserBar;
  return v;
}();
const IConnectionPointContainerVtbl kPointsVtbl = [] {
  IConnectionPointContainerVtbl v = Unimplemented<IConnectionPointContainerVtbl>();
  v.QueryInterface = C_QueryInterface;
  v.AddRef = C_AddRef;
  v.Release = C_Release;
  v.FindConnectionPoint = C_FindConnectionPoint;
  return v;
}();
const IConnectionPointVtbl kPointVtbl = [] {
  IConnectionPointVtbl v = Unimplemented<IConnectionPointVtbl>();
  v.QueryInterface = P_QueryInterface;
  v.AddRef = P_AddRef;
  v.Release = P_Release;
  v.Advise = P_Advise;
  v.Unadvise = P_Unadvise;
  return v;
}();
const IServiceProviderVtbl kServicesVtbl = [] {
  IServiceProviderVtbl v = Unimplemented<IServiceProviderVtbl>();
  v.QueryInterface = S_QueryInterface;
  v.AddRef = S_AddRef;
  v.Release = S_Release;
  v.QueryService = S_QueryService;
  return v;
}();
const IOleWindowVtbl kWindowVtbl = [] {
  IOleWindowVtbl v = Unimplemented<IOleWindowVtbl>();
  v.QueryInterface = O_QueryInterface;
  v.AddRef = O_AddRef;
  v.Release = O_Release;
  v.GetWindow = O_GetWindow;
  return v;
}();

}  // namespace

Browser* NewBrowser(HWND window) {
  Browser* b = new Browser;
  b->web.lpVtbl = const_cast<IWebBrowser2Vtbl*>(&kWebVtbl);
  b->points.lpVtbl = const_cast<IConnectionPointContainerVtbl*>(&kPointsVtbl);
  b->point.lpVtbl = const_cast<IConnectionPointVtbl*>(&kPointVtbl);
  b->services.lpVtbl = const_cast<IServiceProviderVtbl*>(&kServicesVtbl);
  b->window.lpVtbl = const_cast<IOleWindowVtbl*>(&kWindowVtbl);
  b->hwnd = window;
  return b;
}

void Release(Browser* browser) { ReleaseBrowser(browser); }
IUnknown* Site(Browser* browser) { return reinterpret_cast<IUnknown*>(&browser->web); }
IDispatch* BrowserDispatch(Browser* browser) { return reinterpret_cast<IDispatch*>(&browser->web); }

void SetDocument(Browser* browser, FakeDom::Document* document) {
  if (document) FakeDom::DocumentDispatch(document)->lpVtbl->AddRef(FakeDom::DocumentDispatch(document));
  if (browser->document) FakeDom::Release(browser->document);
  browser->document = document;
}

void Fire(Browser* browser, DISPID dispid, VARIANT* args, UINT count) {
  std::vector<IDispatch*> sinks;
  for (auto& sink : browser->sinks) {
    sink.second->lpVtbl->AddRef(sink.second);
    sinks.push_back(sink.second);
  }
  DISPPARAMS params = {args, nullptr, count, 0};
  for (IDispatch* sink : sinks) {
    sink->lpVtbl->Invoke(sink, dispid, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    sink->lpVtbl->Release(sink);
  }
}

void FireDocumentComplete(Browser* browser) {
  VARIANT args[2];
  ::VariantInit(&args[0]);
  args[0].vt = VT_BSTR;
  args[0].bstrVal = ::SysAllocString(L"http://example.test/");
  ::VariantInit(&args[1]);
  args[1].vt = VT_DISPATCH;
  args[1].pdispVal = BrowserDispatch(browser);
  Fire(browser, DISPID_DOCUMENTCOMPLETE, args, 2);
  ::VariantClear(&args[0]);
}

size_t Connections(Browser* browser) { return browser->sinks.size(); }
const std::vector<Navigation>& Navigations(Browser* browser) { return browser->navigations; }
const std::vector<std::wstring>& BarsShown(Browser* browser) { return browser->bars; }

}  // namespace FakeBrowser
