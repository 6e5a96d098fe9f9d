# Without a BrlAPI server the game plays on: --braille=on says why in one line on standard
# error, and a run that did not ask for a display says nothing.
#   -DPROGRAM=quelvar -DWORK=folder -DDATA=test voice folder
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/keys" "fim\nn<NoEnter>\n")
foreach(use on auto)
  file(MAKE_DIRECTORY "${WORK}/${use}")
  file(COPY "${DATA}/TAMIRE.INI" DESTINATION "${WORK}/${use}")
  # Port 4101 + 999 on loopback: nothing listens there in the tests.
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "QUELVAR_DATA_DIR=${DATA}" "BRLAPI_HOST=127.0.0.1:999"
            "${PROGRAM}" --console=headless --speech=none "--braille=${use}" "--keys=${WORK}/keys"
            "--config-dir=${WORK}/${use}"
    RESULT_VARIABLE status ERROR_VARIABLE errors TIMEOUT 60)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "--braille=${use} without a server ended with ${status}: ${errors}")
  endif()
  string(REGEX MATCHALL "no Braille display" told "${errors}")
  list(LENGTH told times)
  if(use STREQUAL "on" AND NOT times EQUAL 1)
    message(FATAL_ERROR "--braille=on without a server should say so once, not ${times} times:\n${errors}")
  elseif(use STREQUAL "auto" AND NOT errors STREQUAL "")
    message(FATAL_ERROR "a headless run that did not ask for a display wrote:\n${errors}")
  endif()
endforeach()
