# The help file: compiled from its sources with chmcmd (Debian fp-utils).
#
# Included: defines vexlo_help_file(<target> SOURCE_DIR <dir> PROJECT <x.hhp> OUTPUT <file.chm>),
# a target built with ALL that checks the sources and compiles them.
# Run with -P (-DHELP_DIR=<dir> -DHELP_PROJECT=<x.hhp>): only the check, which fails when the
# contents (.hhc) or the index (.hhk) name a topic that is not among the sources, or when the
# project lists a file that does not exist.

function(_vexlo_help_check dir project)
    if(NOT EXISTS "${dir}/${project}")
        message(FATAL_ERROR "help: project file ${dir}/${project} not found")
    endif()
    file(STRINGS "${dir}/${project}" hhp_lines ENCODING UTF-8)
    set(section "")
    set(sitemaps "")
    set(missing "")
    foreach(line IN LISTS hhp_lines)
        string(STRIP "${line}" line)
        if(line MATCHES "^\\[(.*)\\]$")
            string(TOUPPER "${CMAKE_MATCH_1}" section)
        elseif(section STREQUAL "OPTIONS" AND line MATCHES "^(Contents file|Index file)[ \t]*=[ \t]*(.+)$")
            list(APPEND sitemaps "${CMAKE_MATCH_2}")
        elseif(section STREQUAL "FILES" AND NOT line STREQUAL "" AND NOT line MATCHES "^;")
            if(NOT EXISTS "${dir}/${line}")
                list(APPEND missing "${project} lists ${line}")
            endif()
        endif()
    endforeach()
    foreach(map IN LISTS sitemaps)
        if(NOT EXISTS "${dir}/${map}")
            list(APPEND missing "${project} names ${map}")
            continue()
        endif()
        file(READ "${dir}/${map}" text)
        # <param name="Local" value="topic.htm#anchor">, in any letter case
        string(REGEX MATCHALL "[Nn][Aa][Mm][Ee][ \t]*=[ \t]*\"[Ll][Oo][Cc][Aa][Ll]\"[ \t]+[Vv][Aa][Ll][Uu][Ee][ \t]*=[ \t]*\"[^\"]*\"" locals "${text}")
        set(count 0)
        foreach(local IN LISTS locals)
            string(REGEX REPLACE ".*\"([^\"]*)\"$" "\\1" topic "${local}")
            string(REGEX REPLACE "#.*$" "" topic "${topic}")
            string(REGEX REPLACE "^/" "" topic "${topic}")
            math(EXPR count "${count} + 1")
            if(topic STREQUAL "" OR NOT EXISTS "${dir}/${topic}")
                list(APPEND missing "${map} names the missing topic '${topic}'")
            endif()
        endforeach()
        if(count EQUAL 0)
            list(APPEND missing "${map} names no topic")
        endif()
    endforeach()
    if(missing)
        list(JOIN missing "\n  " text)
        message(FATAL_ERROR "help: the help sources are incomplete:\n  ${text}")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
    _vexlo_help_check("${HELP_DIR}" "${HELP_PROJECT}")
    return()
endif()

function(vexlo_help_file target)
    cmake_parse_arguments(H "" "SOURCE_DIR;PROJECT;OUTPUT" "" ${ARGN})
    find_program(CHMCMD_EXECUTABLE chmcmd REQUIRED DOC "CHM compiler (Debian package fp-utils)")
    file(GLOB sources CONFIGURE_DEPENDS "${H_SOURCE_DIR}/*")
    get_filename_component(chm_name "${H_OUTPUT}" NAME)
    set(stage "${CMAKE_CURRENT_BINARY_DIR}/${target}")
    add_custom_command(
        OUTPUT "${H_OUTPUT}"
        COMMAND ${CMAKE_COMMAND} -DHELP_DIR=${H_SOURCE_DIR} -DHELP_PROJECT=${H_PROJECT} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
        COMMAND ${CMAKE_COMMAND} -E make_directory "${stage}"
        COMMAND ${CMAKE_COMMAND} -E copy_directory "${H_SOURCE_DIR}" "${stage}"
        COMMAND ${CMAKE_COMMAND} -E rm -f "${stage}/${chm_name}"
        COMMAND ${CMAKE_COMMAND} -E chdir "${stage}" ${CHMCMD_EXECUTABLE} --no-html-scan --verbosity 0 ${H_PROJECT}
        COMMAND ${CMAKE_COMMAND} -E copy "${stage}/${chm_name}" "${H_OUTPUT}"
        DEPENDS ${sources} ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
        COMMENT "Compiling the help file ${chm_name}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS "${H_OUTPUT}")
endfunction()
