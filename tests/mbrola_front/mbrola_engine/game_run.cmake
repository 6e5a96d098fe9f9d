# Runs the program headless with TIPOSAPI=3 (the MBROLA front end) and checks that the
# story was spoken through it: the phoneme log holds the words, and sound was made.
#   -DPROGRAM=quelvar -DDATA=<source data folder> -DWORK=folder
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/config" "${WORK}/letras" "${WORK}/difones")
# Built-in speech must start even though it stays silent here: an empty diphone database.
file(WRITE "${WORK}/difones/FIX.IND" "")
file(WRITE "${WORK}/difones/FIX.DIF" "")
file(COPY "${DATA}/regras.rgr" "${DATA}/portug.exc" DESTINATION "${WORK}/difones")
file(WRITE "${WORK}/config/TAMIRE.INI"
     "[TRADUTOR]\nDIRLETRAS=${WORK}/letras\nDIRDIFONES=${WORK}/difones\nSAPI=S\n"
     "[SINTETIZADOR]\nDIFONES3=FIX\n"
     "[SERVFALA]\nTIPOSAPI=3\nVELOCIDADE=0\nTOM=0\n")
file(WRITE "${WORK}/keys" "fim\n")
execute_process(
  COMMAND "${PROGRAM}" --console=headless "--keys=${WORK}/keys" "--config-dir=${WORK}/config"
          "--transcript=${WORK}/transcript" "--pho-log=${WORK}/pho" "--audio-out=${WORK}/audio.wav"
  RESULT_VARIABLE status
  TIMEOUT 120)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the program ended with ${status}")
endif()

file(STRINGS "${WORK}/pho" lines ENCODING UTF-8)
list(LENGTH lines count)
if(count LESS 200)
  message(FATAL_ERROR "only ${count} phoneme lines were handed to the library")
endif()
# Words of the opening, of the first room and of the score, in the order they were said.
set(at -1)
foreach(word ";Ilha" ";Quelvar" ";Sua" ";cabine" ";Pontuação" ";Clandestino")
  list(FIND lines "${word}" found)
  if(found EQUAL -1 OR found LESS at)
    message(FATAL_ERROR "'${word}' is missing from the phoneme log or out of order")
  endif()
  set(at ${found})
endforeach()
# Every other line is a phoneme, a duration and pitch points, or empty.
foreach(line IN LISTS lines)
  if(NOT line STREQUAL "" AND NOT line MATCHES "^;" AND NOT line MATCHES "^[A-Za-z_2@]+ [0-9]+( [0-9]+ [0-9]+)*$")
    message(FATAL_ERROR "not a phoneme line: '${line}'")
  endif()
endforeach()

# Some tens of seconds of 16-bit sound at 22050 Hz.
file(SIZE "${WORK}/audio.wav" bytes)
if(bytes LESS 1000000)
  message(FATAL_ERROR "the captured sound is only ${bytes} bytes")
endif()
