# The tools: the location window's relief map and the object search, on the
# built reference data (the folder of bench_data.h).
if(TARGET noctra_tools)
  noctra_add_bench(tools_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tools_bench.cpp
    LIBS noctra_tools)
endif()
