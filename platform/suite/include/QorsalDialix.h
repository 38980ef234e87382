#pragma once
#include <windows.h>

// The suite connection-manager library's information readers, as the wizard
// and the support-setup library call them. Texts live in the objects
// themselves: each module links its own runtime, so no library object
// crosses the library's boundary.

#ifdef QORSAL_DIALIX_EXPORTS
#define QORSALAPI __declspec(dllexport)
#else
#define QORSALAPI __declspec(dllimport)
#endif

// Where the suite keeps what the readers answer: HKLM, values "Norvel" (the
// suite information text) and "UIManufacturer".
#define QORSAL_DIALIX_KEY L"SOFTWARE\\Qorsal\\Dialix"

// The suite information text; the fixed text below when the suite has none.
class QORSALAPI CNorvelInfoReader {
public:
  CNorvelInfoReader();
  // Valid while the reader lives.
  LPCWSTR GetNorvel();

  static const DWORD kCapacity = 260;

private:
  WCHAR m_text[kCapacity];
};

#define QORSAL_DIALIX_DEFAULT_NORVEL L"Qorsal Dialix Suite"

// The suite's user-interface information, read once by ReadNorvel.
class QORSALAPI CNorvel2InfoReader {
public:
  CNorvel2InfoReader();
  // FALSE when the suite keeps no information.
  BOOL ReadNorvel();
  // Null when the suite names no manufacturer; valid while the reader lives.
  LPCWSTR GetUIManufacturer() const;

  static const DWORD kCapacity = 128;

private:
  BOOL m_hasManufacturer;
  WCHAR m_manufacturer[kCapacity];
};

// Error reporting of the suite's programs; called once at start.
extern "C" QORSALAPI void WINAPI SutrelInitializeWER();

// The suite's language and its writing direction.
class QORSALAPI CRTLHelper {
public:
  // The language id text (such as "ENG") under root\keyPath\valueName, cut
  // to the capacity and terminated; FALSE and an empty text when missing.
  static BOOL GetLangID(HKEY root, LPCWSTR keyPath, LPCWSTR valueName, LPWSTR langId, DWORD capacity);

  explicit CRTLHelper(LPCWSTR langId);
  // True for a language written from right to left.
  BOOL IsRTL() const;
  // The dialog template of that id in the module with every control's x
  // mirrored (x becomes width - x - cx), in global memory the caller frees
  // with GlobalFree; null when the module has no such dialog. flag 0 keeps
  // the template's extended style; otherwise it also gets WS_EX_LAYOUTRTL.
  static HGLOBAL FlipDialog(HINSTANCE module, UINT dialogId, BOOL flag);

  static const DWORD kCapacity = 16;

private:
  WCHAR m_langId[kCapacity];
};

// The suite UI library's module-wide settings: the module its bitmaps come
// from and the layout of its windows.
class QORSALAPI CXeluLib {
public:
  // The skin module, or the program when it has none.
  static void Init(HINSTANCE program, HINSTANCE skin);
  static HINSTANCE m_hInstRes;
  static DWORD m_dwLayout;  // 1: right to left
};

// A colour of a resource module (ids 600 to 604); black when it has none.
extern "C" QORSALAPI COLORREF WINAPI SutrelLoadColor(HINSTANCE module, UINT id);

// --- Skins: which bitmaps of CXeluLib::m_hInstRes a control draws with.

// A bitmap read from a module's resource of type "PNG" and its size.
struct XELU_BITMAP {
  HBITMAP hBitmap;
  int width;
  int height;
};

class QORSALAPI CXeluResourceManager {
public:
  // Decodes the module's resource id of that type; FALSE (and a cleared
  // record) when it is missing or cannot be decoded.
  static BOOL LoadBitmapW(XELU_BITMAP* bitmap, HINSTANCE module, UINT id, LPCWSTR type);
  static void UnloadBitmap(XELU_BITMAP* bitmap);
};

class QORSALAPI CXeluBitmap {
public:
  // A new bitmap, the left-right mirror of the given one; null on failure.
  static HBITMAP Mirror(HBITMAP bitmap);
};

// States of a skinned button.
enum { XELU_STATE_NORMAL, XELU_STATE_HOT, XELU_STATE_PRESSED, XELU_STATE_DISABLED, XELU_STATE_COUNT };

// Per state: left edge, middle (stretched) and right edge, and text colour.
struct XELU_BUTTON_STATE {
  UINT bitmaps[3];
  COLORREF textColor;
};

class QORSALAPI CXeluButtonSkin {
public:
  CXeluButtonSkin();
  void SetState(int state, UINT left, UINT middle, UINT right, COLORREF textColor);
  const XELU_BUTTON_STATE& GetState(int state) const;
  // The skin every button without one of its own draws with.
  static void SetDefaultSkinDef(const CXeluButtonSkin& skin);
  static const CXeluButtonSkin& GetDefaultSkinDef();

private:
  XELU_BUTTON_STATE m_states[XELU_STATE_COUNT];
};

