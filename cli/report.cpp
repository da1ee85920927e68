#include "report.h"

#include "printable_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>

namespace mx {

namespace {

// 17 columns of labels and eight cells of 8, the last without its space:
// 80 columns in all.
constexpr int CaptionWidth = 17;
constexpr int CellWidth = 8;

// The table's rows: the four modes by their captions, then the suppress and
// delatch masks in two sections, each row named by the switch that acts.
struct Row {
    const char* section; // a heading line before the row, or nullptr
    const char* label;
    SwitchField field;
};

constexpr std::array<Row, SwitchFieldCount> Rows = {{
    {nullptr, "Disabled (MX)", SwitchField::Disabled},
    {nullptr, "Latching", SwitchField::Latching},
    {nullptr, "Momentary", SwitchField::Momentary},
    {nullptr, "Always on", SwitchField::AlwaysOn},
    {"Suppresses (latched)", "  PGM", SwitchField::PgmSuppresses},
    {nullptr, "  TB 1", SwitchField::Tb1Suppresses},
    {nullptr, "  TB 2", SwitchField::Tb2Suppresses},
    {nullptr, "  TB 3", SwitchField::Tb3Suppresses},
    {nullptr, "  TB 4", SwitchField::Tb4Suppresses},
    {"Delatches", "  PGM", SwitchField::PgmDelatches},
    {nullptr, "  TB 1", SwitchField::Tb1Delatches},
    {nullptr, "  TB 2", SwitchField::Tb2Delatches},
    {nullptr, "  TB 3", SwitchField::Tb3Delatches},
    {nullptr, "  TB 4", SwitchField::Tb4Delatches},
}};

constexpr const char* Green = "\033[32m";
constexpr const char* Yellow = "\033[33m";
constexpr const char* Dim = "\033[2m";
constexpr const char* Reset = "\033[0m";

std::string padded(std::string text, int width) {
    text.resize(std::max(text.size(), static_cast<std::size_t>(width)), ' ');
    return text;
}

// "P1--4H+ ": one place per switch, "-" when clear, then "+" when bit 32 or
// 64 is set. Greyed switches are dimmed in colour, as the window greys them.
std::string maskCell(std::uint8_t mask, SwitchMask editable, bool colour) {
    std::string cell;
    for (std::size_t i = 0; i < AllSwitches.size(); ++i) {
        const std::uint8_t bit = MaskBitNames[i].bit;
        const bool set = (mask & bit) != 0;
        const char symbol = set ? MaskBitSymbols[i] : '-';
        if (!colour) {
            cell += symbol;
        } else {
            const char* tone = (editable & bit) == 0 ? Dim : set ? Green : "";
            cell += std::string(tone) + symbol + (*tone != '\0' ? Reset : "");
        }
    }
    const bool unnamed = (mask & UnnamedBits) != 0;
    if (unnamed && colour) {
        cell += std::string(Yellow) + "+" + Reset;
    } else {
        cell += unnamed ? '+' : ' ';
    }
    return cell + std::string(CellWidth - 7, ' ');
}

std::string onOff(bool on) {
    return on ? "on" : "off";
}

std::string difference(const std::string& channel, const std::string& what,
                       const std::string& nameA, bool a, const std::string& nameB, bool b) {
    return channel + ", " + what + ": " + nameA + " " + onOff(a) + ", " + nameB + " " + onOff(b);
}

std::string quotedName(const std::string& name) {
    return name.empty() ? "none" : "\"" + name + "\"";
}

// The channels' names under their numbers, each as long as the cells up to
// the next name allow (the last up to the 80th column), cut only where it
// does not fit.
std::string namesRow(const UnitNames& names) {
    std::string row = padded("", CaptionWidth);
    std::size_t used = CaptionWidth;
    for (std::size_t channel = 0; channel < names.channels.size(); ++channel) {
        if (names.channels[channel].empty()) {
            continue;
        }
        std::size_t next = channel + 1;
        while (next < names.channels.size() && names.channels[next].empty()) {
            ++next;
        }
        const std::size_t start = CaptionWidth + channel * CellWidth;
        const std::size_t end = next < names.channels.size()
                                    ? CaptionWidth + next * CellWidth - 1
                                    : CaptionWidth + ChannelCount * CellWidth - 1;
        row += std::string(start - used, ' ');
        const std::string cell = shortenedName(printable(names.channels[channel]), end - start);
        row += cell;
        used = start + nameLength(cell);
    }
    return row + "\n";
}

} // namespace

std::string configTable(const ChannelConfig& config, bool colour, const UnitNames& names) {
    std::string table = names.unit.empty() ? "" : "Unit: " + printable(names.unit) + "\n";
    table += padded("", CaptionWidth);
    for (int channel = 1; channel <= ChannelCount; ++channel) {
        table += padded("Ch " + std::to_string(channel), CellWidth);
    }
    table += "\n";
    if (std::any_of(names.channels.begin(), names.channels.end(),
                    [](const std::string& name) { return !name.empty(); })) {
        table += namesRow(names);
    }
    for (const Row& row : Rows) {
        if (row.section != nullptr) {
            table += std::string(row.section) + "\n";
        }
        table += padded(row.label, CaptionWidth);
        for (const ChannelSwitches& record : config.Switches.Channels) {
            table += maskCell(fieldOf(record, row.field), editableSwitches(row.field), colour);
        }
        table += "\n";
    }
    table += std::string(RecallCaption) + "\n";
    for (const RecallField field : AllRecallFields) {
        table += padded(std::string("  ") + recallCaption(field), CaptionWidth);
        for (int channel = 0; channel < ChannelCount; ++channel) {
            const bool on = *testRecall(config.Recall, channel, field);
            const std::string word = on ? "yes" : "-";
            table += colour && on ? std::string(Green) + word + Reset : word;
            table += std::string(CellWidth - word.size(), ' ');
        }
        table += "\n";
    }
    // Trailing spaces help no one.
    std::string trimmed;
    for (std::size_t start = 0; start < table.size();) {
        const std::size_t end = table.find('\n', start);
        std::string line = table.substr(start, end - start);
        line.erase(line.find_last_not_of(' ') + 1);
        trimmed += line + "\n";
        start = end + 1;
    }
    return trimmed + "\nP PGM, 1-4 TB 1-TB 4, H PH PWR, - off; + bit 32 or 64 is set as well.\n"
                     "Under Suppresses and Delatches, each row is the switch that acts.\n";
}

QByteArray configJson(const ChannelConfig& config, const UnitNames& names) {
    QJsonArray channels;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const ChannelSwitches& record = config.Switches.Channels[static_cast<std::size_t>(channel)];
        QJsonObject masks;
        for (const SwitchField field : AllSwitchFields) {
            masks.insert(fieldName(field), fieldOf(record, field));
        }
        const QJsonObject recall{
            {"micGain", *testRecall(config.Recall, channel, RecallField::MicGain)},
            {"fader", *testRecall(config.Recall, channel, RecallField::Fader)}};
        QJsonObject entry{{"channel", channel + 1}, {"masks", masks}, {"recall", recall}};
        if (const std::string& name = names.channels[static_cast<std::size_t>(channel)];
            !name.empty()) {
            entry.insert("name", QString::fromStdString(name));
        }
        channels.append(entry);
    }
    const QJsonObject recall{{"MicGainRecall", config.Recall.MicGainRecall},
                             {"FaderRecall", config.Recall.FaderRecall}};
    QJsonObject whole{{"channels", channels}, {"recall", recall}};
    if (!names.unit.empty()) {
        whole.insert("unit", QString::fromStdString(names.unit));
    }
    return QJsonDocument(whole).toJson(QJsonDocument::Indented);
}

