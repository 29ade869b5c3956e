# Fixture: builds the reference data into OUT with MKDATA (nothing to do when
# they are up to date). Missing sources (the install step test.sh fetches
# them) fail the fixture, and with it the sky tests. A finished build leaves
# OUT/.complete, so that other tests may copy the folder instead of building
# it again (tests/app/startup_fixture.h).
file(REMOVE ${OUT}.complete)
execute_process(COMMAND ${MKDATA} ${OUT} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  file(REMOVE ${OUT}SAO_YALE.DAT)
  message(FATAL_ERROR "noctra-mkdata failed:\n${out}${err}")
endif()
file(WRITE ${OUT}.complete "built\n")
