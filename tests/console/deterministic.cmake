# Runs the program twice on the same key script, with the scripted-run voice, and
# compares what it wrote, played and showed on the Braille display byte for byte.
#   -DPROGRAM=quelvar -DKEYS=file -DWORK=folder -DDATA=test voice folder
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/config)
file(COPY ${DATA}/TAMIRE.INI DESTINATION ${WORK}/config)
foreach(run 1 2)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QUELVAR_DATA_DIR=${DATA}
                          ${PROGRAM} --console=headless --keys=${KEYS} --config-dir=${WORK}/config
                          --transcript=${WORK}/transcript${run}.txt --screen-dump=${WORK}/screen${run}.txt
                          --audio-out=${WORK}/sound${run}.wav --braille-log=${WORK}/braille${run}.txt
                  RESULT_VARIABLE result TIMEOUT 120)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "run ${run} ended with ${result}")
  endif()
endforeach()
foreach(kind transcript.txt screen.txt sound.wav braille.txt)
  string(REPLACE "." "1." first ${kind})
  string(REPLACE "." "2." second ${kind})
  file(SIZE ${WORK}/${first} length)
  if(length EQUAL 0)
    message(FATAL_ERROR "${first} is empty")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${first} ${WORK}/${second}
                  RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "the two runs' ${kind} files differ")
  endif()
endforeach()
file(READ ${WORK}/transcript1.txt transcript)
if(transcript MATCHES "Erro de inicializa")
  message(FATAL_ERROR "the program did not start its speech:\n${transcript}")
endif()
