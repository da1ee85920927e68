#include "config_editor_fixture.h"

#include <QProcess>
#include <QRegularExpression>

namespace mx {
namespace {

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
    EXPECT_EQ(caption(*window_), Base);
}

TEST_F(ConfigEditorTest, StartUpShowsChannelOneOfTheChosenFolder) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x81\x02", 2));
    start(path);

    EXPECT_EQ(editor_->baseCaption(), Base);
    EXPECT_EQ(caption(*window_), Base + path);
    EXPECT_EQ(window_->selectedChannel(), 0);
    // Record 0 holds 0..13: Latching is 1, AlwaysOn 3, PgmSuppresses 4.
    EXPECT_TRUE(box(SwitchField::Latching, SwitchPgm)->isChecked());
    EXPECT_FALSE(box(SwitchField::Latching, SwitchTb1)->isChecked());
    EXPECT_TRUE(box(SwitchField::AlwaysOn, SwitchTb1)->isChecked());
    EXPECT_TRUE(box(SwitchField::PgmSuppresses, SwitchTb2)->isChecked());
    EXPECT_TRUE(window_->recallBox(RecallField::MicGain)->isChecked());
    EXPECT_FALSE(window_->recallBox(RecallField::Fader)->isChecked());
    EXPECT_EQ(document_.config().Switches.Channels[7].Tb4Delatches, 0x6F);
}

TEST_F(ConfigEditorTest, OpenOnAnEmptyFolderKeepsTheValuesAndSaveWritesThemThere) {
    const Bytes switches = counting(112, 0x20);
    start(prepared("first", switches, Bytes("\x0F\xF0", 2)));
    window_->selectChannel(4);

    const QString empty = folder("empty");
    dialogs_.folders.push_back(empty);
    editor_->OpenCommand_Click();
    // The values shown are not in the empty files: saving would change them.
    EXPECT_EQ(caption(*window_), Base + empty + "*");
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
    const ChannelConfig before = document_.config();

    dialogs_.folders.push_back(std::nullopt);
    editor_->OpenCommand_Click();
    EXPECT_EQ(editor_->configFolder(), path);
    EXPECT_EQ(caption(*window_), Base + path);
    EXPECT_EQ(document_.config(), before);
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
    EXPECT_EQ(caption(*window_), Base + second);

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

    // Removing the files is a change made by another program.
    dialogs_.exitAnswers.push_back(true);
    dialogs_.overwriteAnswers.push_back(ConflictAnswer::Overwrite);
    EXPECT_TRUE(window_->close());
    EXPECT_EQ(dialogs_.exitQuestions, 1);
    EXPECT_EQ(dialogs_.questions, std::vector<QString>{"overwrite " + path});
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
    const ChannelConfig before = document_.config();
    const bool shownBit = box(SwitchField::Momentary, SwitchPgm)->isChecked();

    // A good switch file beside a folder where the settings file should be.
    const QString broken = prepared("broken", counting(112, 0x40), Bytes());
    QFile::remove(broken + "/settings.cmx");
    QDir().mkdir(broken + "/settings.cmx");
    dialogs_.folders.push_back(broken);
    editor_->OpenCommand_Click();

    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_TRUE(dialogs_.errors[0].contains(broken + "/settings.cmx"))
        << dialogs_.errors[0].toStdString();
    EXPECT_TRUE(dialogs_.errors[0].contains(FolderAsFileError));
    EXPECT_EQ(document_.config(), before);
    EXPECT_EQ(window_->selectedChannel(), 5);
    EXPECT_EQ(box(SwitchField::Momentary, SwitchPgm)->isChecked(), shownBit);
    EXPECT_EQ(editor_->configFolder(), path);
    EXPECT_EQ(caption(*window_), Base + path);

    // A folder that is not there is a new unit's, made only when the user
    // agrees; No chooses again, and a cancel changes nothing.
    const QString gone = folder("gone", false);
    dialogs_.folders.push_back(gone);
    dialogs_.createAnswers.push_back(false);
    dialogs_.folders.push_back(std::nullopt);
    editor_->OpenCommand_Click();
    EXPECT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_EQ(editor_->configFolder(), path);
    EXPECT_EQ(document_.config(), before);
}

TEST_F(ConfigEditorTest, TheCaptionNamesAFolderOnlyOnceTheDocumentIsThere) {
    const QString unit03 = prepared("unit03", counting(112, 3), Bytes("\x03\x00", 2));
    const QString unit01 = prepared("unit01", counting(112, 1), Bytes("\x01\x00", 2));
    start(unit03);
    QStringList shownWhileAsked;
    dialogs_.whileAsking = [&] { shownWhileAsked << caption(*window_); };
    for (const bool replace : {false, true}) {
        dialogs_.folders.push_back(unit01);
        dialogs_.replaceAnswers.push_back(replace);
        editor_->SaveAsCommand_Click();
        EXPECT_EQ(caption(*window_), Base + (replace ? unit01 : unit03));
    }
    EXPECT_EQ(shownWhileAsked, QStringList(4, Base + unit03)) << "two choosers, two questions";
}

TEST_F(ConfigEditorTest, ATypedNewFolderIsANewUnitAtStartUpAndAtOpen) {
    for (const bool atStartUp : {true, false}) {
        SCOPED_TRACE(atStartUp ? "start-up" : "Open");
        const QString unit = folder(atStartUp ? "first" : "second", false);
        dialogs_.folders.push_back(unit);
        dialogs_.createAnswers.push_back(true);
        if (atStartUp) {
            ASSERT_TRUE(editor_->Form_Load());
        } else {
            editor_->OpenCommand_Click();
        }
        EXPECT_TRUE(dialogs_.errors.empty());
        EXPECT_EQ(editor_->configFolder(), unit);
        EXPECT_EQ(caption(*window_), Base + unit + "*");
        EXPECT_TRUE(document_.isModified()) << "its files are empty";
        EXPECT_EQ(readFile(unit + "/switches.mx"), Bytes());
        ASSERT_TRUE(editor_->SaveCommand_Click());
        EXPECT_EQ(readFile(unit + "/switches.mx").size(), 112U);
    }
}

TEST_F(ConfigEditorTest, AFailedFirstLoadAsksForAnotherFolder) {
    const QString broken = folder("broken");
    QDir().mkdir(broken + "/switches.mx");
    const QString good = prepared("good", counting(112, 9), Bytes("\x02\x02", 2));

    dialogs_.folders = {broken, good};
    ASSERT_TRUE(editor_->Form_Load());
    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_TRUE(dialogs_.errors[0].contains(broken + "/switches.mx"))
        << dialogs_.errors[0].toStdString();
    EXPECT_EQ(editor_->configFolder(), good);
    EXPECT_EQ(document_.config().Switches.Channels[0].Disabled, 9);

    // Cancelling after a failed load ends the program as a first cancel does.
    ScriptedDialogs again;
    ConfigDocument otherDocument;
    MainWindow other(otherDocument);
    ConfigEditor second(other, otherDocument, again);
    again.folders = {broken, std::nullopt};
    EXPECT_FALSE(second.Form_Load());
    EXPECT_EQ(again.errors.size(), 1U);
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(second.configFolder(), "");
    EXPECT_EQ(caption(other), Base);
}

