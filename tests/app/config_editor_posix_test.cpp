// The editor's cases that rest on POSIX: file size limits, signals, FIFOs,
// permissions, forked editors, symbolic links and names that are any bytes.

#include "config_editor_fixture.h"
#include "file_size_limit.h"
#include "termination_signals.h"

#include <QProcess>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mx {
namespace {

TEST_F(ConfigEditorTest, AFailedSaveAsKeepsTheFolderForTheNextSave) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    QTest::mouseClick(box(SwitchField::AlwaysOn, SwitchPhPwr), Qt::LeftButton, {}, QPoint(7, 8));

    // The folder is empty, so nothing is asked; the write itself fails.
    const QString full = folder("full");
    {
        const FileSizeLimit limit(10);
        dialogs_.folders.push_back(full);
        editor_->SaveAsCommand_Click();
    }

    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_TRUE(dialogs_.errors[0].contains(full + "/switches.mx"));
    EXPECT_TRUE(dialogs_.errors[0].contains("error 27, File too large"));
    EXPECT_FALSE(QFile::exists(full + "/settings.cmx"));
    EXPECT_EQ(editor_->configFolder(), path);
    EXPECT_EQ(caption(*window_), Base + path + "*");

    ASSERT_TRUE(editor_->SaveCommand_Click());
    EXPECT_EQ(static_cast<unsigned char>(readFile(path + "/switches.mx")[3]), 3 | SwitchPhPwr);
}

