# Lays out the data delivered beside the programs in build/bin:
#   files/  every file of data/files, plus PellumLanguage.ini merged from data/lang
#   icons/  every file of data/icons
add_executable(lang-merge ${CMAKE_SOURCE_DIR}/tools/lang-merge/lang_merge.cpp)
set_target_properties(lang-merge PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

file(GLOB PELLUM_LANG_FRAGMENTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/lang/*.ini)
list(SORT PELLUM_LANG_FRAGMENTS)
file(GLOB_RECURSE PELLUM_DATA_FILES CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}/data
     ${CMAKE_SOURCE_DIR}/data/files/* ${CMAKE_SOURCE_DIR}/data/icons/*)

set(PELLUM_DATA_OUTPUTS)
foreach(rel IN LISTS PELLUM_DATA_FILES)
  set(out ${PELLUM_BIN_DIR}/${rel})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/data/${rel} ${out}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/${rel}
    COMMENT "Copying data/${rel}" VERBATIM)
  list(APPEND PELLUM_DATA_OUTPUTS ${out})
endforeach()

set(PELLUM_LANGUAGE_FILE ${PELLUM_BIN_DIR}/files/PellumLanguage.ini)
add_custom_command(OUTPUT ${PELLUM_LANGUAGE_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PELLUM_BIN_DIR}/files
  COMMAND lang-merge ${PELLUM_LANGUAGE_FILE} ${PELLUM_LANG_FRAGMENTS}
  DEPENDS lang-merge ${PELLUM_LANG_FRAGMENTS}
  COMMENT "Merging the language fragments into PellumLanguage.ini" VERBATIM)

add_custom_target(pellum-data ALL DEPENDS ${PELLUM_DATA_OUTPUTS} ${PELLUM_LANGUAGE_FILE})
