#pragma once

// What the editor's suites share: scripted dialogs that answer its questions,
// and a fixture with a window, an editor and a temporary root of their own.

#include "channel_list.h"
#include "config_document.h"
#include "config_editor.h"
#include "config_sheet.h"
#include "config_text.h"
#include "dialogs.h"
#include "main_window.h"
#include "sheet_pages.h"
#include "syscall_seam.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPdfWriter>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <QUndoStack>
#include <QWindow>
#include <cerrno>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <numeric>

// Readable failures for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace mx {

namespace fs = std::filesystem;
using Bytes = QByteArray;

inline const QString Base = "TVK vMX Config     File path:  ";

// How the system words the errors the cases cause: a file that is not
// there, and a folder where a file should be.
#if defined(_WIN32)
inline const QString NotFoundError = "error 2, ";
inline const QString FolderAsFileError = "error 336, ";
#else
inline const QString NotFoundError = "error 2, No such file or directory";
inline const QString FolderAsFileError = "error 21, Is a directory";
#endif

// Answers the editor's questions from a script and records what was asked.
class ScriptedDialogs : public Dialogs {
public:
    std::deque<std::optional<QString>> folders;
    std::deque<bool> exitAnswers;
    std::deque<UnsavedChanges> openAnswers;
    std::deque<bool> replaceAnswers;
    std::deque<ConflictAnswer> overwriteAnswers;
    std::deque<bool> restoreAnswers;
    std::deque<bool> createAnswers;
    std::deque<std::optional<QString>> sheetFiles;
    std::deque<std::optional<UnitNames>> namesAnswers;
    std::deque<bool> replaceFileAnswers;
    std::vector<QString> pages;
    std::vector<QString> restoreChanges;
    std::vector<QString> printSuggestions;
    // Where an accepted print dialog sends the printout: a PDF file.
    QString printTo;
    // What each browser was opened for, beside which folder, with which
    // recent folders.
    std::vector<FolderPurpose> purposes;
    std::vector<QString> starts;
    std::vector<QStringList> recents;
    std::vector<QString> prompts;
    std::vector<QString> errors;
    std::vector<QString> notes;
    // The folder questions asked, as "open", "replace" or "overwrite" and the folder.
    std::vector<QString> questions;
    int exitQuestions = 0;
    QWidget* lastOwner = nullptr;

    // Runs while a question or chooser is open whose name starts with
    // interruptAt (any, when empty), as a signal could.
    std::function<void()> whileAsking;
    QString interruptAt;
    // Questions asked after whileAsking ran.
    int askedAfterIt = 0;

    void asking(const QString& question) {
        askedAfterIt += interrupted ? 1 : 0;
        if (whileAsking && question.startsWith(interruptAt)) {
            interrupted = true;
            whileAsking();
        }
    }

    template <typename T> T next(std::deque<T>& answers, const QString& question, T otherwise) {
        questions.push_back(question);
        asking(question);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << question.toStdString();
            return otherwise;
        }
        const T answer = answers.front();
        answers.pop_front();
        return answer;
    }
    UnsavedChanges askSaveBeforeOpen(QWidget*, const QString& folder) override {
        return next(openAnswers, "open " + folder, UnsavedChanges::Cancel);
    }
    bool askReplaceConfiguration(QWidget*, const QString& folder) override {
        return next(replaceAnswers, "replace " + folder, false);
    }
    ConflictAnswer askOverwriteChanges(QWidget*, const QString& folder) override {
        return next(overwriteAnswers, "overwrite " + folder, ConflictAnswer::Cancel);
    }
    bool askRestoreRecovered(QWidget*, const QString& folder, const QDateTime&, bool changedSince,
                             const QString& changes) override {
        restoreChanges.push_back(changes);
        return next(restoreAnswers, (changedSince ? "restore changed " : "restore ") + folder,
                    false);
    }

    bool askCreateFolder(QWidget*, const QString& folder) override {
        return next(createAnswers, "create " + folder, false);
    }
    std::optional<QString> browseForFolder(QWidget* owner, const QString& prompt,
                                           const QString& start, FolderPurpose purpose,
                                           const QStringList& recent) override {
        prompts.push_back(prompt);
        asking("browse " + prompt);
        purposes.push_back(purpose);
        starts.push_back(start);
        recents.push_back(recent);
        lastOwner = owner;
        if (folders.empty()) {
            ADD_FAILURE() << "the folder browser was not expected";
            return std::nullopt;
        }
        auto answer = folders.front();
        folders.pop_front();
        return answer;
    }
    bool askSaveBeforeExit(QWidget*) override {
        ++exitQuestions;
        asking("exit");
        if (exitAnswers.empty()) {
            ADD_FAILURE() << "the exit question was not expected";
            return false;
        }
        const bool answer = exitAnswers.front();
        exitAnswers.pop_front();
        return answer;
    }
    bool askPrint(QWidget*, QPrinter& printer, const QString& suggestedFile) override {
        printSuggestions.push_back(suggestedFile);
        asking("print");
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printTo);
        return !printTo.isEmpty();
    }
    std::optional<QString> askSheetFile(QWidget*, const QString& suggested) override {
        return next(sheetFiles, "sheet " + suggested, std::optional<QString>());
    }
    bool askReplaceFile(QWidget*, const QString& path) override {
        return next(replaceFileAnswers, "replace file " + path, false);
    }
    void showError(QWidget*, const QString& message) override { errors.push_back(message); }
    void showNote(QWidget*, const QString& message) override { notes.push_back(message); }
    void showPage(QWidget*, const QString& title, const QString&) override {
        pages.push_back(title);
    }
    std::optional<UnitNames> askNames(QWidget*, const UnitNames&) override {
        return next(namesAnswers, "names", std::optional<UnitNames>());
    }

