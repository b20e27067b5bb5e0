# Renders the SVG artwork at build time: imglst/NN-*.svg to NN.bmp (the rows of
# the database table imglst), icons/*.svg to PNG icons in several sizes.
set(render_dir ${CMAKE_SOURCE_DIR}/tools/render-artwork)
add_executable(render-artwork
  ${render_dir}/main.cpp
  ${render_dir}/bmpwriter.cpp ${render_dir}/bmpwriter.h
  ${render_dir}/contactsheet.cpp ${render_dir}/contactsheet.h)
target_link_libraries(render-artwork PRIVATE Qt6::Gui Qt6::Svg)
# a build tool, kept out of the runnable program folder
set_target_properties(render-artwork PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/artwork)

set(imglst_out ${CMAKE_BINARY_DIR}/artwork/imglst)
set(icon_out ${CMAKE_BINARY_DIR}/artwork/icons)

# slot NN comes from the first two characters of the file name, so the order of
# the image list is the order of the names
file(GLOB slot_svgs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/imglst/[0-9][0-9]-*.svg)
list(SORT slot_svgs)
list(LENGTH slot_svgs slot_count)
if(NOT slot_count EQUAL 34)
  message(FATAL_ERROR "artwork/imglst must hold 34 slot images 00-33, found ${slot_count}")
endif()
set(render_args)
set(outputs)
set(expected 0)
foreach(src ${slot_svgs})
  get_filename_component(name ${src} NAME)
  string(SUBSTRING ${name} 0 2 slot)
  set(want ${expected})
  if(expected LESS 10)
    set(want "0${expected}")
  endif()
  if(NOT slot STREQUAL want)
    message(FATAL_ERROR "artwork/imglst: slot ${want} missing (found ${name})")
  endif()
  math(EXPR expected "${expected} + 1")
  # the warning window's faces are 32-bit bitmaps, the main window's 24-bit
  if(slot STREQUAL "32" OR slot STREQUAL "33")
    list(APPEND render_args --bpp 32)
  endif()
  list(APPEND render_args ${src} ${imglst_out}/${slot}.bmp)
  list(APPEND outputs ${imglst_out}/${slot}.bmp)
endforeach()

set(icon_svgs ${CMAKE_CURRENT_SOURCE_DIR}/icons/kestrava.svg ${CMAKE_CURRENT_SOURCE_DIR}/icons/kestrava-link-down.svg)
foreach(src ${icon_svgs})
  get_filename_component(stem ${src} NAME_WE)
  foreach(size 16 22 24 32 48 64 128 256)
    list(APPEND render_args --size ${size} ${src} ${icon_out}/${stem}-${size}.png)
    list(APPEND outputs ${icon_out}/${stem}-${size}.png)
  endforeach()
endforeach()

add_custom_command(
  OUTPUT ${outputs}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${imglst_out} ${icon_out}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:render-artwork> ${render_args}
  DEPENDS render-artwork ${slot_svgs} ${icon_svgs}
  COMMENT "Rendering the artwork"
  VERBATIM)
add_custom_target(artwork_bmp ALL DEPENDS ${outputs})

# Developer aid: a contact sheet of every image and the windows assembled from them.
add_custom_target(artwork_sheet
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:render-artwork>
          --sheet ${imglst_out} ${icon_out} ${CMAKE_BINARY_DIR}/artwork/artwork-sheet.png
  DEPENDS artwork_bmp
  COMMENT "Drawing the artwork contact sheet"
  VERBATIM)

# where tools/mkdb and the program find the rendered files
set(KESTRAVA_IMGLST_DIR ${imglst_out} CACHE INTERNAL "Rendered image-list bitmaps 00.bmp-33.bmp")
set(KESTRAVA_ICON_DIR ${icon_out} CACHE INTERNAL "Rendered program and tray icons")
set(KESTRAVA_IMGLST_DIR ${imglst_out} PARENT_SCOPE)
set(KESTRAVA_ICON_DIR ${icon_out} PARENT_SCOPE)

# The checks of the rendered files read them from the build tree: building the
# test executable renders them first. The test target is defined after this
# folder, so the dependency is added once the whole tree is configured.
function(kestrava_artwork_test_dependency)
  if(TARGET artwork_unit)
    add_dependencies(artwork_unit artwork_bmp)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kestrava_artwork_test_dependency)
