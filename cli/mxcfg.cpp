// mxcfg: shows, compares, exports and imports configurations without the
// window, on the editor's own model and files. A configuration comes from a
// unit's folder or from its text form. Every error goes to stderr with exit
// status 2; "diff" exits 1 when the configurations differ. Whatever came
// from outside (names, arguments, file contents) is printed with its control
// characters and stray bytes escaped.

#include "config_files.h"
#include "config_sheet.h"
#include "config_text.h"
#include "names_file.h"
#include "output_file.h"
#include "pdf_module.h"
#include "platform.h"
#include "printable_text.h"
#include "report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibrary>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

namespace {

using namespace mx;

constexpr int Trouble = 2;
constexpr int Different = 1;

// A side of diff whose name is longer is called by the end of it.
constexpr std::size_t LongestSideName = 30;
constexpr std::string_view StandardInput = "standard input";

// What mxcfg learnt of its surroundings at start-up.
struct Context {
    // Standard input was closed when mxcfg started; "-" then reads nothing.
    bool stdinClosed = false;
    // mxcfg's own application object, which the PDF module's takes the
    // place of.
    std::optional<QCoreApplication>* application = nullptr;
};

// Arguments are carried as Latin-1 QStrings, one character for each byte, so
// that a folder whose name is not valid text reaches storage byte for byte.
QStringList byteArguments(int argc, char** argv) {
    QStringList arguments;
    for (const std::string& argument : platform::commandLine(argc, argv)) {
        arguments << QString::fromLatin1(argument.data(), static_cast<qsizetype>(argument.size()));
    }
    return arguments;
}

std::string bytesOf(const QString& argument) {
    return argument.toLatin1().toStdString();
}

void printError(const std::string& message) {
    std::fprintf(stderr, "mxcfg: %s\n", printable(message).c_str());
}

int usageError(const QString& message, const QString& command = {}) {
    printError(bytesOf(message));
    const std::string help =
        command.isEmpty() ? "mxcfg --help" : "mxcfg " + bytesOf(command) + " --help";
    std::fprintf(stderr, "Try '%s'.\n", printable(help).c_str());
    return Trouble;
}

// Writes all of text to stdout; false when it could not be written.
bool print(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
           std::fflush(stdout) == 0;
}

int printed(const std::string& text) {
    if (!print(text)) {
        printError("could not write the output");
        return Trouble;
    }
    return 0;
}

// What an argument names in messages: a file or folder as given, or
// "standard input".
std::string nameOf(const QString& argument) {
    return argument == "-" ? std::string(StandardInput) : bytesOf(argument);
}

// Reads a configuration from a unit's folder, from a file or pipe holding
// the text form, or, for "-", from standard input.
// A unit's file shorter than its block reads as off where it has no bytes;
// a note says so, since the table would show it without a word.
void noteShortFiles(const QString& argument, const StoredBlocks& loaded) {
    const std::string folder = bytesOf(argument);
    for (const auto& [name, size, expected] :
         {std::tuple{SwitchFileName, loaded.switches.size(), SwitchBlockSize},
          std::tuple{SettingsFileName, loaded.settings.size(), RecallBlockSize}}) {
        if (size < expected) {
            printError("note: \"" + folder + "/" + name + "\" holds " + std::to_string(size) +
                       " of its " + std::to_string(expected) + " bytes; the rest reads as off");
        }
    }
}

// The names come with the configuration when names is given: from the
// folder's names.txt or from the text. A names.txt that cannot be read is
// told of once, and its names are left out.
bool readSource(const QString& argument, const Context& context, ChannelConfig& config,
                bool noteShort = false, UnitNames* names = nullptr, bool* namesGiven = nullptr) {
    config = ChannelConfig{};
    std::optional<FileError> error;
    SourceNames named;
    if (argument != "-") {
        StoredBlocks loaded{std::vector<std::uint8_t>(SwitchBlockSize),
                            std::vector<std::uint8_t>(RecallBlockSize)};
        error = ReadConfigSource(bytesOf(argument), config, TextFiles::PipesToo, &loaded, &named);
        if (!error && noteShort) {
            noteShortFiles(argument, loaded);
        }
    } else if (context.stdinClosed) {
        printError("standard input is closed, so there is no configuration to read");
        return false;
    } else {
        error = ReadConfigFromInput(std::string(StandardInput), config, &named);
    }
    if (error) {
        printError(error->message());
        return false;
    }
    if (names != nullptr) {
        if (named.unreadable) {
            printError("note: the names are left out: " + named.unreadable->message());
        }
        *names = named.names;
    }
    if (namesGiven != nullptr) {
        *namesGiven = named.given;
    }
    return true;
}

// Colour only for a person at a terminal, and never when NO_COLOR is set.
bool colourWanted() {
    const char* term = std::getenv("TERM");
    return platform::isTerminal(platform::Stream::Output) && std::getenv("NO_COLOR") == nullptr &&
           !(term != nullptr && std::string(term) == "dumb");
}

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

struct Argument {
    QString name;
    QString description;
};

struct Command {
    const char* summary;
    std::vector<Argument> arguments;         // the positional arguments
    bool lastRepeats = false;                // the last may be given more than once
    std::vector<QCommandLineOption> options; // beside --help and --version
    std::function<int(const QCommandLineParser&, const QStringList&, const Context&)> run;
};

int show(const QCommandLineParser& parser, const QStringList& arguments, const Context& context) {
    ChannelConfig config;
    UnitNames names;
    if (!readSource(arguments[0], context, config, true, &names)) {
        return Trouble;
    }
    if (parser.isSet("json")) {
        return printed(configJson(config, names).toStdString());
    }
    return printed(configTable(config, colourWanted(), names));
}

int diff(const QCommandLineParser& parser, const QStringList& arguments, const Context& context) {
    if (arguments.count("-") > 1) {
        return usageError("standard input can be read only once", "diff");
    }
    std::vector<ChannelConfig> configs(static_cast<std::size_t>(arguments.size()));
    std::vector<UnitNames> given(configs.size());
    std::vector<std::string> names;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (!readSource(arguments[i], context, configs[index], true, &given[index])) {
            return Trouble;
        }
        names.push_back(sideName(arguments[i]));
    }
    // Names count only when asked for: a unit and its exported master text
    // are the same when only a name differs.
    const bool withNames = parser.isSet("names");
    const auto differences = [&](std::size_t other) {
        // Channels are called by the first side's names, else the other's.
        UnitNames channels = given[0];
        for (std::size_t channel = 0; channel < channels.channels.size(); ++channel) {
            if (channels.channels[channel].empty()) {
                channels.channels[channel] = given[other].channels[channel];
            }
        }
        std::vector<std::string> lines =
            configDifferences(configs[0], names[0], configs[other], names[other], channels);
        if (withNames) {
            for (std::string& line :
                 nameDifferences(given[0], names[0], given[other], names[other])) {
                lines.push_back(std::move(line));
            }
        }
        return lines;
    };
    // Sides whose ends look alike are called by their whole names.
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (std::size_t j = i + 1; j < names.size(); ++j) {
            if (names[i] == names[j]) {
                names[i] = printable(nameOf(arguments[static_cast<qsizetype>(i)]));
                names[j] = printable(nameOf(arguments[static_cast<qsizetype>(j)]));
            }
        }
    }
    std::string text;
    bool differ = false;
    // A fleet: one line per further side, then how many are the same.
    if (parser.isSet("summary")) {
        std::size_t same = 1;
        for (std::size_t other = 1; other < configs.size(); ++other) {
            const ConfigChanges changes = changesBetween(configs[0], configs[other]);
            const std::size_t renamed =
                withNames ? nameDifferences(given[0], "", given[other], "").size() : 0;
            std::string how = changes.describe();
            if (renamed > 0) {
                how += (how.empty() ? "" : " and ") + std::to_string(renamed) +
                       (renamed == 1 ? " name" : " names");
            }
            same += how.empty() ? 1 : 0;
            text += names[other] +
                    (how.empty() ? " is the same as " + names[0]
                                 : " differs from " + names[0] + " in " + how) +
                    ".\n";
        }
        text += std::to_string(same) + " of " + std::to_string(configs.size()) +
                (same == 1 ? " is" : " are") + " the same as " + names[0] + ".\n";
        differ = same < configs.size();
        if (const int status = printed(text); status != 0) {
            return status;
        }
        return differ ? Different : 0;
    }
    // Two sides: one line per difference. More: each further side in a block
    // of its own, compared with the first.
    const bool blocks = configs.size() > 2;
    for (std::size_t other = 1; other < configs.size(); ++other) {
        const std::vector<std::string> lines = differences(other);
        differ = differ || !lines.empty();
        if (blocks) {
            text += names[other] + (lines.empty() ? " is the same as " : " differs from ") +
                    names[0] + (lines.empty() ? ".\n" : ":\n");
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

int exportText(const QCommandLineParser&, const QStringList& arguments, const Context& context) {
    ChannelConfig config;
    UnitNames names;
    if (!readSource(arguments[0], context, config, false, &names)) {
        return Trouble;
    }
    return printed(configToText(config, names));
}

void printMissing(const std::string& folder) {
    printError("Could not open \"" + folder + "\": it does not exist; --create makes it.");
}

// Makes the folders missing on the way to folder when asked to; false, with
// the reason said, when it is missing and not to be made, or cannot be.
bool madeIfAsked(MadeFolders& made, const std::string& folder, bool create) {
    if (!create && !IsFolder(folder)) {
        printMissing(folder);
        return false;
    }
    if (const auto error = made.make(folder)) {
        printError(error->message());
        return false;
    }
    return true;
}

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
        if (const auto failure = SaveConfig(folder, config, named ? &names : nullptr, &namesKept,
                                            madeFolder ? &*madeFolder : nullptr)) {
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

// Loads mxcfg's PDF module, beside mxcfg in the build tree and on Windows,
// in the package's own library folder when installed, and nowhere else: not
// from the library path, nor from the working folder.
RenderPdfs loadPdfModule(std::string& error) {
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString& folder : {here, here + "/" + MX_PDF_MODULE_RELATIVE}) {
        QLibrary module(folder + "/" + MX_PDF_MODULE_FILE);
        if (const auto render = reinterpret_cast<RenderPdfs>(module.resolve(RenderPdfsName))) {
            return render;
        }
        error = module.errorString().toStdString();
    }
    return nullptr;
}

// Draws the documents as PDF; nothing when the renderer could not be loaded.
std::optional<std::vector<QByteArray>> renderPdfs(const Context& context,
                                                  const std::vector<SheetDocument>& documents) {
    std::string error;
    const RenderPdfs render = loadPdfModule(error);
    if (render == nullptr) {
        printError("could not load the PDF renderer: " + error);
        return std::nullopt;
    }
    // The module runs a QGuiApplication of its own, and there can be only
    // one application object at a time.
    context.application->reset();
    std::vector<QByteArray> pdfs;
    render(documents, pdfs);
    return pdfs;
}

// The sheet's HTML, as the editor makes it for a file.
std::string sheetOf(const BinderUnit& unit) {
    return configSheet(unit.config,
                       {unit.source, sheetTime(std::time(nullptr)), false, false, unit.names});
}

SheetPart sheetPart(const BinderUnit& unit) {
    return {QString::fromStdString(sheetOf(unit)),
            QString::fromStdString(printable(unitName(unit.source, unit.names)))};
}

// The parts of a source's path that can name its sheet, innermost first: a
// folder's name, or a text file's without its extension, then the folders
// it lies in.
std::vector<std::string> nameParts(const QString& argument) {
    if (argument == "-") {
        return {std::string(StandardInput)};
    }
    const std::string bytes = bytesOf(argument);
    const std::filesystem::path given(std::u8string(bytes.begin(), bytes.end()));
    std::error_code error;
    // "." and ".." name folders too.
    std::filesystem::path path = std::filesystem::absolute(given, error);
    path = (error ? given : path).lexically_normal();
    std::vector<std::string> parts;
    for (auto part = path.end(); part != path.begin();) {
        --part;
        if (part->empty() || *part == path.root_name() || *part == path.root_directory()) {
            continue;
        }
        const std::u8string text = part->u8string();
        parts.emplace_back(text.begin(), text.end());
    }
    if (!parts.empty() && !IsFolder(bytes)) {
        const std::u8string stem = std::filesystem::path(parts.front()).stem().u8string();
        parts.front().assign(stem.begin(), stem.end());
    }
    return parts;
}

// The names of the sheets of several sources in one folder: each unit's
// own. Sources named alike (as Windows compares names: letter case and
// trailing dots and spaces aside) are
// told apart by the folders they lie in, "site-a_unit01" beside
// "site-b_unit01"; any still alike, the same source given twice, by a
// number, "unit01 (2)".
std::vector<std::string> sheetNames(const QStringList& arguments) {
    std::vector<std::vector<std::string>> parts;
    for (const QString& argument : arguments) {
        parts.push_back(nameParts(argument));
        if (parts.back().empty()) {
            parts.back().emplace_back("unit");
        }
    }
    std::vector<std::size_t> depth(parts.size(), 1);
    const auto nameAt = [&](std::size_t i) {
        std::string name;
        for (std::size_t part = depth[i]; part-- > 0;) {
            name += parts[i][part] + (part > 0 ? "_" : "");
        }
        return name;
    };
    const auto alike = [&] {
        std::map<std::string, std::vector<std::size_t>> groups;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            groups[FileNameKey(nameAt(i))].push_back(i);
        }
        return groups;
    };
    for (bool deeper = true; deeper;) {
        deeper = false;
        for (const auto& [name, group] : alike()) {
            for (const std::size_t i : group) {
                const bool another = std::any_of(group.begin(), group.end(), [&](std::size_t j) {
                    return parts[j] != parts[i];
                });
                if (another && depth[i] < parts[i].size()) {
                    ++depth[i];
                    deeper = true;
                }
            }
        }
    }
    std::vector<std::string> names(parts.size());
    std::map<std::string, int> taken;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        names[i] = nameAt(i);
        for (int number = 2; taken.contains(FileNameKey(names[i])); ++number) {
            names[i] = nameAt(i) + " (" + std::to_string(number) + ")";
        }
        taken[FileNameKey(names[i])] = 1;
    }
    return names;
}

