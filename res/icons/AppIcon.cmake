# Renders the application icon from its one drawing, res/icons/AppIcon.svg, at build time. Included by
# every folder that needs a render, since a custom command serves the folder that declares it.

find_program(TALVOR_RSVG_CONVERT rsvg-convert REQUIRED)
set(TALVOR_ICON_SOURCE ${CMAKE_CURRENT_LIST_DIR}/AppIcon.svg)

# talvor_render_icon(OUTPUT SIZE): the icon as a SIZE x SIZE PNG with transparent corners.
function(talvor_render_icon output size)
  get_filename_component(folder ${output} DIRECTORY)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${TALVOR_RSVG_CONVERT} --width=${size} --height=${size} --output=${output} ${TALVOR_ICON_SOURCE}
    DEPENDS ${TALVOR_ICON_SOURCE}
    VERBATIM)
endfunction()

# talvor_convert_image(OUTPUT INPUTS input... [OPTIONS option...]): ImageMagick combines or converts
# renders into OUTPUT.
function(talvor_convert_image output)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "INPUTS;OPTIONS")
  find_program(TALVOR_CONVERT convert REQUIRED)
  add_custom_command(OUTPUT ${output}
    COMMAND ${TALVOR_CONVERT} ${arg_INPUTS} ${arg_OPTIONS} ${output}
    DEPENDS ${arg_INPUTS}
    VERBATIM)
endfunction()
