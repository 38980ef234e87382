#include <windows.h>
#include <commctrl.h>
#include <exdispid.h>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "CCallBack.h"
#include "CFixedClassFactory.h"
#include "COrvexDialixBHO.h"
#include "CieOrvexDialixModule.h"
#include "FakeBrowser.h"
#include "PluginUi.h"
#include "ServiceFakes.h"
#include "SutrelRegistry.h"
#include "WindowProbe.h"
#include "ZCLHandle.h"

namespace {

const wchar_t kBhoClsid[] = L"{15C2DE55-9796-4657-AAA5-EB605D6C5F9A}";
const wchar_t kOptionKey[] = L"SOFTWARE\\Orvex Dialix";
const wchar_t kBandsKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser";

// --- The service's side, as the helper object uses it.

class CFakeCallOperation : public CFakeUnknown<ICreateCallOperation> {
public:
  CFakeCallOperation() : CFakeUnknown({IID_IOperation, IID_ICreateCallOperation}) {}
  FAKE_NO_DISPATCH
  STDMETHOD(get_ClientId)(BSTR* out) override { return CComBSTR(L"client").CopyTo(out); }
  STDMETHOD(get_OperationId)(BSTR* out) override { return CComBSTR(L"call-1").CopyTo(out); }
  STDMETHOD(get_OperationState)(EOperationState* out) override { *out = OperationNotStarted; return S_OK; }
  STDMETHOD(get_OperationData)(IUnknown**) override { return E_NOTIMPL; }
  STDMETHOD(get_SerialNumber)(BSTR* out) override { return m_serial.CopyTo(out); }
  STDMETHOD(put_SerialNumber)(BSTR in) override { m_serial = in; return S_OK; }
  STDMETHOD(get_Number)(BSTR* out) override { return m_number.CopyTo(out); }
  STDMETHOD(put_Number)(BSTR in) override { m_number = in; return S_OK; }
  CComBSTR m_serial, m_number;
};

class CBandService : public CFakeUnknown<IZembra> {
public:
  CBandService() : CFakeUnknown({IID_IZembra}) {}
  FAKE_NO_DISPATCH
  STDMETHOD(Connect)(IZembraCallback* callback) override {
    m_callback = callback;
    return S_OK;
  }
  STDMETHOD(Disconnect)(BSTR client) override {
    m_disconnected.push_back(BstrText(client));
    return S_OK;
  }
  STDMETHOD(CreateOperation)(BSTR client, REFIID kind, IOperation** out) override {
    *out = nullptr;
    if (!::SysStringLen(client)) return E_INVALIDARG;  // as the service: a client it has named
    m_kinds.push_back(kind);
    m_clients.push_back(BstrText(client));
    if (::IsEqualIID(kind, IID_ICreateCallOperation)) {
      CFakeCallOperation* call = new CFakeCallOperation;
      m_calls.push_back(call);
      *out = call;
    } else {
      *out = new CFakeOperation(kind);
    }
    return S_OK;
  }
  STDMETHOD(BeginOperation)(IOperation* op) override {
    m_begun.push_back(op);
    if (m_refuseBegin) {
      --m_refuseBegin;
      return E_FAIL;
    }
    return S_OK;
  }
  STDMETHOD(CancelOperation)(IOperation*) override { return S_OK; }
  STDMETHOD(SubscribeNotification)(BSTR, REFIID) override { return S_OK; }
  STDMETHOD(UnsubscribeNotification)(BSTR, REFIID) override { return S_OK; }

  size_t Created(REFIID kind) const {
    size_t count = 0;
    for (const IID& made : m_kinds) count += ::IsEqualIID(made, kind);
    return count;
  }

