# Plate solving: the job's answer after solve-field's own time (target: the
# job within a second of solve-field alone). Needs solve-field, the Tycho-2
# index files and the reference data (NOCTRA_REFDATA).
noctra_add_bench(plate_solve_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/plate_solve_bench.cpp LIBS noctra_imaging)
target_compile_definitions(plate_solve_bench PRIVATE
  NOCTRA_SOLVE_CLIENT="${PROJECT_SOURCE_DIR}/imaging/solve_client.py")