// Writes each source's sheet into the folder, named after its unit.
int writeSheets(const QCommandLineParser& parser, const QStringList& arguments,
                const std::vector<std::string>& contents, const std::string& folder) {
    MadeFolders made;
    if (!madeIfAsked(made, folder, parser.isSet("create"))) {
        return Trouble;
    }
    if (!IsFolder(folder)) {
        printError("\"" + folder +
                   "\" is not a folder; the sheets of several sources go into one.");
        return Trouble;
    }
    const std::vector<std::string> names = sheetNames(arguments);
    const std::string extension = parser.isSet("pdf") ? ".pdf" : ".html";
    int result = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string path = folder + "/";
        path += names[i] + extension;
        if (const auto error = WriteOutputFile(path, contents[i])) {
            printError(error->message());
            result = Trouble;
            continue;
        }
        made.keep();
        if (printed("The sheet of \"" + printable(nameOf(arguments[static_cast<qsizetype>(i)])) +
                    "\" was written to \"" + printable(path) + "\".\n") != 0) {
            return Trouble;
        }
    }
    return result;
}

// Writes a file given with -o, or standard output for "-"; a PDF is not for
// a terminal.
int writeOutput(const QString& output, std::string_view bytes, bool binary) {
    if (output == "-") {
        if (binary && platform::isTerminal(platform::Stream::Output)) {
            printError("a PDF is not for a terminal: give -o FILE, or send it through a pipe");
            return Trouble;
        }
        return printed(std::string(bytes));
    }
    // Written whole or not at all: a sheet cut short would look complete.
    if (const auto error = WriteOutputFile(bytesOf(output), bytes)) {
        printError(error->message());
        return Trouble;
    }
    return 0;
}