TEST_F(ConfigEditorTest, AFailedSaveAtExitKeepsTheWindowOpen) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    QTest::mouseClick(box(SwitchField::Tb1Suppresses, SwitchTb4), Qt::LeftButton, {}, QPoint(7, 8));
    const ChannelConfig edited = document_.config();

    // The folder has gone away since it was opened.
    QDir(path).removeRecursively();
    dialogs_.exitAnswers.push_back(true);
    EXPECT_FALSE(window_->close());
    EXPECT_TRUE(window_->isVisible());
    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_TRUE(dialogs_.errors[0].contains(path + "\": " + NotFoundError))
        << dialogs_.errors[0].toStdString();
    EXPECT_EQ(document_.config(), edited);

    // The user saves elsewhere, then closes.
    const QString elsewhere = folder("elsewhere");
    dialogs_.folders.push_back(elsewhere);
    editor_->SaveAsCommand_Click();
    dialogs_.exitAnswers.push_back(false);
    EXPECT_TRUE(window_->close());
    EXPECT_EQ(static_cast<unsigned char>(readFile(elsewhere + "/switches.mx")[5]), 5 | SwitchTb4);
}

TEST_F(ConfigEditorTest, UnsavedEditsSurviveAKillAndAreOfferedAtTheNextStart) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    QString kept;
    struct Case {
        const char* what;
        std::function<void()> meanwhile; // after the kill, before the next start
        std::optional<bool> restore;     // the answer, or no question at all
        const char* question;
    };
    const std::vector<Case> cases = {
        {"restored", [] {}, true, "restore "},
        {"discarded", [] {}, false, "restore "},
        {"restored though the files changed",
         [&] { writeFile(path + "/settings.cmx", Bytes("\x07\x07", 2)); }, true,
         "restore changed "},
        {"unreadable", [&] { writeFile(kept, "# not a configuration\n"); }, {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
        {
            // An edit, then the editor is killed: no exit question, no save.
            ConfigDocument document;
            MainWindow window(document);
            ScriptedDialogs dialogs;
            ConfigEditor editor(window, document, dialogs);
            dialogs.folders.push_back(path);
            ASSERT_TRUE(editor.Form_Load());
            window.member(SwitchField::Momentary, SwitchTb3)->click();
            QApplication::processEvents();
            ASSERT_EQ(keptFor(path).size(), 1) << "kept at the edit";
            kept = keptFor(path)[0];
            window.setCloseGuard({});
        }
        c.meanwhile();
        dialogs_ = ScriptedDialogs();
        restart();
        if (c.restore) {
            dialogs_.restoreAnswers.push_back(*c.restore);
        }
        start(path);
        if (c.question != nullptr) {
            EXPECT_EQ(dialogs_.questions, std::vector<QString>{c.question + path});
        } else {
            ASSERT_EQ(dialogs_.errors.size(), 1U);
            EXPECT_TRUE(dialogs_.errors[0].contains("cannot be read"))
                << dialogs_.errors[0].toStdString();
            EXPECT_TRUE(QFile::exists(kept + ".broken"));
        }
        const bool restored = c.restore.value_or(false);
        EXPECT_EQ(document_.config().Switches.Channels[0].Momentary, restored ? 0x0A : 0x02);
        EXPECT_EQ(box(SwitchField::Momentary, SwitchTb3)->isChecked(), restored);
        EXPECT_EQ(caption(*window_), Base + path + (restored ? "*" : ""));
        EXPECT_EQ(keptFor(path).size(), restored ? 1 : 0);
        if (c.restore) {
            // Counted against what the files hold now.
            const bool filesChanged = std::string(c.question) == "restore changed ";
            EXPECT_EQ(dialogs_.restoreChanges,
                      std::vector<QString>{
                          filesChanged ? "1 switch and 6 recall flags on channels 1, 2 and 3"
                                       : "1 switch on channel 1"});
        }
        // A restore is one step, which Undo takes back to the files' state.
        EXPECT_EQ(document_.undoStack()->count(), restored ? 1 : 0);
        if (restored) {
            EXPECT_EQ(document_.undoText(), "restoring unsaved changes");
            document_.undoStack()->undo();
            EXPECT_EQ(document_.config().Switches.Channels[0].Momentary, 0x02);
            document_.undoStack()->redo();
            dialogs_.overwriteAnswers.push_back(ConflictAnswer::Overwrite);
            EXPECT_TRUE(editor_->SaveCommand_Click());
            QApplication::processEvents();
            EXPECT_TRUE(keptFor(path).isEmpty()) << "a save ends the need for it";
        }
    }
}

TEST_F(ConfigEditorTest, NamesAreOneStepSavedBesideTheUnitAndKeptThroughAKill) {
    const Bytes switches = counting(112, 0);
    const QString path = prepared("cfg", switches, Bytes("\x00\x00", 2));
    const QString namesFile = path + "/names.txt";
    start(path);
    UnitNames names;
    names.unit = "Studio A";
    names.channels[2] = "Guest 2";
    dialogs_.namesAnswers = {names};
    window_->actions().names->trigger();
    EXPECT_EQ(document_.undoText(), "naming the unit and its channels");
    QApplication::processEvents();
    EXPECT_EQ(caption(*window_), Base + path + "*");
    EXPECT_EQ(window_->findChild<QListWidget*>()->item(2)->toolTip(), "Guest 2");
    EXPECT_EQ(editor_->sheet().above.front().text, "Studio A");

    // Kept for recovery with the edits, and brought back at the next start.
    window_->setCloseGuard({});
    dialogs_ = ScriptedDialogs();
    restart();
    dialogs_.restoreAnswers = {true};
    start(path);
    EXPECT_EQ(dialogs_.restoreChanges, std::vector<QString>{"new names"});
    EXPECT_EQ(document_.names(), names);
    ASSERT_TRUE(editor_->SaveCommand_Click());
    EXPECT_EQ(readFile(namesFile), QByteArray::fromStdString(namesToText(names)));
    EXPECT_EQ(readFile(path + "/switches.mx"), switches) << "the unit's bytes do not move";

    // A channel renamed, then taken back by Revert to saved.
    names.channels[2] = "Guest 3";
    dialogs_.namesAnswers = {names};
    window_->actions().names->trigger();
    EXPECT_EQ(document_.undoText(), "naming channel 3");
    window_->actions().compareSaved->trigger();
    QApplication::processEvents();
    EXPECT_EQ(window_->findChild<QListWidget*>()->item(2)->toolTip(),
              "Guest 3\n\"Guest 2\" in the saved files");
    window_->actions().stopComparing->trigger();
    window_->actions().revert->trigger();
    EXPECT_EQ(document_.names().channels[2], "Guest 2");
    EXPECT_FALSE(document_.isModified());

    // Names that cannot be read are told of once and never written over,
    // until the unit is named again; names that cannot be written leave the
    // unit saved, and say so.
    writeFile(namesFile, Bytes("\x01\x02garbage", 9));
    dialogs_.folders = {path};
    editor_->OpenCommand_Click();
    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_TRUE(document_.names().empty());
    box(SwitchField::Momentary, SwitchTb3)->click();
    ASSERT_TRUE(editor_->SaveCommand_Click());
    EXPECT_EQ(readFile(namesFile), Bytes("\x01\x02garbage", 9));
    EXPECT_EQ(dialogs_.errors.size(), 1U);
    QFile::remove(namesFile);
    QDir().mkpath(namesFile);
    dialogs_.namesAnswers = {names};
    window_->actions().names->trigger();
    box(SwitchField::Momentary, SwitchTb3)->click();
    ASSERT_TRUE(editor_->SaveCommand_Click());
    ASSERT_EQ(dialogs_.errors.size(), 2U);
    EXPECT_TRUE(dialogs_.errors[1].startsWith("The configuration was saved; its names were not: "));
    EXPECT_EQ(readFile(path + "/switches.mx"), switches);
    EXPECT_TRUE(document_.isModified()) << "the names are still to be saved";
}

TEST_F(ConfigEditorTest, NamesAreSavedOnlyAfterTheUnitsFilesUnderTheSameLock) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    UnitNames names;
    names.unit = "Studio A";
    dialogs_.namesAnswers = {names};
    window_->actions().names->trigger();
    struct Case {
        const char* what;
        std::function<void(seam::Recorder&)> arrange;
        bool saved;
    };
    int lockedAtNames = -1;
    const std::vector<Case> cases = {
        {"the switch file's write fails",
         [](seam::Recorder& calls) { calls.failNext("pwrite", "switches.mx", ENOSPC); }, false},
        {"the settings file's write fails",
         [](seam::Recorder& calls) { calls.failNext("pwrite", "settings.cmx", ENOSPC); }, false},
        {"saved",
         [&](seam::Recorder& calls) {
             // Another saver, trying the folder while the names are written.
             calls.whenCalled("pwrite", "names.txt*", [&] {
                 LockedFolder other;
                 lockedAtNames = other.open(nativeName(path), std::chrono::milliseconds(0)) ? 1 : 0;
             });
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs_.errors.clear();
        {
            seam::Recorder calls;
            c.arrange(calls);
            EXPECT_EQ(editor_->SaveCommand_Click(), c.saved);
        }
        EXPECT_EQ(dialogs_.errors.size(), c.saved ? 0U : 1U);
        EXPECT_EQ(QFileInfo::exists(path + "/names.txt"), c.saved);
        EXPECT_EQ(readFile(path + "/switches.mx"), counting(112, 0));
        EXPECT_EQ(document_.isModified(), !c.saved);
    }
    EXPECT_EQ(lockedAtNames, 1) << "the folder was locked while its names were written";
}

// What a tool tip shows of a text, as Qt decides: rich text rendered, else
// the text itself.
QString shownAsTip(const QString& tip) {
    if (!Qt::mightBeRichText(tip)) {
        return tip;
    }
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText().replace(QChar::LineSeparator, '\n');
}

TEST_F(ConfigEditorTest, WhatUsersGiveIsShownAsTheTextItIs) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    const std::vector<QString> hostile = {
        "<img src=\"/dev/zero\">x",        "<b>bold</b> & <i>it</i>", "a & b <br> c",
        "<p style=\"font-size:99px\">big", "<table><tr><td>",
    };
    start(path);
    ChannelList* list = window_->channelList();
    const QRect row = list->visualRect(list->model()->index(2, 0));
    QHelpEvent help(QEvent::ToolTip, row.center(), list->viewport()->mapToGlobal(row.center()));
    for (const QString& text : hostile) {
        SCOPED_TRACE(text.toStdString());
        const QString folder =
            prepared(text.left(12).replace(QRegularExpression(R"([/\\<>:"|?*])"), "_"),
                     counting(112, 0), Bytes("\x00\x00", 2));
        // As a channel's name: its tip, what a screen reader hears, and the
        // tip while compared with a unit named so too.
        UnitNames names;
        names.channels[2] = text.toStdString();
        dialogs_.namesAnswers = {names};
        window_->actions().names->trigger();
        QApplication::processEvents();
        QApplication::sendEvent(list->viewport(), &help);
        EXPECT_EQ(shownAsTip(QToolTip::text()), text);
        EXPECT_EQ(list->item(2)->data(Qt::AccessibleTextRole).toString(), "Channel 3, " + text);
        ChannelConfig other;
        other.Switches.Channels[2].Latching = SwitchPgm;
        document_.compareWith(other, text);
        QApplication::processEvents();
        QApplication::sendEvent(list->viewport(), &help);
        EXPECT_TRUE(shownAsTip(QToolTip::text()).startsWith(text + "\nUnnamed in " + text))
            << QToolTip::text().toStdString();
        EXPECT_TRUE(caption(*window_).endsWith(" — compared with " + text));
        window_->actions().stopComparing->trigger();
        QToolTip::hideText();
        // As a folder's name: the recent units' menu and their tips.
        window_->setRecentUnits({{text, folder}});
        const QList<QAction*> recent = window_->actions().recentMenu()->actions();
        ASSERT_EQ(recent.size(), 1);
        EXPECT_EQ(recent[0]->text(), QString(text).replace("&", "&&"));
        EXPECT_EQ(shownAsTip(recent[0]->toolTip()), folder);
    }
}

TEST_F(ConfigEditorTest, ARecoveryFileGoesWhenItsEditsAreSavedOrLetGo) {
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"No at the exit question", [&] { dialogs_.exitAnswers = {false}, window_->close(); }},
        {"Yes at the exit question", [&] { dialogs_.exitAnswers = {true}, window_->close(); }},
        {"Save As another folder", [&] { editor_->SaveAsCommand_Click(); }},
        {"Open of another folder, discarding", [&] { editor_->OpenCommand_Click(); }},
    };
    for (const auto& [what, end] : cases) {
        SCOPED_TRACE(what);
        dialogs_ = ScriptedDialogs();
        restart();
        const QString path = prepared(what, counting(112, 0), Bytes("\x00\x00", 2));
        // Holding a whole configuration, so that nothing is unsaved there.
        const QString other =
            prepared(QString(what) + " 2", counting(112, 0), Bytes("\x00\x00", 2));
        start(path);
        box(SwitchField::Latching, SwitchTb4)->click();
        QApplication::processEvents();
        ASSERT_EQ(keptFor(path).size(), 1);
        dialogs_.folders = {other};
        dialogs_.replaceAnswers = {true};
        dialogs_.openAnswers = {UnsavedChanges::Discard};
        end();
        QApplication::processEvents();
        EXPECT_TRUE(keptFor(path).isEmpty());
        EXPECT_TRUE(keptFor(other).isEmpty());
        EXPECT_EQ(dialogs_.errors, std::vector<QString>{});
    }
}

