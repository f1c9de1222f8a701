# Sources of the window toolkit and the seven windows (library daubix_ui):
# every .cpp under src/ that is not part of the raster core or the entry point.
file(GLOB_RECURSE DAUBIX_UI_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h)
get_target_property(_core_sources daubix_core SOURCES)
foreach(_s IN LISTS _core_sources)
  list(REMOVE_ITEM DAUBIX_UI_SOURCES ${PROJECT_SOURCE_DIR}/${_s})
endforeach()
list(FILTER DAUBIX_UI_SOURCES EXCLUDE REGEX "/src/app/main\\.cpp$")
list(FILTER DAUBIX_UI_SOURCES EXCLUDE REGEX "/src/(canvas/(surface|pixel_format|raster|bitmap_file|text_fields)|colour/colour_conversions)\\.h$")
set(DAUBIX_UI_MAIN "")
if(EXISTS ${PROJECT_SOURCE_DIR}/src/app/main.cpp)
  set(DAUBIX_UI_MAIN ${PROJECT_SOURCE_DIR}/src/app/main.cpp)
endif()
