// mxcfg: shows, compares, exports and imports configurations without the
// window, on the editor's own model and files. Every error goes to stderr
// with exit status 2; "diff" exits 1 when the configurations differ.

#include "config_files.h"
#include "config_text.h"
#include "report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <unistd.h>

namespace {

using namespace mx;

constexpr int Trouble = 2;
constexpr int Different = 1;

// Arguments are carried as Latin-1 QStrings, one character for each byte, so
// that a folder whose name is not valid text reaches storage byte for byte.
QStringList byteArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLatin1(argv[i]);
    }
    return arguments;
}

std::string bytesOf(const QString& argument) {
    return argument.toLatin1().toStdString();
}

void printError(const std::string& message) {
    std::fprintf(stderr, "mxcfg: %s\n", message.c_str());
}

// Our own words, with arguments in them (as bytes) where they stand.
void printError(const QString& message) {
    printError(bytesOf(message));
}

int usageError(const QString& message, const QString& command = {}) {
    printError(message);
    const QString help = command.isEmpty() ? "mxcfg --help" : "mxcfg " + command + " --help";
    std::fprintf(stderr, "Try '%s'.\n", qPrintable(help));
    return Trouble;
}

// Writes all of text to stdout; false when it could not be written.
bool print(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
           std::fflush(stdout) == 0;
}

int printed(const std::string& text) {
    if (!print(text)) {
        printError(std::string("could not write the output"));
        return Trouble;
    }
    return 0;
}

// Reads a folder as the editor does at start-up, onto an all-zero model,
// except that a missing file is an error and nothing is created.
bool readFolder(const QString& folder, ChannelConfig& config) {
    config = ChannelConfig{};
    if (const auto error = LoadConfig(bytesOf(folder), MissingFile::IsAnError, config)) {
        printError(error->message());
        return false;
    }
    return true;
}

// Colour only for a person at a terminal, and never when NO_COLOR is set.
bool colourWanted() {
    const char* term = std::getenv("TERM");
    return ::isatty(STDOUT_FILENO) == 1 && std::getenv("NO_COLOR") == nullptr &&
           !(term != nullptr && std::string(term) == "dumb");
}

struct Argument {
    QString name;
    QString description;
};

struct Command {
    const char* summary;
    std::vector<Argument> arguments;         // the positional arguments
    std::vector<QCommandLineOption> options; // beside --help and --version
    std::function<int(const QCommandLineParser&, const QStringList&)> run;
};

int show(const QCommandLineParser& parser, const QStringList& arguments) {
    ChannelConfig config;
    if (!readFolder(arguments[0], config)) {
        return Trouble;
    }
    if (parser.isSet("json")) {
        return printed(configJson(config).toStdString());
    }
    return printed(configTable(config, colourWanted()));
}

int diff(const QCommandLineParser&, const QStringList& arguments) {
    ChannelConfig a;
    ChannelConfig b;
    if (!readFolder(arguments[0], a) || !readFolder(arguments[1], b)) {
        return Trouble;
    }
    std::string lines;
    for (const std::string& line : configDifferences(a, b)) {
        lines += line + "\n";
    }
    if (const int status = printed(lines); status != 0) {
        return status;
    }
    return lines.empty() ? 0 : Different;
}

int exportText(const QCommandLineParser&, const QStringList& arguments) {
    ChannelConfig config;
    if (!readFolder(arguments[0], config)) {
        return Trouble;
    }
    return printed(configToText(config));
}

int import(const QCommandLineParser&, const QStringList& arguments) {
    const QString& source = arguments[0];
    const QString& folder = arguments[1];
    QFile file;
    const int fd =
        source == "-" ? STDIN_FILENO : ::open(bytesOf(source).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 ||
        !file.open(fd, QIODevice::ReadOnly,
                   source == "-" ? QFileDevice::DontCloseHandle : QFileDevice::AutoCloseHandle)) {
        printError(QString("could not read \"%1\": %2")
                       .arg(source, QString::fromLatin1(std::strerror(errno))));
        return Trouble;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        printError(QString("could not read \"%1\": %2").arg(source, file.errorString()));
        return Trouble;
    }
    // The whole text is read before anything is written.
    ChannelConfig config;
    if (const auto error = configFromText(text.toStdString(), config)) {
        const QString name = source == "-" ? "standard input" : source;
        printError(bytesOf(name) + ": " + error->describe());
        return Trouble;
    }
    if (const auto failure = SaveConfig(bytesOf(folder), config)) {
        printError(failure->summary());
        printError(failure->error.message());
        return Trouble;
    }
    return 0;
}

