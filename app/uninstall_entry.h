// The values of the suite's uninstall entry: what Apps & Features (and Add or Remove
// Programs before it) lists, and the command it runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace uninstall_entry {

struct Value {
    std::string name;
    bool isNumber = false;  // REG_DWORD when true, text (REG_SZ) otherwise
    std::string text;
    uint32_t number = 0;
};

struct Facts {
    std::string installRoot;
    std::string version;
    uint64_t installedBytes = 0;  // what the installed version takes on the disk
    std::string siteUrl;          // the vendor's site
};

// Every value, in the order written. The size is given in KiB, as the shell
// expects, rounded up and held to what a DWORD can say.
std::vector<Value> Values(const Facts& facts);

}  // namespace uninstall_entry