  CComPtr<IZembraCallback> m_callback;
  std::vector<IID> m_kinds;
  std::vector<std::wstring> m_clients, m_disconnected;
  std::vector<CFakeCallOperation*> m_calls;  // kept alive by m_begun or not at all
  std::vector<CComPtr<IOperation>> m_begun;
  int m_refuseBegin = 0;
};

class CFakeDevice : public CFakeUnknown<IDevice> {
public:
  CFakeDevice(const wchar_t* serial, EDeviceState state)
      : CFakeUnknown({IID_IDevice}), m_serial(serial), m_state(state) {}
  FAKE_NO_DISPATCH
  STDMETHOD(get_SerialNumber)(BSTR* out) override { return m_serial.CopyTo(out); }
  STDMETHOD(get_ModelName)(BSTR* out) override { return m_serial.CopyTo(out); }
  STDMETHOD(get_FriendlyName)(BSTR* out) override { return m_serial.CopyTo(out); }
  STDMETHOD(get_Manufacturer)(BSTR* out) override { return m_serial.CopyTo(out); }
  STDMETHOD(get_BluetoothName)(BSTR* out) override { return m_serial.CopyTo(out); }
  STDMETHOD(get_State)(EDeviceState* out) override { *out = m_state; return S_OK; }
  CComBSTR m_serial;
  EDeviceState m_state;
};

class CFakeDeviceList : public CFakeUnknown<IDeviceList> {
public:
  CFakeDeviceList() : CFakeUnknown({IID_IDeviceList}) {}
  FAKE_NO_DISPATCH
  STDMETHOD(get__NewEnum)(IUnknown**) override { return E_NOTIMPL; }
  STDMETHOD(get_Item)(LONG index, IDevice** out) override {
    if (index < 1) return E_INVALIDARG;
    if (index > static_cast<LONG>(m_items.size())) return E_FAIL;
    *out = m_items[index - 1];
    (*out)->AddRef();
    return S_OK;
  }
  STDMETHOD(get_Count)(LONG* out) override { *out = static_cast<LONG>(m_items.size()); return S_OK; }
  void Add(const wchar_t* serial, EDeviceState state) { m_items.push_back(new CFakeDevice(serial, state)); }
  std::vector<CComPtr<IDevice>> m_items;
};

// --- The seams: menus and boxes answered by the test.

struct SeamRecord {
  UINT choice = 0;           // the command the user "picks"
  int menus = 0;
  bool highlightChecked = false;
  std::vector<std::wstring> menuItems;
  std::vector<std::pair<std::wstring, std::wstring>> boxes;  // text, caption
  UINT boxType = 0;
  std::function<void()> duringMenu;  // what happens while the menu is open, once
};
SeamRecord g_seam;

BOOL RecordingMenu(HMENU popup, UINT flags, int, int, HWND owner) {
  ++g_seam.menus;
  g_seam.menuItems.clear();
  for (int i = 0; i < ::GetMenuItemCount(popup); ++i) {
    wchar_t text[64] = L"";
    ::GetMenuStringW(popup, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
    g_seam.menuItems.push_back(text);
  }
  g_seam.highlightChecked = (::GetMenuState(popup, ID_HIGHLIGHT_NUMBERS, MF_BYCOMMAND) & MF_CHECKED) != 0;
  if (g_seam.duringMenu) {
    std::function<void()> during = std::move(g_seam.duringMenu);
    g_seam.duringMenu = nullptr;
    during();
  }
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(g_seam.choice);
  if (g_seam.choice) ::SendMessageW(owner, WM_COMMAND, g_seam.choice, 0);
  return TRUE;
}

int RecordingBox(HWND, const wchar_t* text, const wchar_t* caption, UINT type) {
  g_seam.boxes.push_back({text, caption});
  g_seam.boxType = type;
  return IDOK;
}

LONG ReadOption(DWORD* value) {
  CRegistryKey key;
  LONG rc = ::RegOpenKeyExW(HKEY_CURRENT_USER, kOptionKey, 0, KEY_READ, key.Put());
  if (rc != ERROR_SUCCESS) return rc;
  DWORD bytes = sizeof(*value);
  return ::RegQueryValueExW(key.Get(), L"HighlightNumbers", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes);
}

void WriteOption(DWORD value) {
  CRegistryKey key;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, kOptionKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr);
  ::RegSetValueExW(key.Get(), L"HighlightNumbers", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void SetInstallFolder(const std::wstring& folder) {
  CRegistryKey key;
  ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSutrelKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr);
  ::RegSetValueExW(key.Get(), kApplicationPathValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// A browser window with the helper object on its site and a page of the
// test's making; the service is a fake served from this process.
class BandTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    g_seam = SeamRecord();
    m_savedUi = PluginUiSeam();
    PluginUiSeam() = PluginUi{&RecordingMenu, &RecordingBox};
    m_installed = ReadSutrelValue(kApplicationPathValue, &m_savedFolder) == ERROR_SUCCESS;
    SetInstallFolder(L"C:\\Program Files\\Orvex Dialix");
    WriteOption(1);
    m_service.Attach(new CBandService);
    m_factory.reset(new CFixedClassFactory(static_cast<IZembra*>(m_service.p)));
    ASSERT_EQ(S_OK, ::CoRegisterClassObject(CLSID_Zembra, m_factory.get(), CLSCTX_LOCAL_SERVER,
                                            REGCLS_MULTIPLEUSE, &m_cookie));
    m_window = ::CreateWindowExW(0, L"STATIC", L"Browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 640, 300,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(m_window);
    m_browser = FakeBrowser::NewBrowser(m_window);
    m_page = FakeDom::NewDocument();
    FakeBrowser::SetDocument(m_browser, m_page);
    m_body = FakeDom::Append(FakeDom::Root(m_page), FakeDom::Element(m_page, L"body"));
  }
  void TearDown() override {
    if (m_bho) {
      m_bho->SetSite(nullptr);
      m_bho->Release();
      m_bho = nullptr;
    }
    FakeBrowser::Release(m_browser);
    FakeDom::Release(m_page);
    ::DestroyWindow(m_window);
    ::CoRevokeClassObject(m_cookie);
    m_service.Release();
    if (m_installed) SetInstallFolder(m_savedFolder);
    PluginUiSeam() = m_savedUi;
    ::CoUninitialize();
  }

  COrvexDialixBHO* MakeBand() {
    CComObject<COrvexDialixBHO>* made = nullptr;
    EXPECT_EQ(S_OK, CComObject<COrvexDialixBHO>::CreateInstance(&made));
    if (made) made->AddRef();
    return made;
  }
  void SiteBand() {
    m_bho = MakeBand();
    ASSERT_TRUE(m_bho);
    ASSERT_EQ(S_OK, m_bho->SetSite(FakeBrowser::Site(m_browser)));
    m_service->m_callback->ConnectCompleted(CComBSTR(L"client-7"));
  }
  // The browser's two events that start highlighting.
  void LoadPage() {
    FakeBrowser::FireDocumentComplete(m_browser);
    FakeBrowser::Fire(m_browser, DISPID_DOWNLOADCOMPLETE);
  }
  FakeDom::Node* Paragraph(const wchar_t* tag, const wchar_t* text) {
    FakeDom::Node* element = FakeDom::Append(m_body, FakeDom::Element(m_page, tag));
    FakeDom::Append(element, FakeDom::Text(m_page, text));
    return element;
  }

  PluginUi m_savedUi{};
  std::wstring m_savedFolder;
  bool m_installed = false;
  CComPtr<CBandService> m_service;
  std::unique_ptr<CFixedClassFactory> m_factory;
  DWORD m_cookie = 0;
  HWND m_window = nullptr;
  FakeBrowser::Browser* m_browser = nullptr;
  FakeDom::Document* m_page = nullptr;
  FakeDom::Node* m_body = nullptr;
  COrvexDialixBHO* m_bho = nullptr;
};

// --- Finding and wrapping numbers.

TEST_F(BandTest, NumberInAParagraphIsWrappedBetweenItsWords) {
  FakeDom::Node* p = Paragraph(L"p", L"Tel: +358 40 765 9876 now");
  SiteBand();
  LoadPage();
  EXPECT_EQ(L"<P>Tel: <ZEMBRAEXTENSION id=\"+358 40 765 9876\">+358 40 765 9876</ZEMBRAEXTENSION> now</P>",
            FakeDom::Serialize(p));
  FakeDom::Node* wrap = FakeDom::FindElement(m_page, L"ZEMBRAEXTENSION");
  ASSERT_TRUE(wrap);
  EXPECT_EQ(L"cursor: pointer; text-decoration:underline; hover { color:black;background-color:#bbe9ff;}",
            FakeDom::StyleText(wrap));
  EXPECT_TRUE(FakeDom::HasClickHandler(m_page));
}

TEST_F(BandTest, TwoNumbersBesideABoldWordAreBothWrappedAndASecondWalkChangesNothing) {
  FakeDom::Node* p = Paragraph(L"p", L"Home 09 123 4567 or ");
  FakeDom::Append(FakeDom::Append(p, FakeDom::Element(m_page, L"b")), FakeDom::Text(m_page, L"work"));
  FakeDom::Append(p, FakeDom::Text(m_page, L" 040 765 4321 and 050 111 2222."));
  SiteBand();
  LoadPage();
  std::wstring once = FakeDom::Serialize(p);
  EXPECT_EQ(L"<P>Home <ZEMBRAEXTENSION id=\"09 123 4567\">09 123 4567</ZEMBRAEXTENSION> or <B>work</B> "
            L"<ZEMBRAEXTENSION id=\"040 765 4321\">040 765 4321</ZEMBRAEXTENSION> and "
            L"<ZEMBRAEXTENSION id=\"050 111 2222\">050 111 2222</ZEMBRAEXTENSION>.</P>",
            once);
  FakeBrowser::Fire(m_browser, DISPID_DOWNLOADCOMPLETE);
  EXPECT_EQ(once, FakeDom::Serialize(p));
}

TEST_F(BandTest, OnlyTextOfTheListedElementsIsScanned) {
  FakeDom::Append(m_body, FakeDom::Text(m_page, L"body 0401234567"));
  Paragraph(L"a", L"link 0401234567");
  Paragraph(L"textarea", L"area 0401234567");
  Paragraph(L"td", L"cell 0401234567");
  Paragraph(L"span", L"span 0401234567");
  Paragraph(L"div", L"short 12345");
  Paragraph(L"div", L"987 654");
  SiteBand();
  LoadPage();
  EXPECT_EQ(L"<BODY>body 0401234567<A>link 0401234567</A><TEXTAREA>area 0401234567</TEXTAREA>"
            L"<TD>cell <ZEMBRAEXTENSION id=\"0401234567\">0401234567</ZEMBRAEXTENSION></TD>"
            L"<SPAN>span <ZEMBRAEXTENSION id=\"0401234567\">0401234567</ZEMBRAEXTENSION></SPAN>"
            L"<DIV>short 12345</DIV><DIV><ZEMBRAEXTENSION id=\"987 654\">987 654</ZEMBRAEXTENSION></DIV></BODY>",
            FakeDom::Serialize(m_body));
}

// Units above Latin-1 never count as digits: U+4E35 once read as "5".
TEST_F(BandTest, CharactersOutsideLatin1AreNeitherDigitsNorSeparators) {
  FakeDom::Node* p = Paragraph(L"p", L"\u4E35\u4E35\u4E35\u4E35\u4E35\u4E35\u4E35");
  FakeDom::Node* q = Paragraph(L"p", L"\u96FB\u8A71\u4E350401234567\u4E35");
  SiteBand();
  LoadPage();
  EXPECT_EQ(L"<P>\u4E35\u4E35\u4E35\u4E35\u4E35\u4E35\u4E35</P>", FakeDom::Serialize(p));
  EXPECT_EQ(L"<P>\u96FB\u8A71\u4E35<ZEMBRAEXTENSION id=\"0401234567\">0401234567</ZEMBRAEXTENSION>\u4E35</P>",
            FakeDom::Serialize(q));
}

TEST_F(BandTest, TenThousandNumbersInOneTextAreAllWrapped) {
  std::wstring text;
  for (int i = 0; i < 10000; ++i) text += L"call 040 " + std::to_wstring(1000000 + i) + L" now, ";
  FakeDom::Node* p = Paragraph(L"p", text.c_str());
  SiteBand();
  LoadPage();
  EXPECT_EQ(10000u, FakeDom::CountElements(m_page, L"ZEMBRAEXTENSION"));
  FakeDom::Node* last = FakeDom::FindElement(m_page, L"ZEMBRAEXTENSION", 9999);
  ASSERT_TRUE(last);
  EXPECT_EQ(L"<ZEMBRAEXTENSION id=\"040 1009999\">040 1009999</ZEMBRAEXTENSION>", FakeDom::Serialize(last));
  std::wstring page = FakeDom::Serialize(p);
  EXPECT_EQ(0u, page.find(L"<P>call <ZEMBRAEXTENSION id=\"040 1000000\">040 1000000</ZEMBRAEXTENSION> now, call "));
}

// Script can nest elements deeper than the browser thread's stack would
// take a walk that recursed once per level.
TEST_F(BandTest, ANumberAtTheBottomOfAHundredThousandNestedElementsIsWrapped) {
  FakeDom::Node* bottom = m_body;
  for (int depth = 0; depth < 100000; ++depth) bottom = FakeDom::Append(bottom, FakeDom::Element(m_page, L"div"));
  FakeDom::Append(bottom, FakeDom::Text(m_page, L"Tel 040 765 4321"));
  Paragraph(L"p", L"Fax 09 876 5432");
  SiteBand();
  LoadPage();
  ASSERT_EQ(2u, FakeDom::CountElements(m_page, L"ZEMBRAEXTENSION"));
  EXPECT_EQ(L"<DIV>Tel <ZEMBRAEXTENSION id=\"040 765 4321\">040 765 4321</ZEMBRAEXTENSION></DIV>",
            FakeDom::Serialize(bottom));
  EXPECT_EQ(L"<ZEMBRAEXTENSION id=\"09 876 5432\">09 876 5432</ZEMBRAEXTENSION>",
            FakeDom::Serialize(FakeDom::FindElement(m_page, L"ZEMBRAEXTENSION", 1)));
}

TEST_F(BandTest, NothingIsWrappedWhenTheOptionIsOffOrBeforeTheFirstDocument) {
  FakeDom::Node* p = Paragraph(L"p", L"Tel 0401234567");
  SiteBand();
  FakeBrowser::Fire(m_browser, DISPID_DOWNLOADCOMPLETE);  // no device request yet
  EXPECT_EQ(L"<P>Tel 0401234567</P>", FakeDom::Serialize(p));
  EXPECT_FALSE(FakeDom::HasClickHandler(m_page));
  WriteOption(0);
  m_bho->Load(nullptr);
  LoadPage();
  EXPECT_EQ(L"<P>Tel 0401234567</P>", FakeDom::Serialize(p));
  EXPECT_FALSE(FakeDom::HasClickHandler(m_page));
}

// --- Clicks on a wrapped number.

class ClickTest : public BandTest {
protected:
  void SetUp() override {
    BandTest::SetUp();
    Paragraph(L"p", L"Office (09) 123.4567 and more");
    SiteBand();
    CComPtr<CFakeDevice> phone;
    phone.Attach(new CFakeDevice(L"SER-3", DeviceConnected));
    m_service->m_callback->DeviceStateChanged(CComBSTR(L"client-7"), phone);
    LoadPage();
    m_number = FakeDom::FindElement(m_page, L"ZEMBRAEXTENSION");
    ASSERT_TRUE(m_number);
  }
  std::wstring OnlyNavigation() {
    const auto& navigations = FakeBrowser::Navigations(m_browser);
    EXPECT_EQ(1u, navigations.size());
    if (navigations.size() != 1) return std::wstring();
    EXPECT_EQ(L"Orvex Dialix", navigations[0].frame);
    EXPECT_EQ(0, navigations[0].flags);
    return navigations[0].url;
  }
  FakeDom::Node* m_number = nullptr;
};

TEST_F(ClickTest, SendTextMessageOpensTheLocalPageWithTheDigits) {
  g_seam.choice = ID_NUMBER_SEND_SMS;
  EXPECT_EQ(S_OK, FakeDom::Click(m_page, m_number));
  EXPECT_EQ((std::vector<std::wstring>{L"Send text message", L"Call", L"Add to contacts"}), g_seam.menuItems);
  std::wstring url = OnlyNavigation();
  EXPECT_EQ(0u, url.find(L"file:///C:")) << url;
  EXPECT_NE(std::wstring::npos, url.find(L"Program%20Files")) << url;
  const std::wstring tail = L"orvex-dialix.html?action=sendsms&number=091234567";
  ASSERT_GE(url.size(), tail.size());
  EXPECT_EQ(tail, url.substr(url.size() - tail.size())) << url;
}

TEST_F(ClickTest, AddToContactsOpensTheLocalPageWithTheDigits) {
  g_seam.choice = ID_NUMBER_ADD_CONTACT;
  FakeDom::Click(m_page, m_number);
  std::wstring url = OnlyNavigation();
  const std::wstring tail = L"?action=addcontact&number=091234567";
  ASSERT_GE(url.size(), tail.size());
  EXPECT_EQ(tail, url.substr(url.size() - tail.size())) << url;
}

TEST_F(ClickTest, CallAsksTheServiceToDialWithTheRememberedPhone) {
  g_seam.choice = ID_NUMBER_CALL;
  FakeDom::Click(m_page, m_number);
  ASSERT_EQ(1u, m_service->m_calls.size());
  EXPECT_EQ(L"client-7", m_service->m_clients.back());
  EXPECT_EQ(L"SER-3", BstrText(m_service->m_calls[0]->m_serial));
  EXPECT_EQ(L"091234567", BstrText(m_service->m_calls[0]->m_number));
  ASSERT_FALSE(m_service->m_begun.empty());
  EXPECT_TRUE(m_service->m_begun.back().IsEqualObject(static_cast<IOperation*>(m_service->m_calls[0])));
  EXPECT_TRUE(FakeBrowser::Navigations(m_browser).empty());
}

TEST_F(ClickTest, ElsewhereAPlantedElementOrNoChoiceDoNothing) {
  g_seam.choice = ID_NUMBER_CALL;
  FakeDom::Click(m_page, FakeDom::FindElement(m_page, L"P"));
  FakeDom::Node* planted = FakeDom::Append(m_body, FakeDom::Element(m_page, L"ZEMBRAEXTENSION"));
  FakeDom::Click(m_page, planted);  // no id at all
  EXPECT_EQ(0, g_seam.menus);
  g_seam.choice = 0;
  FakeDom::Click(m_page, m_number);
  EXPECT_EQ(1, g_seam.menus);
  EXPECT_TRUE(m_service->m_calls.empty());
  EXPECT_TRUE(FakeBrowser::Navigations(m_browser).empty());
}

// The menu's loop runs the thread's messages: the browser may take the
// object off its site and release it before the choice comes back.
TEST_F(ClickTest, AWindowTornDownWhileTheMenuIsOpenLeavesTheObjectAliveUntilTheClickEnds) {
  g_seam.choice = ID_NUMBER_ADD_CONTACT;
  g_seam.duringMenu = [this] {
    m_bho->SetSite(nullptr);
    m_bho->Release();
    m_bho = nullptr;
    EXPECT_TRUE(m_service->m_disconnected.empty());
  };
  EXPECT_EQ(S_OK, FakeDom::Click(m_page, m_number));
  EXPECT_EQ(1, g_seam.menus);
  EXPECT_EQ((std::vector<std::wstring>{L"client-7"}), m_service->m_disconnected);
  EXPECT_TRUE(FakeBrowser::Navigations(m_browser).empty());  // no browser left to open the page in
}

// The page's script may plant an element of the wrap's name, or change the
// id, text or children of a wrapped number after the walk: only the number
// shown on the element reaches the service or the local page.
TEST_F(ClickTest, OnlyTheNumberShownOnTheElementIsActedOn) {
  Paragraph(L"p", L"Fax 040 765 4321");
  Paragraph(L"p", L"Mobile 050 111 2222");
  Paragraph(L"p", L"Home 09 876 5432");
  FakeBrowser::Fire(m_browser, DISPID_DOWNLOADCOMPLETE);
  FakeDom::Node* rewritten = FakeDom::FindElement(m_page, L"ZEMBRAEXTENSION", 1);
  FakeDom::Node* stretched = FakeDom::FindElement(m_page, L"ZEMBRAEXTENSION", 2);
  ASSERT_TRUE(rewritten && stretched);
  FakeDom::SetId(rewritten, L"+1 900 555 0100");
  FakeDom::Append(stretched, FakeDom::Text(m_page, L" or +1 900 555 0100"));
  auto plant = [&](const wchar_t* text, const wchar_t* id) {
    FakeDom::Node* made = FakeDom::Append(m_body, FakeDom::Element(m_page, L"zembraextension"));
    FakeDom::Append(made, FakeDom::Text(m_page, text));
    FakeDom::SetId(made, id);
    return made;
  };
  const std::wstring longDigits = L"+1900" + std::wstring(36, L'5');
  std::vector<FakeDom::Node*> tampered = {
      rewritten, stretched,
      plant(L"555-0100", L"+19005550100"),
      plant(L"09 555 0100", L"+1 900 555 0100"),
      plant(L"050 111 2222 / +1 900 555 0100", L"050 111 2222 / +1 900 555 0100"),
      plant(L"0401234567&action=x", L"0401234567&action=x"),
      plant(longDigits.c_str(), longDigits.c_str())};
  for (UINT choice : {ID_NUMBER_CALL, ID_NUMBER_SEND_SMS, ID_NUMBER_ADD_CONTACT}) {
    g_seam.choice = choice;
    for (FakeDom::Node* element : tampered) FakeDom::Click(m_page, element);
  }
  EXPECT_EQ(0, g_seam.menus);
  EXPECT_EQ(0u, m_service->Created(IID_ICreateCallOperation));
  EXPECT_TRUE(FakeBrowser::Navigations(m_browser).empty());

  g_seam.choice = ID_NUMBER_CALL;
  FakeDom::Click(m_page, m_number);
  FakeDom::Click(m_page, FakeDom::FindElement(m_page, L"ZEMBRAEXTENSION", 3));
  ASSERT_EQ(2u, m_service->m_calls.size());
  EXPECT_EQ(L"091234567", BstrText(m_service->m_calls[0]->m_number));
  EXPECT_EQ(L"098765432", BstrText(m_service->m_calls[1]->m_number));
}

// The longest text the pattern matches still counts; anything longer, or a
// text that holds more than the one number, never does.
TEST(ShownNumber, OnlyOneWholeNumberOfAtMostTheLongestMatchCounts) {
  EXPECT_EQ(L"+358407659876", DiallableNumber(L"+358 40 765 9876", L"+358 40 765 9876"));
  const std::wstring longest = L"(+ 1234)-123-123456-123456-123456";
  EXPECT_EQ(L"+1234123123456123456123456", DiallableNumber(longest, longest));
  EXPECT_EQ(L"", DiallableNumber(longest + L"7", longest + L"7"));
  EXPECT_EQ(L"", DiallableNumber(L"Tel 040 765 4321", L"Tel 040 765 4321"));
  EXPECT_EQ(L"", DiallableNumber(L"040 765 4321", L"0407654321"));
  EXPECT_EQ(L"", DiallableNumber(L"", L""));
}

// The folder read from the registry is at most 259 characters, but the
// escaped address may still outgrow the 1024-character first try.
TEST(PageAddress, AnAddressLongerThanTheFirstBufferIsNeverCut) {
  std::wstring page = L"C:\\" + std::wstring(400, L' ') + L"\\orvex-dialix.html";
  std::wstring address;
  ASSERT_EQ(S_OK, BuildPageAddress(page, L"addcontact", L"number", L"091234567", &address));
  EXPECT_GT(address.size(), 1024u);
  EXPECT_EQ(0u, address.find(L"file:///C:"));
  EXPECT_NE(std::wstring::npos, address.find(L"%20%20%20"));
  const std::wstring tail = L"orvex-dialix.html?action=addcontact&number=091234567";
  ASSERT_GE(address.size(), tail.size());
  EXPECT_EQ(tail, address.substr(address.size() - tail.size())) << address;
}

// --- The helper object.

TEST_F(BandTest, BandIsForcedVisibleOnlyWhileTheBrowserHasNoChoiceStored) {
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kBandsKey, kBhoClsid);
  SiteBand();
  ASSERT_EQ(1u, FakeBrowser::BarsShown(m_browser).size());
  EXPECT_EQ(kBhoClsid, FakeBrowser::BarsShown(m_browser)[0]);
  m_bho->SetSite(FakeBrowser::Site(m_browser));
  EXPECT_EQ(2u, FakeBrowser::BarsShown(m_browser).size());  // the answer is kept per object

  CRegistryKey key;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, kBandsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             key.Put(), nullptr));
  DWORD anything = 0;
  ::RegSetValueExW(key.Get(), kBhoClsid, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&anything), sizeof(anything));
  COrvexDialixBHO* second = MakeBand();
  ASSERT_TRUE(second);
  EXPECT_EQ(S_OK, second->SetSite(FakeBrowser::Site(m_browser)));
  EXPECT_EQ(2u, FakeBrowser::BarsShown(m_browser).size());
  second->SetSite(nullptr);
  second->Release();
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kBandsKey, kBhoClsid);
}

