# Installs the build into a scratch DESTDIR as a package would (prefix /usr)
# and checks what a desktop gets: exactly these files, a valid desktop entry,
# valid AppStream data, icons of the sizes their folders promise, and a
# program that runs from there.
set(dest ${BUILD_DIR}/install-test)
file(REMOVE_RECURSE ${dest})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${dest} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${out}")
endif()

set(expected
  usr/bin/daubix
  usr/share/applications/${APP_ID}.desktop
  usr/share/doc/daubix/changelog.gz
  usr/share/doc/daubix/copyright
  usr/share/icons/hicolor/128x128/apps/${APP_ID}.png
  usr/share/icons/hicolor/256x256/apps/${APP_ID}.png
  usr/share/icons/hicolor/48x48/apps/${APP_ID}.png
  usr/share/icons/hicolor/scalable/apps/${APP_ID}.svg
  usr/share/man/man1/daubix.1.gz
  usr/share/metainfo/${APP_ID}.metainfo.xml)
file(GLOB_RECURSE installed RELATIVE ${dest} LIST_DIRECTORIES false ${dest}/*)
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
  string(REPLACE ";" "\n  " got "${installed}")
  message(FATAL_ERROR "installed files:\n  ${got}")
endif()

function(check_tool)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${ARGN}: exit ${code}\n${out}")
  endif()
endfunction()
check_tool(desktop-file-validate ${dest}/usr/share/applications/${APP_ID}.desktop)
check_tool(appstreamcli validate --no-net ${dest}/usr/share/metainfo/${APP_ID}.metainfo.xml)

# Width and height from each PNG's header (big-endian, at bytes 16 and 20).
foreach(size 48 128 256)
  set(png ${dest}/usr/share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
  file(READ ${png} head LIMIT 24 HEX)
  string(SUBSTRING "${head}" 0 16 signature)
  string(SUBSTRING "${head}" 32 8 w)
  string(SUBSTRING "${head}" 40 8 h)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT w EQUAL size OR NOT h EQUAL size)
    message(FATAL_ERROR "${png}: ${signature}, ${w} x ${h}")
  endif()
endforeach()

execute_process(COMMAND ${dest}/usr/bin/daubix --version RESULT_VARIABLE code OUTPUT_VARIABLE out)
if(NOT code EQUAL 0 OR NOT out MATCHES "^daubix ")
  message(FATAL_ERROR "the installed daubix --version: exit ${code}, ${out}")
endif()
file(REMOVE_RECURSE ${dest})
