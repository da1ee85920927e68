#include "command.h"

#include "config_files.h"
#include "platform.h"
#include "printable_text.h"

#include <cstdio>
#include <cstdlib>
#include <tuple>

namespace mx::cli {

namespace {

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

void printMissing(const std::string& folder) {
    printError("Could not open \"" + folder + "\": it does not exist; --create makes it.");
}

} // namespace

QString sourceText() {
    return "A unit's folder, holding switches.mx and settings.cmx, or a text file as \"mxcfg "
           "export\" writes it; - for standard input.";
}

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

int usageError(const QString& message, const QString& command) {
    printError(bytesOf(message));
    const std::string help =
        command.isEmpty() ? "mxcfg --help" : "mxcfg " + bytesOf(command) + " --help";
    std::fprintf(stderr, "Try '%s'.\n", printable(help).c_str());
    return Trouble;
}

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

std::string nameOf(const QString& argument) {
    return argument == "-" ? std::string(StandardInput) : bytesOf(argument);
}

// Reads a configuration from a unit's folder, from a file or pipe holding
// the text form, or, for "-", from standard input. The names come with the
// configuration when names is given: from the folder's names.txt or from the
// text. A names.txt that cannot be read is told of once, and its names are
// left out.
bool readSource(const QString& argument, const Context& context, ChannelConfig& config,
                bool noteShort, UnitNames* names, bool* namesGiven) {
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

bool colourWanted() {
    const char* term = std::getenv("TERM");
    return platform::isTerminal(platform::Stream::Output) && std::getenv("NO_COLOR") == nullptr &&
           !(term != nullptr && std::string(term) == "dumb");
}

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
} // namespace mx::cli
