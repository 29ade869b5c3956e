# The chart insets: one globe frame and one clock face with hands, 400 x 400.
if(TARGET noctra_chart)
  noctra_add_bench(insets_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/insets_bench.cpp
    LIBS noctra_chart)
endif()
