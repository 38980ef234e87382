# The wizard's pages, their host and workers, and the support installation
# hand-over; the page templates go into the program.
target_sources(pairwell_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CWizardPage.cpp ${CMAKE_CURRENT_LIST_DIR}/CWizardPageHost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CPageThread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CWelcomePage.cpp ${CMAKE_CURRENT_LIST_DIR}/CSelectMediaPage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CConnectCablePage.cpp ${CMAKE_CURRENT_LIST_DIR}/CActivateInfraredPage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CSearchPhonePage.cpp ${CMAKE_CURRENT_LIST_DIR}/CAuthenticatePage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CSupportInstallPage.cpp ${CMAKE_CURRENT_LIST_DIR}/CSetupCompletePage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SupportInstall.cpp)
target_include_directories(pairwell_core PUBLIC ${CMAKE_SOURCE_DIR}/supportsetup/include)
target_link_libraries(pairwell_core PUBLIC pairwell_driver SutrelSupportSetup comctl32)
target_sources(Pairwell PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Pages.rc)
