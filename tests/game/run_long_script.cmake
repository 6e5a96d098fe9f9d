# The largest key script the program accepts (64 MiB) is read as it is played: the run's
# peak memory stays within MEMORY_LIMIT_MB (0: only the report). Half of it is one line of
# waits, half comment lines; then the game is ended.
#   -DPROGRAM=quelvar -DMEASURE=game_peak_memory -DMEMORY_LIMIT_MB=n -DWORK=folder -DDATA=test voice
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/config")
file(COPY "${DATA}/TAMIRE.INI" DESTINATION "${WORK}/config")
set(script "${WORK}/long.keys")
string(REPEAT "<Wait:0>" 131072 waits)              # 1 MiB
string(REPEAT "## um comentário longo\n" 43690 comments)  # about 1 MiB
file(WRITE "${script}" "")
foreach(i RANGE 1 31)
  file(APPEND "${script}" "${waits}")
endforeach()
# The keys after it come a minute later, when the game waits for them.
file(APPEND "${script}" "<Wait:60000><NoEnter>\n")
foreach(i RANGE 1 31)
  file(APPEND "${script}" "${comments}")
endforeach()
file(APPEND "${script}" "fim\nn\n")
file(SIZE "${script}" bytes)
if(bytes GREATER 67108864)
  message(FATAL_ERROR "the script is larger than the program accepts: ${bytes} bytes")
endif()
if(MEMORY_LIMIT_MB)
  set(limit ${MEMORY_LIMIT_MB})
else()
  set(limit 1000000)
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "QUELVAR_DATA_DIR=${DATA}" "${MEASURE}" ${limit}
          "${PROGRAM}" --console=headless "--keys=${script}" "--transcript=${WORK}/transcript"
          "--config-dir=${WORK}/config"
  RESULT_VARIABLE status OUTPUT_VARIABLE report TIMEOUT 300)
message(STATUS "${bytes} bytes of key script: ${report}")
if(status EQUAL 3)
  message(FATAL_ERROR "the program held more than ${MEMORY_LIMIT_MB} MB for a ${bytes}-byte key script")
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the program ended with ${status}")
endif()
file(READ "${WORK}/transcript" transcript)
if(NOT transcript MATCHES ">fim")
  message(FATAL_ERROR "the keys after the long lines were not played: ${transcript}")
endif()
file(REMOVE "${script}")
