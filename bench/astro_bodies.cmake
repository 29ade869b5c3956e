# Solar-system bodies: the Sun, the Moon, the eight planets and 1,000 minor
# bodies for one instant, as one chart render computes them.
noctra_add_bench(astro_bodies_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/astro_bodies_bench.cpp LIBS noctra_astro)