TEST_F(ConfigEditorTest, OpenShowsAndRevertsToTheNewUnitWhicheverChannelWasShown) {
    const QString first = prepared("first", counting(112, 0), Bytes("\x00\x00", 2));
    Bytes switches(112, '\0');
    switches[1] = '\x04';      // channel 1: Latching TB 2
    switches[14 + 1] = '\x08'; // channel 2: Latching TB 3
    const QString second = prepared("second", switches, Bytes("\x01\x00", 2));
    start(second);
    for (const int shown : {0, 1}) {
        SCOPED_TRACE(shown);
        dialogs_.folders.push_back(first);
        editor_->OpenCommand_Click();
        window_->selectChannel(shown);
        dialogs_.folders.push_back(second);
        editor_->OpenCommand_Click();
        EXPECT_EQ(window_->selectedChannel(), 0);
        EXPECT_TRUE(box(SwitchField::Latching, SwitchTb2)->isChecked());
        EXPECT_FALSE(box(SwitchField::Latching, SwitchTb3)->isChecked());
        EXPECT_FALSE(box(SwitchField::Disabled, SwitchTb2)->isChecked());
        EXPECT_TRUE(window_->recallBox(RecallField::MicGain)->isChecked());

        // Revert to saved brings back this unit, not the one before it.
        box(SwitchField::AlwaysOn, SwitchPgm)->click();
        window_->revertToSaved();
        EXPECT_EQ(blocksOf(document_.config()).switches,
                  std::vector<std::uint8_t>(switches.begin(), switches.end()));
        EXPECT_FALSE(document_.isModified());
    }
}

