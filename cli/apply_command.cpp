#include "command.h"
#include "printable_text.h"
#include "unit_change.h"

namespace mx::cli {

namespace {

// Checks every folder (nothing written), or saves each, a line each.
// Returns whether every folder was fine; lines not printed are said on
// stderr, and outputLost says so.
bool changeEach(const QStringList& folders, bool write, const UnitEdit& edit,
                std::vector<std::string>& lines, bool& outputLost) {
    bool fine = true;
    for (const QString& argument : folders) {
        std::string changed;
        if (const auto why = changeUnit(bytesOf(argument), write, edit, changed)) {
            printError(*why);
            fine = false;
            continue;
        }
        lines.push_back(changeLine(printable(nameOf(argument)), changed));
        if (write && (outputLost || printed(lines.back() + "\n") != 0)) {
            outputLost = true;
            printError(lines.back());
        }
    }
    return fine;
}

} // namespace

int changeUnits(const QStringList& folders, bool dryRun, const UnitEdit& edit) {
    // Every unit is read and the change tried on it before any is written.
    std::vector<std::string> lines;
    bool outputLost = false;
    if (!changeEach(folders, false, edit, lines, outputLost)) {
        return Trouble;
    }
    if (dryRun) {
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\n";
        }
        return printed(text);
    }
    lines.clear();
    const bool fine = changeEach(folders, true, edit, lines, outputLost);
    return fine && !outputLost ? 0 : Trouble;
}

namespace {

int apply(const QCommandLineParser& parser, const QStringList& arguments, const Context& context) {
    ConfigPart part;
    const QString& source = arguments[0];
    if (source == "-" && context.stdinClosed) {
        printError("standard input is closed, so there is no part to read");
        return Trouble;
    }
    if (const auto error =
            ReadConfigPart(source == "-" ? std::string() : bytesOf(source), nameOf(source), part)) {
        printError(error->message());
        return Trouble;
    }
    const bool keepNames = parser.isSet("keep-names");
    return changeUnits(
        arguments.mid(1), parser.isSet("dry-run"),
        [&](ChannelConfig& config, UnitNames& names) { part.applyTo(config, names, keepNames); });
}

} // namespace

Command applyCommand() {
    return {"Set the lines a PART of the text form gives in each FOLDER's unit, and leave the "
            "rest of each unit as it is. The part and every unit are read and checked before "
            "anything is written; then each unit is saved whole or not at all, a line each "
            "(\"unit07: 1 switch on channel 3 changed\", \"unit08: unchanged\"). Exits 0 only "
            "when every unit was saved.\n\nA part: \"Channel 3\", \"Channels 1-8\" or "
            "\"Channels 1, 3, 5\", each followed by any of a channel's lines as export writes "
            "them (\"Latching: PGM\", \"Recall: Mic gain\"); and name lines (\"Unit: Studio A\" "
            "first, \"Channel 3: Guest 2\").",
            {{"PART", "The part, a text file; - for standard input."},
             {"FOLDER", "A unit's folder to change."}},
            true,
            {QCommandLineOption("dry-run", "Print the lines, and write nothing."),
             QCommandLineOption("keep-names",
                                "Keep each unit's names, whatever name lines the part holds.")},
            apply};
}

} // namespace mx::cli
