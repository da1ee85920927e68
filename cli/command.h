#pragma once

// What every mxcfg command shares: how it is declared and run, how it reads
// a source, and how it prints. Every error goes to stderr with exit status
// 2; whatever came from outside (names, arguments, file contents) is
// printed with its control characters and stray bytes escaped.

#include "config_files.h"
#include "files.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mx::cli {

inline constexpr int Trouble = 2;
inline constexpr int Different = 1;
inline constexpr std::string_view StandardInput = "standard input";

// What mxcfg learnt of its surroundings at start-up.
struct Context {
    // Standard input was closed when mxcfg started; "-" then reads nothing.
    bool stdinClosed = false;
    // mxcfg's own application object, which the PDF module's takes the
    // place of.
    std::optional<QCoreApplication>* application = nullptr;
    // The command's arguments as given, after its name.
    QStringList words;
};

struct Argument {
    QString name;
    QString description;
};

// One command: what --help says of it, and what runs it.
struct Command {
    const char* summary;
    std::vector<Argument> arguments;         // the positional arguments
    bool lastRepeats = false;                // the last may be given more than once
    std::vector<QCommandLineOption> options; // beside --help and --version
    std::function<int(const QCommandLineParser&, const QStringList&, const Context&)> run;
};

// The commands, each defined in a file of its own.
Command showCommand();
Command exportCommand();
Command diffCommand();
Command importCommand();
Command sheetCommand();
Command binderCommand();
Command applyCommand();
Command nameCommand();

// What --help says of a SOURCE argument.
QString sourceText();

// Arguments are carried as Latin-1 QStrings, one character for each byte, so
// that a folder whose name is not valid text reaches storage byte for byte.
QStringList byteArguments(int argc, char** argv);
std::string bytesOf(const QString& argument);

void printError(const std::string& message);
int usageError(const QString& message, const QString& command = {});
// Writes all of text to stdout; false when it could not be written.
bool print(const std::string& text);
// Prints text; Trouble, said on stderr, when it could not be written.
int printed(const std::string& text);
// What an argument names in messages: a file or folder as given, or
// "standard input".
std::string nameOf(const QString& argument);
bool readSource(const QString& argument, const Context& context, ChannelConfig& config,
                bool noteShort = false, UnitNames* names = nullptr, bool* namesGiven = nullptr);
// Colour only for a person at a terminal, and never when NO_COLOR is set.
bool colourWanted();
// Makes the folders missing on the way to folder when asked to; false, with
// the reason said, when it is missing and not to be made, or cannot be.
bool madeIfAsked(MadeFolders& made, const std::string& folder, bool create);
// Applies edit to the unit of each folder (unit_change.h): every unit is
// read and checked first, then each saved, a line each; dryRun prints the
// lines and writes nothing. 0 when every unit was saved.
int changeUnits(const QStringList& folders, bool dryRun,
                const std::function<void(ChannelConfig&, UnitNames&)>& edit);

} // namespace mx::cli
