# Runs the regexp probe over regexp_probe_input.txt and compares its answer
# with regexp_probe_expected.txt (checked by hand: FirstIndex in UTF-16 units
# past an astral character, a group that took no part, Replace specials, a
# pattern that does not compile, the empty pattern's three matches, a line
# the probe cannot read).
execute_process(
  COMMAND "${PROBE}"
  INPUT_FILE "${DIR}/regexp_probe_input.txt"
  OUTPUT_VARIABLE actual
  RESULT_VARIABLE status
  TIMEOUT 60)
file(READ "${DIR}/regexp_probe_expected.txt" expected)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "regexp_probe exited with ${status}")
endif()
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "regexp_probe answered:\n${actual}\nexpected:\n${expected}")
endif()
