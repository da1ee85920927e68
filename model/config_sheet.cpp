#include "config_sheet.h"

#include "printable_text.h"
#include "unit_names.h"

#include <algorithm>
#include <ctime>
#include <string_view>
#include <vector>

namespace mx {

namespace {

std::string channelName(int channel) {
    return "Channel " + std::to_string(channel + 1);
}

// Whether any mask has bit 32 or 64 set: only then has the table a column
// for them.
bool hasUnnamedBits(const ChannelConfig& config) {
    for (const ChannelSwitches& record : config.Switches.Channels) {
        for (const SwitchField field : AllSwitchFields) {
            if ((fieldOf(record, field) & UnnamedBits) != 0) {
                return true;
            }
        }
    }
    return false;
}

// The table's two header rows: the channels, each over its six switches.
std::vector<SheetRow> headRows(bool unnamedColumn, const UnitNames& names) {
    SheetRow channels{{.text = "Group", .rows = 2, .heading = true, .left = true}};
    SheetRow switches;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const std::string& name = names.channels[static_cast<std::size_t>(channel)];
        channels.push_back(
            {.text = channelName(channel) + (name.empty() ? "" : "\n" + printable(name)),
             .columns = static_cast<int>(AllSwitches.size()),
             .heading = true,
             .wraps = true});
        for (std::size_t i = 0; i < AllSwitches.size(); ++i) {
            switches.push_back({.text = std::string(1, MaskBitSymbols[i]), .heading = true});
        }
    }
    if (unnamedColumn) {
        channels.push_back(
            {.text = "Bits 32, 64: channels", .rows = 2, .heading = true, .left = true});
    }
    return {channels, switches};
}

// The channels of a set, as "1, 3–5, 8".
std::string channelList(const std::vector<int>& channels) {
    std::string list;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        std::size_t last = i;
        while (last + 1 < channels.size() && channels[last + 1] == channels[last] + 1) {
            ++last;
        }
        list += (list.empty() ? "" : ", ") + std::to_string(channels[i] + 1);
        if (last >= i + 2) {
            list += "\u2013" + std::to_string(channels[last] + 1);
            i = last;
        }
    }
    return list;
}

// Bits 32 and 64 of one mask, e.g. "32: 1, 3; 64: 2–8", or nothing.
std::string unnamedCell(const ChannelConfig& config, SwitchField field) {
    std::string cell;
    for (const BitName& name : MaskBitNames) {
        if ((name.bit & UnnamedBits) == 0) {
            continue;
        }
        std::vector<int> channels;
        for (int channel = 0; channel < ChannelCount; ++channel) {
            if ((fieldOf(config.Switches.Channels[static_cast<std::size_t>(channel)], field) &
                 name.bit) != 0) {
                channels.push_back(channel);
            }
        }
        if (!channels.empty()) {
            cell += (cell.empty() ? "" : "; ") + std::to_string(name.bit) + ": " +
                    channelList(channels);
        }
    }
    return cell;
}

// The bits of one mask that differ from the reference; none without one.
SwitchMask differingBits(const SheetHeading& heading, const ChannelConfig& config, int channel,
                         SwitchField field) {
    if (heading.reference == nullptr) {
        return 0;
    }
    const auto index = static_cast<std::size_t>(channel);
    return fieldOf(config.Switches.Channels[index], field) ^
           fieldOf(heading.reference->Switches.Channels[index], field);
}

