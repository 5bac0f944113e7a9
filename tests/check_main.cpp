// Runs every registered case (or those whose "group.name" contains the first
// argument) and ends with the line "N passed, N failed".
#include <cstring>

#include "tests/check.h"

namespace check {

namespace {
int failuresInCase = 0;
}

std::vector<Case>& Registry() {
    static std::vector<Case> cases;
    return cases;
}

void Fail(const char* file, int line, const std::string& what) {
    ++failuresInCase;
    std::printf("    %s:%d: %s\n", file, line, what.c_str());
}

}  // namespace check

int main(int argc, char** argv) {
    const char* filter = argc > 1 ? argv[1] : nullptr;
    int passed = 0, failed = 0;
    for (const check::Case& c : check::Registry()) {
        std::string full = std::string(c.group) + "." + c.name;
        if (filter && full.find(filter) == std::string::npos) continue;
        check::failuresInCase = 0;
        try {
            c.run();
        } catch (...) {
            check::Fail(__FILE__, __LINE__, "unexpected exception");
        }
        if (check::failuresInCase == 0) {
            ++passed;
        } else {
            ++failed;
            std::printf("FAILED %s\n", full.c_str());
        }
        std::fflush(stdout);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
