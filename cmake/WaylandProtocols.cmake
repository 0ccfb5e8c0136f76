# A static library of the client glue wayland-scanner makes for the given protocol files; its
# headers are included by their bare names.
function(tavrin_wayland_protocols target)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(WAYLAND REQUIRED IMPORTED_TARGET wayland-client)
    find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target})
    set(sources)
    foreach(xml ${ARGN})
        get_filename_component(name ${xml} NAME_WE)
        add_custom_command(
            OUTPUT ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
            COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${dir}/${name}-client-protocol.h
            COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${dir}/${name}-protocol.c
            DEPENDS ${xml} VERBATIM)
        list(APPEND sources ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c)
    endforeach()
    add_library(${target} STATIC ${sources})
    set_target_properties(${target} PROPERTIES AUTOMOC OFF LINKER_LANGUAGE C)
    # Generated code is not ours to fix.
    target_compile_options(${target} PRIVATE -w)
    target_include_directories(${target} PUBLIC ${dir})
    target_link_libraries(${target} PUBLIC PkgConfig::WAYLAND)
endfunction()
