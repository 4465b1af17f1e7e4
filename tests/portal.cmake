# The portal window, in the test process, against localweb.
if(TARGET portal_window)
  # Stands in for the player: records the arguments of every start.
  add_executable(player_recorder support/recorder.cpp)
  target_link_libraries(player_recorder PRIVATE Qt6::Core)
  set_target_properties(player_recorder PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/support)

  window_test(test_portal_window portal_window)
  add_dependencies(test_portal_window player_recorder)
  target_compile_definitions(test_portal_window PRIVATE
    RECORDER_PATH="$<TARGET_FILE:player_recorder>")
endif()

# Navigation, keyword entry, link search and result actions through the window.
if(TARGET portal_window)
  window_test(test_portal_search portal_window)
  add_dependencies(test_portal_search player_recorder)
  target_compile_definitions(test_portal_search PRIVATE
    RECORDER_PATH="$<TARGET_FILE:player_recorder>")
endif()

# corvale --search, run as a program without a display.
if(TARGET corvale)
  program_test(test_headless)
  add_dependencies(test_headless corvale localweb)
endif()