TEST_F(BandTest, LeavingTheSiteEndsTheEventConnectionAndLaterEventsDoNothing) {
  SiteBand();
  EXPECT_EQ(1u, FakeBrowser::Connections(m_browser));
  HWND toolbar = m_bho->ToolbarWindow();
  EXPECT_TRUE(::IsWindow(toolbar));
  EXPECT_EQ(S_OK, m_bho->SetSite(nullptr));
  EXPECT_EQ(0u, FakeBrowser::Connections(m_browser));
  EXPECT_FALSE(::IsWindow(toolbar));
  // An event the browser still sends reaches no released browser.
  VARIANT args[2];
  ::VariantInit(&args[0]);
  ::VariantInit(&args[1]);
  args[1].vt = VT_DISPATCH;
  args[1].pdispVal = FakeBrowser::BrowserDispatch(m_browser);
  DISPPARAMS params = {args, nullptr, 2, 0};
  EXPECT_EQ(S_OK, m_bho->Invoke(DISPID_DOCUMENTCOMPLETE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                                nullptr));
  EXPECT_EQ(S_OK, m_bho->Invoke(DISPID_DOWNLOADCOMPLETE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                                nullptr));
  EXPECT_EQ(0u, m_service->Created(IID_IGetDevicesOperation));
  EXPECT_EQ(E_INVALIDARG, m_bho->Invoke(DISPID_DOWNLOADCOMPLETE, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr,
                                        nullptr, nullptr));

  // Sited twice: one connection, on the newer browser.
  FakeBrowser::Browser* other = FakeBrowser::NewBrowser(m_window);
  EXPECT_EQ(S_OK, m_bho->SetSite(FakeBrowser::Site(m_browser)));
  EXPECT_EQ(S_OK, m_bho->SetSite(FakeBrowser::Site(other)));
  EXPECT_EQ(0u, FakeBrowser::Connections(m_browser));
  EXPECT_EQ(1u, FakeBrowser::Connections(other));
  m_bho->SetSite(nullptr);
  EXPECT_EQ(0u, FakeBrowser::Connections(other));
  FakeBrowser::Release(other);
}

