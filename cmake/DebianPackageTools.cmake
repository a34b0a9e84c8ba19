# Read by cpack before it makes the Debian package. Without dpkg-shlibdeps
# CPack would quietly make a package that depends on nothing.
foreach(tool_and_package dpkg-shlibdeps:dpkg-dev file:file)
    string(REPLACE ":" ";" tool_and_package ${tool_and_package})
    list(GET tool_and_package 0 tool)
    list(GET tool_and_package 1 package)
    find_program(demo_${tool}_path ${tool})
    if(NOT demo_${tool}_path)
        message(FATAL_ERROR "the Debian package needs ${tool}: install ${package}")
    endif()
endforeach()
