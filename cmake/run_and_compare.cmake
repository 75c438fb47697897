# Runs a program and compares its standard output with an expected file.
#   cmake -DPROGRAM=path -DARGS="a|b" -DEXPECTED=file -P run_and_compare.cmake
string(REPLACE "|" ";" arguments "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${arguments}
  OUTPUT_VARIABLE actual RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} exited with ${status}; output:\n${actual}")
endif()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "output of ${PROGRAM} differs from ${EXPECTED}:\n--- actual ---\n${actual}--- expected ---\n${expected}")
endif()
