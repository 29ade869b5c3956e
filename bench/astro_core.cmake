# Astronomy core: time setters with the full recompute, and catalogue-sized
# precession with proper motion.
noctra_add_bench(astro_core_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/astro_core_bench.cpp LIBS noctra_astro)
