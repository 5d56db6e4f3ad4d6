# Folders named (relative to the source root) in VELTRON_SKIP are left out of the build; a
# developer uses it to build one part of the tree while another part is being written.
set(VELTRON_SKIP "" CACHE STRING "Source folders to leave out of the build")

# Adds a subfolder of the current source folder when it has a CMakeLists.txt and is not skipped.
function(veltron_add_subfolder child)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${child})
  if(rel IN_LIST VELTRON_SKIP)
    return()
  endif()
  if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
    add_subdirectory(${child})
  endif()
endfunction()

# Adds every immediate subfolder that has a CMakeLists.txt, in name order, so each subsystem
# or test folder plugs itself in.
function(veltron_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    veltron_add_subfolder(${child})
  endforeach()
endfunction()
