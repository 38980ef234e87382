# The wizard walked end to end in Wine's virtual desktop, in a prefix of its
# own; its screenshots share the screen, and it runs its own copy of the
# program, as the start-up test does.
if(TARGET Pairwell AND DIALIX_TESTS)
  dialix_add_script_test(e2e_wizard_flow ${CMAKE_SOURCE_DIR}/tests/e2e/wizard_flow.sh TIMEOUT 900)
  set_tests_properties(e2e_wizard_flow PROPERTIES RESOURCE_LOCK "screen;pairwell_program")
endif()
