// Prints the text of the message box with the caption given (in the prefix's code
// page), so that a test can read what a box says: a screenshot shows it only to people.
// Usage: box_text CAPTION. Exits 1 when no such box is open.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
    const char* caption;
    std::string text;
    bool found;
};

BOOL CALLBACK LongestStatic(HWND child, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    char className[32] = "";
    GetClassNameA(child, className, sizeof(className));
    if (lstrcmpiA(className, "Static") != 0) return TRUE;
    char text[8192] = "";
    // WM_GETTEXT is carried across processes; the box's text is its longest static.
    SendMessageTimeoutA(child, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    if (std::string(text).size() > search->text.size()) search->text = text;
    return TRUE;
}

BOOL CALLBACK BoxWithCaption(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    char className[32] = "", caption[512] = "";
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, caption, sizeof(caption));
    if (lstrcmpA(className, "#32770") != 0 || lstrcmpA(caption, search->caption) != 0) return TRUE;
    search->found = true;
    EnumChildWindows(window, LongestStatic, parameter);
    return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 64;
    Search search = {argv[1], std::string(), false};
    EnumWindows(BoxWithCaption, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return 1;
    std::fwrite(search.text.data(), 1, search.text.size(), stdout);
    return 0;
}
