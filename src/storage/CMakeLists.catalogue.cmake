# The recording catalogue: sources, scanning, the partition listing, sort, classification
# and the list fills, the export of partition recordings. Qt Core only.
add_library(merido_catalogue STATIC
  ${CMAKE_CURRENT_LIST_DIR}/filetime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recordingcatalogue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recordingexport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recordingname.cpp
)
target_include_directories(merido_catalogue PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(merido_catalogue PUBLIC Qt6::Core merido_storage merido_drives merido_krfs merido_export)
merido_target_defaults(merido_catalogue)
