# Downloads against the virtual printer on 127.0.0.1: the file window in
# process, pellumctl's files and firmware commands as programs.
if(TARGET pellum-virtual-printer)
  pellum_add_test(downloads_integration_tests
    ${CMAKE_CURRENT_LIST_DIR}/downloads_VirtualPrinterTest.cpp GUI)
  target_include_directories(downloads_integration_tests PRIVATE
    ${CMAKE_SOURCE_DIR}/tools/virtual-printer/testing ${CMAKE_SOURCE_DIR}/tests/downloads)
  add_dependencies(downloads_integration_tests pellum-virtual-printer pellumctl)
  foreach(lib TSPL_SDK CPCL_SDK ESC_SDK)
    if(TARGET ${lib})
      add_dependencies(downloads_integration_tests ${lib})
    endif()
  endforeach()
endif()
