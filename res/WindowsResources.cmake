# The Windows executables' resources: the utility's icon and version information, from project().
include(${CMAKE_CURRENT_LIST_DIR}/icons/AppIcon.cmake)

# talvor_windows_icon(): the multi-size icon, built in the calling folder as TALVOR_ICON_FILE by the
# target talvor_app_icon. The installer shows the same icon: it finds the file in the resource script.
function(talvor_windows_icon)
  set(renders)
  foreach(size 16 24 32 48 256)
    talvor_render_icon(${CMAKE_CURRENT_BINARY_DIR}/icons/${size}.png ${size})
    list(APPEND renders ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}.png)
  endforeach()
  set(TALVOR_ICON_FILE ${CMAKE_CURRENT_BINARY_DIR}/app.ico CACHE INTERNAL "multi-size icon of the utility")
  talvor_convert_image(${TALVOR_ICON_FILE} INPUTS ${renders})
  add_custom_target(talvor_app_icon DEPENDS ${TALVOR_ICON_FILE})
endfunction()

# talvor_windows_resources(TARGET DESCRIPTION): the icon and the version information in TARGET, whose
# file is TARGET.exe; DESCRIPTION is the text Windows shows as the file's description.
function(talvor_windows_resources target description)
  set(TALVOR_FILE_DESCRIPTION "${description}")
  set(TALVOR_INTERNAL_NAME ${target})
  # The resource compiler cannot read C++, so the icon's id is taken from its one home.
  file(STRINGS ${PROJECT_SOURCE_DIR}/res/ResourceIds.h iconIdLine REGEX "IDR_MAINFRAME = [0-9]+")
  string(REGEX MATCH "[0-9]+" TALVOR_ICON_ID "${iconIdLine}")
  # Four numbers, however many the project's version gives.
  set(fields ${PROJECT_VERSION_MAJOR})
  foreach(part MINOR PATCH TWEAK)
    if(PROJECT_VERSION_${part} STREQUAL "")
      string(APPEND fields ",0")
    else()
      string(APPEND fields ",${PROJECT_VERSION_${part}}")
    endif()
  endforeach()
  set(TALVOR_VERSION_FIELDS ${fields})
  set(script ${CMAKE_CURRENT_BINARY_DIR}/AppResources.rc)
  configure_file(${PROJECT_SOURCE_DIR}/res/VersionResources.rc.in ${script} @ONLY)
  set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS ${TALVOR_ICON_FILE})
  target_sources(${target} PRIVATE ${script})
  add_dependencies(${target} talvor_app_icon)
endfunction()
