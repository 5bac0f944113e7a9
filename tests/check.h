// A very small test framework that builds the same way natively and for Windows,
// so that one set of cases runs under sanitizers and under Wine.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace check {

struct Case {
    const char* group;
    const char* name;
    void (*run)();
};

std::vector<Case>& Registry();
void Fail(const char* file, int line, const std::string& what);

struct Registrar {
    Registrar(const char* group, const char* name, void (*run)()) { Registry().push_back({group, name, run}); }
};

template <typename T>
std::string Show(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}
inline std::string Show(const std::string& value) { return "\"" + value + "\""; }
inline std::string Show(const char* value) { return value ? "\"" + std::string(value) + "\"" : "null"; }

}  // namespace check

#define TEST_CASE(group, name)                                                         \
    static void group##__##name();                                                     \
    static check::Registrar group##__##name##__registrar(#group, #name, group##__##name); \
    static void group##__##name()

#define CHECK(condition)                                                    \
    do {                                                                    \
        if (!(condition)) check::Fail(__FILE__, __LINE__, "CHECK(" #condition ")"); \
    } while (0)

#define CHECK_EQ(actual, expected)                                                                  \
    do {                                                                                            \
        auto check_actual_ = (actual);                                                              \
        auto check_expected_ = (expected);                                                          \
        if (!(check_actual_ == check_expected_))                                                    \
            check::Fail(__FILE__, __LINE__,                                                         \
                        std::string(#actual " == " #expected ": got ") + check::Show(check_actual_) + \
                            ", expected " + check::Show(check_expected_));                          \
    } while (0)
