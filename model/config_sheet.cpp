#include "config_sheet.h"

#include "printable_text.h"
#include "unit_names.h"

#include <ctime>
#include <string_view>
#include <vector>

namespace mx {

namespace {

// Text for an element or an attribute: markup characters as entities, and
// whatever cannot be shown as escapes first, so that a folder named
// "<b>&\x1b" is printed as it is named.
std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : printable(text)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string channelName(int channel) {
    return "Channel " + std::to_string(channel + 1);
}

// Kept to what Qt's rich text understands, which is what prints. The text
// size is left to whoever shows the sheet: the editor picks the largest that
// fits the page.
constexpr std::string_view Style = R"(
body { font-family: 'DejaVu Sans', sans-serif; }
h1 { font-size: xx-large; margin-bottom: 0pt; }
p { margin-top: 2pt; margin-bottom: 2pt; }
p.path { font-size: small; }
table { border-collapse: collapse; margin-top: 8pt; margin-bottom: 6pt; }
th, td { border: 1px solid #000000; text-align: center; padding-top: 4px; padding-bottom: 4px; }
th.group { text-align: left; white-space: nowrap; }
td.greyed { background-color: #d0d0d0; }
td.unnamed { text-align: left; white-space: nowrap; }
.unsaved { font-weight: bold; }
)";

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

// The start of a page, up to its body; title is escaped already.
std::string documentHead(const std::string& title) {
    return "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" "
           "lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>" +
           title + "</title>\n<style>" + std::string(Style) + "</style>\n</head>\n<body>\n";
}

void appendHeader(std::string& html, bool unnamedColumn, const UnitNames& names) {
    html += "<thead>\n<tr><th rowspan=\"2\" scope=\"col\" class=\"group\">Group</th>";
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const std::string& name = names.channels[static_cast<std::size_t>(channel)];
        html += "<th colspan=\"" + std::to_string(AllSwitches.size()) + "\" scope=\"colgroup\">" +
                channelName(channel) + (name.empty() ? "" : "<br/>" + escaped(name)) + "</th>";
    }
    if (unnamedColumn) {
        html += "<th rowspan=\"2\" scope=\"col\" class=\"group\">Bits 32, 64: channels</th>";
    }
    html += "</tr>\n<tr>";
    for (int channel = 0; channel < ChannelCount; ++channel) {
        for (std::size_t i = 0; i < AllSwitches.size(); ++i) {
            html += std::string("<th scope=\"col\" abbr=\"") + MaskBitNames[i].name + "\">" +
                    MaskBitSymbols[i] + "</th>";
        }
    }
    html += "</tr>\n</thead>\n";
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

void appendSwitchRow(std::string& html, const ChannelConfig& config, SwitchField field,
                     bool unnamedColumn) {
    const SwitchMask editable = editableSwitches(field);
    html += std::string("<tr><th scope=\"row\" class=\"group\">") + escaped(fieldCaption(field)) +
            "</th>";
    for (const ChannelSwitches& record : config.Switches.Channels) {
        const SwitchMask mask = fieldOf(record, field);
        for (const SwitchMask bit : AllSwitches) {
            const bool on = (mask & bit) != 0;
            html += (editable & bit) != 0 ? std::string("<td>") + (on ? SheetOn : SheetOff)
                                          : std::string("<td class=\"greyed\">") +
                                                (on ? SheetGreyedOn : SheetGreyedOff);
            html += "</td>";
        }
    }
    if (unnamedColumn) {
        html += "<td class=\"unnamed\">" + unnamedCell(config, field) + "</td>";
    }
    html += "</tr>\n";
}

void appendRecallRow(std::string& html, const ChannelConfig& config, RecallField field,
                     bool unnamedColumn) {
    html += std::string("<tr><th scope=\"row\" class=\"group\">") + RecallCaption + ": " +
            recallCaption(field) + "</th>";
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const bool on = testRecall(config.Recall, channel, field).value();
        html += "<td colspan=\"" + std::to_string(AllSwitches.size()) + "\">" +
                (on ? SheetOn : SheetOff) + "</td>";
    }
    if (unnamedColumn) {
        html += "<td class=\"unnamed\"></td>";
    }
    html += "</tr>\n";
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

std::string configSheet(const ChannelConfig& config, const SheetHeading& heading) {
    const std::string name = escaped(unitName(heading.unit, heading.names));
    std::string html = documentHead("Configuration of " + name);
    // A unit's page: its name first and largest, where it is kept beneath.
    html += "<h1>" + name + "</h1>\n";
    html += "<p class=\"path\">" + escaped(heading.unit) + "</p>\n";
    html += std::string("<p>") + (heading.printed ? "Printed " : "Made ") +
            escaped(heading.printedAt) + ".</p>\n";
    if (heading.unsaved) {
        html += "<p class=\"unsaved\">Not saved: this sheet shows changes that are not saved to "
                "the unit's files.</p>\n";
    }
    html += "<table cellspacing=\"0\" cellpadding=\"1\" border=\"1\">\n<caption>Switches of each "
            "channel: P PGM, 1 to 4 TB 1 to TB 4, H PH PWR. ";
    html += std::string(SheetOn) + " on, " + SheetOff +
            " off; shaded, greyed in the editor "
            "(shown as loaded, not changed there): " +
            SheetGreyedOn + " on, " + SheetGreyedOff + " off.</caption>\n";
    const bool unnamed = hasUnnamedBits(config);
    appendHeader(html, unnamed, heading.names);
    html += "<tbody>\n";
    for (const SwitchField field : AllSwitchFields) {
        appendSwitchRow(html, config, field, unnamed);
    }
    for (const RecallField field : AllRecallFields) {
        appendRecallRow(html, config, field, unnamed);
    }
    html += "</tbody>\n</table>\n";
    html += unnamed ? "<p>Bits 32 and 64 name no switch; the editor keeps them as loaded. The "
                      "last column lists the channels that have them set.</p>\n"
                    : "<p>No bit 32 or 64 is set.</p>\n";
    html += "</body>\n</html>\n";
    return html;
}

std::string binderContents(const std::vector<BinderUnit>& units, const std::string& madeAt) {
    const std::string count =
        std::to_string(units.size()) + (units.size() == 1 ? " unit" : " units");
    std::string html = documentHead("Binder of " + count);
    html += "<h1>Binder of " + count + "</h1>\n";
    html += "<p>Made " + escaped(madeAt) + ". A sheet for each unit follows, in this order.</p>\n";
    if (units.empty()) {
        return html + "</body>\n</html>\n";
    }
    const std::string reference = escaped(unitName(units.front().source, units.front().names));
    html += "<table cellspacing=\"0\" cellpadding=\"1\" border=\"1\">\n<thead>\n<tr><th "
            "scope=\"col\" class=\"group\">Unit</th><th scope=\"col\" class=\"group\">Folder "
            "or file</th><th scope=\"col\" class=\"group\">Compared with " +
            reference + "</th></tr>\n</thead>\n<tbody>\n";
    for (std::size_t i = 0; i < units.size(); ++i) {
        const ConfigChanges changes = changesBetween(units.front().config, units[i].config);
        const std::string comparison =
            i == 0          ? "The reference"
            : changes.any() ? "Differs from " + reference + " in " + changes.describe()
                            : "The same as " + reference;
        html += "<tr><td class=\"unnamed\">" + escaped(unitName(units[i].source, units[i].names)) +
                "</td><td class=\"unnamed\">" + escaped(units[i].source) +
                "</td><td class=\"unnamed\">" + comparison + "</td></tr>\n";
    }
    return html + "</tbody>\n</table>\n</body>\n</html>\n";
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
