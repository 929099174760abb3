# The editor rendered to PNG files, for scripts/screenshot.sh; built only when asked for.
add_executable(brimwell_screenshot EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/Main.cpp)
target_link_libraries(brimwell_screenshot PRIVATE brimwell_plugin_code)
