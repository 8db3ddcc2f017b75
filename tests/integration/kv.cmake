# The key-value settings windows against the virtual printer on 127.0.0.1.
if(TARGET pellum-virtual-printer)
  pellum_add_test(kv_integration_tests
    ${CMAKE_CURRENT_LIST_DIR}/kv_SettingsWindowsTest.cpp GUI)
  target_include_directories(kv_integration_tests PRIVATE
    ${CMAKE_SOURCE_DIR}/tools/virtual-printer/testing)
  add_dependencies(kv_integration_tests pellum-virtual-printer)
  foreach(library TSPL_SDK CPCL_SDK ESC_SDK)
    if(TARGET ${library})
      add_dependencies(kv_integration_tests ${library})
    endif()
  endforeach()
endif()
