#include "command.h"
#include "config_sheet.h"
#include "output_file.h"
#include "pdf_module.h"
#include "platform.h"
#include "printable_text.h"
#include "sheet_html.h"

#include <QLibrary>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>

namespace mx::cli {

namespace {

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

// The sheet, as the editor makes it for a file.
Sheet sheetOf(const BinderUnit& unit, const std::string& madeAt) {
    return configSheet(unit.config, {unit.source, madeAt, false, false, unit.names});
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

std::string_view bytesOfPdf(const QByteArray& pdf) {
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
    const std::string madeAt = sheetTime(std::time(nullptr));
    std::vector<std::string> contents;
    if (pdf) {
        std::vector<SheetDocument> documents;
        for (const BinderUnit& unit : *units) {
            documents.push_back({sheetOf(unit, madeAt).title, 1,
                                 [&unit, &madeAt](std::size_t) { return sheetOf(unit, madeAt); }});
        }
        auto pdfs = renderPdfs(context, documents);
        if (!pdfs) {
            return Trouble;
        }
        // Each PDF let go once copied: a thousand sheets are held once.
        for (QByteArray& file : *pdfs) {
            contents.emplace_back(bytesOfPdf(file));
            file = {};
        }
    } else {
        for (const BinderUnit& unit : *units) {
            contents.push_back(sheetHtml(sheetOf(unit, madeAt)));
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
    const auto pdfs = renderPdfs(context, {binderDocument(*units, sheetTime(std::time(nullptr)))});
    if (!pdfs) {
        return Trouble;
    }
    if (const int status = writeOutput(output, bytesOfPdf(pdfs->front()), true);
        status != 0 || output == "-") {
        return status;
    }
    // A line, as sheet prints one for each file.
    return printed("The binder of " + std::to_string(units->size()) + " units was written to \"" +
                   printable(bytesOf(output)) + "\".\n");
}

} // namespace

Command sheetCommand() {
    return {"Write a configuration as a sheet to print or keep, the same sheet the editor prints: "
            "HTML, or PDF with --pdf. The sheets of several sources go into a folder, one file "
            "for each, named after its unit's folder or text file; units named alike are told "
            "apart by the folders they lie in (site-a_unit01.pdf).",
            {{"SOURCE", sourceText()}},
            true,
            {QCommandLineOption({"o", "output"},
                                "Write the sheet to FILE, a regular file, written whole or not at "
                                "all; - or no FILE is standard output. With several sources, "
                                "FILE is the folder the sheets go into.",
                                "FILE"),
             QCommandLineOption("pdf", "Write PDF, laid out on landscape pages as printed."),
             QCommandLineOption("create", "Create the folder for several sheets, with its "
                                          "parents, if it does not exist yet.")},
            sheet};
}

Command binderCommand() {
    return {"Write one PDF for a rack of units: a list of every unit and how it compares with the "
            "first, then each unit's sheet, every page numbered and named. Nothing is written "
            "unless every source reads.",
            {{"SOURCE", sourceText() + " The first is the one the others are compared with."}},
            true,
            {QCommandLineOption({"o", "output"},
                                "Write the binder to FILE, a regular file, written whole or not at "
                                "all; - is standard output.",
                                "FILE")},
            binder};
}

} // namespace mx::cli
