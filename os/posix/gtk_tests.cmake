# Tests of the GTK message boxes, of a whole run through them and of the folder chooser, each on a virtual
# display of its own (with_xvfb.sh); skipped when Xvfb or xdotool is missing. The boxes'
# screenshots land in <build>/screenshots.
if(NOT TOLLWICK_BUILD_TESTS)
  return()
endif()
add_executable(gtk_dialog_tests desktop_dialog_gtk_test.cpp)
tollwick_test_code(gtk_dialog_tests)
target_link_libraries(gtk_dialog_tests PRIVATE tollwick_desktop_dialog PkgConfig::GTK3
  GTest::gtest_main)
tollwick_link_system(gtk_dialog_tests OS_ONLY)
tollwick_warnings(gtk_dialog_tests)

set(gtk_screenshots ${CMAKE_BINARY_DIR}/screenshots)
set(with_xvfb bash ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh)
add_test(NAME gtk_dialog_tests
  COMMAND ${with_xvfb} $<TARGET_FILE:gtk_dialog_tests> --gtest_filter=-DisplayGone.*)
add_test(NAME gtk_dialog_display_gone_test
  COMMAND ${with_xvfb} $<TARGET_FILE:gtk_dialog_tests> --gtest_filter=DisplayGone.*)
add_test(NAME gtk_tollwick_run_test
  COMMAND ${with_xvfb} bash ${CMAKE_CURRENT_SOURCE_DIR}/gtk_tollwick_run_test.sh
    ${CMAKE_BINARY_DIR}/bin ${gtk_screenshots})
add_test(NAME gtk_folder_chooser_test
  COMMAND ${with_xvfb} bash ${CMAKE_CURRENT_SOURCE_DIR}/gtk_folder_chooser_test.sh
    ${CMAKE_BINARY_DIR}/bin ${gtk_screenshots})
# The boxes label their buttons in the locale's language: the tests run in a Western
# one whatever the caller's (the Russian run names its own).
set_tests_properties(gtk_dialog_tests gtk_dialog_display_gone_test gtk_tollwick_run_test
  gtk_folder_chooser_test PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120
  ENVIRONMENT "TOLLWICK_SCREENSHOTS=${gtk_screenshots};LC_ALL=C.UTF-8")
# The whole run needs the products in <build>/bin.
add_dependencies(gtk_dialog_tests tollwick zelkor-kit ZELKORSEC zelkor_dll zelkor_dll_ru)