TEST_F(BandTest, QuitEndsTheConnectionAndReleaseDisconnectsFromTheService) {
  SiteBand();
  FakeBrowser::Fire(m_browser, DISPID_ONQUIT);
  EXPECT_EQ(0u, FakeBrowser::Connections(m_browser));
  m_bho->SetSite(nullptr);
  m_bho->Release();
  m_bho = nullptr;
  EXPECT_EQ((std::vector<std::wstring>{L"client-7"}), m_service->m_disconnected);
}

TEST_F(BandTest, AHelperReleasedBeforeItsClientWasNamedEndsTheClientWhenTheNameComes) {
  m_bho = MakeBand();
  ASSERT_TRUE(m_bho);
  ASSERT_EQ(S_OK, m_bho->SetSite(FakeBrowser::Site(m_browser)));
  CComPtr<IZembraCallback> callback = m_service->m_callback;  // as the service keeps it
  m_bho->SetSite(nullptr);
  m_bho->Release();
  m_bho = nullptr;
  EXPECT_TRUE(m_service->m_disconnected.empty());  // no client to name yet
  callback->ConnectCompleted(CComBSTR(L"client-late"));
  EXPECT_EQ((std::vector<std::wstring>{L"client-late"}), m_service->m_disconnected);
}

TEST_F(BandTest, AUserWithoutTheOptionKeyStillGetsABandAndHighlighting) {
  ::RegDeleteKeyW(HKEY_CURRENT_USER, kOptionKey);
  FakeDom::Node* p = Paragraph(L"p", L"Tel 0401234567");
  SiteBand();
  EXPECT_TRUE(::IsWindow(m_bho->ToolbarWindow()));
  EXPECT_EQ(1u, FakeBrowser::Connections(m_browser));
  EXPECT_EQ(1u, m_bho->HighlightNumbers());
  LoadPage();
  EXPECT_EQ(L"<P>Tel <ZEMBRAEXTENSION id=\"0401234567\">0401234567</ZEMBRAEXTENSION></P>", FakeDom::Serialize(p));
  WriteOption(1);
}

