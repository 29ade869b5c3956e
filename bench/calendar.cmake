# The events calendar: the search of one whole month (target: at most 1 s on one core).
if(TARGET noctra_tools)
  noctra_add_bench(calendar_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/calendar_bench.cpp
    LIBS noctra_tools)
endif()
