# FITS images: read, render with automatic levels and write a 4096 x 4096
# 16-bit image (target 150 ms); star finding in a 64 x 64 box (target 1 ms).
noctra_add_bench(imaging_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/imaging_bench.cpp LIBS noctra_imaging)
# The console's picture at the 10 x magnification: memory beyond the frame
# (target within 3 frames) and the time to draw the visible part.
noctra_add_bench(console_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/console_bench.cpp LIBS noctra_imaging_forms)