TEST_F(BandTest, TogglingTwiceWritesZeroThenOneAndTheCheckMarkFollows) {
  SiteBand();
  HWND toolbar = m_bho->ToolbarWindow();
  HWND host = ::GetParent(toolbar);
  ASSERT_TRUE(host);
  NMTOOLBARW drop = {};
  drop.hdr.hwndFrom = toolbar;
  drop.hdr.idFrom = IDR_TOOLBAR;
  drop.hdr.code = TBN_DROPDOWN;
  drop.iItem = ID_OPEN_DIALIX_PAGE;
  g_seam.choice = ID_HIGHLIGHT_NUMBERS;  // picked from the drop-down menu
  DWORD stored = 7;
  EXPECT_EQ(TBDDRET_DEFAULT, ::SendMessageW(host, WM_NOTIFY, IDR_TOOLBAR, reinterpret_cast<LPARAM>(&drop)));
  EXPECT_TRUE(g_seam.highlightChecked);
  ASSERT_EQ(ERROR_SUCCESS, ReadOption(&stored));
  EXPECT_EQ(0u, stored);
  ::SendMessageW(host, WM_NOTIFY, IDR_TOOLBAR, reinterpret_cast<LPARAM>(&drop));
  EXPECT_FALSE(g_seam.highlightChecked);
  ASSERT_EQ(ERROR_SUCCESS, ReadOption(&stored));
  EXPECT_EQ(1u, stored);
  g_seam.choice = 0;
  ::SendMessageW(host, WM_NOTIFY, IDR_TOOLBAR, reinterpret_cast<LPARAM>(&drop));
  EXPECT_TRUE(g_seam.highlightChecked);
  EXPECT_EQ(3, g_seam.menus);
  EXPECT_EQ((std::vector<std::wstring>{L"&Highlight phone numbers"}), g_seam.menuItems);
}

