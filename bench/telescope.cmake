# Telescope: the goto-assist pointing-model fit (target: 40 rows at the
# default search grid in at most 2 s on one core).
noctra_add_bench(telescope_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/telescope_bench.cpp LIBS noctra_telescope)