const QString FolderText = "A folder holding switches.mx and settings.cmx.";

std::map<QString, Command> commands() {
    return {
        {"show",
         {"Show a folder's whole configuration, all eight channels side by side.",
          {{"FOLDER", FolderText}},
          {QCommandLineOption("json", "Print JSON: every mask and recall mask as a raw byte.")},
          show}},
        {"diff",
         {"Name every bit that differs between two folders. Exits 0 when they are equal, 1 "
          "when they differ, 2 on trouble.",
          {{"FOLDER_A", FolderText}, {"FOLDER_B", FolderText}},
          {},
          diff}},
        {"export",
         {"Write a folder's configuration as text, in the editor's channel text form.",
          {{"FOLDER", FolderText}},
          {},
          exportText}},
        {"import",
         {"Read a complete configuration as text (FILE, or - for standard input) and write it "
          "into FOLDER. Nothing is written unless the whole text reads.",
          {{"FILE", "The text, as \"mxcfg export\" writes it; - for standard input."},
           {"FOLDER", "The folder to write switches.mx and settings.cmx into."}},
          {},
          import}},
    };
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("mxcfg");
    QCoreApplication::setApplicationVersion(MX_VERSION);
    const std::map<QString, Command> known = commands();

    QCommandLineParser top;
    top.setApplicationDescription(
        "See, compare and script MX_config configurations: the switches.mx and settings.cmx "
        "files of a folder.\n\nCommands:\n"
        "  show FOLDER [--json]     the whole configuration\n"
        "  diff FOLDER_A FOLDER_B   the bits that differ\n"
        "  export FOLDER            the configuration as text\n"
        "  import FILE FOLDER       write a configuration from text\n\n"
        "'mxcfg COMMAND --help' tells more of each.");
    top.addHelpOption();
    top.addVersionOption();
    top.addPositionalArgument("command", "show, diff, export or import.", "COMMAND [ARGUMENTS]");
    // Everything after the command belongs to the command.
    top.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QStringList allArguments = byteArguments(argc, argv);
    if (!top.parse(allArguments)) {
        return usageError(top.errorText());
    }
    if (top.isSet("help")) {
        top.showHelp(0);
    }
    if (top.isSet("version")) {
        top.showVersion();
    }
    const QStringList rest = top.positionalArguments();
    if (rest.isEmpty()) {
        return usageError("no command given");
    }
    const QString name = rest.first();
    const auto found = known.find(name);
    if (found == known.end()) {
        return usageError(QString("unknown command \"%1\"").arg(name));
    }
    const Command& command = found->second;

    QCommandLineParser parser;
    parser.setApplicationDescription(command.summary);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(name, "The command.", name);
    for (const Argument& argument : command.arguments) {
        parser.addPositionalArgument(argument.name, argument.description, argument.name);
    }
    for (const QCommandLineOption& option : command.options) {
        parser.addOption(option);
    }
    // "-" names standard input, not an option.
    if (!parser.parse(QStringList{allArguments.first()} + rest)) {
        return usageError(parser.errorText(), name);
    }
    if (parser.isSet("help")) {
        parser.showHelp(0);
    }
    if (parser.isSet("version")) {
        parser.showVersion();
    }
    const QStringList arguments = parser.positionalArguments().mid(1);
    if (arguments.size() != static_cast<qsizetype>(command.arguments.size())) {
        QStringList wanted;
        for (const Argument& argument : command.arguments) {
            wanted << argument.name;
        }
        return usageError(QString("\"%1\" wants %2; %3 given")
                              .arg(name, wanted.join(" "),
                                   arguments.size() == 1
                                       ? "1 argument"
                                       : QString("%1 arguments").arg(arguments.size())),
                          name);
    }
    return command.run(parser, arguments);
}
