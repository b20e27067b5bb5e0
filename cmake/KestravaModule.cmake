# kestrava_module(target folder deps...): a static library of every .cpp in
# src/<folder> and src/<folder>/linux, except the program's entry point.
find_package(Threads REQUIRED)

function(kestrava_module target folder)
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp
       ${CMAKE_SOURCE_DIR}/src/${folder}/*.h
       ${CMAKE_SOURCE_DIR}/src/${folder}/linux/*.cpp
       ${CMAKE_SOURCE_DIR}/src/${folder}/linux/*.h)
  list(FILTER sources EXCLUDE REGEX "/src/app/main\\.cpp$")
  set(cpp_sources ${sources})
  list(FILTER cpp_sources INCLUDE REGEX "\\.cpp$")
  if(NOT cpp_sources)
    # a folder that has no code yet still gives a target the others can name
    set(stub ${CMAKE_BINARY_DIR}/stubs/${target}.cpp)
    file(WRITE ${stub} "// no sources yet\n")
    list(APPEND sources ${stub})
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC ${ARGN})
endfunction()
