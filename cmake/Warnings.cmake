# Warning and sanitizer flags shared by every target of the project.
function(vantrel_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wno-sign-conversion)
    # GCC 12 reports -Wrestrict inside std::string concatenation at -O2 (a known false positive).
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    if(VANTREL_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

if(VANTREL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
