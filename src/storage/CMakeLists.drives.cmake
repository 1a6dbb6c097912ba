# Drive discovery: removable cards from the mount table and sysfs, probed through the
# partition library. Qt Core only.
add_library(merido_drives STATIC
  ${CMAKE_CURRENT_LIST_DIR}/drives.cpp
)
target_include_directories(merido_drives PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(merido_drives PUBLIC Qt6::Core merido_krfs)
merido_target_defaults(merido_drives)