SheetRow switchRow(const ChannelConfig& config, SwitchField field, bool unnamedColumn,
                   const SheetHeading& heading) {
    const SwitchMask editable = editableSwitches(field);
    SheetRow row{{.text = fieldCaption(field), .heading = true, .left = true}};
    bool unnamedDiffers = false;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const SwitchMask mask =
            fieldOf(config.Switches.Channels[static_cast<std::size_t>(channel)], field);
        const SwitchMask differs = differingBits(heading, config, channel, field);
        unnamedDiffers = unnamedDiffers || (differs & UnnamedBits) != 0;
        for (const SwitchMask bit : AllSwitches) {
            const bool on = (mask & bit) != 0;
            const bool greyed = (editable & bit) == 0;
            row.push_back(
                {.text = greyed ? (on ? SheetGreyedOn : SheetGreyedOff) : (on ? SheetOn : SheetOff),
                 .shaded = greyed,
                 .differs = (differs & bit) != 0});
        }
    }
    if (unnamedColumn) {
        row.push_back({.text = unnamedCell(config, field),
                       .left = true,
                       .shaded = true,
                       .differs = unnamedDiffers});
    }
    return row;
}

SheetRow recallRow(const ChannelConfig& config, RecallField field, bool unnamedColumn,
                   const SheetHeading& heading) {
    SheetRow row{{.text = std::string(RecallCaption) + ": " + recallCaption(field),
                  .heading = true,
                  .left = true}};
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const bool on = testRecall(config.Recall, channel, field).value();
        const bool differs = heading.reference != nullptr &&
                             on != testRecall(heading.reference->Recall, channel, field).value();
        row.push_back({.text = on ? SheetOn : SheetOff,
                       .columns = static_cast<int>(AllSwitches.size()),
                       .differs = differs});
    }
    if (unnamedColumn) {
        row.push_back({});
    }
    return row;
}

// What the sheet says under the table: bits 32 and 64, and what the frames
// mean.
std::vector<SheetLine> notes(const ChannelConfig& config, bool unnamedColumn,
                             const SheetHeading& heading) {
    std::vector<SheetLine> lines{
        {unnamedColumn ? "Bits 32 and 64 name no switch; the editor keeps them as loaded. The "
                         "last column lists the channels that have them set."
                       : "No bit 32 or 64 is set."}};
    if (heading.reference != nullptr) {
        const std::string reference = printable(heading.referenceName);
        const ConfigChanges changes = changesBetween(*heading.reference, config);
        lines.push_back({changes.any() ? "Cells framed in a heavy line differ from " + reference +
                                             ": " + changes.describe() + "."
                                       : "Nothing differs from " + reference +
                                             ": no switch and no recall flag."});
    }
    return lines;
}

} // namespace

std::string unitName(std::string_view path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.find_last_of("/\\");
    return std::string(
        slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1));
}

std::string unitName(std::string_view source, const UnitNames& names) {
    return names.unit.empty() ? unitName(source) : names.unit;
}

Sheet configSheet(const ChannelConfig& config, const SheetHeading& heading) {
    const std::string name = printable(unitName(heading.unit, heading.names));
    Sheet sheet{.title = "Configuration of " + name, .foot = name};
    // A unit's page: its name first and largest, where it is kept beneath.
    sheet.above = {{name, SheetLineStyle::Title},
                   {printable(heading.unit), SheetLineStyle::Path},
                   {(heading.printed ? "Printed " : "Made ") + printable(heading.printedAt) + "."}};
    if (heading.unsaved) {
        sheet.above.push_back({"Not saved: this sheet shows changes that are not saved to the "
                               "unit's files.",
                               SheetLineStyle::Strong});
    }
    sheet.table.caption = std::string("Switches of each channel: P PGM, 1 to 4 TB 1 to TB 4, H "
                                      "PH PWR. ") +
                          SheetOn + " on, " + SheetOff +
                          " off; shaded, greyed in the editor (shown as loaded, not changed "
                          "there): " +
                          SheetGreyedOn + " on, " + SheetGreyedOff + " off.";
    // The reference's bits 32 and 64 too: a difference in them is framed
    // in that column.
    const bool unnamed = hasUnnamedBits(config) ||
                         (heading.reference != nullptr && hasUnnamedBits(*heading.reference));
    sheet.table.head = headRows(unnamed, heading.names);
    for (const SwitchField field : AllSwitchFields) {
        sheet.table.body.push_back(switchRow(config, field, unnamed, heading));
    }
    for (const RecallField field : AllRecallFields) {
        sheet.table.body.push_back(recallRow(config, field, unnamed, heading));
    }
    sheet.below = notes(config, unnamed, heading);
    return sheet;
}

