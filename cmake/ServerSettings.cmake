# The vendor's servers are "host[:port]" (plain HTTP), or the same behind "http://"
# or "https://" (net/server_address forms every address from them). Anything else
# (another scheme, a path, a typing slip in the scheme) would give addresses that no
# request can take, found only when the programs run: it is refused here.
function(vl2_check_server_settings)
    set(host "(\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9._-]+)")
    foreach(setting ${ARGN})
        if(NOT "${${setting}}" MATCHES "^([Hh][Tt][Tt][Pp][Ss]?://)?${host}(:[0-9]+)?/?$")
            message(FATAL_ERROR "${setting} (\"${${setting}}\") is not a server setting: give host[:port] for plain "
                                "HTTP or https://host[:port] for TLS.")
        endif()
    endforeach()
endfunction()
