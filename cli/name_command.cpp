#include "command.h"
#include "unit_change.h"

#include <map>

namespace mx::cli {

namespace {

// The names to give, as the arguments say them.
struct Naming {
    std::optional<std::string> unit;
    std::map<int, std::string> channels;
    QStringList folders;
};

// A name as given, or why it cannot be one.
std::optional<QString> checked(const QString& given, std::string& name) {
    const CheckedName check = checkName(bytesOf(given));
    if (!check.problem.empty()) {
        // Carried byte for byte, as every argument is (command.h).
        return QString::fromLatin1(QByteArray::fromStdString(
            "the name \"" + bytesOf(given) + "\" cannot be used: " + check.problem));
    }
    name = check.name;
    return std::nullopt;
}

std::optional<QString> channelNamed(const QStringList& words, qsizetype at, Naming& naming) {
    if (at + 2 >= words.size()) {
        return QString("--channel wants a channel's number and its name");
    }
    const QString& number = words[at + 1];
    bool isNumber = false;
    const int channel = number.toInt(&isNumber) - 1;
    if (!isNumber || !isChannel(channel)) {
        return QString("there is no channel %1; channels are 1 to 8").arg(number);
    }
    if (naming.channels.count(channel) != 0) {
        return QString("channel %1 is named twice").arg(channel + 1);
    }
    return checked(words[at + 2], naming.channels[channel]);
}

// --channel takes two values, which QCommandLineParser cannot take: the
// command's own words are walked for the names and the folders.
std::optional<QString> readNaming(const QStringList& words, Naming& naming) {
    bool options = true;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        if (options && word == "--") {
            options = false;
        } else if (options && (word == "--unit" || word.startsWith("--unit="))) {
            const bool joined = word.startsWith("--unit=");
            if (!joined && i + 1 >= words.size()) {
                return QString("--unit wants a name");
            }
            naming.unit.emplace();
            if (auto problem = checked(joined ? word.mid(7) : words[++i], *naming.unit)) {
                return problem;
            }
        } else if (options && word == "--channel") {
            if (auto problem = channelNamed(words, i, naming)) {
                return problem;
            }
            i += 2;
        } else {
            naming.folders << word;
        }
    }
    if (!naming.unit && naming.channels.empty()) {
        return QString("no name is given: --unit NAME, --channel N NAME or both");
    }
    if (naming.folders.isEmpty()) {
        return QString("no FOLDER is given");
    }
    return std::nullopt;
}

int name(const QCommandLineParser&, const QStringList&, const Context& context) {
    Naming naming;
    if (const auto problem = readNaming(context.words, naming)) {
        return usageError(*problem, "name");
    }
    return changeUnits(naming.folders, false, [&](ChannelConfig&, UnitNames& names) {
        if (naming.unit) {
            names.unit = *naming.unit;
        }
        for (const auto& [channel, given] : naming.channels) {
            names.channels[static_cast<std::size_t>(channel)] = given;
        }
    });
}

} // namespace

Command nameCommand() {
    return {"Name each FOLDER's unit and its channels, as Edit > Names... does: the same "
            "names for each, saved with the unit, a line each (\"unit01: 2 names changed\"). "
            "An empty NAME clears one. Nothing is written unless every name can be used and "
            "every FOLDER holds a unit.",
            {{"FOLDER", "A unit's folder."}},
            true,
            {QCommandLineOption("unit", "The unit's name.", "NAME"),
             QCommandLineOption("channel", "Channel N's name: --channel N NAME (N from 1 to 8).",
                                "N NAME")},
            name};
}

} // namespace mx::cli
