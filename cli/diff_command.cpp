#include "command.h"
#include "printable_text.h"
#include "report.h"

namespace mx::cli {

namespace {

// A side of diff whose name is longer is called by the end of it.
constexpr std::size_t LongestSideName = 30;

// The name diff calls a side by: the argument as given, escaped, and when
// long only its last folders, so that lines stay readable. The last part,
// the unit's own folder or file, is always kept whole.
std::string sideName(const QString& argument) {
    const std::string name = printable(nameOf(argument));
    if (name.size() <= LongestSideName) {
        return name;
    }
    const std::string ellipsis = "…/";
    std::size_t cut = name.find_last_of('/', name.size() - 2);
    if (cut == std::string::npos) {
        return name;
    }
    for (std::size_t earlier = cut; earlier > 0 && earlier != std::string::npos;
         earlier = name.find_last_of('/', earlier - 1)) {
        if (name.size() - earlier - 1 + 3 > LongestSideName) {
            break;
        }
        cut = earlier;
    }
    return ellipsis + name.substr(cut + 1);
}

// The sides of a diff, read whole before anything is compared.
struct Sides {
    std::vector<ChannelConfig> configs;
    std::vector<UnitNames> given;
    std::vector<std::string> names;
};

std::optional<Sides> readSides(const QStringList& arguments, const Context& context) {
    Sides sides;
    sides.configs.resize(static_cast<std::size_t>(arguments.size()));
    sides.given.resize(sides.configs.size());
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (!readSource(arguments[i], context, sides.configs[index], true, &sides.given[index])) {
            return std::nullopt;
        }
        sides.names.push_back(sideName(arguments[i]));
    }
    // Sides whose ends look alike are called by their whole names.
    for (std::size_t i = 0; i < sides.names.size(); ++i) {
        for (std::size_t j = i + 1; j < sides.names.size(); ++j) {
            if (sides.names[i] == sides.names[j]) {
                sides.names[i] = printable(nameOf(arguments[static_cast<qsizetype>(i)]));
                sides.names[j] = printable(nameOf(arguments[static_cast<qsizetype>(j)]));
            }
        }
    }
    return sides;
}

// Every difference of one side from the first, a line each.
std::vector<std::string> differences(const Sides& sides, std::size_t other, bool withNames) {
    // Channels are called by the first side's names, else the other's.
    UnitNames channels = sides.given[0];
    for (std::size_t channel = 0; channel < channels.channels.size(); ++channel) {
        if (channels.channels[channel].empty()) {
            channels.channels[channel] = sides.given[other].channels[channel];
        }
    }
    std::vector<std::string> lines = configDifferences(
        sides.configs[0], sides.names[0], sides.configs[other], sides.names[other], channels);
    if (withNames) {
        for (std::string& line : nameDifferences(sides.given[0], sides.names[0], sides.given[other],
                                                 sides.names[other])) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

// A fleet: one line per further side, then how many are the same.
int printSummary(const Sides& sides, bool withNames) {
    const std::vector<ChannelConfig>& configs = sides.configs;
    const std::string& first = sides.names[0];
    std::string text;
    std::size_t same = 1;
    for (std::size_t other = 1; other < configs.size(); ++other) {
        const std::size_t renamed =
            withNames ? nameDifferences(sides.given[0], "", sides.given[other], "").size() : 0;
        std::string how = changesBetween(configs[0], configs[other]).describe();
        if (renamed > 0) {
            how += (how.empty() ? "" : " and ") + std::to_string(renamed) +
                   (renamed == 1 ? " name" : " names");
        }
        same += how.empty() ? 1 : 0;
        text += sides.names[other];
        if (how.empty()) {
            text += " is the same as ";
            text += first;
        } else {
            text += " differs from ";
            text += first;
            text += " in ";
            text += how;
        }
        text += ".\n";
    }
    text += std::to_string(same) + " of " + std::to_string(configs.size()) +
            (same == 1 ? " is" : " are") + " the same as " + first + ".\n";
    if (const int status = printed(text); status != 0) {
        return status;
    }
    return same < configs.size() ? Different : 0;
}

// Two sides: one line per difference. More: each further side in a block
// of its own, compared with the first.
int printDifferences(const Sides& sides, bool withNames) {
    const bool blocks = sides.configs.size() > 2;
    std::string text;
    bool differ = false;
    for (std::size_t other = 1; other < sides.configs.size(); ++other) {
        const std::vector<std::string> lines = differences(sides, other, withNames);
        differ = differ || !lines.empty();
        if (blocks) {
            text += sides.names[other] + (lines.empty() ? " is the same as " : " differs from ") +
                    sides.names[0] + (lines.empty() ? ".\n" : ":\n");
        }
        for (const std::string& line : lines) {
            text += (blocks ? "  " : "") + line + "\n";
        }
    }
    if (const int status = printed(text); status != 0) {
        return status;
    }
    return differ ? Different : 0;
}

int diff(const QCommandLineParser& parser, const QStringList& arguments, const Context& context) {
    if (arguments.count("-") > 1) {
        return usageError("standard input can be read only once", "diff");
    }
    const std::optional<Sides> sides = readSides(arguments, context);
    if (!sides) {
        return Trouble;
    }
    // Names count only when asked for: a unit and its exported master text
    // are the same when only a name differs.
    const bool withNames = parser.isSet("names");
    return parser.isSet("summary") ? printSummary(*sides, withNames)
                                   : printDifferences(*sides, withNames);
}

} // namespace

Command diffCommand() {
    return {
        "Name every bit in which the configurations differ from the first. Exits 0 when they "
        "are equal, 1 when any differs, 2 on trouble.",
        {{"SOURCE", sourceText()}, {"OTHER", "Another source, to compare with the first."}},
        true,
        {QCommandLineOption("summary",
                            "One line for each OTHER: the same as the first, or how many "
                            "switches and recall flags differ on which channels; then how "
                            "many are the same."),
         QCommandLineOption("names", "Compare the names of the units and their channels too; "
                                     "without it, names are shown but never make a difference.")},
        diff};
}

} // namespace mx::cli