TEST_F(BandTest, TheButtonOpensThePlainPage) {
  SiteBand();
  ::SendMessageW(::GetParent(m_bho->ToolbarWindow()), WM_COMMAND, ID_OPEN_DIALIX_PAGE, 0);
  ASSERT_EQ(1u, FakeBrowser::Navigations(m_browser).size());
  const std::wstring& url = FakeBrowser::Navigations(m_browser)[0].url;
  const std::wstring tail = L"/Firefox_ext/chrome/content/html/orvex-dialix.html";
  std::wstring plain = url;
  for (wchar_t& c : plain)
    if (c == L'\\') c = L'/';
  ASSERT_GE(plain.size(), tail.size());
  EXPECT_EQ(tail, plain.substr(plain.size() - tail.size())) << url;
  EXPECT_EQ(std::wstring::npos, url.find(L'?'));
}

TEST_F(BandTest, OneDeviceRequestStartsAndARefusedOneIsTriedAtTheNextDocument) {
  SiteBand();
  m_service->m_refuseBegin = 1;
  FakeBrowser::FireDocumentComplete(m_browser);
  FakeBrowser::FireDocumentComplete(m_browser);
  FakeBrowser::FireDocumentComplete(m_browser);
  EXPECT_EQ(2u, m_service->Created(IID_IGetDevicesOperation));
  EXPECT_EQ(2u, m_service->m_begun.size());
  EXPECT_EQ((std::vector<std::wstring>{L"client-7", L"client-7"}), m_service->m_clients);
}

