# Files the player did not mean: an output option naming a file the game reads (the key
# script, through a link or a hard link; the settings; the voice data; another output) is
# refused with exit 2 before anything is written; settings that another user could have
# planted (HOME unset and no home folder, a group-writable folder, a file of another user)
# are not read: one line, and the shipped settings; a relative XDG_CONFIG_HOME is ignored;
# an output past the file size limit fails the run with exit 1 and one line.
#   -DPROGRAM=quelvar -DWORK=folder -DDATA=test voice folder
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/cfg)
file(COPY ${DATA}/TAMIRE.INI DESTINATION ${WORK}/cfg)
file(WRITE ${WORK}/k.keys "olhar\nfim\nn\n")
file(CREATE_LINK ${WORK}/k.keys ${WORK}/link.keys SYMBOLIC)
file(CREATE_LINK ${WORK}/k.keys ${WORK}/hard.keys)
set(base ${CMAKE_COMMAND} -E env QUELVAR_DATA_DIR=${DATA} ${PROGRAM} --keys=${WORK}/k.keys)

function(expect_refused)
  execute_process(COMMAND ${base} --config-dir=${WORK}/cfg ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE err
                  OUTPUT_QUIET TIMEOUT 60)
  file(READ ${WORK}/k.keys keys)
  file(READ ${WORK}/cfg/TAMIRE.INI settings)
  file(READ ${DATA}/TAMIRE.INI shipped)
  string(REGEX MATCHALL "quelvar:" lines "${err}")
  list(LENGTH lines count)
  if(NOT status EQUAL 2 OR NOT count EQUAL 1 OR NOT keys STREQUAL "olhar\nfim\nn\n" OR NOT settings STREQUAL shipped)
    message(FATAL_ERROR "${ARGN}: exit ${status}, the inputs now '${keys}'\n${err}")
  endif()
endfunction()
expect_refused(--transcript=${WORK}/k.keys)
expect_refused(--audio-out=${WORK}/link.keys)
expect_refused(--speech-log=${WORK}/hard.keys)
expect_refused(--screen-dump=${WORK}/cfg/TAMIRE.INI)
expect_refused(--braille-log=${WORK}/cfg/../cfg/TAMIRE.INI)
expect_refused(--transcript=${DATA}/som/new.txt)
expect_refused(--transcript=${WORK}/out.txt --speech-log=${WORK}/./out.txt)
if(EXISTS ${WORK}/out.txt OR EXISTS ${DATA}/som/new.txt)
  message(FATAL_ERROR "a refused output was written")
endif()

# run(NAME EXPECT-REGEX [ENV...]): a whole game; one line on standard error matching EXPECT
# (or none when EXPECT is empty), and the story told with the test voice, not the planted
# settings (which name a voice that does not exist).
function(run name expect)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QUELVAR_DATA_DIR=${DATA} ${ARGN} ${PROGRAM} --keys=${WORK}/k.keys
                          --transcript=${WORK}/${name}.txt
                  RESULT_VARIABLE status ERROR_VARIABLE err OUTPUT_QUIET TIMEOUT 120)
  file(READ ${WORK}/${name}.txt transcript)
  string(REGEX MATCHALL "quelvar:" lines "${err}")
  list(LENGTH lines count)
  if(expect STREQUAL "")
    set(wanted 0)
  else()
    set(wanted 1)
  endif()
  if(NOT status EQUAL 0 OR NOT count EQUAL wanted OR NOT err MATCHES "${expect}"
     OR transcript MATCHES "Erro de inicializa" OR NOT transcript MATCHES "Ninho da")
    message(FATAL_ERROR "${name}: exit ${status}\n${err}\n${transcript}")
  endif()
endfunction()

file(READ ${DATA}/TAMIRE.INI shipped)
string(REGEX REPLACE "DIFONES([1-5])=TESTE" "DIFONES\\1=PLANTED" planted "${shipped}")
string(APPEND planted "[ORLENTTS]\nMBROLA_LIB=${WORK}/planted.so\n")

# A relative XDG_CONFIG_HOME is ignored: the settings go to HOME's .config.
file(MAKE_DIRECTORY ${WORK}/home)
run(relative_xdg "first run: default settings written to ${WORK}/home/.config/tamire/TAMIRE.INI"
    HOME=${WORK}/home XDG_CONFIG_HOME=relative/config --unset=TAMIRE_WINDIR)
if(EXISTS ${WORK}/relative)
  message(FATAL_ERROR "a relative XDG_CONFIG_HOME was used")
