#pragma once
#include <memory>
#include <string>
#include "AppFxControls.h"
#include "CDeviceSearch.h"
#include "CPageThread.h"
#include "CWizardPage.h"
#include "resource.h"

// Lists known devices or searches for them through the search worker, and
// unpairs the selected one. Its result and unpair watchers only post to the
// page; they stop on an event and are joined when the page goes.
class CSearchPhonePage : public CWizardPage<CSearchPhonePage> {
public:
  enum { IDD = IDD_SEARCH_PHONE_PAGE };
  // Lists the known devices (search false) or searches (true).
  void Start(bool search);
  // The selected row's entry; false when none is selected.
  bool GetSelectedEntry(CSearchEntry* entry) const;
  void Unpair();
  // The Bluetooth-mode guid handed over by the dialog.
  void SetGuid(const std::wstring& guid) { m_guid = guid; }

  BEGIN_MSG_MAP(CSearchPhonePage)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MESSAGE_HANDLER(WM_SHOWWINDOW, OnShowWindow)
    MESSAGE_HANDLER(kResultsMessage, OnResults)
    MESSAGE_HANDLER(kUnpairMessage, OnUnpairAnswer)
    MESSAGE_HANDLER(kProgressMessage, OnProgress)
    COMMAND_ID_HANDLER(IDC_SEARCH_AGAIN, OnSearchAgain)
    COMMAND_ID_HANDLER(IDC_UNPAIR, OnUnpair)
    NOTIFY_ID_HANDLER(IDC_SEARCH_LIST, OnListNotify)
    CHAIN_MSG_MAP(CWizardPage<CSearchPhonePage>)
  END_MSG_MAP()

  BOOL PreTranslateMessage(MSG* msg) override;

  // Posted by the watchers and the progress sink.
  static const UINT kResultsMessage = WM_APP + 20;   // wParam: the result code
  static const UINT kUnpairMessage = WM_APP + 21;    // wParam: 1 done, 0 failed or no answer
  static const UINT kProgressMessage = WM_APP + 22;

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnShowWindow(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnResults(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnUnpairAnswer(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnProgress(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSearchAgain(WORD, WORD, HWND, BOOL&);
  LRESULT OnUnpair(WORD, WORD, HWND, BOOL&);
  LRESULT OnListNotify(int, LPNMHDR, BOOL&);
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);

  void ShowResults(DWORD code);
  void UpdateSelection();
  std::wstring HintFor(const CSearchEntry& entry);
  const CSearchEntry* EntryOfRow(int row) const;
  void EnableNext(bool enable);
  void StartResultWatcher();
  void StartUnpairWatcher();

  std::wstring m_guid;
  CSearchList m_entries;  // the rows, by their entry id
  DWORD m_unpairId = 0;   // the entry being unpaired
  bool m_workerStarted = false;
  CAppFxListCtrl m_list;
  CAppFxProgressCtrl m_progress;
  CAppFxImageList m_images;
  CXeluButtonCtrl m_searchAgain;
  CXeluButtonCtrl m_unpair;
  CXeluAniStaticSkin m_animationSkin{3035, 3043, 250};
  CXeluAniStaticCtrl m_animation;
  std::shared_ptr<ISearchProgressSink> m_progressSink;
  CPageThread m_resultWatcher;
  CPageThread m_unpairWatcher;
};
