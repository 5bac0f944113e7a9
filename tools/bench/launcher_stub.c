/* The least a launcher can do, built twice by the start-up benchmark from this one
   file, so that both start the suite exactly alike:
   - null_launcher PROGRAM ARGUMENT: starts a program with one argument, as
     InitVL2.exe starts the suite, and ends;
   - wininet_launcher URL PROGRAM ARGUMENT (built with -DCHECK_FOR_UPDATE): first
     makes the connection test and one fetch of the manifest with the same WinInet
     calls as InitVL2.exe (the system's proxy settings and cache, the same
     time-outs), without snapshot, registry, folders or parsing. Its time is the
     floor that the update check's own calls set; InitVL2.exe's time beyond it is
     what the launcher adds. */
#include <windows.h>
#include <stdio.h>

#ifdef CHECK_FOR_UPDATE
#include <wininet.h>

static void set_timeouts(HINTERNET handle) {
    DWORD limit = 4000, retries = 1;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &limit, sizeof(limit));
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &limit, sizeof(limit));
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &limit, sizeof(limit));
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof(retries));
}

/* Returns the number of body bytes read, or -1 when nothing could be read. */
static long fetch(const char* url, char* body, DWORD size) {
    char host[256] = "", path[2048] = "", length[32] = "";
    DWORD lengthSize = sizeof(length), got = 0;
    long result = -1;
    URL_COMPONENTSA parts = {sizeof(parts)};
    HINTERNET internet, connection = NULL, request = NULL;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof(path);
    if (!InternetCrackUrlA(url, 0, 0, &parts)) return -1;
    internet = InternetOpenA("SetupHtml", INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0);
    if (!internet) return -1;
    set_timeouts(internet);
    connection = InternetConnectA(internet, host, parts.nPort, NULL, NULL, INTERNET_SERVICE_HTTP, 0, 0);
    if (connection) {
        set_timeouts(connection);
        request = HttpOpenRequestA(connection, "GET", path, NULL, NULL, NULL, 0, 0);
    }
    if (request) {
        set_timeouts(request);
        if (HttpSendRequestA(request, NULL, 0, NULL, 0) &&
            HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, length, &lengthSize, NULL) &&
            InternetReadFile(request, body, size, &got))
            result = (long)got;
        InternetCloseHandle(request);
    }
    if (connection) InternetCloseHandle(connection);
    InternetCloseHandle(internet);
    return result;
}
#endif

int main(int argc, char** argv) {
    char command[2048];
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION process;
#ifdef CHECK_FOR_UPDATE
    char body[4096];
    DWORD flags = 0;
    if (argc != 4) return 64;
    /* Like InitVL2.exe with the suite current, start it whatever the check finds. */
    if (InternetGetConnectedState(&flags, 0)) fetch(argv[1], body, sizeof(body));
    ++argv;
#else
    if (argc != 3) return 64;
#endif
    snprintf(command, sizeof(command), "\"%s\" %s", argv[1], argv[2]);
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, CREATE_NEW_CONSOLE, NULL, NULL, &startup, &process))
        return 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