// Whether a file given with -o is refused before any work is done, said on
// stderr; "-", standard output, never is.
bool refusedOutput(const QString& output) {
    const auto refused = output == "-" ? std::nullopt : CheckOutputFile(bytesOf(output));
    if (refused) {
        printError(refused->message());
    }
    return refused.has_value();
}

// Reads every source, or none: the first that cannot be read stops the
// command before anything is drawn or written.
std::optional<std::vector<BinderUnit>> readAll(const QStringList& arguments,
                                               const Context& context) {
    std::vector<BinderUnit> units;
    for (const QString& argument : arguments) {
        BinderUnit& unit = units.emplace_back();
        unit.source = nameOf(argument);
        if (!readSource(argument, context, unit.config, false, &unit.names)) {
            return std::nullopt;
        }
    }
    return units;
}

std::string bytesOf(const QByteArray& pdf) {
    return {pdf.constData(), static_cast<std::size_t>(pdf.size())};
}

int sheet(const QCommandLineParser& parser, const QStringList& arguments, const Context& context) {
    if (arguments.count("-") > 1) {
        return usageError("standard input can be read only once", "sheet");
    }
    const bool pdf = parser.isSet("pdf");
    const bool several = arguments.size() > 1;
    const QString output = parser.value("output");
    if ((several || pdf) && !parser.isSet("output")) {
        return usageError(several ? "the sheets of several sources need -o FOLDER"
                                  : "--pdf needs -o FILE",
                          "sheet");
    }
    if (!several && refusedOutput(output)) {
        return Trouble;
    }
    const auto units = readAll(arguments, context);
    if (!units) {
        return Trouble;
    }
    std::vector<std::string> contents;
    if (pdf) {
        std::vector<SheetDocument> documents;
        for (const BinderUnit& unit : *units) {
            const SheetPart part = sheetPart(unit);
            documents.push_back({"Configuration of " + part.label, {part}, false});
        }
        const auto pdfs = renderPdfs(context, documents);
        if (!pdfs) {
            return Trouble;
        }
        for (const QByteArray& file : *pdfs) {
            contents.push_back(bytesOf(file));
        }
    } else {
        for (const BinderUnit& unit : *units) {
            contents.push_back(sheetOf(unit));
        }
    }
    if (several) {
        return writeSheets(parser, arguments, contents, bytesOf(output));
    }
    return writeOutput(parser.isSet("output") ? output : "-", contents.front(), pdf);
}

