#include "command.h"
#include "printable_text.h"

namespace mx::cli {

namespace {

int import(const QCommandLineParser& parser, const QStringList& arguments, const Context& context) {
    // The whole configuration is read before anything is written. A text
    // that names nothing leaves each unit's names as they are.
    ChannelConfig config;
    UnitNames names;
    bool named = false;
    if (!readSource(arguments[0], context, config, false, &names, &named)) {
        return Trouble;
    }
    // Each folder on its own, all or nothing, one line each. A line that
    // cannot be printed stops no save: the lines not printed are said on
    // stderr instead.
    int status = 0;
    bool outputLost = false;
    for (const QString& argument : arguments.mid(1)) {
        const std::string folder = bytesOf(argument);
        MadeFolders made;
        if (!madeIfAsked(made, folder, parser.isSet("create"))) {
            status = Trouble;
            continue;
        }
        std::optional<FileError> namesKept;
        const std::optional<FolderIdentity> madeFolder = made.innermost();
        const bool withNames = named && !parser.isSet("keep-names");
        if (const auto failure = SaveConfig(folder, config, withNames ? &names : nullptr,
                                            &namesKept, madeFolder ? &*madeFolder : nullptr)) {
            printError(failure->summary() + " " + failure->error.message());
            status = Trouble;
            continue;
        }
        made.keep();
        if (namesKept) {
            printError("The configuration was saved to \"" + folder +
                       "\"; its names were not: " + namesKept->message());
            status = Trouble;
            continue;
        }
        const std::string line = "The configuration was saved to \"" + printable(folder) + "\"" +
                                 (made.madeAny() ? ", which was created" : "") + ".";
        if (outputLost || printed(line + "\n") != 0) {
            outputLost = true;
            printError(line);
        }
    }
    return outputLost ? Trouble : status;
}

} // namespace

Command importCommand() {
    return {"Read a complete configuration and write it into each FOLDER, each on its own. "
            "Nothing is written unless the whole configuration reads; exits 0 only when every "
            "folder was written. Names the text gives are saved with each unit; a text that "
            "names nothing leaves each unit's names as they are (empty name lines clear them).",
            {{"FILE", "The text, as \"mxcfg export\" writes it (or a unit's folder); - for "
                      "standard input."},
             {"FOLDER", "A folder to write switches.mx and settings.cmx into."}},
            true,
            {QCommandLineOption("create",
                                "Create each FOLDER that does not exist yet, with its parents; a "
                                "folder made for a save that fails is removed again."),
             QCommandLineOption("keep-names",
                                "Keep each unit's names, whatever names the text gives.")},
            import};
}

} // namespace mx::cli
