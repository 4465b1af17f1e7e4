# The portal window, in the test process, against localweb.
# Stands in for the player: records the arguments of every start.
add_executable(player_recorder support/recorder.cpp)
target_link_libraries(player_recorder PRIVATE Qt6::Core)
set_target_properties(player_recorder PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/support)

# A test that starts the recording stand-in as its player, found at RECORDER_PATH.
function(use_player_recorder name)
  add_dependencies(${name} player_recorder)
  target_compile_definitions(${name} PRIVATE RECORDER_PATH="$<TARGET_FILE:player_recorder>")
endfunction()

window_test(test_portal_window portal_window)
# Navigation, keyword entry, link search and result actions through the window.
window_test(test_portal_search portal_window)
# Both share their set-up, a QObject with test slots of its own.
foreach(name test_portal_window test_portal_search)
  target_sources(${name} PRIVATE support/portalwindowtest.h)
  use_player_recorder(${name})
endforeach()

# corvale --search, run as a program without a display.
program_test(test_headless)
add_dependencies(test_headless corvale localweb)
