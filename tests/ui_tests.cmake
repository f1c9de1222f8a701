# Window layer: in-process tests of the toolkit and the windows, offscreen.
set(DAUBIX_UI_TEST_SOURCES
)
if(DAUBIX_UI_TEST_SOURCES)
  add_executable(daubix_ui_tests ${DAUBIX_UI_TEST_SOURCES})
  target_include_directories(daubix_ui_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(daubix_ui_tests PRIVATE daubix_ui Qt6::Test GTest::gtest)
  gtest_discover_tests(daubix_ui_tests DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endif()
