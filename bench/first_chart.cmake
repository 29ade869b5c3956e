# The first chart with stars of the real program under an X server: the
# probe that starts it and watches the screen (run by first_chart.sh).
add_executable(first-chart-probe ${CMAKE_CURRENT_SOURCE_DIR}/first_chart_probe.cpp)
target_link_libraries(first-chart-probe PRIVATE Qt6::Gui)
target_include_directories(first-chart-probe PRIVATE ${PROJECT_SOURCE_DIR})
