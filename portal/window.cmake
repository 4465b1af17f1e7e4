# The portal window and its browser host: a library that corvale and the window tests share.
add_library(portal_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/form1.h ${CMAKE_CURRENT_LIST_DIR}/form1.cpp
  ${CMAKE_CURRENT_LIST_DIR}/form1_search.cpp ${CMAKE_CURRENT_LIST_DIR}/resultlist.h
  ${CMAKE_CURRENT_LIST_DIR}/browserhost.h ${CMAKE_CURRENT_LIST_DIR}/browserhost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resources/portal.qrc
)
target_include_directories(portal_window PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(portal_window
  PUBLIC portal_core webkit browser app Qt6::Widgets Qt6::WebEngineWidgets Qt6::WebChannel
  PRIVATE vendor)

add_executable(corvale ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(corvale PRIVATE portal_window app)

# Redraws the window's bitmaps into portal/resources/ (run by hand: cmake --build B --target
# portal_bitmaps); the PNG files it writes are kept with the sources.
add_executable(drawbitmaps EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/resources/drawbitmaps.cpp)
target_link_libraries(drawbitmaps PRIVATE Qt6::Gui)
add_custom_target(portal_bitmaps
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:drawbitmaps> ${CMAKE_CURRENT_LIST_DIR}/resources
  DEPENDS drawbitmaps
  COMMENT "Drawing the portal's bitmaps"
  VERBATIM)
