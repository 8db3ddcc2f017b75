# The diagnostics windows, their job builders and pellumctl info / print-text
# against the virtual printer on 127.0.0.1, through the real printer
# libraries.
if(TARGET pellum-virtual-printer)
  pellum_add_test(diagnostics_integration_tests
    ${CMAKE_CURRENT_LIST_DIR}/diagnostics_VirtualPrinterTest.cpp GUI)
  target_include_directories(diagnostics_integration_tests PRIVATE
    ${CMAKE_SOURCE_DIR}/tools/virtual-printer/testing)
  add_dependencies(diagnostics_integration_tests pellum-virtual-printer pellumctl)
endif()
