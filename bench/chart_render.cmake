# The whole main chart rendered at 1920 x 1080 on built reference data
# (NOCTRA_REFDATA, a folder of noctra-mkdata's output) with every layer on,
# and a tool that writes such a render to a PNG file for looking at.
if(TARGET noctra_chart)
  noctra_add_bench(chart_render_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/chart_render_bench.cpp
    LIBS noctra_chart)
  add_executable(noctra-chart-png ${CMAKE_CURRENT_SOURCE_DIR}/chart_png.cpp)
  target_link_libraries(noctra-chart-png PRIVATE noctra_chart)
endif()
