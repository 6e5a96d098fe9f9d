# The whole program with --speech=speech-dispatcher beside daemons that misbehave: none at
# all, one answering garbage, one answering garbage to the first text, one leaving in the
# middle of speech, one never reporting the end of speech. Each time the game plays to its
# end on the built-in voice, ends with status 0, and one line on stderr says why.
#   -DPROGRAM=quelvar -DDAEMON=fake_speechd -DWORK=folder -DDATA=test voice folder
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/config")
file(COPY "${DATA}/TAMIRE.INI" DESTINATION "${WORK}/config")
file(WRITE "${WORK}/keys" "olhar\nfim\nn\n")

function(expect_fallback manner told)
  if(manner STREQUAL "none")
    set(runner ${CMAKE_COMMAND} -E env "SPEECHD_ADDRESS=unix_socket:${WORK}/none.sock"
               "SPEECHD_CMD=/nonexistent/speech-dispatcher")
  else()
    set(runner "${DAEMON}" ${manner} "${WORK}/speechd.sock")
  endif()
  execute_process(
    COMMAND ${runner} "${CMAKE_COMMAND}" -E env "QUELVAR_DATA_DIR=${DATA}" "${PROGRAM}" --console=headless
            "--keys=${WORK}/keys" "--config-dir=${WORK}/config" --speech=speech-dispatcher
            "--transcript=${WORK}/${manner}.txt"
    RESULT_VARIABLE status ERROR_VARIABLE said OUTPUT_QUIET TIMEOUT 120)
  file(READ "${WORK}/${manner}.txt" transcript)
  string(REGEX MATCHALL "quelvar:" lines "${said}")
  list(LENGTH lines count)
  if(NOT status EQUAL 0 OR NOT count EQUAL 1 OR NOT said MATCHES "${told}" OR NOT transcript MATCHES "Veja voc")
    message(FATAL_ERROR "${manner}: status ${status}, ${count} lines on stderr:\n${said}\n${transcript}")
  endif()
endfunction()

expect_fallback(none "speech-dispatcher could not be started; the built-in voice speaks instead")
expect_fallback(garbage "speech-dispatcher answers garbage: a line that is not a reply")
expect_fallback(half-line "speech-dispatcher closed the connection")
expect_fallback(garbage-when-spoken "does not answer; the built-in voice speaks from now on")
expect_fallback(leaves-mid-speech "does not answer; the built-in voice speaks from now on")
expect_fallback(never-ends "never reported the end of its speech; the built-in voice speaks from now on")
