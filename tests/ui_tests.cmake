# Window layer: in-process tests of the toolkit and the windows, offscreen.
# Every test source that is not one of the core's.
file(GLOB_RECURSE DAUBIX_UI_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
get_target_property(_core_test_sources daubix_core_tests SOURCES)
foreach(_s IN LISTS _core_test_sources)
  list(REMOVE_ITEM DAUBIX_UI_TEST_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${_s})
endforeach()
list(FILTER DAUBIX_UI_TEST_SOURCES EXCLUDE REGEX "/tests/canvas/picture_test_util\\.h$")
if(DAUBIX_UI_TEST_SOURCES)
  # The picture helper is shared with the core tests.
  add_executable(daubix_ui_tests ${DAUBIX_UI_TEST_SOURCES} canvas/picture_test_util.cpp)
  target_include_directories(daubix_ui_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(daubix_ui_tests PRIVATE daubix_ui Qt6::Test GTest::gtest)
  gtest_discover_tests(daubix_ui_tests DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endif()
