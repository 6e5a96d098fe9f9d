# Plays a key script through the whole program, headless, and compares the speech log.
#   -DPROGRAM=quelvar -DKEYS=name.keys -DEXPECTED=name.speech -DSOURCE_DATA=data -DWORK=folder
# The run uses a silent voice of its own (no recorded sounds, a diphone database whose one
# unit no transcription names, and the shipped translator files), so what is spoken is
# exactly the texts handed to speech.
include("${CMAKE_CURRENT_LIST_DIR}/../support/expect_same_file.cmake")
get_filename_component(name "${KEYS}" NAME_WE)
set(out "${WORK}/${name}")
file(REMOVE_RECURSE "${out}")
file(MAKE_DIRECTORY "${out}/config" "${out}/voice/letras" "${out}/voice/difones")
foreach(part IND DIF)
  file(COPY_FILE "${CMAKE_CURRENT_LIST_DIR}/../fixtures/voice/som/difones/TESTE.${part}"
       "${out}/voice/difones/vazio.${part}")
endforeach()
file(COPY "${SOURCE_DATA}/regras.rgr" "${SOURCE_DATA}/portug.exc" DESTINATION "${out}/voice/difones")
set(ini "[TRADUTOR]\nDIRLETRAS=${out}/voice/letras/\nDIRDIFONES=${out}/voice/difones/\n[SINTETIZADOR]\n")
foreach(rate 1 2 3 4 5)
  string(APPEND ini "DIFONES${rate}=vazio\n")
endforeach()
file(WRITE "${out}/config/TAMIRE.INI" "${ini}")

execute_process(
  COMMAND "${PROGRAM}" --console=headless "--keys=${KEYS}" "--speech-log=${out}/speech"
          "--screen-dump=${out}/screen" "--config-dir=${out}/config"
  RESULT_VARIABLE status
  TIMEOUT 120)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${name}: the program ended with ${status}")
endif()
expect_same_file("${EXPECTED}" "${out}/speech" "${name}: the speech log differs from ${EXPECTED}")