private:
    bool interrupted = false;
};

inline Bytes readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : Bytes();
}

inline void writeFile(const QString& path, const Bytes& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The caption as the desktop shows it, with Qt's "[*]" placeholder resolved.
inline QString caption(QWidget& window) {
    window.winId();
    return window.windowHandle()->title();
}

inline std::string nativeName(const QString& folder) {
    return QFile::encodeName(folder).toStdString();
}

// The files that keep unsaved edits to folder, any editor's.
inline QStringList keptFor(const QString& folder) {
    return RecoveryStore().filesFor(folder);
}

inline Bytes counting(int size, int first) {
    Bytes bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(first + i);
    }
    return bytes;
}

class ConfigEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        QApplication::setApplicationName("MX_config");
        ASSERT_TRUE(root_.isValid());
        // Unsaved edits and recent folders are kept apart from the user's own.
#if defined(_WIN32)
        // Windows names these folders itself, whatever the environment says:
        // Qt's test mode moves them under ~/.qttest, emptied for each case
        // (the suites that use them run one at a time there).
        QStandardPaths::setTestModeEnabled(true);
        for (const auto location :
             {QStandardPaths::AppLocalDataLocation, QStandardPaths::AppConfigLocation}) {
            QDir(QStandardPaths::writableLocation(location)).removeRecursively();
        }
#else
        qputenv("XDG_STATE_HOME", root_.filePath("state").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", root_.filePath("config").toLocal8Bit());
#endif
        window_ = std::make_unique<MainWindow>(document_);
        editor_ = std::make_unique<ConfigEditor>(*window_, document_, dialogs_);
    }

    void TearDown() override {
        // Let the window go without the exit question.
        window_->setCloseGuard({});
    }

    // A folder under the test's temporary root, created unless told not to.
    // A new window and editor on the same document, as at a new start.
    void restart() {
        window_->setCloseGuard({});
        editor_.reset();
        window_ = std::make_unique<MainWindow>(document_);
        editor_ = std::make_unique<ConfigEditor>(*window_, document_, dialogs_);
    }
    QString folder(const QString& name, bool create = true) {
        const QString path = root_.filePath(name);
        if (create) {
            QDir().mkpath(path);
        }
        return path;
    }
    QString prepared(const QString& name, const Bytes& switches, const Bytes& settings) {
        const QString path = folder(name);
        writeFile(path + "/switches.mx", switches);
        writeFile(path + "/settings.cmx", settings);
        return path;
    }
    void start(const QString& path) {
        dialogs_.folders.push_back(path);
        ASSERT_TRUE(editor_->Form_Load());
        window_->show();
    }
    QCheckBox* box(SwitchField field, SwitchMask index) {
        return window_->member(field, index);
    }

    QTemporaryDir root_;
    ScriptedDialogs dialogs_;
    ConfigDocument document_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<ConfigEditor> editor_;
};

} // namespace mx
