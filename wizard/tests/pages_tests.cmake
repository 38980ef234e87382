# The pages in process: a program of their own with the page templates,
# run inside Wine's virtual desktop so that their pictures have frames.
if(NOT DIALIX_TESTS)
  return()
endif()
add_executable(wizard_page_tests PageTestHost.cpp PagesTests.cpp SupportInstallTests.cpp FakeConnectionManager.cpp
               ${CMAKE_CURRENT_LIST_DIR}/../Pages.rc)
target_include_directories(wizard_page_tests PRIVATE ${CMAKE_SOURCE_DIR}/platform/phone/tests
                           ${CMAKE_SOURCE_DIR}/tests/support ${CMAKE_SOURCE_DIR}/common/tests)
target_link_libraries(wizard_page_tests PRIVATE pairwell_core pairwell_driver dialix_phonesim gmock gtest_main)
add_dependencies(wizard_page_tests Lanyx phonectl pairwell_resources SutrelSupportSetup qorsal_connection_manager)
add_test(NAME wizard_page_tests COMMAND bash ${CMAKE_SOURCE_DIR}/gui/tests/run-in-desktop.sh
         $<TARGET_FILE:wizard_page_tests> ${CMAKE_BINARY_DIR}/screenshots)
# They plug phones into the prefix's default world, which the cable detector's
# and the service's tests use too.
set_tests_properties(wizard_page_tests PROPERTIES FIXTURES_REQUIRED "wine;wizard_connection_manager" TIMEOUT 300
                     RESOURCE_LOCK "screen;dialix_service;wizard_default_world" ENVIRONMENT "${DIALIX_TEST_ENV}")
