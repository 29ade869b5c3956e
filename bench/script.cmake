# The script interpreter: a loop of 100,000 iterations of arithmetic and
# string work; target at most 250 ms on one core.
noctra_add_bench(script_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/script_bench.cpp LIBS noctra_script)