// On a cold start the browser may complete its first document before the
// service has named the client: the request waits for the name, and "Call"
// then dials with the phone it found.
TEST_F(BandTest, ADocumentBeforeTheConnectionGetsItsDeviceRequestOnceConnected) {
  Paragraph(L"p", L"Tel 040 765 4321");
  m_bho = MakeBand();
  ASSERT_TRUE(m_bho);
  ASSERT_EQ(S_OK, m_bho->SetSite(FakeBrowser::Site(m_browser)));
  FakeBrowser::FireDocumentComplete(m_browser);
  EXPECT_TRUE(m_service->m_begun.empty());
  m_service->m_callback->ConnectCompleted(CComBSTR(L"client-7"));
  ASSERT_EQ(1u, m_service->Created(IID_IGetDevicesOperation));
  ASSERT_EQ(1u, m_service->m_begun.size());
  EXPECT_EQ(L"client-7", m_service->m_clients[0]);

  CComPtr<CFakeDeviceList> list;
  list.Attach(new CFakeDeviceList);
  list->Add(L"SER-9", DeviceConnected);
  CComPtr<CFakeOperation> answered;
  answered.Attach(new CFakeOperation(IID_IGetDevicesOperation));
  answered->m_data = static_cast<IDeviceList*>(list.p);
  m_service->m_callback->OperationCompleted(CComBSTR(L"client-7"), CComBSTR(L"op-1"), answered);
  FakeBrowser::Fire(m_browser, DISPID_DOWNLOADCOMPLETE);
  g_seam.choice = ID_NUMBER_CALL;
  FakeDom::Click(m_page, FakeDom::FindElement(m_page, L"ZEMBRAEXTENSION"));
  ASSERT_EQ(1u, m_service->m_calls.size());
  EXPECT_EQ(L"SER-9", BstrText(m_service->m_calls[0]->m_serial));
  EXPECT_EQ(L"0407654321", BstrText(m_service->m_calls[0]->m_number));
}

TEST_F(BandTest, BandInfoComesFromTheButton) {
  SiteBand();
  DESKBANDINFO info = {};
  info.dwMask = DBIM_MINSIZE | DBIM_ACTUAL | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_TITLE | DBIM_BKCOLOR;
  info.dwModeFlags = 0x55;
  EXPECT_EQ(S_OK, m_bho->GetBandInfo(3, 0, &info));
  RECT button = {};
  ::SendMessageW(m_bho->ToolbarWindow(), TB_GETRECT, ID_OPEN_DIALIX_PAGE, reinterpret_cast<LPARAM>(&button));
  EXPECT_GT(button.right - button.left, 0);
  EXPECT_EQ(button.right - button.left, info.ptMinSize.x);
  EXPECT_EQ(button.bottom - button.top, info.ptActual.y);
  EXPECT_EQ(-1, info.ptMaxSize.y);
  EXPECT_EQ(1, info.ptIntegral.y);
  EXPECT_EQ(0u, info.dwMask & DBIM_BKCOLOR);
  EXPECT_EQ(0x55u, info.dwModeFlags);
  wchar_t text[32] = L"";
  ::GetWindowTextW(m_bho->ToolbarWindow(), text, 32);
  EXPECT_STREQ(L"Orvex Dialix", text);
}

// --- Pictures: the band in its window, its drop-down menu, the number menu
// and the warning box, each taken from a timer inside the modal loop.

struct Capture {
  std::wstring path;
  int ticks = 0;
  bool saved = false;
};
Capture g_capture;

bool VisibleMenuWindow() {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  return menu && ::IsWindowVisible(menu);
}

void CALLBACK CaptureMenu(HWND, UINT, UINT_PTR id, DWORD) {
  if (!VisibleMenuWindow() && ++g_capture.ticks < 50) return;
  ::KillTimer(nullptr, id);
  g_capture.saved = WindowProbe::SaveScreen(g_capture.path);
  ::EndMenu();
}

void CALLBACK CaptureWarning(HWND, UINT, UINT_PTR id, DWORD) {
  std::vector<HWND> boxes = WindowProbe::DialogsTitled(L"Warning");
  if (boxes.empty() && ++g_capture.ticks < 50) return;
  ::KillTimer(nullptr, id);
  if (boxes.empty()) return;
  g_capture.saved = WindowProbe::SaveScreen(g_capture.path);
  WindowProbe::DismissBox(boxes[0]);
}

