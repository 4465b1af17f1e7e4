add_library(portal_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ed2klink.h ${CMAKE_CURRENT_LIST_DIR}/ed2klink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/results.h ${CMAKE_CURRENT_LIST_DIR}/results.cpp
  ${CMAKE_CURRENT_LIST_DIR}/links.h ${CMAKE_CURRENT_LIST_DIR}/links.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resultmodel.h ${CMAKE_CURRENT_LIST_DIR}/resultmodel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/startlimit.h ${CMAKE_CURRENT_LIST_DIR}/startlimit.cpp
)
target_include_directories(portal_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(portal_core PUBLIC app webkit Qt6::Core)
target_sources(portal_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/search.h ${CMAKE_CURRENT_LIST_DIR}/search.cpp
  ${CMAKE_CURRENT_LIST_DIR}/headless.h ${CMAKE_CURRENT_LIST_DIR}/headless.cpp
)
