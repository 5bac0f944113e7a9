#include "app/uninstall_entry.h"

#include "app/install_paths.h"

namespace uninstall_entry {
namespace {

Value Text(const char* name, const std::string& text) {
    Value value;
    value.name = name;
    value.text = text;
    return value;
}

Value Number(const char* name, uint32_t number) {
    Value value;
    value.name = name;
    value.isNumber = true;
    value.number = number;
    return value;
}

}  // namespace

std::vector<Value> Values(const Facts& facts) {
    uint64_t kib = facts.installedBytes / 1024 + (facts.installedBytes % 1024 ? 1 : 0);
    if (kib > 0xFFFFFFFFu) kib = 0xFFFFFFFFu;
    return {
        Text("DisplayName", "Velmora 2.0 제거"),
        Text("DisplayVersion", facts.version),
        Text("Publisher", "Corvalen"),
        Text("DisplayIcon", install_paths::UninstallerPath(facts.installRoot)),
        Text("InstallLocation", install_paths::ProductFolder(facts.installRoot)),
        Text("UninstallString", install_paths::UninstallCommand(facts.installRoot)),
        Text("URLInfoAbout", facts.siteUrl),
        Number("EstimatedSize", static_cast<uint32_t>(kib)),
        // The suite has no parts to choose and nothing to repair: the shell offers
        // only removal.
        Number("NoModify", 1),
        Number("NoRepair", 1),
    };
}

}  // namespace uninstall_entry
