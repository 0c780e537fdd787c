# Read by ctest before the tests of this folder are declared. The full (soak) form of the
# reliability programs runs far beyond the bounded form's time limit, so under ZPP_SOAK=1 each
# declaration of a reliability program gets a limit of four hours instead.
if("$ENV{ZPP_SOAK}" STREQUAL "1")
    function(set_tests_properties)
        # Pair by pair, quoted: a value such as "reliability;pg" must stay one value.
        set(tests "")
        set(i 0)
        while(i LESS ARGC AND NOT "${ARGV${i}}" STREQUAL "PROPERTIES")
            list(APPEND tests "${ARGV${i}}")
            math(EXPR i "${i} + 1")
        endwhile()
        math(EXPR i "${i} + 1")
        while(i LESS ARGC)
            math(EXPR j "${i} + 1")
            _set_tests_properties(${tests} PROPERTIES "${ARGV${i}}" "${ARGV${j}}")
            math(EXPR i "${i} + 2")
        endwhile()
        list(FILTER tests INCLUDE REGEX "^test_reliability_")
        if(tests)
            _set_tests_properties(${tests} PROPERTIES TIMEOUT 14400)
        endif()
    endfunction()
endif()