int binder(const QCommandLineParser& parser, const QStringList& arguments, const Context& context) {
    if (arguments.count("-") > 1) {
        return usageError("standard input can be read only once", "binder");
    }
    if (!parser.isSet("output")) {
        return usageError("the binder needs -o FILE", "binder");
    }
    const QString output = parser.value("output");
    if (refusedOutput(output)) {
        return Trouble;
    }
    const auto units = readAll(arguments, context);
    if (!units) {
        return Trouble;
    }
    SheetDocument document{{}, {{}}, true};
    for (const BinderUnit& unit : *units) {
        document.parts.push_back(sheetPart(unit));
        // One text size through the binder, the first sheet's, smaller only
        // where a sheet needs it.
        document.parts.back().previousSize = document.parts.size() > 2;
    }
    document.parts.front() = {
        QString::fromStdString(binderContents(*units, sheetTime(std::time(nullptr)))), "Contents"};
    document.title = QString("Binder of %1 units").arg(units->size());
    const auto pdfs = renderPdfs(context, {document});
    if (!pdfs) {
        return Trouble;
    }
    return writeOutput(output, bytesOf(pdfs->front()), true);
}

const QString SourceText = "A unit's folder, holding switches.mx and settings.cmx, or a text "
                           "file as \"mxcfg export\" writes it; - for standard input.";

