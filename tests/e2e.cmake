# The whole mission: the portal window with the real player beside this test in bin/brenlo.
window_test(test_e2e portal_window)
add_dependencies(test_e2e lumetta)
set_target_properties(test_e2e PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Hostile pages against the portal's link search and the player's play-address resolution.
window_test(test_hostile portal_window player_window)
