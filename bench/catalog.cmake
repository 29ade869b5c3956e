# The whole star reload (SAO and Tycho-2 with proper motion and precession)
# on synthetic files of the original sizes.
if(TARGET noctra_catalog)
  noctra_add_bench(catalog_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalog_bench.cpp
                   LIBS noctra_catalog)
endif()