std::map<QString, Command> commands() {
    return {
        {"show",
         {"Show a configuration whole, all eight channels side by side.",
          {{"SOURCE", SourceText}},
          false,
          {QCommandLineOption("json", "Print JSON: every mask and recall mask as a raw byte.")},
          show}},
        {"diff",
         {"Name every bit in which the configurations differ from the first. Exits 0 when they "
          "are equal, 1 when any differs, 2 on trouble.",
          {{"SOURCE", SourceText}, {"OTHER", "Another source, to compare with the first."}},
          true,
          {QCommandLineOption("summary",
                              "One line for each OTHER: the same as the first, or how many "
                              "switches and recall flags differ on which channels; then how "
                              "many are the same."),
           QCommandLineOption("names", "Compare the names of the units and their channels too; "
                                       "without it, names are shown but never make a difference.")},
          diff}},
        {"export",
         {"Write a configuration as text, in the editor's channel text form.",
          {{"SOURCE", SourceText}},
          false,
          {},
          exportText}},
        {"sheet",
         {"Write a configuration as a sheet to print or keep, the same sheet the editor prints: "
          "HTML, or PDF with --pdf. The sheets of several sources go into a folder, one file "
          "for each, named after its unit's folder or text file; units named alike are told "
          "apart by the folders they lie in (site-a_unit01.pdf).",
          {{"SOURCE", SourceText}},
          true,
          {QCommandLineOption({"o", "output"},
                              "Write the sheet to FILE, a regular file, written whole or not at "
                              "all; - or no FILE is standard output. With several sources, "
                              "FILE is the folder the sheets go into.",
                              "FILE"),
           QCommandLineOption("pdf", "Write PDF, laid out on landscape pages as printed."),
           QCommandLineOption("create", "Create the folder for several sheets, with its "
                                        "parents, if it does not exist yet.")},
          sheet}},
        {"binder",
         {"Write one PDF for a rack of units: a list of every unit and how it compares with the "
          "first, then each unit's sheet, every page numbered and named. Nothing is written "
          "unless every source reads.",
          {{"SOURCE", SourceText + " The first is the one the others are compared with."}},
          true,
          {QCommandLineOption({"o", "output"},
                              "Write the binder to FILE, a regular file, written whole or not at "
                              "all; - is standard output.",
                              "FILE")},
          binder}},
        {"import",
         {"Read a complete configuration and write it into each FOLDER, each on its own. "
          "Nothing is written unless the whole configuration reads; exits 0 only when every "
          "folder was written. Names the text gives are saved with each unit; a text that "
          "names nothing leaves each unit's names as they are (empty name lines clear them).",
          {{"FILE", "The text, as \"mxcfg export\" writes it (or a unit's folder); - for "
                    "standard input."},
           {"FOLDER", "A folder to write switches.mx and settings.cmx into."}},
          true,
          {QCommandLineOption("create",
                              "Create each FOLDER that does not exist yet, with its parents; a "
                              "folder made for a save that fails is removed again.")},
          import}},
    };
}

} // namespace

