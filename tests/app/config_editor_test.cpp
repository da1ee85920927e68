#include "config_editor.h"
#include "dialogs.h"
#include "main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <numeric>

namespace mx {
namespace {

namespace fs = std::filesystem;
using Bytes = QByteArray;

const QString Base = "TVK vMX Config     File path:  ";

// Answers the editor's questions from a script and records what was asked.
class ScriptedDialogs : public Dialogs {
public:
    std::deque<std::optional<QString>> folders;
    std::deque<bool> exitAnswers;
    std::vector<QString> prompts;
    std::vector<QString> errors;
    int exitQuestions = 0;
    QWidget* lastOwner = nullptr;

    std::optional<QString> browseForFolder(QWidget* owner, const QString& prompt,
                                           const QString&) override {
        prompts.push_back(prompt);
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
        if (exitAnswers.empty()) {
            ADD_FAILURE() << "the exit question was not expected";
            return false;
        }
        const bool answer = exitAnswers.front();
        exitAnswers.pop_front();
        return answer;
    }
    void showError(QWidget*, const QString& message) override { errors.push_back(message); }
};

Bytes readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : Bytes();
}

void writeFile(const QString& path, const Bytes& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

Bytes counting(int size, int first) {
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
        window_ = std::make_unique<MainWindow>();
        editor_ = std::make_unique<ConfigEditor>(*window_, dialogs_);
    }

    void TearDown() override {
        // Let the window go without the exit question.
        window_->setCloseGuard({});
    }

    // A folder under the test's temporary root, created unless told not to.
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
    QCheckBox* box(SwitchField field, SwitchMask index) { return window_->member(field, index); }

    QTemporaryDir root_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<ConfigEditor> editor_;
};

TEST_F(ConfigEditorTest, CancellingTheFirstBrowserEndsWithoutWindowMessageOrFile) {
    dialogs_.folders.push_back(std::nullopt);
    EXPECT_FALSE(editor_->Form_Load());
    EXPECT_FALSE(window_->isVisible());
    EXPECT_TRUE(dialogs_.errors.empty());
    EXPECT_EQ(dialogs_.exitQuestions, 0);
    EXPECT_EQ(dialogs_.prompts, std::vector<QString>{"Choose a folder for the config files."});
    EXPECT_EQ(dialogs_.lastOwner, window_.get());
    EXPECT_TRUE(QDir(root_.path()).isEmpty());
    EXPECT_FALSE(QFile::exists("switches.mx"));
    EXPECT_EQ(editor_->configFolder(), "");
    EXPECT_EQ(window_->windowTitle(), Base);
}

TEST_F(ConfigEditorTest, StartUpShowsChannelOneOfTheChosenFolder) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x81\x02", 2));
    start(path);

    EXPECT_EQ(editor_->baseCaption(), Base);
    EXPECT_EQ(window_->windowTitle(), Base + path);
    EXPECT_EQ(window_->selectedChannel(), 0);
    // Record 0 holds 0..13: Latching is 1, AlwaysOn 3, PgmSuppresses 4.
    EXPECT_TRUE(box(SwitchField::Latching, SwitchPgm)->isChecked());
    EXPECT_FALSE(box(SwitchField::Latching, SwitchTb1)->isChecked());
    EXPECT_TRUE(box(SwitchField::AlwaysOn, SwitchTb1)->isChecked());
    EXPECT_TRUE(box(SwitchField::PgmSuppresses, SwitchTb2)->isChecked());
    EXPECT_TRUE(window_->recallBox(RecallField::MicGain)->isChecked());
    EXPECT_FALSE(window_->recallBox(RecallField::Fader)->isChecked());
    EXPECT_EQ(window_->config().Switches.Channels[7].Tb4Delatches, 0x6F);
}

TEST_F(ConfigEditorTest, OpenOnAnEmptyFolderKeepsTheValuesAndSaveWritesThemThere) {
    const Bytes switches = counting(112, 0x20);
    start(prepared("first", switches, Bytes("\x0F\xF0", 2)));
    window_->selectChannel(4);

    const QString empty = folder("empty");
    dialogs_.folders.push_back(empty);
    editor_->OpenCommand_Click();
    EXPECT_EQ(window_->windowTitle(), Base + empty);
    EXPECT_EQ(readFile(empty + "/switches.mx").size(), 0);
    EXPECT_EQ(readFile(empty + "/settings.cmx").size(), 0);
    EXPECT_TRUE(QFile::exists(empty + "/settings.cmx"));
    EXPECT_EQ(window_->selectedChannel(), 0);
    EXPECT_TRUE(dialogs_.errors.empty());

    ASSERT_TRUE(editor_->SaveCommand_Click());
    EXPECT_EQ(readFile(empty + "/switches.mx"), switches);
    EXPECT_EQ(readFile(empty + "/settings.cmx"), Bytes("\x0F\xF0", 2));
}

