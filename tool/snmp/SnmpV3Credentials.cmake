# Configure-time check of the SNMPv3 credentials a site builds in.
# User name: 1 to 32 characters (a USM user name is SIZE(1..32)). Pass
# phrases: 8 to 64 characters (USM agents such as Net-SNMP refuse pass
# phrases under 8). All printable ASCII without blanks, '"', '\' or ';', so
# each passes unchanged into a C string literal and into an agent's config.
function(lw_check_snmpv3_credential var min max)
    set(value "${${var}}")
    string(LENGTH "${value}" len)
    if(len EQUAL 0)
        message(FATAL_ERROR "${var} is empty: give ${min} to ${max} characters")
    endif()
    if(len LESS ${min} OR len GREATER ${max})
        message(FATAL_ERROR "${var} has ${len} characters: give ${min} to ${max}")
    endif()
    if(NOT value MATCHES "^[!-~]+$" OR value MATCHES "[\"\\\\;]")
        message(FATAL_ERROR "${var} may hold only printable ASCII without blanks, '\"', '\\' or ';'")
    endif()
endfunction()
