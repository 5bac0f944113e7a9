# The vendor's servers are "host[:port]" (plain HTTP), or the same behind "http://"
# or "https://" (net/server_address forms every address from them). Anything else
# (another scheme, a path, a typing slip in the scheme) would give addresses that no
# request can take, found only when the programs run: it is refused here.
#
# The host a server setting names, in `result` (an IPv6 address without its
# brackets), or "" for a text that is not a server setting.
function(vl2_server_host setting result)
    set(host "(\\[([0-9A-Fa-f:.]+)\\]|[A-Za-z0-9._-]+)")
    if(NOT "${setting}" MATCHES "^([Hh][Tt][Tt][Pp][Ss]?://)?${host}(:[0-9]+)?/?$")
        set(${result} "" PARENT_SCOPE)
    elseif(CMAKE_MATCH_3)
        set(${result} "${CMAKE_MATCH_3}" PARENT_SCOPE)
    else()
        set(${result} "${CMAKE_MATCH_2}" PARENT_SCOPE)
    endif()
endfunction()

function(vl2_check_server_settings)
    foreach(setting ${ARGN})
        vl2_server_host("${${setting}}" host)
        if(host STREQUAL "")
            message(FATAL_ERROR "${setting} (\"${${setting}}\") is not a server setting: give host[:port] for plain "
                                "HTTP or https://host[:port] for TLS.")
        endif()
    endforeach()
endfunction()
