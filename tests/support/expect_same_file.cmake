# For the scripts that run the program (cmake -P): expect_same_file(EXPECTED ACTUAL WHAT)
# ends the script with WHAT and a unified diff when the two files differ byte for byte.
function(expect_same_file expected actual what)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${expected}" "${actual}" RESULT_VARIABLE different)
  if(different)
    execute_process(COMMAND diff -u "${expected}" "${actual}" OUTPUT_VARIABLE changes)
    message(FATAL_ERROR "${what}\n${changes}")
  endif()
endfunction()