TEST_F(ConfigEditorTest, ASignalWhileAQuestionIsOpenIsNoAnswerAndLosesNothing) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    const QString other = prepared("other", counting(112, 5), Bytes("\x00\x00", 2));
    const QString sheet = root_.filePath("sheet.pdf");
    UnitNames names;
    names.unit = "Studio A";
    struct Case {
        const char* what;
        QString interruptAt;
        std::function<void()> ask;
    };
    const std::vector<Case> cases = {
        {"Save file before exit?", "exit", [&] { EXPECT_TRUE(editor_->Form_Terminate()); }},
        {"save before Open?", "open", [&] { editor_->OpenCommand_Click(); }},
        {"the chooser of Open", "browse", [&] { window_->actions().openUnit->trigger(); }},
        {"the chooser of Save As", "browse", [&] { editor_->SaveAsCommand_Click(); }},
        {"create the folder?", "create",
         [&] {
             dialogs_.folders = {root_.filePath("new")};
             editor_->SaveAsCommand_Click();
         }},
        {"replace a different configuration?", "replace " + other,
         [&] { editor_->SaveAsCommand_Click(); }},
        {"overwrite another program's changes?", "overwrite",
         [&] {
             writeFile(path + "/settings.cmx", Bytes("\x0F\x0F", 2));
             EXPECT_FALSE(editor_->SaveCommand_Click());
             writeFile(path + "/settings.cmx", Bytes("\x00\x00", 2));
         }},
        {"Names…", "names", [&] { window_->actions().names->trigger(); }},
        {"the chooser of Compare with", "browse", [&] { editor_->CompareWith(); }},
        {"Print's dialog", "print", [&] { editor_->PrintSheet(); }},
        {"Export's file chooser", "sheet", [&] { editor_->ExportSheet(); }},
        {"replace the sheet's file?", "replace file",
         [&] {
             writeFile(sheet, "old");
             editor_->ExportSheet();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs_ = ScriptedDialogs();
        restart();
        for (const QString& left : keptFor(path)) {
            QFile::remove(left);
        }
        QFile::remove(sheet);
        start(path);
        box(SwitchField::Momentary, SwitchTb1)->click();
        QApplication::processEvents();
        ASSERT_EQ(keptFor(path).size(), 1U);
        const ChannelConfig edited = document_.config();
        dialogs_.whileAsking = [&] { editor_->endWithoutAsking(); };
        dialogs_.interruptAt = c.interruptAt;
        // The question ends without an answer, as a modal loop told to quit
        // does; each empty answer below would otherwise go on.
        dialogs_.exitAnswers = {false};
        dialogs_.openAnswers = {UnsavedChanges::Discard};
        dialogs_.folders = {other};
        dialogs_.createAnswers = {true};
        dialogs_.replaceAnswers = {true};
        dialogs_.overwriteAnswers = {ConflictAnswer::Overwrite};
        dialogs_.namesAnswers = {names};
        dialogs_.sheetFiles = {sheet};
        dialogs_.replaceFileAnswers = {true};
        dialogs_.printTo = sheet;
        c.ask();
        QApplication::processEvents();
        EXPECT_EQ(dialogs_.askedAfterIt, 0) << "nothing is asked after the signal";
        EXPECT_EQ(keptFor(path).size(), 1U) << "the edits are kept";
        EXPECT_EQ(document_.config(), edited);
        EXPECT_TRUE(document_.names().empty());
        EXPECT_EQ(document_.reference(), nullptr);
        EXPECT_EQ(readFile(path + "/switches.mx"), counting(112, 0)) << "nothing was saved";
        EXPECT_EQ(readFile(other + "/switches.mx"), counting(112, 5));
        EXPECT_FALSE(QFileInfo::exists(root_.filePath("new")));
        EXPECT_NE(readFile(sheet).left(4), "%PDF");
        EXPECT_EQ(editor_->configFolder(), path);
        window_->setCloseGuard({});
    }

    // At the next start, the same while the edits are offered: they stay
    // for the start after, and the editor ends.
    dialogs_ = ScriptedDialogs();
    restart();
    dialogs_.whileAsking = [&] { editor_->endWithoutAsking(); };
    dialogs_.interruptAt = "restore";
    dialogs_.restoreAnswers.push_back(false);
    EXPECT_FALSE(editor_->Form_Load(path));
    EXPECT_EQ(dialogs_.questions, std::vector<QString>{"restore " + path});
    EXPECT_EQ(keptFor(path).size(), 1U);
    // And while the first folder is chosen.
    dialogs_ = ScriptedDialogs();
    restart();
    dialogs_.whileAsking = [&] { editor_->endWithoutAsking(); };
    dialogs_.folders.push_back(path);
    EXPECT_FALSE(editor_->Form_Load());
    EXPECT_TRUE(dialogs_.questions.empty());
    EXPECT_EQ(keptFor(path).size(), 1U);
}

TEST_F(ConfigEditorTest, TwoEditorsOnOneUnitKeepTheirOwnEditsAndTheSecondIsTold) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    box(SwitchField::Latching, SwitchPgm)->click();
    auto second = std::make_unique<ConfigDocument>();
    auto secondWindow = std::make_unique<MainWindow>(*second);
    ScriptedDialogs secondDialogs;
    auto secondEditor = std::make_unique<ConfigEditor>(*secondWindow, *second, secondDialogs);
    secondDialogs.folders.push_back(path);
    ASSERT_TRUE(secondEditor->Form_Load());
    ASSERT_EQ(secondDialogs.errors.size(), 1U);
    EXPECT_TRUE(secondDialogs.errors[0].contains("is open in another MX_config window too"));
    secondWindow->member(SwitchField::AlwaysOn, SwitchTb4)->click();
    QApplication::processEvents();
    EXPECT_EQ(keptFor(path).size(), 2U) << "one each";

    // The first saves: its file goes, the second's stays; the second then
    // ends without saving, and its edits are offered at the next start.
    EXPECT_TRUE(editor_->SaveCommand_Click());
    QApplication::processEvents();
    EXPECT_EQ(keptFor(path).size(), 1U);
    secondWindow->setCloseGuard({});
    secondEditor.reset();
    dialogs_ = ScriptedDialogs();
    restart();
    dialogs_.restoreAnswers.push_back(true);
    start(path);
    EXPECT_EQ(dialogs_.questions, std::vector<QString>{"restore changed " + path});
    EXPECT_EQ(document_.config().Switches.Channels[0].AlwaysOn, 0x03 | SwitchTb4);
    EXPECT_EQ(document_.config().Switches.Channels[0].Latching, 0x01) << "as the files were then";
}