class QORSALAPI CXeluBarStaticSkin {
public:
  explicit CXeluBarStaticSkin(UINT bitmap = 3027);
  UINT GetBitmap() const { return m_bitmap; }
  static void SetDefaultSkinDef(const CXeluBarStaticSkin& skin);
  static const CXeluBarStaticSkin& GetDefaultSkinDef();

private:
  UINT m_bitmap;
};

class QORSALAPI CXeluStaticBitmapSkin {
public:
  explicit CXeluStaticBitmapSkin(UINT bitmap = 0);
  UINT GetBitmap() const { return m_bitmap; }

private:
  UINT m_bitmap;
};

class QORSALAPI CXeluAniStaticSkin {
public:
  CXeluAniStaticSkin(UINT firstBitmap = 0, UINT lastBitmap = 0, UINT frameMilliseconds = 250);
  UINT GetFirst() const { return m_first; }
  UINT GetLast() const { return m_last; }
  UINT GetFrameTime() const { return m_frame; }

private:
  UINT m_first, m_last, m_frame;
};

class QORSALAPI CXeluTabSkin {
public:
  CXeluTabSkin();

private:
  UINT m_reserved;
};

// --- Controls. Each takes over an existing window (Attach, by subclassing)
// or creates one at a rectangle (Create), and draws it with its skin. Used
// on the thread that owns the window; Detach (or destruction) gives the
// window back.
struct CXeluControlState;

class QORSALAPI CXeluStaticCtrl {
public:
  CXeluStaticCtrl();
  virtual ~CXeluStaticCtrl();
  // Without a bitmap skin the control draws its text over its parent's
  // background.
  BOOL Attach(HWND window, const CXeluStaticBitmapSkin* skin = nullptr);
  BOOL Create(HWND parent, const RECT& rect, UINT id, const CXeluStaticBitmapSkin* skin = nullptr);
  void Detach();
  HWND GetHwnd() const;
  void SetTextColor(COLORREF color);
  void SetFont(HFONT font);

protected:
  CXeluControlState* m_state;

private:
  CXeluStaticCtrl(const CXeluStaticCtrl&);
  CXeluStaticCtrl& operator=(const CXeluStaticCtrl&);
};

// A horizontal bar under a title.
class QORSALAPI CXeluBarStaticCtrl : public CXeluStaticCtrl {
public:
  BOOL Attach(HWND window, const CXeluBarStaticSkin* skin = nullptr);
  BOOL Create(HWND parent, const RECT& rect, UINT id, const CXeluBarStaticSkin* skin = nullptr);
};

// A push button, check box or radio button drawn in the skin's states; it
// keeps its id, text and notifications.
class QORSALAPI CXeluButtonCtrl : public CXeluStaticCtrl {
public:
  BOOL Attach(HWND window, const CXeluButtonSkin* skin = nullptr);
};

// Cycles the skin's bitmaps first to last at its frame time while started.
class QORSALAPI CXeluAniStaticCtrl : public CXeluStaticCtrl {
public:
  BOOL Attach(HWND window, const CXeluAniStaticSkin* skin);
  BOOL Create(HWND parent, const RECT& rect, UINT id, const CXeluAniStaticSkin* skin);
  void StartAnimation();
  void StopAnimation();
  BOOL IsAnimating() const;
};

// Paints a window's client area with a skin bitmap, stretched, and lets its
// static and button children draw over it.
class QORSALAPI CXeluBackBuffer {
public:
  explicit CXeluBackBuffer(UINT bitmap = 3001);
  ~CXeluBackBuffer();
  BOOL SetBackground(HWND window);
  void Release();

private:
  CXeluBackBuffer(const CXeluBackBuffer&);
  CXeluBackBuffer& operator=(const CXeluBackBuffer&);
  UINT m_bitmap;
  CXeluControlState* m_state;
};

// A modal message box drawn with the skins: the text, its buttons by the
// style (MB_OK, MB_OKCANCEL, MB_YESNO, MB_YESNOCANCEL) and its icon (MB_ICONERROR,
// MB_ICONWARNING, MB_ICONQUESTION, MB_ICONINFORMATION). Like the system's
// box it is a dialog ("#32770") whose text is the static control 0xFFFF and
// whose buttons keep the ids IDOK, IDCANCEL, IDYES and IDNO.
class QORSALAPI CXeluMessageBox {
public:
  CXeluMessageBox();
  ~CXeluMessageBox();
  // Captions of OK, Cancel, Yes and No from the module's strings.
  void SetButtonCaptions(HINSTANCE module, UINT ok, UINT cancel, UINT yes, UINT no);
  void SetBackgroundSkin(const CXeluStaticBitmapSkin& skin);
  void SetButtonSkin(const CXeluButtonSkin& skin);
  void SetTextColor(COLORREF color);
  // The pressed button's id (IDYES is 6); IDCANCEL when closed; 0 when the
  // box cannot be shown. The owner's top-level window is disabled while the
  // box shows. Configured and shown on one thread at a time.
  int Show(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);

  struct CSettings;  // the library's own

private:
  CXeluMessageBox(const CXeluMessageBox&);
  CXeluMessageBox& operator=(const CXeluMessageBox&);
  CSettings* m_settings;
};
