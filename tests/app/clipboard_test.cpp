// The editor on a real X11 display while the clipboard belongs to a program
// that never answers. CTest runs it under xvfb-run; elsewhere it is skipped.

#include "clipboard_reader.h"
#include "config_document.h"
#include "main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace mx {
namespace {

TEST(ClipboardOwnerThatNeverAnswers, HoldsUpNeitherAClickNorAPaste) {
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "needs an X11 display (xvfb-run, from Debian's xvfb)";
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
    EXPECT_LT(clock.elapsed(), 3000) << "ms for a paste";
    ASSERT_EQ(refused.size(), 1);
    EXPECT_TRUE(refused[0][0].toString().contains("did not answer"));
    owner.kill();
    owner.waitForFinished();
}

} // namespace
} // namespace mx
