# The windows beyond bare Xvfb: as native Wayland clients of a headless weston, and under a real
# X window manager (openbox), which honours full screen and puts a window back where it was.
add_executable(test_wayland_window test_wayland_window.cpp)
target_link_libraries(test_wayland_window PRIVATE testsupport Qt6::Test portal_window
                                                  player_window)
add_dependencies(test_wayland_window localweb)
use_player_recorder(test_wayland_window)
add_test(NAME test_wayland_window
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/support/under-weston.sh
                 $<TARGET_FILE:test_wayland_window>)
set_tests_properties(test_wayland_window PROPERTIES TIMEOUT 900 LABELS window RUN_SERIAL TRUE)

# The full-screen cases of both programs' windows again, with openbox managing them: the
# player's F11 and Esc, and the page-asked full screen of the browser both programs embed.
add_test(NAME test_player_window_openbox
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/support/under-openbox.sh
                 $<TARGET_FILE:test_player_window> fullScreenKeysAndNavigationKeys)
set_tests_properties(test_player_window_openbox PROPERTIES
  TIMEOUT 600 LABELS window RUN_SERIAL TRUE)
add_test(NAME test_browser_openbox
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/support/under-openbox.sh
                 $<TARGET_FILE:test_browser> fullScreenAndBack)
set_tests_properties(test_browser_openbox PROPERTIES TIMEOUT 600 LABELS window RUN_SERIAL TRUE)
