// The editor on a real desktop: an X11 display (CTest runs it under
// xvfb-run) or a Wayland compositor (tests/app/on_weston.sh); elsewhere it
// is skipped.

#include "clipboard_reader.h"
#include "config_document.h"
#include "config_editor.h"
#include "dialogs.h"
#include "main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace mx {
namespace {

bool onADesktop() {
    return QGuiApplication::platformName() == "xcb" ||
           QGuiApplication::platformName().startsWith("wayland");
}

TEST(OnTheDesktop, TheEditorLoadsAUnitTakesAClickSavesAndAsksAtExit) {
    if (!onADesktop()) {
        GTEST_SKIP() << "needs an X11 display or a Wayland compositor";
    }
    const QTemporaryDir unit;
    QFile switches(unit.filePath("switches.mx"));
    ASSERT_TRUE(switches.open(QIODevice::WriteOnly));
    switches.write(QByteArray(112, '\0'));
    switches.close();
    ConfigDocument document;
    MainWindow window(document);
    QtDialogs dialogs;
    ConfigEditor editor(window, document, dialogs);
    ASSERT_TRUE(editor.Form_Load(unit.path()));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.selectChannel(0);
    window.member(SwitchField::Latching, SwitchTb1)->click();
    ASSERT_TRUE(editor.SaveCommand_Click());
    window.member(SwitchField::Latching, SwitchTb2)->click();

    // The exit question, a real message box on this desktop, is answered Yes.
    QString asked;
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        asked = box->text();
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(window.close());
    EXPECT_EQ(asked, "Save file before exit?");
    QFile saved(unit.filePath("switches.mx"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    ASSERT_EQ(bytes.size(), 112);
    EXPECT_EQ(bytes.count('\0'), 111) << "one byte holds both clicks";
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[1]), SwitchTb1 | SwitchTb2) << "channel 1, Latching";
}

TEST(ClipboardOwnerThatNeverAnswers, HoldsUpNeitherAClickNorAPaste) {
    if (!onADesktop()) {
        GTEST_SKIP() << "needs an X11 display (xvfb-run, from Debian's xvfb) or a Wayland "
                        "compositor";
    }
    QProcess owner;
    owner.start(CLIPBOARD_HOG_PATH);
    ASSERT_TRUE(owner.waitForReadyRead(10'000));
    ASSERT_EQ(owner.readAll().trimmed(), "ready");

    ConfigDocument document;
    MainWindow window(document);
    BoundedClipboard clipboard(MX_CONFIG_PATH);
    window.setClipboardSource(clipboard);
    window.selectChannel(0);
    window.show();
    QCheckBox* member = window.member(SwitchField::Latching, SwitchTb1);

    // The owner's change reaches the editor; a click goes on at once.
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(200);
    member->click();
    QApplication::processEvents();
    EXPECT_TRUE(member->isChecked());
    EXPECT_LT(clock.elapsed(), 1500) << "ms for a click";

    // A paste waits a moment, then says why it pastes nothing.
    QSignalSpy refused(&window, &MainWindow::pasteRefused);
    clock.restart();
    window.pasteToShownChannel();
    // X11 gives the helper that reads the clipboard a second, and the start
    // of a process; Wayland asks for one type, a second's wait.
    EXPECT_LT(clock.elapsed(), QGuiApplication::platformName() == "xcb" ? 3000 : 1500)
        << "ms for a paste";
    ASSERT_EQ(refused.size(), 1);
    EXPECT_TRUE(refused[0][0].toString().contains("did not answer"));
    owner.kill();
    owner.waitForFinished();
}

} // namespace
} // namespace mx
