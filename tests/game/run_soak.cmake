# One soak run: a random key script of many commands must run to its end without a crash.
#   -DPROGRAM=quelvar -DGENERATOR=game_soak_keys -DSEED=n -DCOMMANDS=n -DWORK=folder
#   -DDATA=test voice folder
set(out "${WORK}/soak_${SEED}")
file(REMOVE_RECURSE "${out}")
file(MAKE_DIRECTORY "${out}/config")
execute_process(COMMAND "${GENERATOR}" ${SEED} ${COMMANDS} OUTPUT_FILE "${out}/script.keys"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the generator failed: ${status}")
endif()
file(COPY "${DATA}/TAMIRE.INI" DESTINATION "${out}/config")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "QUELVAR_DATA_DIR=${DATA}"
          "${PROGRAM}" --console=headless "--keys=${out}/script.keys"
          "--transcript=${out}/transcript" "--config-dir=${out}/config"
  RESULT_VARIABLE status
  TIMEOUT 600)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "seed ${SEED}: the program ended with ${status}; see ${out}")
endif()
