# Checks the include arrows between the folders of a source tree:
#
#   cmake -DSOURCE_DIR=<tree>/src -DWIDGETS_DIR=<Qt's QtWidgets include folder> -P CheckLayers.cmake
#
# Every folder may include itself and the folders listed for it below, nothing else: an
# include of a folder further up (connection including edid, a flow including app) or of a
# folder beside it is refused. Below app/ nothing includes a Qt Widgets header (any header of
# WIDGETS_DIR, or <QtWidgets/...>). A folder that has no entry here is refused too, so a new
# folder gets its place in the order before it gets code.
# Every offence is printed as "file: what"; the script fails when there is one.

cmake_minimum_required(VERSION 3.20)

get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)
if(NOT SOURCE_DIR OR NOT IS_DIRECTORY "${SOURCE_DIR}")
    message(FATAL_ERROR "CheckLayers: SOURCE_DIR names no folder: '${SOURCE_DIR}'")
endif()

# The layers from the bottom up; each folder lists what it may include besides itself.
set(below_common "")
set(below_protocol common)
set(below_links common protocol)
set(below_connection common protocol links)
set(below_edid common protocol links connection)
set(below_creator common protocol links connection edid)
set(below_system common protocol links connection)
set(below_multicom common protocol links connection)
set(below_site common protocol links connection edid)
set(below_cli common protocol links connection edid creator system multicom site)
set(below_app common protocol links connection edid creator system multicom site)
set(layers common protocol links connection edid creator system multicom site cli app)
# The folders whose code may use Qt Widgets.
set(widget_layers app)

set(widget_headers "")
if(WIDGETS_DIR AND IS_DIRECTORY "${WIDGETS_DIR}")
    file(GLOB widget_headers RELATIVE "${WIDGETS_DIR}" "${WIDGETS_DIR}/*")
elseif(WIDGETS_DIR)
    message(FATAL_ERROR "CheckLayers: WIDGETS_DIR names no folder: '${WIDGETS_DIR}'")
endif()

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
list(SORT sources)
set(offences 0)
set(checked 0)

foreach(source IN LISTS sources)
    if(NOT source MATCHES "^([^/]+)/")
        continue() # a file at the top of the tree belongs to no layer
    endif()
    set(layer "${CMAKE_MATCH_1}")
    if(NOT layer IN_LIST layers)
        message("src/${source}: the folder '${layer}' has no place in the layers")
        math(EXPR offences "${offences} + 1")
        continue()
    endif()
    math(EXPR checked "${checked} + 1")
    set(allowed ${below_${layer}} ${layer})

    file(STRINGS "${SOURCE_DIR}/${source}" lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
        if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
            continue()
        endif()
        set(bracket "${CMAKE_MATCH_1}")
        set(header "${CMAKE_MATCH_2}")
        if(bracket STREQUAL "\"" AND header MATCHES "^([^/]+)/")
            set(target "${CMAKE_MATCH_1}")
            if(target IN_LIST layers AND NOT target IN_LIST allowed)
                string(REPLACE ";" ", " may "${allowed}")
                message("src/${source}: ${layer} includes ${header}"
                        " (${layer} may include ${may})")
                math(EXPR offences "${offences} + 1")
            endif()
        endif()
        if(NOT layer IN_LIST widget_layers)
            set(widget FALSE)
            if(header MATCHES "^QtWidgets(/|$)")
                set(widget TRUE)
            elseif(bracket STREQUAL "<" AND header IN_LIST widget_headers)
                set(widget TRUE)
            endif()
            if(widget)
                message("src/${source}: ${layer} includes the Widgets header <${header}>"
                        " (only ${widget_layers} may)")
                math(EXPR offences "${offences} + 1")
            endif()
        endif()
    endforeach()
endforeach()

if(checked EQUAL 0)
    message(FATAL_ERROR "CheckLayers: no source file under ${SOURCE_DIR}")
endif()
if(offences GREATER 0)
    message(FATAL_ERROR "CheckLayers: ${offences} include(s) against the layers")
endif()
message("CheckLayers: ${checked} files, every include points down")
