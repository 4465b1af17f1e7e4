# Both programs' command lines and their start without a display, run as programs.
program_test(test_command_line)
add_dependencies(test_command_line corvale lumetta localweb)
