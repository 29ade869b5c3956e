# The magnifier rendered on built reference data (NOCTRA_REFDATA, a folder of
# noctra-mkdata's output) at fields of 5° and 0.5°, one cursor-watch search,
# and a tool that writes a magnifier to a PNG file for looking at.
if(TARGET noctra_chart)
  noctra_add_bench(magnifier_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/magnifier_bench.cpp
    LIBS noctra_chart)
  add_executable(noctra-magnifier-png ${CMAKE_CURRENT_SOURCE_DIR}/magnifier_png.cpp)
  target_link_libraries(noctra-magnifier-png PRIVATE noctra_chart)
endif()
