# --speech=none: the whole game plays as it does with a voice (the same transcript and the
# same speech log), nothing is played, and no voice data is needed: the run is given a
# data folder without the voice, where a spoken run would stop at its start-up error.
#   -DPROGRAM=quelvar -DKEYS=full_game.keys -DWORK=folder -DDATA=test voice folder
include("${CMAKE_CURRENT_LIST_DIR}/../support/expect_same_file.cmake")
get_filename_component(name "${KEYS}" NAME_WE)
get_filename_component(folder "${KEYS}" DIRECTORY)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/config" "${WORK}/no-voice")
file(COPY "${DATA}/TAMIRE.INI" DESTINATION "${WORK}/config")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "QUELVAR_DATA_DIR=${WORK}/no-voice"
          "${PROGRAM}" --console=headless --speech=none "--keys=${KEYS}" "--config-dir=${WORK}/config"
          "--transcript=${WORK}/transcript" "--speech-log=${WORK}/speech" "--audio-out=${WORK}/audio.wav"
  RESULT_VARIABLE status ERROR_VARIABLE errors TIMEOUT 120)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the silent run ended with ${status}: ${errors}")
endif()
foreach(kind transcript speech)
  expect_same_file("${folder}/${name}.${kind}" "${WORK}/${kind}" "the silent run's ${kind} differs from the spoken one")
endforeach()
file(SIZE "${WORK}/audio.wav" size)
if(NOT size EQUAL 44)
  message(FATAL_ERROR "the silent run played sound: ${size} bytes of audio (a bare header is 44)")
endif()