TEST_F(BandTest, PicturesOfTheBandItsMenusAndTheWarning) {
  std::wstring folder = WindowProbe::ScreenshotFolder();
  if (folder.empty()) GTEST_SKIP() << "pictures are taken inside the virtual desktop";
  PluginUiSeam() = m_savedUi;  // the platform's own menus and boxes
  Paragraph(L"p", L"Call 040 123 4567 today");
  SiteBand();
  LoadPage();

  // The band site's part: the band's window goes into the browser's frame.
  HWND toolbar = m_bho->ToolbarWindow();
  DESKBANDINFO info = {};
  info.dwMask = DBIM_MINSIZE | DBIM_ACTUAL;
  m_bho->GetBandInfo(1, 0, &info);
  ::SetParent(toolbar, m_window);
  ::SetWindowPos(toolbar, nullptr, 8, 8, info.ptActual.x + 8, info.ptActual.y, SWP_NOZORDER);
  EXPECT_EQ(S_OK, m_bho->ShowDW(TRUE));
  EXPECT_TRUE(::IsWindowVisible(toolbar));
  ::SetForegroundWindow(m_window);
  ::UpdateWindow(m_window);
  Pump();
  EXPECT_TRUE(WindowProbe::SaveScreen(folder + L"\\ie-band.png"));

  NMTOOLBARW drop = {};
  drop.hdr.hwndFrom = toolbar;
  drop.hdr.idFrom = IDR_TOOLBAR;
  drop.hdr.code = TBN_DROPDOWN;
  drop.iItem = ID_OPEN_DIALIX_PAGE;
  g_capture = Capture{folder + L"\\ie-band-menu.png"};
  ::SetTimer(nullptr, 0, 100, &CaptureMenu);
  HWND host = nullptr;
  for (HWND child = ::FindWindowExW(m_window, nullptr, nullptr, nullptr); child;
       child = ::FindWindowExW(m_window, child, nullptr, nullptr))
    if (WindowProbe::Text(child) == L"ZORQTB_Host") host = child;
  ASSERT_TRUE(host);
  ::SendMessageW(host, WM_NOTIFY, IDR_TOOLBAR, reinterpret_cast<LPARAM>(&drop));
  EXPECT_TRUE(g_capture.saved);
  DWORD stored = 7;
  EXPECT_EQ(ERROR_SUCCESS, ReadOption(&stored));
  EXPECT_EQ(1u, stored);  // the menu was closed without a choice

  RECT frame = {};
  ::GetWindowRect(m_window, &frame);
  ::SetCursorPos(frame.left + 200, frame.top + 120);
  g_capture = Capture{folder + L"\\ie-number-menu.png"};
  ::SetTimer(nullptr, 0, 100, &CaptureMenu);
  FakeDom::Click(m_page, FakeDom::FindElement(m_page, L"ZEMBRAEXTENSION"));
  EXPECT_TRUE(g_capture.saved);
  EXPECT_TRUE(FakeBrowser::Navigations(m_browser).empty());

  g_capture = Capture{folder + L"\\ie-warning.png"};
  ::SetTimer(nullptr, 0, 100, &CaptureWarning);
  CComPtr<ICreateErrorInfo> made;
  ASSERT_EQ(S_OK, ::CreateErrorInfo(&made));
  made->SetDescription(const_cast<LPOLESTR>(L"The phone is not connected"));
  CComPtr<IErrorInfo> error;
  made->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error));
  m_service->m_callback->OperationFailed(CComBSTR(L"client-7"), CComBSTR(L"call-1"), E_FAIL, error);
  EXPECT_TRUE(g_capture.saved);
}

// --- The service callback.

TEST(CallBack, TheFirstConnectedDeviceOfAListGivesTheSerial) {
  CCallBack* callback = new CCallBack;
  CComPtr<CFakeDeviceList> list;
  list.Attach(new CFakeDeviceList);
  list->Add(L"A", DeviceDisconnected);
  list->Add(L"B", DeviceConnecting);
  CComPtr<CFakeOperation> operation;
  operation.Attach(new CFakeOperation(IID_IGetDevicesOperation));
  operation->m_data = static_cast<IDeviceList*>(list.p);
  callback->OperationCompleted(nullptr, nullptr, operation);
  EXPECT_EQ(L"", callback->SerialNumber());  // nothing connected: unchanged
  list->Add(L"C", DeviceConnected);
  list->Add(L"D", DeviceConnected);
  callback->OperationCompleted(nullptr, nullptr, operation);
  EXPECT_EQ(L"C", callback->SerialNumber());
  list->m_items.resize(2);
  callback->OperationCompleted(nullptr, nullptr, operation);
  EXPECT_EQ(L"C", callback->SerialNumber());
  callback->Release();
}

TEST(CallBack, AFailedOperationShowsOneWarningWithOrWithoutAnErrorObject) {
  PluginUi saved = PluginUiSeam();
  PluginUiSeam() = PluginUi{&RecordingMenu, &RecordingBox};
  g_seam = SeamRecord();
  CCallBack* callback = new CCallBack;
  CComPtr<ICreateErrorInfo> made;
  ASSERT_EQ(S_OK, ::CreateErrorInfo(&made));
  made->SetDescription(const_cast<LPOLESTR>(L"The phone is not connected"));
  CComPtr<IErrorInfo> error;
  made->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error));
  EXPECT_EQ(S_OK, callback->OperationFailed(nullptr, nullptr, E_FAIL, error));
  ASSERT_EQ(1u, g_seam.boxes.size());
  EXPECT_EQ(L"The phone is not connected", g_seam.boxes[0].first);
  EXPECT_EQ(L"Warning", g_seam.boxes[0].second);
  EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), g_seam.boxType & MB_ICONMASK);
  EXPECT_EQ(S_OK, callback->OperationFailed(nullptr, nullptr, E_ACCESSDENIED, nullptr));
  ASSERT_EQ(2u, g_seam.boxes.size());
  EXPECT_FALSE(g_seam.boxes[1].first.empty());
  EXPECT_EQ(L"Warning", g_seam.boxes[1].second);
  callback->Release();
  PluginUiSeam() = saved;
}

}  // namespace