TEST_F(ConfigEditorTest, NoQuestionHoldsTheFolderAndAChangeMeanwhileIsAskedAgain) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    writeFile(path + "/settings.cmx", Bytes("\x0F\x0F", 2));
    int asked = 0;
    dialogs_.whileAsking = [&] {
        // Another program reads and writes the folder while the user thinks.
        StoredBlocks blocks;
        EXPECT_EQ(ReadStoredBlocks(nativeName(path), MissingFile::ReadsEmpty, blocks,
                                   std::chrono::milliseconds(100)),
                  std::nullopt);
        if (++asked == 1) {
            writeFile(path + "/settings.cmx", Bytes("\x0E\x0E", 2));
        }
    };
    dialogs_.overwriteAnswers = {ConflictAnswer::Overwrite, ConflictAnswer::Overwrite};
    EXPECT_TRUE(editor_->SaveCommand_Click());
    EXPECT_EQ(dialogs_.questions, std::vector<QString>(2, "overwrite " + path));
    EXPECT_EQ(readFile(path + "/settings.cmx"), Bytes("\x00\x00", 2));
}

TEST_F(ConfigEditorTest, SaveAsCreatesATypedNewFolderAndTheChooserOffersRecentUnits) {
    const QString first = prepared("first", counting(112, 0), Bytes("\x01\x02", 2));
    const QString second = prepared("second", counting(112, 7), Bytes("\x01\x02", 2));
    start(second);
    dialogs_.folders.push_back(first);
    dialogs_.openAnswers.push_back(UnsavedChanges::Discard);
    editor_->OpenCommand_Click();

    // A new unit's folder, typed with a parent that does not exist either.
    const QString unit = folder("units/unitB", false);
    dialogs_.folders = {unit, std::nullopt, unit};
    dialogs_.createAnswers = {false, true};
    editor_->SaveAsCommand_Click(); // No: back to the chooser, then cancelled
    EXPECT_FALSE(QFileInfo::exists(unit));
    EXPECT_EQ(editor_->configFolder(), first);
    editor_->SaveAsCommand_Click();
    EXPECT_EQ(readFile(unit + "/switches.mx"), counting(112, 0));
    EXPECT_EQ(caption(*window_), Base + unit);
    EXPECT_EQ(dialogs_.questions, std::vector<QString>({"create " + unit, "create " + unit}));
    EXPECT_EQ(dialogs_.purposes, std::vector<FolderPurpose>(
                                     {FolderPurpose::Open, FolderPurpose::Open, FolderPurpose::Save,
                                      FolderPurpose::Save, FolderPurpose::Save}));

    // The chooser starts beside the unit worked on last, and offers the
    // others, most recent first; one that is gone is dropped.
    QDir(second).removeRecursively();
    dialogs_.folders.push_back(std::nullopt);
    editor_->OpenCommand_Click();
    EXPECT_EQ(dialogs_.starts.back(), unit);
    EXPECT_EQ(dialogs_.recents.back(), QStringList({unit, first}));
}

TEST_F(ConfigEditorTest, AFolderThatHoldsLessThanAConfigurationLoadsAsUnsaved) {
    const QString whole = prepared("whole", counting(112, 3), Bytes("\x01\x02", 2));
    start(whole);
    EXPECT_EQ(caption(*window_), Base + whole);
    for (const auto& [name, switches] :
         {std::pair{"empty", Bytes()}, std::pair{"short", counting(50, 9)}}) {
        const QString partial = prepared(name, switches, Bytes());
        dialogs_.folders.push_back(partial);
        editor_->OpenCommand_Click();
        // The values shown are not all in the files: saving would change them.
        EXPECT_EQ(caption(*window_), Base + partial + "*") << name;
        dialogs_.exitAnswers.push_back(true);
        EXPECT_TRUE(window_->close());
        EXPECT_EQ(readFile(partial + "/switches.mx").size(), 112);
        EXPECT_EQ(caption(*window_), Base + partial);
    }
}

TEST_F(ConfigEditorTest, AFolderGivenAtStartUpLoadsWithoutAsking) {
    const QString path = prepared("given", counting(112, 3), Bytes("\x01\x00", 2));
    ASSERT_TRUE(editor_->Form_Load(path));
    EXPECT_TRUE(dialogs_.prompts.empty());
    EXPECT_EQ(caption(*window_), Base + path);
    EXPECT_EQ(document_.config().Switches.Channels[0].Disabled, 3);

    // A folder that is not there is reported, never created, and the
    // chooser follows.
    ScriptedDialogs again;
    ConfigDocument otherDocument;
    MainWindow other(otherDocument);
    ConfigEditor second(other, otherDocument, again);
    const QString missing = folder("missing", false);
    again.folders = {path};
    ASSERT_TRUE(second.Form_Load(missing));
    ASSERT_EQ(again.errors.size(), 2U);
    EXPECT_TRUE(again.errors[0].contains(missing + "\": " + NotFoundError));
    EXPECT_EQ(again.errors[1], "\"" + path +
                                   "\" is open in another MX_config window too. "
                                   "Whichever saves last replaces what the other saved; make your "
                                   "changes in one of them.");
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(second.configFolder(), path);
}

TEST_F(ConfigEditorTest, TheCaptionMarksUnsavedChangesByComparingBytes) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    QCheckBox* member = box(SwitchField::Latching, SwitchTb2);
    EXPECT_FALSE(document_.isModified());
    EXPECT_EQ(caption(*window_), Base + path);
    member->click();
    EXPECT_TRUE(document_.isModified());
    EXPECT_EQ(caption(*window_), Base + path + "*");
    member->click();
    EXPECT_FALSE(document_.isModified());
    EXPECT_EQ(caption(*window_), Base + path);

    member->click();
    ASSERT_TRUE(editor_->SaveCommand_Click());
    EXPECT_EQ(caption(*window_), Base + path);
}

