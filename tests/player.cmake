# The player's tests: its logic without a window, then the window itself under Xvfb.
unit_test(test_player_watch player_core)
unit_test(test_player_resolver player_core)
add_dependencies(test_player_resolver localweb)
window_test(test_player_window player_window)
add_dependencies(test_player_window lumetta)
