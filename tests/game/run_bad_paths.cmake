# Files that cannot be used end the program with status 2 and a message before the game
# starts, never with an abort: a folder, a FIFO or a device as the key script, and output
# files that cannot be created (a FIFO that nothing reads among them). An output that
# fails while the game runs is told once and the game goes on, ending with status 1.
#   -DPROGRAM=quelvar -DWORK=folder -DDATA=test voice folder
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/config")
file(COPY "${DATA}/TAMIRE.INI" DESTINATION "${WORK}/config")
file(WRITE "${WORK}/ok.keys" "fim\nn\n")
execute_process(COMMAND mkfifo "${WORK}/fifo.keys")

function(expect_status expected)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "QUELVAR_DATA_DIR=${DATA}" "${PROGRAM}" --console=headless
            "--config-dir=${WORK}/config" ${ARGN}
    RESULT_VARIABLE status ERROR_VARIABLE said OUTPUT_QUIET TIMEOUT 60)
  if(NOT status EQUAL expected)
    message(FATAL_ERROR "${ARGN}: status ${status}, not ${expected}: ${said}")
  endif()
  if(expected EQUAL 2 AND NOT said MATCHES "quelvar: ")
    message(FATAL_ERROR "${ARGN}: no message on stderr")
  endif()
endfunction()

expect_status(2 "--keys=${WORK}")
expect_status(2 "--keys=${WORK}/fifo.keys")
expect_status(2 "--keys=/dev/zero")
expect_status(2 "--keys=${WORK}/ok.keys" "--screen-dump=${WORK}/none/screen")
expect_status(2 "--keys=${WORK}/ok.keys" "--audio-out=${WORK}/none/sound.wav")
expect_status(2 "--keys=${WORK}/ok.keys" "--transcript=${WORK}")
expect_status(0 "--keys=${WORK}/ok.keys" "--screen-dump=${WORK}/screen" "--audio-out=${WORK}/sound.wav")
if(NOT EXISTS "${WORK}/screen" OR NOT EXISTS "${WORK}/sound.wav")
  message(FATAL_ERROR "the output files were not written")
endif()

execute_process(COMMAND mkfifo "${WORK}/fifo.out")
expect_status(2 "--keys=${WORK}/ok.keys" "--transcript=${WORK}/fifo.out")
if(EXISTS /dev/full)
  foreach(output --transcript --speech-log --screen-dump --audio-out)
    set(story "--transcript=${WORK}/transcript")
    if(output STREQUAL "--transcript")
      set(story "--speech-log=${WORK}/transcript")
    endif()
    file(REMOVE "${WORK}/transcript")
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env "QUELVAR_DATA_DIR=${DATA}" "${PROGRAM}" --console=headless
              "--config-dir=${WORK}/config" "--keys=${WORK}/ok.keys" "${output}=/dev/full" "${story}"
      RESULT_VARIABLE status ERROR_VARIABLE said OUTPUT_QUIET TIMEOUT 60)
    string(REGEX MATCHALL "cannot write [^\n]*/dev/full" told "${said}")
    list(LENGTH told times)
    if(NOT status EQUAL 1 OR NOT times EQUAL 1)
      message(FATAL_ERROR "${output}=/dev/full: status ${status}, told ${times} times: ${said}")
    endif()
    # The game went on to its end: the farewell after "fim" was written.
    file(READ "${WORK}/transcript" transcript)
    if(NOT transcript MATCHES "Veja voc")
      message(FATAL_ERROR "${output}=/dev/full: the game did not go on: ${transcript}")
    endif()
  endforeach()
endif()

# TAMIRE.INI as a folder is no configuration at all: with only the built-in voice asked
# for, start-up reports its failure (status 1 after the message), it does not abort; and
# otherwise espeak-ng speaks instead.
file(REMOVE "${WORK}/config/TAMIRE.INI")
file(MAKE_DIRECTORY "${WORK}/config/TAMIRE.INI")
expect_status(1 "--keys=${WORK}/ok.keys" --speech=builtin)
expect_status(0 "--keys=${WORK}/ok.keys")
