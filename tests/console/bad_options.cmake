# Bad options and unreadable files end with exit code 2 and an English message.
function(expect_failure)
  execute_process(COMMAND ${PROGRAM} ${ARGN} RESULT_VARIABLE result ERROR_VARIABLE err OUTPUT_QUIET)
  if(NOT result EQUAL 2)
    message(FATAL_ERROR "quelvar ${ARGN}: exit ${result}, expected 2")
  endif()
  if(NOT err MATCHES "quelvar: ")
    message(FATAL_ERROR "quelvar ${ARGN}: no message on standard error")
  endif()
endfunction()
expect_failure(--frobnicate)
expect_failure(--console=teletype)
expect_failure(--keys=/nonexistent/file.keys)
expect_failure(--transcript)
expect_failure(--config-dir=/nonexistent/folder)
expect_failure(--speech=festival)
# A window needs a display; SDL's off-screen drivers do not count as one.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=SDL_VIDEODRIVER
                        ${PROGRAM} --console=window
                RESULT_VARIABLE result ERROR_VARIABLE err OUTPUT_QUIET TIMEOUT 30)
if(NOT result EQUAL 2 OR NOT err MATCHES "no display")
  message(FATAL_ERROR "--console=window without a display: exit ${result}, ${err}")
endif()
execute_process(COMMAND ${PROGRAM} --help RESULT_VARIABLE result OUTPUT_VARIABLE out)
if(NOT result EQUAL 0 OR NOT out MATCHES "--console=KIND" OR NOT out MATCHES "Ctrl\\+Shift\\+F9"
   OR NOT out MATCHES "--speech=ENGINE")
  message(FATAL_ERROR "--help failed")
endif()
