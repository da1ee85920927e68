// mxcfg: shows, compares, exports and imports configurations without the
// window, on the editor's own model and files. A configuration comes from a
// unit's folder or from its text form. Every error goes to stderr with exit
// status 2; "diff" exits 1 when the configurations differ. Each command is
// a file of its own (command.h); this one finds the command and runs it.

#include "command.h"
#include "platform.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <map>
#include <optional>

namespace {

using namespace mx::cli;

// --help and --version print to standard output as text; Qt's own would
// show a message box on Windows whenever mxcfg runs without a console, as
// it does when another program or a script runs it.
std::optional<int> helpOrVersion(const QCommandLineParser& parser) {
    QString text;
    if (parser.isSet("help")) {
        text = parser.helpText();
    } else if (parser.isSet("version")) {
        text = QCoreApplication::applicationName() + " " + QCoreApplication::applicationVersion() +
               "\n";
    } else {
        return std::nullopt;
    }
    std::fputs(text.toUtf8().constData(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 2;
}

std::map<QString, Command> commands() {
    return {{"show", showCommand()},   {"diff", diffCommand()},     {"export", exportCommand()},
            {"sheet", sheetCommand()}, {"binder", binderCommand()}, {"import", importCommand()},
            {"apply", applyCommand()}, {"name", nameCommand()}};
}

// The first parse: the command's name, and the arguments that follow it;
// --help and --version of mxcfg itself end the program here.
std::optional<int> parseCommandLine(const QStringList& arguments, QStringList& rest) {
    QCommandLineParser top;
    top.setApplicationDescription(
        "See, compare and script MX_config configurations: the switches.mx and settings.cmx "
        "files of a unit's folder, or their text form.\n\nCommands:\n"
        "  show SOURCE [--json]     the whole configuration\n"
        "  diff SOURCE OTHER...     the bits that differ (--summary: one line each)\n"
        "  export SOURCE            the configuration as text\n"
        "  sheet SOURCE... [-o OUT] the sheet to print, HTML (--pdf: PDF)\n"
        "  binder SOURCE... -o FILE one PDF: the units listed, then their sheets\n"
        "  import FILE FOLDER...    write a configuration into folders (--create: new ones)\n"
        "  apply PART FOLDER...     set some lines of each unit (--dry-run: only say what)\n"
        "  name FOLDER... --unit NAME --channel N NAME   name units and their channels\n\n"
        "A SOURCE is a unit's folder, or a text file as export writes it; - is standard input.\n"
        "'mxcfg COMMAND --help' tells more of each.");
    top.addHelpOption();
    top.addVersionOption();
    top.addPositionalArgument("command",
                              "show, diff, export, sheet, binder, import, apply or name.",
                              "COMMAND [ARGUMENTS]");
    // Everything after the command belongs to the command.
    top.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!top.parse(arguments)) {
        return usageError(top.errorText());
    }
    if (const auto status = helpOrVersion(top)) {
        return status;
    }
    rest = top.positionalArguments();
    if (rest.isEmpty()) {
        return usageError("no command given");
    }
    return std::nullopt;
}

// The command's own parser: its arguments and options, as --help shows them.
QStringList describe(QCommandLineParser& parser, const QString& name, const Command& command) {
    parser.setApplicationDescription(command.summary);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(name, "The command.", name);
    QStringList wanted;
    for (const Argument& argument : command.arguments) {
        wanted << argument.name;
    }
    if (command.lastRepeats) {
        wanted.last() += "...";
    }
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        parser.addPositionalArgument(command.arguments[static_cast<std::size_t>(i)].name,
                                     command.arguments[static_cast<std::size_t>(i)].description,
                                     wanted[i]);
    }
    for (const QCommandLineOption& option : command.options) {
        parser.addOption(option);
    }
    return wanted;
}

// Parses the command's arguments and runs it.
int run(const QString& program, const QStringList& rest, const Command& command,
        const Context& context) {
    const QString& name = rest.first();
    QCommandLineParser parser;
    const QStringList wanted = describe(parser, name, command);
    // "-" names standard input, not an option.
    if (!parser.parse(QStringList{program} + rest)) {
        return usageError(parser.errorText(), name);
    }
    if (const auto status = helpOrVersion(parser)) {
        return *status;
    }
    const QStringList arguments = parser.positionalArguments().mid(1);
    const auto expected = static_cast<qsizetype>(command.arguments.size());
    if (arguments.size() < expected || (arguments.size() > expected && !command.lastRepeats)) {
        return usageError(QString("\"%1\" wants %2; %3 given")
                              .arg(name, wanted.join(" "),
                                   arguments.size() == 1
                                       ? "1 argument"
                                       : QString("%1 arguments").arg(arguments.size())),
                          name);
    }
    Context own = context;
    own.words = rest.mid(1);
    return command.run(parser, arguments, own);
}

} // namespace

int main(int argc, char** argv) {
    // A standard stream closed by whoever started mxcfg is taken note of,
    // and its number filled, so that no file opened later stands in for it.
    Context context;
    context.stdinClosed = mx::platform::prepareStandardStreams();
    std::optional<QCoreApplication> application(std::in_place, argc, argv);
    context.application = &application;
    QCoreApplication::setApplicationName("mxcfg");
    QCoreApplication::setApplicationVersion(MX_VERSION);
    const QStringList arguments = byteArguments(argc, argv);
    QStringList rest;
    if (const auto status = parseCommandLine(arguments, rest)) {
        return *status;
    }
    const std::map<QString, Command> known = commands();
    const auto found = known.find(rest.first());
    if (found == known.end()) {
        return usageError(QString("unknown command \"%1\"").arg(rest.first()));
    }
    return run(arguments.first(), rest, found->second, context);
}
