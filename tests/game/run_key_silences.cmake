# A key typed while the game speaks silences it: the opening played with a key typed 400 ms
# in is at least three seconds shorter than the same game with the key typed once all is
# said. Both runs are on the headless clock, so the lengths are exact.
#   -DPROGRAM=quelvar -DKEYS=key_silences_speech.keys -DWORK=folder -DDATA=test voice folder
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(READ "${KEYS}" typed_early)
string(REPLACE "<Wait:400>" "" typed_late "${typed_early}")
file(WRITE "${WORK}/late.keys" "${typed_late}")
file(COPY "${KEYS}" DESTINATION "${WORK}")
get_filename_component(early_keys "${KEYS}" NAME)

function(play keys out)
  file(MAKE_DIRECTORY "${WORK}/${out}")
  file(COPY "${DATA}/TAMIRE.INI" DESTINATION "${WORK}/${out}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "QUELVAR_DATA_DIR=${DATA}"
            "${PROGRAM}" --console=headless "--keys=${keys}" "--config-dir=${WORK}/${out}"
            "--audio-out=${WORK}/${out}.wav"
    RESULT_VARIABLE status TIMEOUT 120)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${out}: the program ended with ${status}")
  endif()
  file(SIZE "${WORK}/${out}.wav" size)
  set(${out}_size ${size} PARENT_SCOPE)
endfunction()

play("${WORK}/${early_keys}" early)
play("${WORK}/late.keys" late)
# The capture is 22050 Hz, 16-bit mono: 44100 bytes a second.
math(EXPR shorter "${late_size} - ${early_size}")
if(shorter LESS 132300)
  message(FATAL_ERROR "a key typed during speech did not silence it: "
                      "${early_size} bytes of sound against ${late_size} without it")
endif()
message(STATUS "the key cut ${shorter} bytes of sound")
