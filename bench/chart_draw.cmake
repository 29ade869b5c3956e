# Raw pixel routines of the chart: lines, dashes and transparent copies.
if(TARGET noctra_chart)
  noctra_add_bench(chart_draw_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/chart_draw_bench.cpp
    LIBS noctra_chart)
endif()
