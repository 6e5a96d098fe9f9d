# One soak run: a random key script of many commands must run to its end without a crash.
#   -DPROGRAM=quelvar -DGENERATOR=game_soak_keys -DSEED=n -DCOMMANDS=n -DWORK=folder
#   -DDATA=test voice folder
# With -DMEASURE=game_peak_memory -DMEMORY_LIMIT_MB=n the run also writes everything played
# to a WAV file and fails when its peak memory passes n MB (0: no limit, only the report).
set(out "${WORK}/soak_${SEED}")
file(REMOVE_RECURSE "${out}")
file(MAKE_DIRECTORY "${out}/config")
execute_process(COMMAND "${GENERATOR}" ${SEED} ${COMMANDS} OUTPUT_FILE "${out}/script.keys"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the generator failed: ${status}")
endif()
file(COPY "${DATA}/TAMIRE.INI" DESTINATION "${out}/config")
set(measure "")
set(extra "")
if(MEASURE)
  if(MEMORY_LIMIT_MB)
    set(measure "${MEASURE}" ${MEMORY_LIMIT_MB})
  else()
    set(measure "${MEASURE}" 1000000)
  endif()
  set(extra "--audio-out=${out}/played.wav")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "QUELVAR_DATA_DIR=${DATA}"
          ${measure} "${PROGRAM}" --console=headless "--keys=${out}/script.keys"
          "--transcript=${out}/transcript" "--config-dir=${out}/config" ${extra}
  RESULT_VARIABLE status
  TIMEOUT 600)
if(MEASURE AND status EQUAL 3)
  message(FATAL_ERROR "seed ${SEED}: the program held more than ${MEMORY_LIMIT_MB} MB; see ${out}")
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "seed ${SEED}: the program ended with ${status}; see ${out}")
endif()
# The sound of a long run is large and told nothing more once the run is over.
if(MEASURE)
  file(REMOVE "${out}/played.wav")
endif()