TEST_F(ConfigEditorTest, OpenThenCancelChangesNothing) {
    const QString path = prepared("cfg", counting(112, 1), Bytes("\x01\x02", 2));
    start(path);
    window_->selectChannel(3);
    const ChannelConfig before = window_->config();

    dialogs_.folders.push_back(std::nullopt);
    editor_->OpenCommand_Click();
    EXPECT_EQ(editor_->configFolder(), path);
    EXPECT_EQ(window_->windowTitle(), Base + path);
    EXPECT_EQ(window_->config(), before);
    EXPECT_EQ(window_->selectedChannel(), 3);
}

TEST_F(ConfigEditorTest, SaveAsMovesLaterSavesToTheNewFolder) {
    const Bytes original = counting(112, 0);
    const QString first = prepared("first", original, Bytes("\x00\x00", 2));
    start(first);
    const QString second = folder("second");

    dialogs_.folders.push_back(second);
    editor_->SaveAsCommand_Click();
    EXPECT_EQ(readFile(second + "/switches.mx"), original);
    EXPECT_EQ(readFile(second + "/settings.cmx"), Bytes("\x00\x00", 2));
    EXPECT_EQ(window_->windowTitle(), Base + second);

    QTest::mouseClick(box(SwitchField::Disabled, SwitchTb3), Qt::LeftButton, {}, QPoint(7, 8));
    editor_->SaveCommand_Click();
    Bytes edited = original;
    edited[0] = static_cast<char>(SwitchTb3);
    EXPECT_EQ(readFile(second + "/switches.mx"), edited);
    EXPECT_EQ(readFile(first + "/switches.mx"), original);
}

TEST_F(ConfigEditorTest, ClosingAsksEveryTimeAndYesRewritesTheFiles) {
    const Bytes switches = counting(112, 0x60);
    const QString path = prepared("cfg", switches, Bytes("\x81\x7E", 2));
    start(path);
    QFile::remove(path + "/switches.mx");
    QFile::remove(path + "/settings.cmx");

    dialogs_.exitAnswers.push_back(true);
    EXPECT_TRUE(window_->close());
    EXPECT_EQ(dialogs_.exitQuestions, 1);
    EXPECT_EQ(readFile(path + "/switches.mx"), switches);
    EXPECT_EQ(readFile(path + "/settings.cmx"), Bytes("\x81\x7E", 2));
}

TEST_F(ConfigEditorTest, AnsweringNoWritesNothing) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x01\x01", 2));
    start(path);
    QTest::mouseClick(box(SwitchField::Latching, SwitchTb1), Qt::LeftButton, {}, QPoint(7, 8));

    dialogs_.exitAnswers.push_back(false);
    EXPECT_TRUE(window_->close());
    EXPECT_EQ(dialogs_.exitQuestions, 1);
    EXPECT_EQ(readFile(path + "/switches.mx"), counting(112, 0));
}

TEST_F(ConfigEditorTest, AFailedOpenLeavesModelViewFolderAndCaption) {
    const QString path = prepared("cfg", counting(112, 5), Bytes("\x10\x20", 2));
    start(path);
    window_->selectChannel(5);
    const ChannelConfig before = window_->config();
    const bool shownBit = box(SwitchField::Momentary, SwitchPgm)->isChecked();

    // A good switch file beside a folder where the settings file should be.
    const QString broken = prepared("broken", counting(112, 0x40), Bytes());
    QFile::remove(broken + "/settings.cmx");
    QDir().mkdir(broken + "/settings.cmx");
    dialogs_.folders.push_back(broken);
    editor_->OpenCommand_Click();

    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_TRUE(dialogs_.errors[0].contains(broken + "/settings.cmx"));
    EXPECT_TRUE(dialogs_.errors[0].contains("error 21, Is a directory"));
    EXPECT_EQ(window_->config(), before);
    EXPECT_EQ(window_->selectedChannel(), 5);
    EXPECT_EQ(box(SwitchField::Momentary, SwitchPgm)->isChecked(), shownBit);
    EXPECT_EQ(editor_->configFolder(), path);
    EXPECT_EQ(window_->windowTitle(), Base + path);

    // A folder that no longer exists fails the same way.
    dialogs_.folders.push_back(folder("gone", false));
    editor_->OpenCommand_Click();
    ASSERT_EQ(dialogs_.errors.size(), 2U);
    EXPECT_TRUE(dialogs_.errors[1].contains("error 2, No such file or directory"));
    EXPECT_EQ(editor_->configFolder(), path);
    EXPECT_EQ(window_->config(), before);
}

