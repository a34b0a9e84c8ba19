# Warnings are errors in our own code; third-party headers come in as system
# headers and are not held to this.
function(demo_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor
        -Wold-style-cast -Wcast-align -Wnull-dereference -Werror)
endfunction()