TEST_F(ConfigEditorTest, ComparesWithAFolderATextOrTheSavedFilesAndReportsOneThatFails) {
    const QString path = prepared("unitA", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    Bytes other = counting(112, 0);
    other[14 * 5 + 1] = 0x7F; // channel 6, Latching
    const QString unitB = prepared("unitB", other, Bytes("\x00\x00", 2));
    ChannelConfig text = document_.config();
    text.Recall.FaderRecall = 0x01;
    writeFile(root_.filePath("unitC.txt"), Bytes::fromStdString(configToText(text)));
    writeFile(root_.filePath("bad.txt"), "Channel 1\n");
    const QString half = folder("half");
    writeFile(half + "/switches.mx", other);
    const QString twin = prepared("twin", counting(112, 0), Bytes("\x00\x00", 2));
    struct Case {
        QString chosen;
        QString compared; // the caption's end
        ChannelSet differing;
        QString error; // the start of the message, if any
    };
    const std::vector<Case> cases = {
        {unitB, " — compared with unitB", 0x20, ""},
        {root_.filePath("unitC.txt"), " — compared with unitC.txt", 0x01, ""},
        // A failure leaves the comparison as it was.
        {half, " — compared with unitC.txt", 0x01,
         "Nothing was compared with \"" + half + "\".\n\nCould not open \"" + half +
             "/settings.cmx\": error 2"},
        {root_.filePath("bad.txt"), " — compared with unitC.txt", 0x01,
         "Nothing was compared with \"" + root_.filePath("bad.txt") + "\".\n\n" +
             root_.filePath("bad.txt") + ": line 1"},
        // Nothing to mark: the comparison says so.
        {twin, " — compared with twin", 0x00, ""},
    };
    // The first chooser starts beside the unit with nothing chosen, the
    // next ones at the unit compared with last.
    QString lastCompared = QFileInfo(path).absolutePath() + "/";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        dialogs_.errors.clear();
        dialogs_.folders.push_back(c.chosen);
        window_->actions().compare->trigger();
        EXPECT_EQ(dialogs_.purposes.back(), FolderPurpose::Compare);
        EXPECT_EQ(dialogs_.starts.back(), lastCompared);
        if (c.error.isEmpty()) {
            lastCompared = c.chosen;
        }
        EXPECT_EQ(caption(*window_), Base + path + c.compared);
        EXPECT_EQ(document_.channelsDiffering(), c.differing);
        EXPECT_EQ(dialogs_.notes.size(), c.chosen == twin ? 1U : 0U);
        if (c.chosen == twin && !dialogs_.notes.empty()) {
            EXPECT_EQ(dialogs_.notes.back(),
                      "\"twin\" is the same as the unit shown: no switch and "
                      "no recall flag differs.");
        }
        ASSERT_EQ(dialogs_.errors.size(), c.error.isEmpty() ? 0U : 1U);
        if (!c.error.isEmpty()) {
            EXPECT_TRUE(dialogs_.errors.front().startsWith(c.error))
                << dialogs_.errors.front().toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(half + "/settings.cmx")) << "a reference is only read";

    // The saved files, through every edit and save.
    window_->actions().compareSaved->trigger();
    EXPECT_EQ(caption(*window_), Base + path + " — compared with the saved files");
    box(SwitchField::AlwaysOn, SwitchTb3)->click();
    EXPECT_EQ(caption(*window_), Base + path + "* — compared with the saved files");
    EXPECT_TRUE(window_->isChannelMarked(0));
    ASSERT_TRUE(editor_->SaveCommand_Click());
    EXPECT_FALSE(window_->isChannelMarked(0));
    window_->actions().stopComparing->trigger();
    EXPECT_EQ(caption(*window_), Base + path);
}

TEST_F(ConfigEditorTest, TheSheetIsPrintedOrSavedAsPdfWholeAndOnOnePage) {
    // The fullest sheet there is, but for Latching: channel 3's PGM and TB 2.
    Bytes full(112, '\xFF');
    for (int channel = 0; channel < 8; ++channel) {
        full[14 * channel + 1] = channel == 2 ? '\x05' : '\x00';
    }
    start(prepared("a long unit name & more that goes on", full, Bytes("\xFF\xFF", 2)));
    box(SwitchField::AlwaysOn, SwitchTb3)->click();
    for (const QPageSize::PageSizeId paper : {QPageSize::A4, QPageSize::Letter}) {
        QPdfWriter writer(root_.filePath("layout.pdf"));
        QPageLayout layout = sheetPageLayout();
        layout.setPageSize(QPageSize(paper));
        writer.setPageLayout(layout);
        const SheetFit fit = fitSheet(editor_->sheet(), writer);
        EXPECT_EQ(fit.pages, 1);
        EXPECT_TRUE(fit.whole) << "nothing cut off";
    }
    // While the window compares, the sheet frames what it marks.
    document_.compareWithSaved();
    int framed = 0;
    for (const SheetRow& row : editor_->sheet().table.body) {
        framed += static_cast<int>(std::count_if(
            row.begin(), row.end(), [](const SheetCell& cell) { return cell.differs; }));
    }
    EXPECT_EQ(framed, 1);
    document_.stopComparing();

    // ".pdf" added; a file replaced only when the user agrees; a failure told.
    const QString pdf = root_.filePath("sheet.pdf");
    writeFile(pdf, "keep");
    dialogs_.sheetFiles = {root_.filePath("sheet"), pdf, root_.filePath("none/sheet.pdf")};
    dialogs_.replaceFileAnswers = {false, true};
    for (int i = 0; i < 3; ++i) {
        window_->actions().exportSheet->trigger();
        EXPECT_EQ(readFile(pdf).startsWith("%PDF"), i > 0);
    }
    EXPECT_TRUE(dialogs_.errors.size() == 1 &&
                dialogs_.errors[0].startsWith("The sheet was not saved to"));
    dialogs_.printTo = root_.filePath("printed.pdf");
    window_->actions().print->trigger();
    ASSERT_EQ(dialogs_.printSuggestions.size(), 1U);
    EXPECT_EQ("sheet " + dialogs_.printSuggestions[0], dialogs_.questions.front())
        << "Print to file and Export suggest one place";
    for (const QString& file : {pdf, dialogs_.printTo}) {
        QProcess pdftotext;
        pdftotext.start("pdftotext", {"-layout", file, "-"});
        if (!pdftotext.waitForFinished() || pdftotext.exitCode() != 0) {
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed: the PDFs are not read";
        }
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        for (const SwitchField field : AllSwitchFields) {
            EXPECT_TRUE(text.contains(fieldCaption(field))) << fieldCaption(field);
        }
        EXPECT_TRUE(text.contains("Channel 8") && text.contains("Not saved"));
        EXPECT_EQ(text.section("\nLatching", 1).section('\n', 0, 0).count(SheetOn), 2);
        EXPECT_EQ(text.count('\f'), 1) << "one page";
    }
}

TEST_F(ConfigEditorTest, OpenWithUnsavedChangesAsksFirst) {
    struct Case {
        const char* what;
        UnsavedChanges answer;
        bool saveFails;
        bool browserCancelled;
        bool saved;
        bool loaded;
    };
    const std::vector<Case> cases = {
        {"cancel", UnsavedChanges::Cancel, false, false, false, false},
        {"discard, then cancel the browser", UnsavedChanges::Discard, false, true, false, false},
        {"discard, then load", UnsavedChanges::Discard, false, false, false, true},
        {"save fails", UnsavedChanges::Save, true, false, false, false},
        {"save, then load", UnsavedChanges::Save, false, false, true, true},
    };
    const QString other = prepared("other", counting(112, 0x40), Bytes("\x44\x44", 2));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs_ = ScriptedDialogs();
        const QString path = prepared(c.what, counting(112, 0), Bytes("\x00\x00", 2));
        start(path);
        box(SwitchField::Latching, SwitchTb2)->click();
        const ChannelConfig edited = document_.config();
        if (c.saveFails) {
            QFile::remove(path + "/settings.cmx");
            QDir().mkdir(path + "/settings.cmx");
        }

        dialogs_.openAnswers.push_back(c.answer);
        if (c.answer != UnsavedChanges::Cancel && !c.saveFails) {
            dialogs_.folders.push_back(c.browserCancelled ? std::nullopt
                                                          : std::optional<QString>(other));
        }
        editor_->OpenCommand_Click();
        EXPECT_EQ(dialogs_.questions, std::vector<QString>{"open " + path});
        EXPECT_EQ(dialogs_.errors.size(), c.saveFails ? 1U : 0U);
        EXPECT_EQ(readFile(path + "/switches.mx")[1] == counting(112, 0)[1], !c.saved);
        EXPECT_EQ(editor_->configFolder(), c.loaded ? other : path);
        EXPECT_EQ(document_.config() == edited, !c.loaded);
        EXPECT_FALSE(document_.isModified() && c.loaded);
    }

    // Without changes, Open goes straight to the browser.
    dialogs_ = ScriptedDialogs();
    dialogs_.folders.push_back(std::nullopt);
    editor_->OpenCommand_Click();
    EXPECT_TRUE(dialogs_.questions.empty());
}