int main(int argc, char** argv) {
    // A standard input closed by whoever started mxcfg is taken note of, and
    // its number filled, so that no file opened later stands in for it.
    Context context;
    context.stdinClosed = platform::prepareStandardStreams();
    std::optional<QCoreApplication> application(std::in_place, argc, argv);
    context.application = &application;
    QCoreApplication::setApplicationName("mxcfg");
    QCoreApplication::setApplicationVersion(MX_VERSION);
    const std::map<QString, Command> known = commands();

    QCommandLineParser top;
    top.setApplicationDescription(
        "See, compare and script MX_config configurations: the switches.mx and settings.cmx "
        "files of a unit's folder, or their text form.\n\nCommands:\n"
        "  show SOURCE [--json]     the whole configuration\n"
        "  diff SOURCE OTHER...     the bits that differ (--summary: one line each)\n"
        "  export SOURCE            the configuration as text\n"
        "  sheet SOURCE... [-o OUT] the sheet to print, HTML (--pdf: PDF)\n"
        "  binder SOURCE... -o FILE one PDF: the units listed, then their sheets\n"
        "  import FILE FOLDER...    write a configuration into folders (--create: new ones)\n\n"
        "A SOURCE is a unit's folder, or a text file as export writes it; - is standard input.\n"
        "'mxcfg COMMAND --help' tells more of each.");
    top.addHelpOption();
    top.addVersionOption();
    top.addPositionalArgument("command", "show, diff, export, sheet, binder or import.",
                              "COMMAND [ARGUMENTS]");
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
    const QString& name = rest.first();
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
    const auto expected = static_cast<qsizetype>(command.arguments.size());
    if (arguments.size() < expected || (arguments.size() > expected && !command.lastRepeats)) {
        return usageError(QString("\"%1\" wants %2; %3 given")
                              .arg(name, wanted.join(" "),
                                   arguments.size() == 1
                                       ? "1 argument"
                                       : QString("%1 arguments").arg(arguments.size())),
                          name);
    }
    return command.run(parser, arguments, context);
}
