# Installs the build under PREFIX and runs the installed program there.
file(REMOVE_RECURSE ${PREFIX})
# Everything but the voice component (the built voice is large and may not be built).
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX} --component Unspecified
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(file games/quelvar lib/quelvar/libquelvar_mbrola.so share/quelvar/TAMIRE.INI
             share/quelvar/front/portug.nrl share/quelvar/mbrola/br4.voice
             share/applications/quelvar.desktop share/metainfo/io.github.quelvar.metainfo.xml
             share/icons/hicolor/scalable/apps/quelvar.svg share/icons/hicolor/64x64/apps/quelvar.png
             share/man/man6/quelvar.6)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

execute_process(COMMAND ${PREFIX}/games/quelvar --version OUTPUT_VARIABLE version)
if(NOT version STREQUAL "quelvar ${VERSION}\n")
  message(FATAL_ERROR "--version says '${version}'")
endif()

# The small test voice where the built one goes; settings that point into the data root.
file(COPY ${TEST_VOICE}/som DESTINATION ${PREFIX}/share/quelvar)
set(run ${PREFIX}/run)
file(MAKE_DIRECTORY ${run}/config)
file(COPY ${TEST_VOICE}/TAMIRE.INI DESTINATION ${run}/config)
file(WRITE ${run}/keys.txt "olhar\n")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=QUELVAR_DATA_DIR --unset=TAMIRE_WINDIR HOME=${run}
          ${PREFIX}/games/quelvar --keys=${run}/keys.txt --config-dir=${run}/config
          --speech-log=${run}/speech.txt --transcript=${run}/transcript.txt
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
# Nothing on stderr: no voice data missing, no engine standing in for it.
if(NOT status EQUAL 0 OR NOT err STREQUAL "")
  message(FATAL_ERROR "the installed program ended with ${status}: ${out}${err}")
endif()
file(READ ${run}/transcript.txt transcript)
file(READ ${run}/speech.txt speech)
if(NOT transcript MATCHES "Ilha de Quelvar" OR NOT speech MATCHES "O Ninho da")
  message(FATAL_ERROR "the installed program did not tell the story:\n${transcript}")
endif()

# The MBROLA front end (TIPOSAPI=3) finds our library beside the program.
file(READ ${run}/config/TAMIRE.INI settings)
string(REGEX REPLACE "SAPI=[^\n]*" "SAPI=S" settings "${settings}")
string(REGEX REPLACE "TIPOSAPI=[^\n]*" "TIPOSAPI=3" settings "${settings}")
if(NOT settings MATCHES "TIPOSAPI=3")
  string(APPEND settings "\n[SERVFALA]\nTIPOSAPI=3\n")
endif()
file(WRITE ${run}/config/TAMIRE.INI "${settings}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=QUELVAR_DATA_DIR --unset=TAMIRE_WINDIR HOME=${run}
          ${PREFIX}/games/quelvar --keys=${run}/keys.txt --config-dir=${run}/config --pho-log=${run}/pho.txt
  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET TIMEOUT 120)
if(NOT status EQUAL 0 OR NOT EXISTS ${run}/pho.txt)
  message(FATAL_ERROR "the installed program could not speak through the MBROLA front end (${status})")
endif()
file(SIZE ${run}/pho.txt phoSize)
if(phoSize LESS 100)
  message(FATAL_ERROR "the installed MBROLA library was given no phonemes")
endif()

# A first run with no settings: the default ones are written, point into the installed
# data and speak with the installed voice (the test voice under the shipped names).
foreach(rate 1 2 3 4 5)
  foreach(part IND DIF)
    file(COPY_FILE ${TEST_VOICE}/som/difones/TESTE.${part} ${PREFIX}/share/quelvar/som/difones/DIFONES${rate}.${part})
  endforeach()
endforeach()
file(MAKE_DIRECTORY ${run}/fresh)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=QUELVAR_DATA_DIR --unset=TAMIRE_WINDIR HOME=${run}
          ${PREFIX}/games/quelvar --keys=${run}/keys.txt --config-dir=${run}/fresh --transcript=${run}/fresh.txt
  RESULT_VARIABLE status ERROR_VARIABLE err TIMEOUT 120)
if(NOT status EQUAL 0 OR NOT EXISTS ${run}/fresh/TAMIRE.INI)
  message(FATAL_ERROR "a first run ended with ${status} and left no settings: ${err}")
endif()
if(NOT err MATCHES "^quelvar: first run: [^\n]*\n$")
  message(FATAL_ERROR "a first run said more than that it wrote the settings: ${err}")
endif()
file(READ ${run}/fresh.txt transcript)
if(NOT transcript MATCHES "O Ninho da")
  message(FATAL_ERROR "a first run did not tell the story:\n${transcript}")
endif()
file(REMOVE_RECURSE ${PREFIX})
