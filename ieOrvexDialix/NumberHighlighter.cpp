#include <windows.h>
#include <shlguid.h>
#include <optional>
#include <vector>
#include "CCallBack.h"
#include "COrvexDialixBHO.h"
#include "ComBSTR.h"
#include "ComVariant.h"
#include "NumberFinder.h"
#include "PluginUi.h"

// The helper object's walk of the page and its answer to a click on a number.
// Every step stops quietly at the first interface that is missing or fails.

namespace {

const wchar_t kWrapTag[] = L"ZEMBRAEXTENSION";
const wchar_t kWrapStyle[] = L"cursor: pointer; text-decoration:underline; hover { color:black;background-color:#bbe9ff;}";
const wchar_t kPageFrame[] = L"Orvex Dialix";

template <class Q>
CComPtr<Q> Query(IUnknown* from, REFIID iid) {
  CComPtr<Q> to;
  if (from) from->QueryInterface(iid, reinterpret_cast<void**>(&to));
  return to;
}

// The text of an element whose only child is a text node, as the wrap is
// made; empty for any other element.
std::wstring OwnText(IHTMLDOMNode* element) {
  CComPtr<IHTMLDOMNode> child, after;
  long type = 0;
  if (FAILED(element->get_firstChild(&child)) || !child || FAILED(child->get_nodeType(&type)) || type != 3 ||
      FAILED(child->get_nextSibling(&after)) || after)
    return std::wstring();
  CComPtr<IHTMLDOMTextNode> text = Query<IHTMLDOMTextNode>(child, IID_IHTMLDOMTextNode);
  CComBSTR content;
  if (!text || FAILED(text->toString(&content))) return std::wstring();
  return BstrText(content);
}

}  // namespace

COrvexDialixBHO::PageWalk::PageWalk(CComPtr<IHTMLDocument2> page)
    : document(page), tag(kWrapTag), css(kWrapStyle) {}

void COrvexDialixBHO::HighlightDocument() {
  CComPtr<IHTMLDocument3> document = Query<IHTMLDocument3>(Document(), IID_IHTMLDocument3);
  CComPtr<IHTMLElement> root;
  if (!document || FAILED(document->get_documentElement(&root)) || !root) return;
  CComPtr<IHTMLDOMNode> node = Query<IHTMLDOMNode>(root, IID_IHTMLDOMNode);
  if (!node) return;
  PageWalk walk(Document());
  if (!walk.Ready()) return;
  m_walk = &walk;
  struct Done {
    PageWalk*& walk;
    ~Done() { walk = nullptr; }
  } done{m_walk};
  VisitNode(node);
}

// Depth first, in document order, without recursion: a page built by
// script may nest elements as deep as it likes, deeper than the browser
// thread's stack would take. Each node's next sibling is taken before its
// visit, so what wrapping inserts after a text node is not visited again.
void COrvexDialixBHO::VisitNode(IHTMLDOMNode* top) {
  std::vector<CComPtr<IHTMLDOMNode>> resume;  // where each open level goes on
  CComPtr<IHTMLDOMNode> node(top);
  for (bool atTop = true; node; atTop = false) {
    CComPtr<IHTMLDOMNode> next, child, parent;
    if (!atTop && FAILED(node->get_nextSibling(&next))) next.Release();
    long type = 0;
    CComBSTR name;
    bool known = SUCCEEDED(node->get_nodeType(&type));
    if (known && type == 3) {
      if (SUCCEEDED(node->get_parentNode(&parent)) && parent && SUCCEEDED(parent->get_nodeName(&name)) && name &&
          IsScannedParent(name, name.Length()))
        HighlightTextNode(node, parent);
    } else if (known && SUCCEEDED(node->get_firstChild(&child)) && child) {
      if (next) resume.push_back(next);
      next = child;
    }
    node = next;
    if (!node && !resume.empty()) {
      node = resume.back();
      resume.pop_back();
    }
  }
}

