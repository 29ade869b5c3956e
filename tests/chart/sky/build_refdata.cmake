# Fixture: builds the reference data into OUT with MKDATA (nothing to do when
# they are up to date). Missing sources (the install step test.sh fetches
# them) fail the fixture, and with it the sky tests.
execute_process(COMMAND ${MKDATA} ${OUT} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  file(REMOVE ${OUT}SAO_YALE.DAT)
  message(FATAL_ERROR "noctra-mkdata failed:\n${out}${err}")
endif()
