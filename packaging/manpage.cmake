# qb_add_man_page(<executable target> <what it is, for the NAME line>)
# Makes the executable's section 1 man page from its --help and --version with help2man at build
# time, gzipped for share/man/man1; packaging/<target>.h2m, when there, adds sections of its own.
if(QB_MAN_PAGES)
    find_program(QB_HELP2MAN help2man REQUIRED)
    find_program(QB_GZIP gzip REQUIRED)
endif()

function(qb_add_man_page target what)
    if(NOT QB_MAN_PAGES)
        return()
    endif()
    set(page "${PROJECT_BINARY_DIR}/man/${target}.1")
    set(extra "${PROJECT_SOURCE_DIR}/packaging/${target}.h2m")
    set(include)
    set(sections)
    if(EXISTS "${extra}")
        set(include --include "${extra}")
        set(sections "${extra}")
    endif()
    add_custom_command(
        OUTPUT "${page}.gz"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/man"
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${QB_HELP2MAN} --no-info
                --name "${what}" ${include} --output "${page}" $<TARGET_FILE:${target}>
        COMMAND ${QB_GZIP} -9nf "${page}"
        DEPENDS ${target} ${sections}
        COMMENT "Man page of ${target}"
        VERBATIM)
    add_custom_target(${target}-man ALL DEPENDS "${page}.gz")
    install(FILES "${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endfunction()
