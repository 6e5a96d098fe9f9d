# A first run with no settings, settings in another letter case, a Windows directory that
# cannot be written, and missing built-in voice data.
#   -DPROGRAM=quelvar -DWORK=folder -DDATA=test voice folder -DSOURCE=source tree
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/keys "olhar\nfim\nn\n")

# run(NAME [ENV...] -- [OPTIONS...]): the game headless; sets out_status, out_err, out_transcript.
function(run name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "ENV;OPTIONS")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QUELVAR_DATA_DIR=${DATA} ${arg_ENV}
                          ${PROGRAM} --console=headless --keys=${WORK}/keys --transcript=${WORK}/${name}.txt
                          --audio-out=${WORK}/${name}.wav ${arg_OPTIONS}
                  RESULT_VARIABLE status ERROR_VARIABLE err TIMEOUT 120)
  file(READ ${WORK}/${name}.txt transcript)
  if(NOT status EQUAL 0 OR transcript MATCHES "Erro de inicializa" OR NOT transcript MATCHES "Ninho da")
    message(FATAL_ERROR "${name}: exit ${status}\n${err}\n${transcript}")
  endif()
  file(SIZE ${WORK}/${name}.wav sound)
  if(sound LESS 10000)
    message(FATAL_ERROR "${name}: the game was not heard (${sound} bytes of sound)")
  endif()
  set(out_err "${err}" PARENT_SCOPE)
endfunction()

# No settings: the shipped default is written into the Windows directory, and used.
file(MAKE_DIRECTORY ${WORK}/empty)
run(empty OPTIONS --config-dir=${WORK}/empty)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${DATA}/TAMIRE.INI ${WORK}/empty/TAMIRE.INI
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0 OR NOT out_err MATCHES "default settings written to")
  message(FATAL_ERROR "the first run did not write the default settings:\n${out_err}")
endif()

# Settings the player changed, in another letter case, are never replaced: not by the
# program, not by the preparation step of play.sh.
file(MAKE_DIRECTORY ${WORK}/own ${WORK}/build/data/som)
file(READ ${DATA}/TAMIRE.INI shipped)
string(REPLACE "[TRADUTOR]" "[TRADUTOR]\n; changed by the player" own "${shipped}")
file(WRITE ${WORK}/own/tamire.ini "${own}")
run(own OPTIONS --config-dir=${WORK}/own)
file(WRITE ${WORK}/build/CMakeCache.txt "")
file(TOUCH ${WORK}/build/data/som/.voicedata-stamp)
execute_process(COMMAND ${CMAKE_COMMAND} -E env TAMIRE_WINDIR=${WORK}/own
                        bash ${SOURCE}/scripts/prepare-data.sh ${WORK}/build
                RESULT_VARIABLE status)
file(GLOB settings ${WORK}/own/*)
file(READ ${WORK}/own/tamire.ini kept)
list(LENGTH settings count)
if(NOT status EQUAL 0 OR NOT count EQUAL 1 OR NOT kept STREQUAL own)
  message(FATAL_ERROR "the player's settings were replaced or doubled: ${settings}")
endif()

# A Windows directory that cannot be made: the shipped default is read in place.
file(WRITE ${WORK}/not-a-folder "")
run(in_place ENV TAMIRE_WINDIR=${WORK}/not-a-folder/tamire)
if(NOT out_err MATCHES "using the default settings in")
  message(FATAL_ERROR "no word of the settings read in place:\n${out_err}")
endif()

# Without the built-in voice data the game speaks through espeak-ng and says why.
file(MAKE_DIRECTORY ${WORK}/novoice ${WORK}/nothing)
string(REGEX REPLACE "DIRDIFONES=[^\n]*" "DIRDIFONES=${WORK}/nothing" novoice "${shipped}")
file(WRITE ${WORK}/novoice/TAMIRE.INI "${novoice}")
run(novoice OPTIONS --config-dir=${WORK}/novoice)
if(NOT out_err MATCHES "espeak-ng speaks instead: [^\n]*/nothing/TESTE.IND does not exist. Check DIRDIFONES")
  message(FATAL_ERROR "no word of the fallback to espeak-ng:\n${out_err}")
endif()
