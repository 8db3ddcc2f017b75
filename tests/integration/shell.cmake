# The shell's modules and pellumctl's key-value commands against the virtual
# printer on 127.0.0.1.
if(TARGET pellum-virtual-printer)
  pellum_add_test(shell_integration_tests
    ${CMAKE_CURRENT_LIST_DIR}/shell_ServiceFunctionsTest.cpp)
  target_include_directories(shell_integration_tests PRIVATE
    ${CMAKE_SOURCE_DIR}/tools/virtual-printer/testing)
  add_dependencies(shell_integration_tests pellum-virtual-printer pellumctl)
endif()