endif()

# The checks below need another user and group, which only root can make files for.
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT uid STREQUAL "0")
  message(STATUS "not root: the planted settings of other users are not tried")
  return()
endif()

# A settings folder its group can write, with settings planted in it.
file(MAKE_DIRECTORY ${WORK}/group/.config/tamire)
file(WRITE ${WORK}/group/.config/tamire/TAMIRE.INI "${planted}")
execute_process(COMMAND chgrp 100 ${WORK}/group/.config/tamire)
execute_process(COMMAND chmod 0775 ${WORK}/group/.config/tamire)
run(group_writable "the settings folder ${WORK}/group/.config/tamire can be written by its group, so its settings are not used"
    HOME=${WORK}/group --unset=XDG_CONFIG_HOME --unset=TAMIRE_WINDIR)

# A settings file that belongs to another user, in the player's own folder.
file(MAKE_DIRECTORY ${WORK}/owned/.config/tamire)
file(WRITE ${WORK}/owned/.config/tamire/TAMIRE.INI "${planted}")
execute_process(COMMAND chown 54321 ${WORK}/owned/.config/tamire/TAMIRE.INI)
run(other_owner "TAMIRE.INI belongs to another user" HOME=${WORK}/owned --unset=XDG_CONFIG_HOME --unset=TAMIRE_WINDIR)

# HOME unset, for a user the password database does not know: no settings folder at all,
# and never /tmp (settings planted in the folder the game once fell back to are not read).
execute_process(COMMAND setpriv --help RESULT_VARIABLE no_setpriv OUTPUT_QUIET ERROR_QUIET)
execute_process(COMMAND getent passwd 54321 RESULT_VARIABLE unknown OUTPUT_QUIET)
if(no_setpriv EQUAL 0 AND NOT unknown EQUAL 0)
  # The folder the game once fell back to, planted by another user (only when no one has
  # made it: it is a shared folder).
  set(tmp_planted "")
  if(NOT EXISTS /tmp/.config)
    set(tmp_planted /tmp/.config)
    file(MAKE_DIRECTORY /tmp/.config/tamire)
    file(WRITE /tmp/.config/tamire/TAMIRE.INI "${planted}")
    execute_process(COMMAND chown -R 54322:54322 /tmp/.config)
  endif()
  file(MAKE_DIRECTORY ${WORK}/nobody)
  file(COPY ${WORK}/k.keys DESTINATION ${WORK}/nobody)
  execute_process(COMMAND chown -R 54321:54321 ${WORK}/nobody)
  execute_process(COMMAND chmod 0755 ${WORK})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=HOME --unset=XDG_CONFIG_HOME --unset=TAMIRE_WINDIR
                          QUELVAR_DATA_DIR=${DATA} setpriv --reuid=54321 --regid=54321 --clear-groups
                          ${PROGRAM} --keys=${WORK}/nobody/k.keys --transcript=${WORK}/nobody/story.txt
                  WORKING_DIRECTORY ${WORK}/nobody
                  RESULT_VARIABLE status ERROR_VARIABLE err OUTPUT_QUIET TIMEOUT 120)
  file(READ ${WORK}/nobody/story.txt transcript)
  if(tmp_planted)
    file(REMOVE_RECURSE ${tmp_planted})
  endif()
  if(NOT status EQUAL 0 OR NOT err MATCHES "^quelvar: no folder for the settings \\(HOME is not set[^\n]*\\); using the default settings in ${DATA}/TAMIRE.INI\n$"
     OR NOT transcript MATCHES "Ninho da")
    message(FATAL_ERROR "no home folder: exit ${status}\n${err}\n${transcript}")
  endif()
endif()

# An output past the file size limit: the run fails with exit 1 and one line, the game
# goes on to its end.
execute_process(COMMAND bash -c "ulimit -f 8 && exec \"$@\"" quelvar ${base} --config-dir=${WORK}/cfg
                        --audio-out=${WORK}/limited.wav --transcript=${WORK}/limited.txt
                RESULT_VARIABLE status ERROR_VARIABLE err OUTPUT_QUIET TIMEOUT 120)
file(READ ${WORK}/limited.txt transcript)
if(NOT status EQUAL 1 OR NOT err MATCHES "^quelvar: cannot write the audio file '[^']*limited.wav': File too large[^\n]*\n$"
   OR NOT transcript MATCHES "de novo")
  message(FATAL_ERROR "past the file size limit: exit ${status}\n${err}")
endif()
