# The installed command answers --help and --version with no display at all
# (an xcb platform without DISPLAY would abort if a window were attempted),
# and refuses an unknown option with status 2.
function(run_daubix expected_code out_var err_var)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb
      ${DAUBIX} ${ARGN}
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
  if(NOT code STREQUAL expected_code)
    message(FATAL_ERROR "daubix ${ARGN}: exit ${code}, expected ${expected_code}\n${out}${err}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
  set(${err_var} "${err}" PARENT_SCOPE)
endfunction()

run_daubix(0 out err --help)
if(NOT out MATCHES "^Usage: daubix \\[options\\] \\[FILE\\]\n" OR NOT err STREQUAL "")
  message(FATAL_ERROR "daubix --help printed:\n${out}\n---\n${err}")
endif()
run_daubix(0 out err --version)
if(NOT out MATCHES "^daubix [0-9.]+\n$")
  message(FATAL_ERROR "daubix --version printed: ${out}")
endif()
run_daubix(2 out err --no-such-option)
if(NOT out STREQUAL "" OR NOT err MATCHES "Unknown option 'no-such-option'")
  message(FATAL_ERROR "daubix --no-such-option printed:\n${out}\n---\n${err}")
endif()
