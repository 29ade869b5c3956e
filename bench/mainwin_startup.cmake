# The main window on built reference data (NOCTRA_REFDATA, a folder of
# noctra-mkdata's output): from creating the window to the first finished
# render with the stars drawn, and one heartbeat tick at real-time rate.
if(TARGET noctra_app)
  noctra_add_bench(mainwin_startup_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mainwin_startup_bench.cpp
    LIBS noctra_app)
endif()