TEST_F(ConfigEditorTest, TheEditorStartsWithItsStandardStreamsClosed) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    const QString recent = root_.filePath("config/MX_config/recent-units.txt");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("XDG_RUNTIME_DIR");
    program.setProcessEnvironment(environment);
    program.start(
        "sh", {"-c", "exec \"$0\" -platform offscreen \"$1\" <&- >&- 2>&-", MX_CONFIG_PATH, path});
    ASSERT_TRUE(program.waitForStarted());
    // Up, with its window, once it lists the unit as recent.
    EXPECT_TRUE(QTest::qWaitFor([&] { return readFile(recent).contains("cfg"); }, 10'000));
    program.terminate();
    EXPECT_TRUE(program.waitForFinished(5000)) << "it ends when told to";
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished();
    }
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(ConfigEditorTest, ASignalToEndKeepsTheEditsAndQuitsWithoutAsking) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    TerminationSignals termination;
    bool quit = false;
    QObject::connect(&termination, &TerminationSignals::received, [&] {
        editor_->endWithoutAsking();
        quit = true;
    });
    // Ctrl+C in the terminal that started the editor, a logout and a kill
    // alike.
    const std::map<int, SwitchMask> edits = {
        {SIGTERM, SwitchPgm}, {SIGINT, SwitchTb1}, {SIGHUP, SwitchTb2}};
    for (const auto& [signal, edited] : edits) {
        SCOPED_TRACE(signal);
        quit = false;
        box(SwitchField::AlwaysOn, edited)->click();
        std::raise(signal);
        EXPECT_TRUE(QTest::qWaitFor([&] { return quit; }, 5000));
        EXPECT_TRUE(!keptFor(path).isEmpty());
        EXPECT_EQ(dialogs_.exitQuestions, 0);
    }

    // The real program, told to end, ends at once: no question holds it.
    QProcess program;
    program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    program.start(MX_CONFIG_PATH, {"-platform", "offscreen", folder("other")});
    ASSERT_TRUE(program.waitForStarted());
    // Loaded, and so listening for signals, once it lists the folder as recent.
    const QString recent = root_.filePath("config/MX_config/recent-units.txt");
    ASSERT_TRUE(QTest::qWaitFor([&] { return readFile(recent).contains("other"); }, 10'000));
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(ConfigEditorTest, ARecoveryFileIsReadOnlyWhenItIsOneAndNeverHangsOrGrows) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    // A state folder left open to others is closed to them before use.
    QDir().mkpath(root_.filePath("state/MX_config"));
    ::chmod(QFile::encodeName(root_.filePath("state/MX_config")).constData(), 0777);
    const QString other = prepared("other", counting(112, 9), Bytes("\x05\x06", 2));
    QByteArray good;
    struct Case {
        const char* what;
        std::function<void(const QString& file)> put;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"a named pipe",
         [](const QString& file) { ::mkfifo(QFile::encodeName(file).constData(), 0600); },
         "it is a named pipe, not a regular file"},
        {"a link to another unit's file",
         [&](const QString& file) { QFile::link(other + "/switches.mx", file); },
         "it is a symbolic link"},
        {"a link to an endless device", [](const QString& file) { QFile::link("/dev/zero", file); },
         "it is a symbolic link"},
        {"10 MB", [](const QString& file) { writeFile(file, Bytes(10 << 20, '#')); },
         "it is far too long (10485760 bytes)"},
        {"binary garbage", [](const QString& file) { writeFile(file, counting(200, 0x80)); },
         "it is not a file of unsaved changes"},
        {"cut short in its heading",
         [&](const QString& file) { writeFile(file, good.left(good.indexOf("# written"))); },
         "its heading is incomplete or damaged"},
        {"cut short in its configuration",
         [&](const QString& file) { writeFile(file, good.left(good.indexOf("Channel 5"))); },
         "its configuration is incomplete or damaged: line "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs_ = ScriptedDialogs();
        restart();
        start(path);
        box(SwitchField::Latching, SwitchPgm)->click();
        QApplication::processEvents();
        ASSERT_EQ(keptFor(path).size(), 1U);
        const QString file = keptFor(path)[0];
        good = readFile(file);
        restart(); // the editor that kept it is gone
        QFile::remove(file);
        c.put(file);

        dialogs_ = ScriptedDialogs();
        ::alarm(10); // a start-up that hangs in a system call ends the test
        start(path);
        ::alarm(0);
        ASSERT_EQ(dialogs_.errors.size(), 1U);
        EXPECT_TRUE(dialogs_.errors[0].contains(QString("cannot be read (") + c.reason))
            << dialogs_.errors[0].toStdString();
        EXPECT_TRUE(dialogs_.questions.empty()) << "nothing is offered";
        EXPECT_TRUE(QFileInfo(file + ".broken").exists() ||
                    QFileInfo(file + ".broken").isSymLink());
        EXPECT_EQ(readFile(other + "/switches.mx"), counting(112, 9));
        QFile::remove(file + ".broken");
    }
    EXPECT_EQ(QFileInfo(root_.filePath("state/MX_config")).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions())
        << "private to the user";
}

TEST_F(ConfigEditorTest, OnlyEditsOfEditorsThatEndedAreOfferedNewestFirst) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    StoredBlocks files;
    ASSERT_EQ(ReadStoredBlocks(nativeName(path), MissingFile::IsAnError, files), std::nullopt);
    const auto editedBy = [&](RecoveryStore& store, SwitchMask momentary) {
        ChannelConfig config;
        applyStoredBlocks(files, config);
        config.Switches.Channels[0].Momentary = momentary;
        ASSERT_EQ(store.write(path, config, files), std::nullopt);
    };
    // An editor in a process of its own that is killed: its claim is let go
    // with it, its edits stay.
    const auto keptByAKilledEditor = [&](SwitchMask momentary) {
        const pid_t editor = ::fork();
        if (editor == 0) {
            RecoveryStore store;
            editedBy(store, momentary);
            ::raise(SIGKILL);
        }
        ::waitpid(editor, nullptr, 0);
        ::usleep(5'000); // a later time, to the millisecond
    };
    RecoveryStore running;
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::optional<SwitchMask> restored; // what the first offer brings, if any is made
    };
    const std::vector<Case> cases = {
        {"a running editor's", [&] { editedBy(running, SwitchTb4); }, std::nullopt},
        {"a killed editor's", [&] { keptByAKilledEditor(SwitchTb4); }, SwitchTb4},
        {"two killed editors'",
         [&] {
             keptByAKilledEditor(SwitchTb3);
             keptByAKilledEditor(SwitchTb2);
         },
         SwitchTb2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        dialogs_ = ScriptedDialogs();
        restart();
        dialogs_.restoreAnswers = {true};
        start(path);
        EXPECT_EQ(dialogs_.questions.size(), c.restored ? 1U : 0U);
        EXPECT_EQ(document_.config().Switches.Channels[0].Momentary,
                  c.restored.value_or(files.switches[2]));
        running.remove(path);
        for (const QString& left : keptFor(path)) {
            QFile::remove(left);
        }
        dialogs_.restoreAnswers.clear();
    }
}

TEST_F(ConfigEditorTest, AFolderNameThatIsNotTextIsRefusedNotGuessed) {
    // What Qt makes of a name with invalid bytes; a folder of exactly that
    // name exists too, and must not be taken for it.
    const QString lookalike = folder(QString("bad") + QChar::ReplacementCharacter);
    const QString good = prepared("good", counting(112, 4), Bytes("\x00\x00", 2));
    dialogs_.folders = {lookalike, good};
    ASSERT_TRUE(editor_->Form_Load(lookalike));
    ASSERT_EQ(dialogs_.errors.size(), 2U) << "from the command line and from the chooser";
    EXPECT_TRUE(dialogs_.errors[1].contains("is not valid text"))
        << dialogs_.errors[1].toStdString();
    EXPECT_TRUE(QDir(lookalike).isEmpty());
    EXPECT_EQ(editor_->configFolder(), good);

    // A name with control characters is used, but shown escaped: it cannot
    // break the caption or a message into lines, or retitle a terminal.
    const QString odd = prepared("unit\x1b]0;x\x07\nB", counting(112, 0), Bytes("\x00\x00", 2));
    dialogs_.folders.push_back(odd);
    editor_->OpenCommand_Click();
    EXPECT_EQ(caption(*window_), Base + root_.path() + "/unit\\x1b]0;x\\x07\\nB");
    QDir(odd).removeRecursively();
    EXPECT_FALSE(editor_->SaveCommand_Click());
    EXPECT_TRUE(dialogs_.errors.back().startsWith("The configuration was not saved to \"" +
                                                  root_.path() + "/unit\\x1b]0;x\\x07\\nB\"."))
        << dialogs_.errors.back().toStdString();
}

TEST_F(ConfigEditorTest, ExportNeverWritesThroughALinkOrOverAUnitsFile) {
    start(prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2)));
    const QString other = prepared("other", counting(112, 9), Bytes("\x05\x06", 2));
    const QString link = root_.filePath("sheet.pdf");
    ASSERT_TRUE(QFile::link(other + "/switches.mx", link));
    for (const QString& target : {link, folder("a folder.pdf")}) {
        dialogs_ = ScriptedDialogs();
        dialogs_.sheetFiles.push_back(target);
        editor_->ExportSheet();
        ASSERT_EQ(dialogs_.errors.size(), 1U) << target.toStdString();
        EXPECT_TRUE(dialogs_.errors[0].startsWith("The sheet was not saved to \"" + target))
            << dialogs_.errors[0].toStdString();
        EXPECT_EQ(dialogs_.questions, std::vector<QString>{"sheet " + root_.filePath("cfg.pdf")})
            << "refused before Replace it? is asked";
    }
    EXPECT_EQ(readFile(other + "/switches.mx"), counting(112, 9));
    EXPECT_EQ(readFile(other + "/settings.cmx"), Bytes("\x05\x06", 2));
}

} // namespace
} // namespace mx
