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

# A TAMIRE.INI that is no settings file counts as missing: the shipped default is read in
# place, with one line naming the file and why, and the game runs on its built-in voice.
function(expect_settings_refused kind)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "QUELVAR_DATA_DIR=${DATA}" "${PROGRAM}" --console=headless
            "--config-dir=${WORK}/config" "--keys=${WORK}/ok.keys" --speech=builtin "--transcript=${WORK}/transcript"
    RESULT_VARIABLE status ERROR_VARIABLE said OUTPUT_QUIET TIMEOUT 60)
  file(READ "${WORK}/transcript" transcript)
  if(NOT status EQUAL 0 OR NOT said MATCHES "TAMIRE.INI [^\n]*counts as missing; using the default settings"
     OR NOT transcript MATCHES "Veja voc")
    message(FATAL_ERROR "TAMIRE.INI as ${kind}: status ${status}: ${said}\n${transcript}")
  endif()
  file(REMOVE_RECURSE "${WORK}/config")
  file(MAKE_DIRECTORY "${WORK}/config")
endfunction()
file(REMOVE_RECURSE "${WORK}/config")
file(MAKE_DIRECTORY "${WORK}/config/TAMIRE.INI")
expect_settings_refused("a folder")
execute_process(COMMAND mkfifo "${WORK}/config/TAMIRE.INI")
expect_settings_refused("a FIFO")
file(CREATE_LINK /dev/zero "${WORK}/config/TAMIRE.INI" SYMBOLIC)
expect_settings_refused("a link to /dev/zero")
file(CREATE_LINK "${WORK}/config/loop" "${WORK}/config/TAMIRE.INI" SYMBOLIC)
file(CREATE_LINK "${WORK}/config/TAMIRE.INI" "${WORK}/config/loop" SYMBOLIC)
expect_settings_refused("a link loop")
file(CREATE_LINK "${WORK}/config/nowhere" "${WORK}/config/TAMIRE.INI" SYMBOLIC)
expect_settings_refused("a dangling link")
execute_process(COMMAND truncate -s 70M "${WORK}/config/TAMIRE.INI")
expect_settings_refused("70 MiB")
execute_process(COMMAND head -c 4096 /dev/urandom OUTPUT_FILE "${WORK}/config/TAMIRE.INI")
expect_settings_refused("random bytes")

# espeak-ng's data missing: espeak-ng counts as no engine, and the game plays on its
# built-in voice with one line saying so.
file(MAKE_DIRECTORY "${WORK}/no-espeak-data")
file(COPY "${DATA}/TAMIRE.INI" DESTINATION "${WORK}/config")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "QUELVAR_DATA_DIR=${DATA}" "ESPEAK_DATA_PATH=${WORK}/no-espeak-data" "${PROGRAM}"
          --console=headless "--config-dir=${WORK}/config" "--keys=${WORK}/ok.keys" --speech=espeak
          "--transcript=${WORK}/transcript"
  RESULT_VARIABLE status ERROR_VARIABLE said OUTPUT_QUIET TIMEOUT 60)
file(READ "${WORK}/transcript" transcript)
if(NOT status EQUAL 0 OR NOT said STREQUAL "quelvar: espeak-ng could not be started; the built-in voice speaks instead\n"
   OR NOT transcript MATCHES "Veja voc")
  message(FATAL_ERROR "without espeak-ng's data: status ${status}: ${said}")
endif()