TEST_F(ConfigEditorTest, AFailedSaveAsKeepsTheFolderForTheNextSave) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    QTest::mouseClick(box(SwitchField::AlwaysOn, SwitchPhPwr), Qt::LeftButton, {}, QPoint(7, 8));

    const QString full = folder("full");
    fs::create_symlink("/dev/full", (full + "/switches.mx").toStdString());
    writeFile(full + "/settings.cmx", Bytes("\x55\x55", 2));
    dialogs_.folders.push_back(full);
    editor_->SaveAsCommand_Click();

    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_TRUE(dialogs_.errors[0].contains(full + "/switches.mx"));
    EXPECT_TRUE(dialogs_.errors[0].contains("error 28, No space left on device"));
    EXPECT_EQ(readFile(full + "/settings.cmx"), Bytes("\x55\x55", 2));
    EXPECT_EQ(editor_->configFolder(), path);
    EXPECT_EQ(window_->windowTitle(), Base + path);

    ASSERT_TRUE(editor_->SaveCommand_Click());
    EXPECT_EQ(static_cast<unsigned char>(readFile(path + "/switches.mx")[3]), 3 | SwitchPhPwr);
}

TEST_F(ConfigEditorTest, AFailedFirstLoadAsksForAnotherFolder) {
    const QString broken = folder("broken");
    QDir().mkdir(broken + "/switches.mx");
    const QString good = prepared("good", counting(112, 9), Bytes("\x02\x02", 2));

    dialogs_.folders = {broken, good};
    ASSERT_TRUE(editor_->Form_Load());
    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_TRUE(dialogs_.errors[0].contains(broken + "/switches.mx"));
    EXPECT_EQ(editor_->configFolder(), good);
    EXPECT_EQ(window_->config().Switches.Channels[0].Disabled, 9);

    // Cancelling after a failed load ends the program as a first cancel does.
    ScriptedDialogs again;
    MainWindow other;
    ConfigEditor second(other, again);
    again.folders = {broken, std::nullopt};
    EXPECT_FALSE(second.Form_Load());
    EXPECT_EQ(again.errors.size(), 1U);
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(second.configFolder(), "");
    EXPECT_EQ(other.windowTitle(), Base);
}

TEST_F(ConfigEditorTest, AFailedSaveAtExitKeepsTheWindowOpen) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    QTest::mouseClick(box(SwitchField::Tb1Suppresses, SwitchTb4), Qt::LeftButton, {}, QPoint(7, 8));
    const ChannelConfig edited = window_->config();

    // The folder has gone away since it was opened.
    QDir(path).removeRecursively();
    dialogs_.exitAnswers.push_back(true);
    EXPECT_FALSE(window_->close());
    EXPECT_TRUE(window_->isVisible());
    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_TRUE(dialogs_.errors[0].contains(path + "/switches.mx"));
    EXPECT_EQ(window_->config(), edited);

    // The user saves elsewhere, then closes.
    const QString elsewhere = folder("elsewhere");
    dialogs_.folders.push_back(elsewhere);
    editor_->SaveAsCommand_Click();
    dialogs_.exitAnswers.push_back(false);
    EXPECT_TRUE(window_->close());
    EXPECT_EQ(static_cast<unsigned char>(readFile(elsewhere + "/switches.mx")[5]), 5 | SwitchTb4);
}

// Answers the next modal dialog from inside its own event loop.
void whenModal(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

TEST_F(ConfigEditorTest, TheRealBrowserAndMessageBoxesDriveTheEditor) {
    QtDialogs real;
    MainWindow window;
    ConfigEditor editor(window, real);
    const QString path = prepared("real", counting(112, 0x30), Bytes("\x03\x00", 2));

    QString browserTitle;
    whenModal([&](QWidget* modal) {
        auto* browser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(browser, nullptr);
        browserTitle = browser->windowTitle();
        auto* name = browser->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        // Typed text pops up the completer, which would take the keys that
        // follow; the path goes in whole, as a paste would put it.
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(editor.Form_Load());
    window.show();
    EXPECT_EQ(browserTitle, "Choose a folder for the config files.");
    EXPECT_EQ(editor.configFolder(), path);
    EXPECT_EQ(window.config().Switches.Channels[0].Disabled, 0x30);

    // A failing save is reported in a message box naming the file.
    QFile::remove(path + "/settings.cmx");
    QDir().mkdir(path + "/settings.cmx");
    QString errorText;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        errorText = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_FALSE(editor.SaveCommand_Click());
    EXPECT_TRUE(errorText.contains(path + "/settings.cmx")) << errorText.toStdString();
    EXPECT_TRUE(errorText.contains("error 21, Is a directory")) << errorText.toStdString();
    QDir().rmdir(path + "/settings.cmx");

    QFile::remove(path + "/switches.mx");
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Save file before exit?");
        EXPECT_EQ(box->windowTitle(), "MX_config");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
        // Neither Escape nor closing the box answers it.
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_FALSE(box->close());
        EXPECT_TRUE(box->isVisible());
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_TRUE(window.close());
    EXPECT_EQ(readFile(path + "/switches.mx"), counting(112, 0x30));
    EXPECT_EQ(readFile(path + "/settings.cmx"), Bytes("\x03\x00", 2));
}

} // namespace
} // namespace mx