std::vector<std::string> configDifferences(const ChannelConfig& a, const std::string& nameA,
                                           const ChannelConfig& b, const std::string& nameB,
                                           const UnitNames& channels) {
    std::vector<std::string> lines;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const auto index = static_cast<std::size_t>(channel);
        const std::string named = namedChannel(channels, channel);
        for (const SwitchField field : AllSwitchFields) {
            const SwitchMask maskA = fieldOf(a.Switches.Channels[index], field);
            const SwitchMask maskB = fieldOf(b.Switches.Channels[index], field);
            for (const BitName& name : MaskBitNames) {
                const bool onA = (maskA & name.bit) != 0;
                const bool onB = (maskB & name.bit) != 0;
                if (onA != onB) {
                    lines.push_back(difference(named,
                                               std::string(fieldCaption(field)) + ", " + name.name,
                                               nameA, onA, nameB, onB));
                }
            }
        }
        for (const RecallField field : AllRecallFields) {
            const bool onA = *testRecall(a.Recall, channel, field);
            const bool onB = *testRecall(b.Recall, channel, field);
            if (onA != onB) {
                lines.push_back(difference(named,
                                           std::string(RecallCaption) + ", " + recallCaption(field),
                                           nameA, onA, nameB, onB));
            }
        }
    }
    return lines;
}

std::vector<std::string> nameDifferences(const UnitNames& a, const std::string& nameA,
                                         const UnitNames& b, const std::string& nameB) {
    std::vector<std::string> lines;
    const auto compare = [&](const std::string& what, const std::string& first,
                             const std::string& second) {
        if (first != second) {
            lines.push_back(what + ", name: " + nameA + " " + quotedName(first) + ", " + nameB +
                            " " + quotedName(second));
        }
    };
    compare("Unit", a.unit, b.unit);
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const auto index = static_cast<std::size_t>(channel);
        compare("Channel " + std::to_string(channel + 1), a.channels[index], b.channels[index]);
    }
    return lines;
}

} // namespace mx