TEST_F(ConfigEditorTest, SaveAsAsksBeforeReplacingADifferentConfiguration) {
    const Bytes ours = counting(112, 0);
    const QString path = prepared("cfg", ours, Bytes("\x01\x02", 2));
    start(path);
    struct Case {
        const char* what;
        Bytes switches; // a folder holding these bytes, or an empty folder if empty
        Bytes settings;
        bool asked;
        bool replace;
    };
    const std::vector<Case> cases = {
        {"an empty folder", {}, {}, false, false},
        {"the same bytes, and more", ours + Bytes(8, '\x77'), Bytes("\x01\x02", 2), false, false},
        {"a shorter file of the same bytes", ours.left(20), {}, false, false},
        {"another unit, kept", counting(112, 9), Bytes("\x01\x02", 2), true, false},
        {"another unit's settings, replaced", ours, Bytes("\x05", 1), true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs_.questions.clear();
        const QString target = folder(c.what);
        if (!c.switches.isEmpty() || !c.settings.isEmpty()) {
            writeFile(target + "/switches.mx", c.switches);
            writeFile(target + "/settings.cmx", c.settings);
        }
        if (c.asked) {
            dialogs_.replaceAnswers.push_back(c.replace);
        }
        dialogs_.folders.push_back(target);
        editor_->SaveAsCommand_Click();
        EXPECT_EQ(dialogs_.questions,
                  c.asked ? std::vector<QString>{"replace " + target} : std::vector<QString>{});
        const bool written = !c.asked || c.replace;
        EXPECT_EQ(readFile(target + "/switches.mx").left(112) == ours,
                  written || c.switches == ours);
        EXPECT_EQ(editor_->configFolder(), written ? target : path);
        EXPECT_EQ(caption(*window_), Base + (written ? target : path));

        // Back to the first folder, which holds these very bytes (or is the
        // folder in use, which makes it a plain Save): no question.
        dialogs_.questions.clear();
        dialogs_.folders.push_back(path);
        editor_->SaveAsCommand_Click();
        EXPECT_TRUE(dialogs_.questions.empty());
        EXPECT_EQ(editor_->configFolder(), path);
    }
}

TEST_F(ConfigEditorTest, SaveAsksBeforeOverwritingAnotherProgramsChanges) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    // The other program changes the settings; this editor changed nothing.
    writeFile(path + "/settings.cmx", Bytes("\x0F\x0F", 2));

    dialogs_.overwriteAnswers.push_back(ConflictAnswer::Cancel);
    EXPECT_FALSE(editor_->SaveCommand_Click());
    EXPECT_EQ(readFile(path + "/settings.cmx"), Bytes("\x0F\x0F", 2));

    // At the exit question, No to overwriting keeps the window open.
    dialogs_.exitAnswers.push_back(true);
    dialogs_.overwriteAnswers.push_back(ConflictAnswer::Cancel);
    EXPECT_FALSE(window_->close());
    EXPECT_TRUE(window_->isVisible());

    // Compare saves nothing and shows what the other program left: every
    // channel's recall flags differ.
    dialogs_.overwriteAnswers.push_back(ConflictAnswer::Compare);
    EXPECT_FALSE(editor_->SaveCommand_Click());
    EXPECT_EQ(readFile(path + "/settings.cmx"), Bytes("\x0F\x0F", 2));
    ASSERT_NE(document_.reference(), nullptr);
    EXPECT_EQ(document_.reference()->config.Recall, (RecallSettings{0x0F, 0x0F}));
    EXPECT_EQ(document_.channelsDiffering(), 0x0F);

    dialogs_.overwriteAnswers.push_back(ConflictAnswer::Overwrite);
    EXPECT_TRUE(editor_->SaveCommand_Click());
    EXPECT_EQ(readFile(path + "/settings.cmx"), Bytes("\x00\x00", 2));
    EXPECT_EQ(dialogs_.questions, std::vector<QString>(4, "overwrite " + path));

    // Once saved, the files are this editor's again: no more questions.
    EXPECT_TRUE(editor_->SaveCommand_Click());
    EXPECT_EQ(dialogs_.questions.size(), 4U);

    // Names another program gave the unit are its files too: asked about,
    // and kept when the user says so.
    writeFile(path + "/names.txt", "Unit: Renamed elsewhere\n");
    box(SwitchField::Latching, SwitchPgm)->click();
    dialogs_.overwriteAnswers.push_back(ConflictAnswer::Cancel);
    EXPECT_FALSE(editor_->SaveCommand_Click());
    EXPECT_EQ(dialogs_.questions.size(), 5U);
    EXPECT_EQ(readFile(path + "/names.txt"), "Unit: Renamed elsewhere\n");
}

TEST_F(ConfigEditorTest, ASaveThatCannotFinishChangesNothingAndARetryAsksNothing) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    box(SwitchField::Disabled, SwitchPgm)->click();
    // Another program changes the settings, and then they take no write.
    writeFile(path + "/settings.cmx", Bytes("\x0F\x0F", 2));
    dialogs_.overwriteAnswers.push_back(ConflictAnswer::Overwrite);
    {
        seam::Recorder calls;
        calls.failNext("pwrite", "settings.cmx", EIO);
        EXPECT_FALSE(editor_->SaveCommand_Click());
    }
    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_TRUE(dialogs_.errors[0].startsWith("The configuration was not saved to \"" + path +
                                              "\".\n\nCould not write \"" + path +
                                              "/settings.cmx\""))
        << dialogs_.errors[0].toStdString();
    EXPECT_TRUE(document_.isModified());
    EXPECT_EQ(readFile(path + "/switches.mx"), counting(112, 0)) << "the switch file is put back";

    // Once the settings file takes writes again, a retry asks nothing.
    QFile::remove(path + "/settings.cmx");
    writeFile(path + "/settings.cmx", Bytes("\x00\x00", 2));
    EXPECT_TRUE(editor_->SaveCommand_Click());
    EXPECT_EQ(dialogs_.questions, std::vector<QString>{"overwrite " + path});
    EXPECT_EQ(caption(*window_), Base + path);
    EXPECT_EQ(readFile(path + "/switches.mx")[0], '\x01');
}

