# Both programs' command lines and their start without a display, run as programs.
if(TARGET corvale AND TARGET lumetta)
  unit_test(test_command_line)
  add_dependencies(test_command_line corvale lumetta)
  # It runs the whole programs: not one for the sanitizer build.
  set_tests_properties(test_command_line PROPERTIES LABELS unit)
endif()