namespace {

std::string unitCount(std::size_t units) {
    return std::to_string(units) + (units == 1 ? " unit" : " units");
}

// At most this many of a unit's differing groups are named in the list.
constexpr std::size_t NamedGroups = 3;

// How a unit compares with the reference, naming the first groups that
// differ: "… on channels 3 and 5: channel 3 Latching: PGM, TB 1; channel 5
// Momentary: TB 2".
std::string comparison(const ChannelConfig& reference, const ChannelConfig& config,
                       const std::string& referenceName) {
    const ConfigChanges changes = changesBetween(reference, config);
    if (!changes.any()) {
        return "The same as " + referenceName;
    }
    std::vector<std::string> groups;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        for (const std::string& group :
             describeDifference(channelDifference(reference, config, channel))) {
            groups.push_back("channel " + std::to_string(channel + 1) + " " + group);
        }
    }
    std::string text = "Differs from " + referenceName + " in " + changes.describe() + ": ";
    for (std::size_t i = 0; i < std::min(groups.size(), NamedGroups); ++i) {
        text += (i == 0 ? "" : "; ") + groups[i];
    }
    if (groups.size() > NamedGroups) {
        text += "; and " + std::to_string(groups.size() - NamedGroups) + " more";
    }
    return text;
}

} // namespace

Sheet binderContents(const std::vector<BinderUnit>& units, const std::string& madeAt) {
    const std::string count = unitCount(units.size());
    Sheet contents{.title = "Binder of " + count, .foot = "Contents", .onePage = false};
    contents.above = {
        {"Binder of " + count, SheetLineStyle::Title},
        {"Made " + printable(madeAt) + ". A sheet for each unit follows, in this order."}};
    if (units.empty()) {
        return contents;
    }
    const std::string reference = printable(unitName(units.front().source, units.front().names));
    const auto heading = [](std::string text, bool wraps) {
        return SheetCell{.text = std::move(text), .heading = true, .left = true, .wraps = wraps};
    };
    const auto cell = [](std::string text) {
        return SheetCell{.text = std::move(text), .left = true, .wraps = true};
    };
    contents.table.head = {{heading("Unit", false), heading("Folder or file", false),
                            heading("Compared with " + reference, true)}};
    for (std::size_t i = 0; i < units.size(); ++i) {
        contents.table.body.push_back(
            {cell(printable(unitName(units[i].source, units[i].names))),
             cell(printable(units[i].source)),
             cell(i == 0 ? "The reference"
                         : comparison(units.front().config, units[i].config, reference))});
    }
    return contents;
}

SheetDocument binderDocument(const std::vector<BinderUnit>& units, const std::string& madeAt) {
    const auto sheetAt = [&units, madeAt](std::size_t i) {
        if (i == 0) {
            return binderContents(units, madeAt);
        }
        const BinderUnit& unit = units[i - 1];
        SheetHeading heading{unit.source, madeAt, false, false, unit.names};
        // The first unit is the reference itself, as the contents say.
        if (i > 1) {
            heading.reference = &units.front().config;
            heading.referenceName = unitName(units.front().source, units.front().names);
        }
        return configSheet(unit.config, heading);
    };
    return {"Binder of " + unitCount(units.size()), units.size() + 1, sheetAt, true, true};
}

namespace {

// The local time, safe against other threads: the C library of each system
// names that call differently.
bool localTime(std::time_t when, std::tm& local) {
#if defined(_WIN32)
    return ::localtime_s(&local, &when) == 0;
#else
    return ::localtime_r(&when, &local) != nullptr;
#endif
}

} // namespace

std::string sheetTime(std::time_t when) {
    std::tm local{};
    char text[32] = {};
    if (!localTime(when, local) ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) == 0) {
        return "at an unknown time";
    }
    return text;
}

} // namespace mx