TEST_F(ConfigEditorTest, AfterAHalfDoneSaveTheNextSaveKnowsWhatItWrote) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    box(SwitchField::Disabled, SwitchTb1)->click();
    window_->recallBox(RecallField::Fader)->click();
    {
        // The settings file refuses the write, then the switch file refuses
        // to take back its old bytes: it holds the edit, the settings do not.
        seam::Recorder calls;
        calls.failNext("pwrite", "settings.cmx", ENOSPC);
        calls.failNext("pwrite", "switches.mx", EIO, 1);
        EXPECT_FALSE(editor_->SaveCommand_Click());
    }
    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_TRUE(dialogs_.errors[0].contains("out of step")) << dialogs_.errors[0].toStdString();
    EXPECT_EQ(readFile(path + "/switches.mx")[0], '\x02');
    // What is there is this editor's own half save, not another program's.
    EXPECT_TRUE(editor_->SaveCommand_Click());
    EXPECT_TRUE(dialogs_.questions.empty());
    EXPECT_EQ(readFile(path + "/settings.cmx"), Bytes("\x00\x01", 2));
    EXPECT_FALSE(document_.isModified());
}

TEST_F(ConfigEditorTest, SaveAsIntoTheCurrentFolderSavesTheEditsWithoutAsking) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    start(path);
    window_->recallBox(RecallField::Fader)->click();
    EXPECT_EQ(caption(*window_), Base + path + "*");
    dialogs_.folders.push_back(path + "/.");
    editor_->SaveAsCommand_Click();
    EXPECT_TRUE(dialogs_.questions.empty());
    EXPECT_EQ(readFile(path + "/settings.cmx"), Bytes("\x00\x01", 2));
    EXPECT_EQ(caption(*window_), Base + path + "/.");
}

// Answers the next modal dialog from inside its own event loop.
void whenModal(const std::function<void(QWidget*)>& answer) {
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

TEST_F(ConfigEditorTest, AChooserWithoutQtsOwnPartsIsUsedAsItComes) {
    QFileDialog chooser;
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    // As a native dialog, or a later Qt, would have it: none of the parts
    // found by name.
    for (const char* name : {"sidebar", "splitter", "treeView", "fileNameEdit", "buttonBox"}) {
        for (QObject* part : chooser.findChildren<QObject*>(name)) {
            part->setObjectName("elsewhere");
        }
    }
    const QSize before = chooser.size();
    fitFolderChooser(chooser, {folder("site/unit01"), folder("site/unit02")});
    EXPECT_TRUE(chooser.size().width() >= before.width()) << "still sized to read";
}

TEST_F(ConfigEditorTest, TheRealBrowserAndMessageBoxesDriveTheEditor) {
    QtDialogs real;
    ConfigDocument document;
    MainWindow window(document);
    ConfigEditor editor(window, document, real);
    const QString path = prepared("real", counting(112, 0x30), Bytes("\x03\x00", 2));

    QString browserTitle;
    whenModal([&](QWidget* modal) {
        auto* browser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(browser, nullptr);
        browserTitle = browser->windowTitle();
        // It lists the files too, greyed: a folder holding a configuration
        // is recognisable, and it stays a folder chooser.
        EXPECT_EQ(browser->fileMode(), QFileDialog::Directory);
        EXPECT_FALSE(browser->testOption(QFileDialog::ShowDirsOnly));
        auto* files = browser->findChild<QFileSystemModel*>();
        ASSERT_NE(files, nullptr);
        ASSERT_NE(browser->proxyModel(), nullptr);
        const auto shown = [&](const QString& name) {
            return browser->proxyModel()->mapFromSource(files->index(path + name));
        };
        ASSERT_TRUE(shown("/switches.mx").isValid());
        EXPECT_FALSE(shown("/switches.mx").flags() & (Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        EXPECT_TRUE(shown("").flags() & Qt::ItemIsEnabled);
        auto* name = browser->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        // Typed text pops up the completer, which would take the keys that
        // follow; the path goes in whole, as a paste would put it, into the
        // field a person types in.
        QApplication::setActiveWindow(browser);
        name->setFocus();
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(editor.Form_Load());
    window.show();
    EXPECT_EQ(browserTitle, "Choose a folder for the config files.");
    EXPECT_EQ(editor.configFolder(), path);
    EXPECT_EQ(document.config().Switches.Channels[0].Disabled, 0x30);

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
    EXPECT_TRUE(errorText.contains(FolderAsFileError)) << errorText.toStdString();
    QDir().rmdir(path + "/settings.cmx");
    writeFile(path + "/settings.cmx", Bytes("\x03\x00", 2));

    // Another program empties the switch file; Yes at the exit question then
    // asks before overwriting, and Escape there means No.
    writeFile(path + "/switches.mx", Bytes());
    const auto answerOverwrite = [&](QMessageBox::StandardButton answer) {
        whenModal([&, answer](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), QtDialogs::overwriteChangesText(path));
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
            if (answer == QMessageBox::Yes) {
                box->button(QMessageBox::Yes)->click();
            } else {
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
    };
    int exitQuestions = 0;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        ++exitQuestions;
        EXPECT_EQ(box->text(), "Save file before exit?");
        EXPECT_EQ(box->windowTitle(), "MX_config");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
        // Neither Escape nor closing the box answers it.
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_FALSE(box->close());
        EXPECT_TRUE(box->isVisible());
        answerOverwrite(QMessageBox::No);
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_FALSE(window.close());
    EXPECT_EQ(exitQuestions, 1);
    EXPECT_EQ(readFile(path + "/switches.mx"), Bytes());

    whenModal([&](QWidget* modal) {
        answerOverwrite(QMessageBox::Yes);
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(window.close());
    EXPECT_EQ(readFile(path + "/switches.mx"), counting(112, 0x30));
    EXPECT_EQ(readFile(path + "/settings.cmx"), Bytes("\x03\x00", 2));
}

} // namespace
} // namespace mx

namespace mx {
namespace {

TEST_F(ConfigEditorTest, TheMenuBarNamesTheUnitOpenThroughNamesOpenAndSaveAs) {
    const QString path = prepared("cfg", counting(112, 0), Bytes("\x00\x00", 2));
    const QString other = prepared("other", counting(112, 3), Bytes("\x00\x00", 2));
    start(path);
    QLabel* shown = window_->unitNameLabel();
    const auto settle = [] { QApplication::processEvents(); };
    EXPECT_EQ(shown->text(), "") << "a unit without a name";
    UnitNames names;
    names.unit = "<b>Studio A</b>";
    dialogs_.namesAnswers = {names};
    window_->actions().names->trigger();
    settle();
    EXPECT_EQ(shown->text(), "<b>Studio A</b>");
    EXPECT_EQ(shown->textFormat(), Qt::PlainText);
    EXPECT_EQ(shownAsTip(shown->toolTip()), "<b>Studio A</b>\n" + path);
    // Save As takes the name to the new folder, which the tip then names.
    const QString copy = folder("copy");
    dialogs_.folders = {copy};
    editor_->SaveAsCommand_Click();
    settle();
    EXPECT_EQ(shownAsTip(shown->toolTip()), "<b>Studio A</b>\n" + copy);
    // Another unit, without a name.
    dialogs_.folders = {other};
    editor_->OpenCommand_Click();
    settle();
    EXPECT_EQ(shown->text(), "");
    EXPECT_EQ(caption(*window_), Base + other) << "the caption stays as designed";
}

} // namespace
} // namespace mx
