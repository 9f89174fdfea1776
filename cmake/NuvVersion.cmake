# The program's version, one text for the About box, --version, the runs it
# records and the package: from `git describe` over tags "v<version>"
# ("v1.2" itself, "1.2+5.g1a2b3c4" five commits after it); without such a tag
# the project's version with the commit count and the commit
# ("0.1+145.gf3c1d49"); without git the project's version alone. Every form
# is a valid Debian version that grows with the history.
function(nuv_version out)
  set(version ${PROJECT_VERSION})
  find_package(Git QUIET)
  if(GIT_FOUND AND EXISTS ${CMAKE_SOURCE_DIR}/.git)
    execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --long --always --abbrev=7
                            --match "v[0-9]*"
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE described RESULT_VARIABLE failed
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-list --count HEAD
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(failed)
      # not a repository after all (an exported tree): the project's version
    elseif(described MATCHES "^v([0-9][0-9A-Za-z.~]*)-([0-9]+)-g([0-9a-f]+)$")
      set(version ${CMAKE_MATCH_1})
      if(NOT CMAKE_MATCH_2 STREQUAL "0")
        string(APPEND version "+${CMAKE_MATCH_2}.g${CMAKE_MATCH_3}")
      endif()
    elseif(described MATCHES "^[0-9a-f]+$" AND count MATCHES "^[0-9]+$")
      set(version "${PROJECT_VERSION}+${count}.g${described}")
    endif()
    # A new commit or checkout configures again, so the version follows it.
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --absolute-git-dir
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE gitdir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    foreach(f HEAD logs/HEAD)
      if(gitdir AND EXISTS ${gitdir}/${f})
        set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                     ${gitdir}/${f})
      endif()
    endforeach()
  endif()
  set(${out} ${version} PARENT_SCOPE)
endfunction()
