/* A program that imports WinInet directly, as the launcher once did: the control
 * that shows a planted library beside a program is loaded in the test's setting. */
#include <windows.h>
#include <wininet.h>

int main(void) {
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) ? 0 : 1;
}
