# Runs the program on one key script and compares what it wrote with the expected files.
#   -DPROGRAM=quelvar -DKEYS=name.keys -DWORK=folder -DDATA=test voice folder
# name.transcript must match the transcript byte for byte; name.speech, when it exists,
# must match the speech log (what was spoken, as opposed to only written), and
# name.braille the Braille display's log.
include("${CMAKE_CURRENT_LIST_DIR}/../support/expect_same_file.cmake")
get_filename_component(name "${KEYS}" NAME_WE)
get_filename_component(folder "${KEYS}" DIRECTORY)
set(out "${WORK}/${name}")
file(REMOVE_RECURSE "${out}")
file(MAKE_DIRECTORY "${out}/config")
file(COPY "${DATA}/TAMIRE.INI" DESTINATION "${out}/config")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "QUELVAR_DATA_DIR=${DATA}"
          "${PROGRAM}" --console=headless "--keys=${KEYS}" "--transcript=${out}/transcript"
          "--speech-log=${out}/speech" "--braille-log=${out}/braille" "--config-dir=${out}/config"
  RESULT_VARIABLE status
  TIMEOUT 120)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${name}: the program ended with ${status}")
endif()

function(compare expected actual)
  expect_same_file("${expected}" "${actual}" "${name}: ${actual} differs from ${expected}")
endfunction()

compare("${folder}/${name}.transcript" "${out}/transcript")
foreach(log speech braille)
  if(EXISTS "${folder}/${name}.${log}")
    compare("${folder}/${name}.${log}" "${out}/${log}")
  endif()
endforeach()
