# dw_module_headers(<target> [INTERFACE])
# Every library offers its folder's headers under their project path ("platform/text/text.h")
# from an include root of its own in the build tree, a symbolic link to the folder. A target sees
# the headers of the libraries it links and no others, so the build itself keeps the layers: a
# library that includes what it does not link does not compile.
function(dw_module_headers target)
  set(scope PUBLIC)
  if(ARGV1 STREQUAL "INTERFACE")
    set(scope INTERFACE)
  endif()
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${PROJECT_BINARY_DIR}/module-headers/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} ${scope} ${root})
endfunction()
