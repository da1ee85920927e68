#include "unit_change.h"

#include "config_files.h"
#include "printable_text.h"
#include "report.h"

namespace mx::cli {

std::optional<std::string> changeUnit(const std::string& folder, bool write, const UnitEdit& edit,
                                      std::string& changed) {
    LockedFolder locked;
    if (const auto error = locked.open(folder)) {
        return error->message();
    }
    StoredBlocks blocks;
    SourceNames stored;
    if (const auto error = locked.read(blocks, &stored)) {
        return error->message();
    }
    if (blocks.switches.empty() && blocks.settings.empty()) {
        return "\"" + printable(folder) + "\" holds no unit: it has no " + SwitchFileName + " or " +
               SettingsFileName + " (mxcfg import makes one)";
    }
    ChannelConfig config;
    applyStoredBlocks(blocks, config);
    const ChannelConfig before = config;
    UnitNames names = stored.names;
    edit(config, names);
    const std::size_t renamed = nameDifferences(stored.names, "", names, "").size();
    changed = changesBetween(before, config).describe();
    if (renamed > 0) {
        changed += (changed.empty() ? "" : " and ") + std::to_string(renamed) +
                   (renamed == 1 ? " name" : " names");
    }
    if (renamed > 0 && stored.unreadable) {
        return "The names of \"" + printable(folder) +
               "\" cannot be read, so they were not changed, nor anything else: " +
               stored.unreadable->message();
    }
    if (!write || changed.empty()) {
        return std::nullopt;
    }
    std::optional<FileError> namesKept;
    if (const auto failure = locked.save(config, renamed > 0 ? &names : nullptr, &namesKept)) {
        return failure->summary() + " " + failure->error.message();
    }
    if (namesKept) {
        return "The configuration was saved to \"" + printable(folder) +
               "\"; its names were not: " + namesKept->message();
    }
    return std::nullopt;
}

std::string changeLine(const std::string& shown, const std::string& changed) {
    return shown + ": " + (changed.empty() ? std::string("unchanged") : changed + " changed");
}

} // namespace mx::cli