// One search over the whole text, then the splits from the last number
// back: each split copies only the short tail behind it, and the nodes end
// up as a left-to-right pass would leave them (text, wrap, text, wrap, ...,
// text).
void COrvexDialixBHO::HighlightTextNode(IHTMLDOMNode* textNode, IHTMLDOMNode* parent) {
  std::optional<PageWalk> single;
  PageWalk* walk = m_walk ? m_walk : &single.emplace(Document());
  IHTMLDocument2* document = walk->document;
  CComPtr<IHTMLDOMTextNode> text = Query<IHTMLDOMTextNode>(textNode, IID_IHTMLDOMTextNode);
  CComBSTR content;
  if (!walk->Ready() || !text || FAILED(text->toString(&content)) || content.Length() <= 5) return;
  std::vector<NumberMatch> numbers = FindNumbers(NarrowForSearch(content, content.Length()));
  if (numbers.empty()) return;
  BSTR tag = walk->tag, css = walk->css;
  for (size_t k = numbers.size(); k-- > 0;) {
    const NumberMatch& match = numbers[k];
    CComPtr<IHTMLDOMNode> rest, number, wrapNode, moved, inserted;
    CComPtr<IHTMLElement> wrap;
    CComPtr<IHTMLStyle> style;
    if (FAILED(text->splitText(static_cast<long>(match.position + match.length), &rest)) || !rest) return;
    if (FAILED(text->splitText(static_cast<long>(match.position), &number)) || !number) return;
    if (FAILED(document->createElement(tag, &wrap)) || !wrap) return;
    CComBSTR id(static_cast<UINT>(match.length), content.m_str + match.position);
    wrap->put_id(id);
    if (SUCCEEDED(wrap->get_style(&style)) && style) style->put_cssText(css);
    wrapNode = Query<IHTMLDOMNode>(wrap, IID_IHTMLDOMNode);
    if (!wrapNode || FAILED(wrapNode->appendChild(number, &moved))) return;
    CComVariant before(static_cast<IDispatch*>(rest.p));
    if (FAILED(parent->insertBefore(wrapNode, before, &inserted))) return;
  }
}

void COrvexDialixBHO::OnNumberClick() {
  // The menu's loop below runs the thread's messages: the browser may take
  // the object off its site and release it before the choice comes back.
  CComPtr<IUnknown> alive(GetUnknown());
  CComPtr<IHTMLDocument2> document = Document();
  CComPtr<IHTMLWindow2> window;
  CComPtr<IHTMLEventObj> event;
  CComPtr<IHTMLElement> source;
  CComBSTR id, name;
  if (!document || FAILED(document->get_parentWindow(&window)) || !window || FAILED(window->get_event(&event)) ||
      !event || FAILED(event->get_srcElement(&source)) || !source || FAILED(source->get_id(&id)))
    return;
  CComPtr<IHTMLDOMNode> node = Query<IHTMLDOMNode>(source, IID_IHTMLDOMNode);
  if (!node || FAILED(node->get_nodeName(&name)) || BstrText(name) != kWrapTag) return;
  // Taken before the menu: the page's script runs while it is open.
  std::wstring number = DiallableNumber(OwnText(node), BstrText(id));
  if (number.empty()) return;

  CMenuHandle menu(::LoadMenuW(WtlGetResourceInstance(), MAKEINTRESOURCEW(IDR_NUMBER_MENU)));
  HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
  if (!popup) return;
  POINT cursor = {};
  ::GetCursorPos(&cursor);
  HWND owner = nullptr;
  CComPtr<IServiceProvider> services = Query<IServiceProvider>(m_browser, IID_IServiceProvider);
  CComPtr<IOleWindow> shell;
  if (services && SUCCEEDED(services->QueryService(SID_SShellBrowser, IID_IOleWindow,
                                                    reinterpret_cast<void**>(&shell))) && shell)
    shell->GetWindow(&owner);
  UINT command = static_cast<UINT>(PluginUiSeam().trackPopupMenu(
      popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, cursor.x, cursor.y, owner));
  switch (command) {
    case ID_NUMBER_SEND_SMS:
      OpenDialixPage(L"sendsms", L"number", number);
      break;
    case ID_NUMBER_ADD_CONTACT:
      OpenDialixPage(L"addcontact", L"number", number);
      break;
    case ID_NUMBER_CALL: {
      if (!m_service || !m_callback) break;
      CComBSTR client(m_callback->ClientId().c_str());
      CComPtr<IOperation> operation;
      m_service->CreateOperation(client, IID_ICreateCallOperation, &operation);
      CComPtr<ICreateCallOperation> call = Query<ICreateCallOperation>(operation, IID_ICreateCallOperation);
      if (!call) break;
      CComBSTR serial(m_callback->SerialNumber().c_str()), digits(number.c_str());
      call->put_SerialNumber(serial);
      call->put_Number(digits);
      m_service->BeginOperation(operation);
      break;
    }
    default:
      break;
  }
}

HRESULT COrvexDialixBHO::OpenDialixPage(const wchar_t* action, const wchar_t* name, const std::wstring& value) {
  std::wstring page, address;
  if (!LocalPagePath(&page)) return E_FAIL;
  HRESULT hr = BuildPageAddress(page, action, name, value, &address);
  if (FAILED(hr)) return hr;
  if (!m_browser) return E_FAIL;
  CComBSTR url(address.c_str());
  CComVariant flags(0), frame(kPageFrame), empty;
  return m_browser->Navigate(url, &flags, &frame, &empty, &empty);
}

HRESULT COrvexDialixBHO::OpenDialixPage() { return OpenDialixPage(nullptr, nullptr, std::wstring()); }
