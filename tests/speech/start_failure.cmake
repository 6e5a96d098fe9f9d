# Runs the program with a configuration naming a database that is not there, with only the
# built-in voice asked for (otherwise espeak-ng would speak instead of it). The failure is
# written, and spoken through espeak-ng, since the built-in voice cannot speak it.
#   -DPROGRAM=quelvar -DWORK=folder
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/config" "${WORK}/letras" "${WORK}/difones")
file(WRITE "${WORK}/config/TAMIRE.INI"
     "[TRADUTOR]\nDIRLETRAS=${WORK}/letras\nDIRDIFONES=${WORK}/difones\n[SINTETIZADOR]\nDIFONES3=NADA\n")
file(WRITE "${WORK}/keys" "\n")
execute_process(
  COMMAND "${PROGRAM}" --console=headless "--keys=${WORK}/keys" "--config-dir=${WORK}/config"
          "--transcript=${WORK}/transcript" "--speech-log=${WORK}/speech" --speech=builtin
  RESULT_VARIABLE status
  TIMEOUT 60)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "the program ended with ${status}, not 1")
endif()
file(READ "${WORK}/transcript" transcript)
string(FIND "${transcript}" "Erro de inicialização: 1\nBanco de dados de voz: NADA\nArquivo: NADA.IND\nPasta: ${WORK}/difones/\n" found)
if(found EQUAL -1)
  message(FATAL_ERROR "unexpected transcript:\n${transcript}")
endif()
string(FIND "${transcript}" ">" prompt)
if(NOT prompt EQUAL -1)
  message(FATAL_ERROR "the game went on after the failure:\n${transcript}")
endif()
file(READ "${WORK}/speech" spoken)
string(FIND "${spoken}" "Erro de inicialização: 1\nBanco de dados de voz: NADA\nArquivo: NADA.IND\n" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the failure was not spoken:\n${spoken}")
endif()
