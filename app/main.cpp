#include "app_id.h"
#include "clipboard_reader.h"
#include "config_document.h"
#include "config_editor.h"
#include "dialogs.h"
#include "main_window.h"
#include "platform.h"
#include "termination_signals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>
#include <optional>

namespace {

// What the command line asks for: a folder to load at start-up, or nothing;
// or, from the editor itself, to read the clipboard for it.
struct StartUp {
    QString folder;
    bool readClipboard = false;
};

// The options that Qt's own GUI classes take, such as "-platform offscreen"
// and "-style Fusion": accepted and left to them.
const std::vector<std::pair<QString, bool>> QtGuiOptions = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true},    {"session", true},
    {"display", true},         {"geometry", true},
    {"style", true},           {"stylesheet", true},
    {"dialogs", true},         {"reverse", false},
    {"widgetcount", false},    {"nograb", false},
    {"dograb", false},         {"sync", false},
};

// Where windows need a display server (X11 or Wayland), whether there is one
// to reach. Windows and the other platforms always have their screen.
bool displayAvailable(bool platformGiven) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (platformGiven || qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        return true;
    }
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    Q_UNUSED(platformGiven);
    return true;
#endif
}

// Reads the command line before any window exists, so that --help and
// --version need no display. Returns an exit status when the program is to
// end at once.
std::optional<int> readCommandLine(int argc, char** argv, StartUp& startUp) {
    QCoreApplication probe(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Edits the switch and recall configuration of an eight-channel microphone control "
        "unit: the files switches.mx and settings.cmx in a folder.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        "FOLDER", "The folder to load at start-up; without it the editor asks.", "[FOLDER]");
    // Qt's options are single words after a single dash.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const auto& [name, takesValue] : QtGuiOptions) {
        QCommandLineOption option(name, "", takesValue ? "value" : "");
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    QCommandLineOption readClipboard(mx::BoundedClipboard::HelperOption, "");
    readClipboard.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(readClipboard);
    const auto usageError = [](const QString& message) {
        std::fprintf(stderr, "MX_config: %s\nTry 'MX_config --help'.\n", qPrintable(message));
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments())) {
        return usageError(parser.errorText());
    }
    if (parser.isSet("help")) {
        parser.showHelp(0);
    }
    if (parser.isSet("version")) {
        parser.showVersion();
    }
    startUp.readClipboard = parser.isSet(readClipboard);
    const QStringList folders = parser.positionalArguments();
    if (folders.size() > 1) {
        return usageError("give at most one folder");
    }
    if (!displayAvailable(parser.isSet("platform"))) {
        std::fprintf(stderr, "MX_config: there is no display to show the window on (neither "
                             "DISPLAY nor WAYLAND_DISPLAY is set).\nmxcfg works without one.\n");
        return 1;
    }
    // The folder stays the same when the working folder changes later.
    startUp.folder = folders.isEmpty() ? QString() : QFileInfo(folders.first()).absoluteFilePath();
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    // Before anything opens a file: a display connection that took the
    // number of a closed standard error would receive Qt's warnings.
    mx::platform::prepareStandardStreams();
    QCoreApplication::setApplicationName("MX_config");
    QCoreApplication::setApplicationVersion(mx::AppVersion);
    StartUp startUp;
    if (const auto status = readCommandLine(argc, argv, startUp)) {
        return *status;
    }
    if (startUp.readClipboard) {
        QGuiApplication app(argc, argv);
        return mx::printClipboard();
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(mx::AppId);

    mx::ConfigDocument document;
    mx::MainWindow window(document);
    mx::QtDialogs dialogs;
    mx::ConfigEditor editor(window, document, dialogs);
    mx::BoundedClipboard clipboard(QCoreApplication::applicationFilePath());
    window.setClipboardSource(clipboard);
    // A shutdown, a logout or Ctrl+C in the terminal ends the editor without
    // the exit question, which no one would be there to answer; what is
    // unsaved stays in the recovery file for the next start. The desktop's
    // session manager (Windows' shutdown and logout among them) asks through
    // Qt, the terminal and POSIX desktops through signals.
    const auto endForTheSystem = [&] {
        editor.endWithoutAsking();
        // exit(), not quit(): quit() closes every window first, and closing
        // this one asks the exit question.
        QCoreApplication::exit(0);
    };
    mx::TerminationSignals termination;
    QObject::connect(&termination, &mx::TerminationSignals::received, &app, endForTheSystem);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, endForTheSystem);
    if (!editor.Form_Load(startUp.folder)) {
        return 0;
    }
    window.show();
    return QApplication::exec();
}
