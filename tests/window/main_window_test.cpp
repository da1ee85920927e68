#include "channel_clipboard.h"
#include "channel_list.h"
#include "config_document.h"
#include "config_text.h"
#include "difference_mark.h"
#include "main_window.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QUndoStack>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <numeric>
#include <set>

// Readable failures for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace mx {
namespace {

struct GroupExpectation {
    const char* frame;
    const char* caption;
    const char* name;
    SwitchField field;
    SwitchMask greyed;
    std::array<int, 6> focus;
};

// The window as it is designed: group boxes top to bottom, greyed members and
// the focus numbers of "PGM", "TB 1" … "TB 4", "PH PWR".
const std::array<GroupExpectation, 14> Groups = {{
    {"Frame4",
     "Disabled (MX only)",
     "Disabled",
     SwitchField::Disabled,
     0,
     {15, 16, 17, 18, 19, 20}},
    {"Frame1", "Latching", "Latching", SwitchField::Latching, 0, {1, 2, 3, 4, 5, 7}},
    {"Frame3", "Momentary", "Momentary", SwitchField::Momentary, 128, {8, 9, 10, 11, 12, 13}},
    {"Frame5", "Always on", "AlwaysOn", SwitchField::AlwaysOn, 0, {27, 22, 23, 24, 25, 26}},
    {"Frame11",
     "PGM Suppresses (latched)",
     "PgmSuppresses",
     SwitchField::PgmSuppresses,
     129,
     {40, 45, 44, 43, 42, 41}},
    {"Frame12",
     "TB 1 Suppresses (latched)",
     "Tb1Suppresses",
     SwitchField::Tb1Suppresses,
     130,
     {46, 47, 48, 49, 50, 51}},
    {"Frame13",
     "TB 2 Suppresses (latched)",
     "Tb2Suppresses",
     SwitchField::Tb2Suppresses,
     132,
     {87, 86, 85, 84, 83, 82}},
    {"Frame14",
     "TB 3 Suppresses (latched)",
     "Tb3Suppresses",
     SwitchField::Tb3Suppresses,
     136,
     {88, 89, 90, 91, 92, 93}},
    {"Frame15",
     "TB 4 Suppresses (latched)",
     "Tb4Suppresses",
     SwitchField::Tb4Suppresses,
     144,
     {94, 95, 96, 97, 98, 99}},
    {"Frame6",
     "PGM Delatches",
     "PgmDelatches",
     SwitchField::PgmDelatches,
     129,
     {57, 52, 53, 54, 55, 56}},
    {"Frame7",
     "TB 1 Delatches",
     "Tb1Delatches",
     SwitchField::Tb1Delatches,
     130,
     {58, 63, 62, 61, 60, 59}},
    {"Frame8",
     "TB 2 Delatches",
     "Tb2Delatches",
     SwitchField::Tb2Delatches,
     132,
     {69, 64, 65, 66, 67, 68}},
    {"Frame9",
     "TB 3 Delatches",
     "Tb3Delatches",
     SwitchField::Tb3Delatches,
     136,
     {70, 75, 74, 73, 72, 71}},
    {"Frame10",
     "TB 4 Delatches",
     "Tb4Delatches",
     SwitchField::Tb4Delatches,
     144,
     {81, 76, 77, 78, 79, 80}},
}};

const std::array<const char*, 6> MemberCaptions = {"PGM", "TB 1", "TB 2", "TB 3", "TB 4", "PH PWR"};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_unique<MainWindow>(document_);
        window_->show();
        QApplication::setActiveWindow(window_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }

    MainWindow& window() { return *window_; }
    const ChannelConfig& config() const { return document_.config(); }
    // Changes the configuration as a load would: no undo step, nothing to save.
    void load(const std::function<void(ChannelConfig&)>& change) {
        ChannelConfig config = document_.config();
        change(config);
        document_.load(config, blocksOf(config));
    }
    QCheckBox* box(SwitchField field, SwitchMask index) { return window_->member(field, index); }
    template <typename T> T* named(const char* name) {
        return window_->findChild<T*>(QString::fromLatin1(name));
    }

    // Loads a configuration with a different value in every byte.
    void loadDistinctConfig() {
        SwitchBlock bytes{};
        std::iota(bytes.begin(), bytes.end(), std::uint8_t{0x85});
        load([&](ChannelConfig& config) {
            overwriteFromBlock(config.Switches, bytes);
            config.Recall = {0xA5, 0x3C};
        });
    }

    static void clickIndicator(QCheckBox* box) {
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect indicator =
            box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
    }

    int menuBarHeight() const { return window_->actions().menuBar()->height(); }

    ConfigDocument document_;
    std::unique_ptr<MainWindow> window_;
};

// A menu item's text as shown and read out: its mnemonic is an underline.
QString withoutMnemonic(QString text) {
    return text.remove('&');
}

TEST_F(MainWindowTest, StandsWithTheDesignedCaptionSizeAndIcon) {
    EXPECT_EQ(window().objectName(), "Form1");
    EXPECT_EQ(window().windowTitle(), "TVK vMX Config     File path:  ");
    // The designed content, and the menu bar above it.
    EXPECT_EQ(window().size(), QSize(480, 577 + menuBarHeight()));
    EXPECT_FALSE(window().windowIcon().isNull());

    const QImage icon(":/icons/mx_config.png");
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.format(), QImage::Format_Indexed8);
    EXPECT_LE(icon.colorCount(), 256);

    EXPECT_TRUE(window().client()->findChildren<QLabel*>().isEmpty()) << "the design has no label";
    for (const QWidget* child : window().findChildren<QWidget*>()) {
        if (child->objectName() != "RecallMicGain") {
            EXPECT_TRUE(child->toolTip().isEmpty()) << child->objectName().toStdString();
        }
    }
}

TEST_F(MainWindowTest, GroupBoxesAndMembersStandWhereDesigned) {
    for (std::size_t row = 0; row < Groups.size(); ++row) {
        const GroupExpectation& g = Groups[row];
        const auto* frame = named<QGroupBox>(g.frame);
        ASSERT_NE(frame, nullptr) << g.frame;
        EXPECT_EQ(frame->title(), g.caption);
        EXPECT_EQ(frame->geometry(), QRect(8, 8 + 40 * static_cast<int>(row), 377, 41));

        const std::array<QRect, 6> places = {QRect(24, 16, 49, 17),  QRect(80, 16, 49, 17),
                                             QRect(136, 16, 49, 17), QRect(192, 16, 49, 17),
                                             QRect(248, 16, 49, 17), QRect(304, 16, 65, 17)};
        for (std::size_t i = 0; i < AllSwitches.size(); ++i) {
            const QCheckBox* member = box(g.field, AllSwitches[i]);
            ASSERT_NE(member, nullptr);
            EXPECT_EQ(member->parentWidget(), frame);
            EXPECT_EQ(member->objectName(), g.name);
            EXPECT_EQ(member->text(), MemberCaptions[i]);
            EXPECT_EQ(member->geometry(), places[i]) << g.name << " " << MemberCaptions[i];
            EXPECT_FALSE(member->isChecked());
        }
        EXPECT_EQ(frame->findChildren<QCheckBox*>().size(), 6);
    }

    const auto expectAt = [this](const char* name, const char* parent, QRect geometry) {
        const QWidget* widget = named<QWidget>(name);
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(widget->parentWidget()->objectName(), parent) << name;
        EXPECT_EQ(widget->geometry(), geometry) << name;
    };
    // The client area that holds the controls covers the window exactly, from
    // its top-left corner, inside a scroll area that shows no bar.
    QWidget* client = window().client();
    EXPECT_EQ(client->window(), &window());
    EXPECT_EQ(QRect(client->mapTo(&window(), QPoint()), client->size()),
              window().rect().adjusted(0, menuBarHeight(), 0, 0));
    expectAt("Frame16", "Client", QRect(392, 8, 81, 137));
    expectAt("Frame2", "Client", QRect(392, 152, 81, 113));
    expectAt("Frame17", "Client", QRect(392, 272, 81, 65));
    expectAt("ShowList", "Frame16", QRect(8, 16, 65, 108));
    expectAt("OpenCommand", "Frame2", QRect(8, 16, 65, 25));
    expectAt("SaveCommand", "Frame2", QRect(8, 48, 65, 25));
    expectAt("SaveAsCommand", "Frame2", QRect(8, 80, 65, 25));
    expectAt("RecallMicGain", "Frame17", QRect(8, 16, 65, 13));
    expectAt("RecallFader", "Frame17", QRect(8, 40, 65, 13));

    EXPECT_EQ(named<QGroupBox>("Frame16")->title(), "Show");
    EXPECT_EQ(named<QGroupBox>("Frame2")->title(), "Files");
    EXPECT_EQ(named<QGroupBox>("Frame17")->title(), "Recall");
    EXPECT_EQ(named<QPushButton>("OpenCommand")->text(), "Open");
    EXPECT_EQ(named<QPushButton>("SaveCommand")->text(), "Save");
    EXPECT_EQ(named<QPushButton>("SaveAsCommand")->text(), "Save As");
    EXPECT_EQ(named<QCheckBox>("RecallMicGain")->text(), "Mic gain");
    EXPECT_EQ(named<QCheckBox>("RecallFader")->text(), "Fader");
    EXPECT_EQ(named<QCheckBox>("RecallMicGain")->toolTip(),
              "Recall mic gains and ph pwr at startup");

    const ChannelList* list = window().channelList();
    ASSERT_EQ(list->count(), 8);
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(list->item(row)->text(), QString("Channel %1").arg(row + 1));
    }
    EXPECT_FALSE(list->isSortingEnabled());
    EXPECT_EQ(window().selectedChannel(), -1);
}

TEST_F(MainWindowTest, ResizingMovesAndStretchesNothing) {
    std::vector<QRect> before;
    auto widgets = window().client()->findChildren<QWidget*>();
    widgets.append(window().client());
    for (const QWidget* w : widgets) {
        before.push_back(w->geometry());
    }
    window().resize(900, 800);
    window().showMaximized();
    QApplication::processEvents();
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(widgets[static_cast<qsizetype>(i)]->geometry(), before[i]);
    }
}

TEST_F(MainWindowTest, OnlyTheDesignedMembersAreGreyed) {
    for (const GroupExpectation& g : Groups) {
        for (const SwitchMask s : AllSwitches) {
            EXPECT_EQ(box(g.field, s)->isEnabled(), (g.greyed & s) == 0) << g.name << " " << int(s);
        }
    }
    for (const QWidget* child : window().client()->findChildren<QWidget*>()) {
        if (!child->isEnabled()) {
            EXPECT_EQ(qobject_cast<const QCheckBox*>(child) != nullptr, true);
        }
    }
}

TEST_F(MainWindowTest, TabWalksTheFocusNumbersAndWrapsBothWays) {
    std::map<int, QWidget*> byNumber;
    for (const GroupExpectation& g : Groups) {
        for (std::size_t i = 0; i < AllSwitches.size(); ++i) {
            if ((g.greyed & AllSwitches[i]) == 0) {
                byNumber[g.focus[i]] = box(g.field, AllSwitches[i]);
            }
        }
    }
    byNumber[39] = window().channelList();
    byNumber[101] = named<QWidget>("OpenCommand");
    byNumber[102] = named<QWidget>("SaveCommand");
    byNumber[103] = named<QWidget>("SaveAsCommand");
    byNumber[105] = named<QWidget>("RecallMicGain");
    byNumber[106] = named<QWidget>("RecallFader");
    std::vector<QWidget*> order;
    order.reserve(byNumber.size());
    for (const auto& [number, widget] : byNumber) {
        order.push_back(widget);
    }
    ASSERT_EQ(order.size(), 63U + 6U); // 84 members less 21 greyed, plus six

    ASSERT_EQ(QApplication::focusWidget(), box(SwitchField::Latching, SwitchPgm));
    for (std::size_t step = 1; step <= order.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), order[step % order.size()])
            << "tab " << step << " at " << QApplication::focusWidget()->objectName().toStdString()
            << " " << QApplication::focusWidget()->property("text").toString().toStdString();
    }
    for (std::size_t step = order.size(); step > 0; --step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        ASSERT_EQ(QApplication::focusWidget(), order[step - 1]) << "back tab " << step;
    }
}

TEST_F(MainWindowTest, RefreshShowsTheSelectedChannelsBits) {
    load([](ChannelConfig& config) {
        for (const SwitchField field : AllSwitchFields) {
            fieldOf(config.Switches.Channels[2], field) = 0x60;
            fieldOf(config.Switches.Channels[4], field) = 0xFF;
        }
        config.Switches.Channels[4].Latching = SwitchTb2;
        config.Recall = {0x80, 0x80};
    });

    window().selectChannel(4);
    for (const SwitchField field : AllSwitchFields) {
        for (const SwitchMask s : AllSwitches) {
            const bool expected = field == SwitchField::Latching ? s == SwitchTb2 : true;
            EXPECT_EQ(box(field, s)->isChecked(), expected);
            EXPECT_NE(box(field, s)->checkState(), Qt::PartiallyChecked);
        }
    }
    EXPECT_FALSE(window().recallBox(RecallField::MicGain)->isChecked());

    window().selectChannel(2);
    for (const SwitchField field : AllSwitchFields) {
        for (const SwitchMask s : AllSwitches) {
            EXPECT_FALSE(box(field, s)->isChecked());
        }
    }
    window().selectChannel(7);
    EXPECT_TRUE(window().recallBox(RecallField::MicGain)->isChecked());
    EXPECT_TRUE(window().recallBox(RecallField::Fader)->isChecked());
    EXPECT_FALSE(box(SwitchField::Disabled, SwitchPgm)->isChecked());
}

TEST_F(MainWindowTest, RefreshLeavesTheModelByteForByte) {
    loadDistinctConfig();
    const ChannelConfig before = config();
    for (const int channel : {1, 0, 7, 3, 4, 2, 6, 5, 0}) {
        window().selectChannel(channel);
        EXPECT_EQ(window().selectedChannel(), channel);
        EXPECT_EQ(box(SwitchField::Tb3Delatches, SwitchTb3)->isChecked(),
                  (before.Switches.Channels[channel].Tb3Delatches & SwitchTb3) != 0);
    }
    EXPECT_EQ(config(), before);
}

TEST_F(MainWindowTest, AClickChangesOneBitOfTheSelectedChannelOnly) {
    window().selectChannel(0);
    QCheckBox* tb1 = box(SwitchField::Tb3Delatches, SwitchTb1);
    clickIndicator(tb1);
    EXPECT_TRUE(tb1->isChecked());
    SwitchBlock expected{};
    expected[12] = 0x02;
    EXPECT_EQ(toBlock(config().Switches), expected);
    clickIndicator(tb1);
    EXPECT_EQ(toBlock(config().Switches), SwitchBlock{});

    load([](ChannelConfig& config) { config.Switches.Channels[3].Latching = 0xE0; });
    window().selectChannel(3);
    clickIndicator(box(SwitchField::Latching, SwitchPgm));
    EXPECT_EQ(config().Switches.Channels[3].Latching, 0xE1);
    clickIndicator(box(SwitchField::Latching, SwitchPhPwr));
    EXPECT_EQ(config().Switches.Channels[3].Latching, 0x61);

    // Space on the focused member works like a click.
    QCheckBox* tb4 = box(SwitchField::AlwaysOn, SwitchTb4);
    tb4->setFocus();
    QTest::keyClick(tb4, Qt::Key_Space);
    EXPECT_EQ(config().Switches.Channels[3].AlwaysOn, SwitchTb4);

    expected = {};
    expected[14 * 3 + 1] = 0x61;
    expected[14 * 3 + 3] = SwitchTb4;
    EXPECT_EQ(toBlock(config().Switches), expected);

    // An edit survives moving to another channel and back.
    window().selectChannel(5);
    EXPECT_FALSE(box(SwitchField::Latching, SwitchPgm)->isChecked());
    window().selectChannel(3);
    EXPECT_TRUE(box(SwitchField::Latching, SwitchPgm)->isChecked());
}

TEST_F(MainWindowTest, RecallBoxesSetTheSelectedChannelsBit) {
    load([](ChannelConfig& config) { config.Recall = {0x11, 0x00}; });
    window().selectChannel(5);
    clickIndicator(window().recallBox(RecallField::Fader));
    EXPECT_EQ(config().Recall, (RecallSettings{0x11, 0x20}));
    clickIndicator(window().recallBox(RecallField::MicGain));
    EXPECT_EQ(config().Recall, (RecallSettings{0x31, 0x20}));
    clickIndicator(window().recallBox(RecallField::Fader));
    EXPECT_EQ(config().Recall, (RecallSettings{0x31, 0x00}));
    EXPECT_EQ(toBlock(config().Switches), SwitchBlock{});
}

TEST_F(MainWindowTest, GreyedMembersShowTheirBitButIgnoreClicks) {
    load([](ChannelConfig& config) {
        config.Switches.Channels[0].Tb3Delatches = SwitchTb3;
        config.Switches.Channels[0].Tb2Suppresses = SwitchPhPwr;
    });
    window().selectChannel(0);
    const ChannelConfig before = config();

    QCheckBox* tb3 = box(SwitchField::Tb3Delatches, SwitchTb3);
    EXPECT_TRUE(tb3->isChecked());
    EXPECT_FALSE(tb3->isEnabled());
    clickIndicator(tb3);
    clickIndicator(box(SwitchField::Tb2Suppresses, SwitchTb2));
    clickIndicator(box(SwitchField::Tb2Suppresses, SwitchPhPwr));
    clickIndicator(box(SwitchField::Momentary, SwitchPhPwr));
    EXPECT_TRUE(tb3->isChecked());
    EXPECT_TRUE(box(SwitchField::Tb2Suppresses, SwitchPhPwr)->isChecked());
    EXPECT_FALSE(box(SwitchField::Tb2Suppresses, SwitchTb2)->isChecked());
    EXPECT_EQ(config(), before);
}

TEST_F(MainWindowTest, AnAccessibleToggleReachesTheModel) {
    window().selectChannel(2);
    QAccessibleInterface* accessible =
        QAccessible::queryAccessibleInterface(box(SwitchField::Momentary, SwitchTb2));
    ASSERT_NE(accessible, nullptr);
    ASSERT_NE(accessible->actionInterface(), nullptr);
    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(config().Switches.Channels[2].Momentary, SwitchTb2);

    QAccessibleInterface* fader =
        QAccessible::queryAccessibleInterface(window().recallBox(RecallField::Fader));
    fader->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(config().Recall.FaderRecall, 0x04);
}

TEST_F(MainWindowTest, WithoutASelectedChannelNothingChanges) {
    loadDistinctConfig();
    const ChannelConfig before = config();
    window().ShowList_Click();
    for (const SwitchField field : AllSwitchFields) {
        EXPECT_FALSE(box(field, SwitchPgm)->isChecked());
    }
    clickIndicator(box(SwitchField::Disabled, SwitchTb1));
    clickIndicator(window().recallBox(RecallField::MicGain));
    window().Group_Click(SwitchField::Latching, SwitchPgm);
    EXPECT_EQ(config(), before);
}

TEST_F(MainWindowTest, EveryChannelAndCaptionIsVisibleInFull) {
    ChannelList* list = window().channelList();
    EXPECT_FALSE(list->verticalScrollBar()->isVisible());
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    const QRect viewport = list->viewport()->rect();
    for (int row = 0; row < list->count(); ++row) {
        const QRect item = list->visualItemRect(list->item(row));
        EXPECT_TRUE(viewport.contains(item)) << row;
        // Item text is drawn one pixel in from each side (the style's focus
        // margin is zero), and would be elided beyond that.
        const int textWidth = list->fontMetrics().horizontalAdvance(list->item(row)->text());
        EXPECT_LE(textWidth, item.width() - 2) << row;
    }

    for (QCheckBox* box : window().findChildren<QCheckBox*>()) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect indicator =
            box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        const QRect contents =
            box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        EXPECT_TRUE(box->rect().contains(indicator)) << box->text().toStdString();
        EXPECT_LE(box->fontMetrics().horizontalAdvance(box->text()), contents.width())
            << box->objectName().toStdString() << " " << box->text().toStdString();
    }
    for (const QPushButton* button : window().findChildren<QPushButton*>()) {
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()),
                  button->width() - 2 * margin)
            << button->text().toStdString();
    }
    for (const QGroupBox* frame : window().findChildren<QGroupBox*>()) {
        EXPECT_LE(frame->fontMetrics().horizontalAdvance(frame->title()), frame->width() - 8);
    }
}

TEST_F(MainWindowTest, TheSelectionCannotBeTakenAway) {
    ChannelList* list = window().channelList();
    window().selectChannel(2);
    const QPoint itemCentre = list->visualItemRect(list->item(2)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, itemCentre);
    EXPECT_EQ(window().selectedChannel(), 2);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, itemCentre);
    EXPECT_EQ(window().selectedChannel(), 2);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(window().selectedChannel(), 2);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(6)).center());
    EXPECT_EQ(window().selectedChannel(), 6);
}

TEST_F(MainWindowTest, ArrowKeysMoveTheChannelAndRefresh) {
    load([](ChannelConfig& config) { config.Switches.Channels[4].Disabled = SwitchTb4; });
    window().selectChannel(3);
    ChannelList* list = window().channelList();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(window().selectedChannel(), 4);
    EXPECT_TRUE(box(SwitchField::Disabled, SwitchTb4)->isChecked());
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(window().selectedChannel(), 3);
    EXPECT_FALSE(box(SwitchField::Disabled, SwitchTb4)->isChecked());
}

TEST_F(MainWindowTest, EnterPressesOnlyTheFocusedButtonAndEscapeDoesNothing) {
    QSignalSpy open(&window(), &MainWindow::openClicked);
    QSignalSpy save(&window(), &MainWindow::saveClicked);
    QSignalSpy saveAs(&window(), &MainWindow::saveAsClicked);
    for (const QPushButton* button : window().findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
    }

    QTest::keyClick(box(SwitchField::Latching, SwitchPgm), Qt::Key_Return);
    EXPECT_EQ(open.count() + save.count() + saveAs.count(), 0);

    auto* saveButton = named<QPushButton>("SaveCommand");
    saveButton->setFocus();
    QTest::keyClick(saveButton, Qt::Key_Return);
    QTest::keyClick(saveButton, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(save.count(), 2);
    QTest::keyClick(named<QPushButton>("SaveAsCommand"), Qt::Key_Space);
    EXPECT_EQ(saveAs.count(), 1);
    EXPECT_EQ(open.count(), 0);

    QTest::keyClick(saveButton, Qt::Key_Escape);
    QTest::keyClick(&window(), Qt::Key_Escape);
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(save.count(), 2);
}

TEST_F(MainWindowTest, TheCloseGuardCanKeepTheWindowOpen) {
    int asked = 0;
    bool allow = false;
    window().setCloseGuard([&] {
        ++asked;
        return allow;
    });
    EXPECT_FALSE(window().close());
    EXPECT_TRUE(window().isVisible());
    allow = true;
    EXPECT_TRUE(window().close());
    EXPECT_EQ(asked, 2);
}

TEST_F(MainWindowTest, ScreenReadersHearTheGroupOfEveryBox) {
    const auto accessibleText = [](QWidget* widget, QAccessible::Text which) {
        return QAccessible::queryAccessibleInterface(widget)->text(which);
    };
    std::set<QString> names;
    const auto boxes = window().findChildren<QCheckBox*>();
    for (QCheckBox* b : boxes) {
        names.insert(accessibleText(b, QAccessible::Name));
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(boxes.size()));
    EXPECT_EQ(names.size(), 86U);
    EXPECT_EQ(accessibleText(box(SwitchField::Latching, SwitchTb2), QAccessible::Name),
              "Latching: TB 2");
    EXPECT_EQ(accessibleText(box(SwitchField::Tb3Delatches, SwitchPhPwr), QAccessible::Name),
              "TB 3 Delatches: PH PWR");
    EXPECT_FALSE(
        accessibleText(box(SwitchField::Tb3Delatches, SwitchPhPwr), QAccessible::Description)
            .isEmpty());
    EXPECT_EQ(accessibleText(window().channelList(), QAccessible::Name), "Channel");
    EXPECT_FALSE(accessibleText(window().channelList(), QAccessible::Description).isEmpty());
    EXPECT_EQ(accessibleText(window().recallBox(RecallField::MicGain), QAccessible::Name),
              "Recall mic gain");
    EXPECT_EQ(accessibleText(window().recallBox(RecallField::Fader), QAccessible::Name),
              "Recall fader");
    // The visible captions stay as designed.
    EXPECT_EQ(box(SwitchField::Latching, SwitchTb2)->text(), "TB 2");
}

TEST_F(MainWindowTest, StandardShortcutsPressTheFileButtons) {
    struct Case {
        QKeySequence::StandardKey key;
        const char* button;
        void (MainWindow::*signal)();
    };
    for (const Case& c :
         {Case{QKeySequence::Open, "OpenCommand", &MainWindow::openClicked},
          Case{QKeySequence::Save, "SaveCommand", &MainWindow::saveClicked},
          Case{QKeySequence::SaveAs, "SaveAsCommand", &MainWindow::saveAsClicked}}) {
        auto* button = named<QPushButton>(c.button);
        QSignalSpy pressed(button, &QPushButton::clicked);
        QSignalSpy command(&window(), c.signal);
        QSignalSpy anyOpen(&window(), &MainWindow::openClicked);
        QSignalSpy anySave(&window(), &MainWindow::saveClicked);
        QSignalSpy anySaveAs(&window(), &MainWindow::saveAsClicked);
        const QList<QKeySequence> bound = QKeySequence::keyBindings(c.key);
        const QKeySequence sequence =
            bound.isEmpty() ? QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S) : bound.first();
        QTest::keySequence(box(SwitchField::Disabled, SwitchPgm), sequence);
        EXPECT_EQ(pressed.count(), 1) << c.button;
        EXPECT_EQ(command.count(), 1) << c.button;
        EXPECT_EQ(anyOpen.count() + anySave.count() + anySaveAs.count(), 1) << c.button;
        EXPECT_FALSE(button->text().contains('&'));
        EXPECT_FALSE(button->isDefault());
    }
}

TEST_F(MainWindowTest, KeepsItsLayoutOnAScaledScreen) {
    // CTest also runs this suite with QT_SCALE_FACTOR=2.
    const double scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                             ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                             : 1.0;
    EXPECT_DOUBLE_EQ(window().devicePixelRatioF(), scale);
    EXPECT_EQ(window().size(), QSize(480, 577 + menuBarHeight()));
    const QImage shot = window().grab().toImage();
    EXPECT_EQ(shot.size(), QSize(480, 577 + menuBarHeight()) * scale);
    EXPECT_DOUBLE_EQ(box(SwitchField::Tb4Delatches, SwitchPhPwr)->grab().devicePixelRatioF(),
                     scale);
}

TEST_F(MainWindowTest, CopyPasteAndUndoWorkFromTheKeyboard) {
    loadDistinctConfig();
    const ChannelConfig original = config();
    window().selectChannel(1);
    const auto press = [](QKeySequence::StandardKey key) {
        QTest::keySequence(QApplication::focusWidget(), QKeySequence::keyBindings(key).first());
    };
    window().channelList()->setFocus();
    press(QKeySequence::Copy);
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied->hasFormat(ChannelMimeType));
    EXPECT_TRUE(copied->text().startsWith("Channel 2\n  # "));
    EXPECT_TRUE(copied->text().contains("\n  Disabled (MX only): "));

    window().selectChannel(4);
    box(SwitchField::Latching, SwitchTb1)->setFocus();
    press(QKeySequence::Paste);
    // Channel 2's editable bits over channel 4's greyed and unnamed ones; its
    // recall flags (both off) clear channel 4's Fader bit.
    const ChannelSwitches pastedRecord = {0xB3, 0xB4, 0xB5, 0xD6, 0xD7, 0xDA, 0xD9,
                                          0xD2, 0xCB, 0xDC, 0xDF, 0xDA, 0xDF, 0xC0};
    EXPECT_EQ(config().Switches.Channels[4], pastedRecord);
    EXPECT_EQ(config().Recall, (RecallSettings{0xA5, 0x2C}));
    EXPECT_EQ(config().Switches.Channels[5], original.Switches.Channels[5]);
    EXPECT_TRUE(box(SwitchField::Disabled, SwitchPgm)->isChecked());
    EXPECT_FALSE(box(SwitchField::Disabled, SwitchTb2)->isChecked());
    const ChannelConfig pasted = config();

    QTest::keySequence(QApplication::focusWidget(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
    EXPECT_EQ(config().Switches.Channels[0],
              (ChannelSwitches{0x93, 0x94, 0x95, 0x96, 0x97, 0x9A, 0x99, 0x9A, 0x8B, 0x9C, 0x9F,
                               0x9A, 0x97, 0x90}));
    EXPECT_EQ(config().Switches.Channels[4], pastedRecord);
    EXPECT_EQ(config().Switches.Channels[7],
              (ChannelSwitches{0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xFD, 0xFA, 0xEB, 0xFC, 0xFD,
                               0xFA, 0xF7, 0xF0}));
    EXPECT_EQ(config().Recall, (RecallSettings{0x00, 0x00}));
    const ChannelConfig pastedToAll = config();
    EXPECT_EQ(document_.undoStack()->count(), 2);

    window().selectChannel(7);
    press(QKeySequence::Undo);
    EXPECT_EQ(config(), pasted);
    EXPECT_EQ(window().selectedChannel(), 7) << "the shown channel changed, and stays";
    press(QKeySequence::Undo);
    EXPECT_EQ(config(), original);
    QTest::keySequence(QApplication::focusWidget(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    EXPECT_EQ(config(), pasted);
    press(QKeySequence::Redo);
    EXPECT_EQ(config(), pastedToAll);

    // Undo of a paste to all made from the channel shown, which it left as
    // it was, shows the first channel it did change.
    load([&](ChannelConfig& config) { config = original; });
    window().selectChannel(1);
    press(QKeySequence::Copy);
    QTest::keySequence(QApplication::focusWidget(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
    press(QKeySequence::Undo);
    EXPECT_EQ(window().selectedChannel(), 0);
}

TEST_F(MainWindowTest, UndoingAClickShowsItsChannelAndEndsTheModifiedState) {
    document_.markSaved(blocksOf(config()));
    window().selectChannel(2);
    clickIndicator(box(SwitchField::Tb3Delatches, SwitchTb4));
    clickIndicator(window().recallBox(RecallField::Fader));
    EXPECT_TRUE(document_.isModified());
    EXPECT_TRUE(window().isWindowModified());
    EXPECT_EQ(document_.undoStack()->count(), 2) << "each click is a step, a recall click too";
    window().selectChannel(6);

    window().actions().undo->trigger();
    EXPECT_EQ(window().selectedChannel(), 2);
    EXPECT_FALSE(window().recallBox(RecallField::Fader)->isChecked());
    EXPECT_TRUE(box(SwitchField::Tb3Delatches, SwitchTb4)->isChecked());
    window().actions().undo->trigger();
    EXPECT_FALSE(box(SwitchField::Tb3Delatches, SwitchTb4)->isChecked());
    EXPECT_FALSE(document_.isModified());
    EXPECT_FALSE(window().isWindowModified());
    EXPECT_FALSE(document_.undoStack()->canUndo());

    window().actions().redo->trigger();
    EXPECT_TRUE(box(SwitchField::Tb3Delatches, SwitchTb4)->isChecked());
    EXPECT_EQ(config().Switches.Channels[2].Tb3Delatches, SwitchTb4);
}

// Counts how often the window reads the clipboard.
class CountedClipboard : public ClipboardSource {
public:
    std::optional<ClipboardContent> read() override {
        ++reads;
        return DirectClipboard().read();
    }
    int reads = 0;
};

TEST_F(MainWindowTest, PasteTakesChannelsFromTextAndSaysWhyWhenItCannot) {
    CountedClipboard clipboard;
    window().setClipboardSource(clipboard);
    QSignalSpy refused(&window(), &MainWindow::pasteRefused);
    window().selectChannel(0);
    ChannelSettings settings;
    settings.Switches.AlwaysOn = SwitchTb2;
    settings.MicGainRecall = true;
    const QString text = QString::fromStdString(channelToText(5, settings));
    const QString quoted = "Hi, here is channel 6:\n\n> " + QString(text).replace("\n", "\n> ");
    ChannelConfig whole;
    whole.Switches.Channels[3].Latching = SwitchTb3;
    whole.Recall.FaderRecall = 0x80;
    const QString exported = QString::fromStdString(configToText(whole));
    struct Case {
        const char* what;
        QString text;
        QByteArray exact;
        bool toAll;
        const char* refusal; // nullptr when it pastes
    };
    const std::vector<Case> cases = {
        {"plain words", "hello", {}, false, "holds no channel"},
        {"a channel with a line missing",
         QString(text).remove("Recall: Mic gain"),
         {},
         false,
         "line 1, column 1: channel 6 lacks 1 of its 15 lines: \"Recall\"."},
        {"a mail quoting part of a channel, then a signature",
         "Hi,\n\n> > channel 8\n> > Latching: PGM\n> > Momentary: none\n> > Recall: none\n\n"
         "-- \nTom\n",
         {},
         false,
         "line 3, column 1: channel 8 lacks 12 of its 15 lines: \"Disabled (MX only)\", "
         "\"Always on\", "},
        {"exact bytes of the wrong length", {}, "\x01\x02", false, "holds no channel"},
        {"a channel as text from another program", text, {}, false, nullptr},
        {"quoted in a mail, with a greeting", quoted, {}, false, nullptr},
        {"in small letters", text.toLower(), {}, false, nullptr},
        {"a whole configuration, to one channel", exported, {}, false, "Use Paste to all channels"},
        {"a whole configuration, to all", exported, {}, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* data = new QMimeData;
        data->setText(c.text);
        if (!c.exact.isEmpty()) {
            data->setData(ChannelMimeType, c.exact);
        }
        QGuiApplication::clipboard()->setMimeData(data);
        load([](ChannelConfig& config) { config = {}; });
        refused.clear();
        QTest::keySequence(box(SwitchField::Latching, SwitchPgm),
                           c.toAll ? QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)
                                   : QKeySequence::keyBindings(QKeySequence::Paste).first());
        if (c.refusal != nullptr) {
            ASSERT_EQ(refused.size(), 1);
            EXPECT_TRUE(refused[0][0].toString().contains(c.refusal))
                << refused[0][0].toString().toStdString();
            EXPECT_EQ(config(), ChannelConfig{});
        } else if (c.toAll) {
            EXPECT_EQ(config(), whole) << "each channel from its own section";
        } else {
            EXPECT_EQ(*channelSettings(config(), 0), settings);
            EXPECT_TRUE(box(SwitchField::AlwaysOn, SwitchTb2)->isChecked());
        }
    }
    // Read when the user pastes, never because the clipboard changed.
    EXPECT_EQ(clipboard.reads, static_cast<int>(cases.size()));
}

TEST_F(MainWindowTest, TheChannelListOffersTheEditsInAMenu) {
    ChannelList* list = window().channelList();
    window().selectChannel(0);
    QGuiApplication::clipboard()->clear();
    // Opens the menu and describes its items, one line each.
    const auto openMenu = [&](const std::function<void()>& request) {
        request();
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QStringList items;
        for (const QAction* action : menu != nullptr ? menu->actions() : QList<QAction*>()) {
            if (!action->isSeparator() && action->isVisible()) {
                items << withoutMnemonic(action->text()) + (action->isEnabled() ? "" : " (off)") +
                             " [" + action->shortcut().toString() + "]";
            }
        }
        if (menu != nullptr) {
            EXPECT_EQ(
                QAccessible::queryAccessibleInterface(menu)->child(0)->text(QAccessible::Name),
                withoutMnemonic(menu->actions().first()->text()));
            menu->hide();
        }
        return items;
    };
    const QPoint third = list->visualItemRect(list->item(3)).center();
    const QStringList items = openMenu([&] {
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, third);
        QContextMenuEvent event(QContextMenuEvent::Mouse, third,
                                list->viewport()->mapToGlobal(third));
        QApplication::sendEvent(list->viewport(), &event);
    });
    EXPECT_EQ(
        items,
        QStringList({"Copy channel 4 [Ctrl+C]", "Paste to channel 4 (off) [Ctrl+V]",
                     "Paste to all channels (off) [Ctrl+Shift+V]", "Undo (off) [Ctrl+Z]",
                     "Redo (off) [" + window().actions().redo->shortcut().toString() + "]",
                     "Revert to saved (off) []", "Print… [Ctrl+P]", "Export sheet as PDF… [Ctrl+E]",
                     "Compare with… [Ctrl+D]", "Compare with saved []", "Stop comparing (off) []",
                     "Next difference (off) [F8]", "Previous difference (off) [Shift+F8]"}));

    // The keys work again once a menu with nothing to undo or paste is gone.
    clickIndicator(box(SwitchField::Latching, SwitchTb2));
    QTest::keySequence(list, QKeySequence::keyBindings(QKeySequence::Undo).first());
    EXPECT_FALSE(box(SwitchField::Latching, SwitchTb2)->isChecked());
    QTest::keySequence(list, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    EXPECT_TRUE(box(SwitchField::Latching, SwitchTb2)->isChecked());
    // After an edit and a copy, the menu names the step to undo.
    QTest::keySequence(list, QKeySequence::keyBindings(QKeySequence::Copy).first());
    list->setFocus();
    // The windowing system turns the Menu key into a keyboard context menu event.
    const QStringList fromMenuKey = openMenu([&] {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, {}, list->mapToGlobal(QPoint()));
        QApplication::sendEvent(list, &event);
    });
    ASSERT_EQ(fromMenuKey.size(), 13);
    EXPECT_EQ(fromMenuKey[1], "Paste to channel 4 [Ctrl+V]");
    EXPECT_EQ(fromMenuKey[3], "Undo Latching: TB 2 (channel 4) [Ctrl+Z]");
    EXPECT_EQ(fromMenuKey[5], "Revert to saved []");
    EXPECT_EQ(openMenu([&] { QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier); }),
              fromMenuKey);
    // The same menu on any box, by a right click or from the keyboard.
    QCheckBox* member = box(SwitchField::Tb2Delatches, SwitchTb3);
    EXPECT_EQ(openMenu([&] {
                  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4),
                                          member->mapToGlobal(QPoint(4, 4)));
                  QApplication::sendEvent(member, &event);
              }),
              fromMenuKey);
    member->setFocus();
    EXPECT_EQ(openMenu([&] { QTest::keyClick(member, Qt::Key_F10, Qt::ShiftModifier); }),
              fromMenuKey);
    window().actions().revert->trigger();
    EXPECT_FALSE(box(SwitchField::Latching, SwitchTb2)->isChecked()) << "reverted, as one step";
    window().actions().undo->trigger();
    EXPECT_TRUE(box(SwitchField::Latching, SwitchTb2)->isChecked());
    // Pasting a channel onto itself changes nothing, so it is no step.
    const int steps = document_.undoStack()->index();
    window().pasteToShownChannel();
    EXPECT_EQ(document_.undoStack()->index(), steps);
    EXPECT_TRUE(window().actions().undo->isEnabled())
        << "the keys work again once the menu is gone";
}

TEST_F(MainWindowTest, TheMenuBarOffersEveryCommandFromTheSameActions) {
    const WindowActions& a = window().actions();
    const auto titles = [](const QMenu* menu) {
        QStringList items;
        for (const QAction* action : menu->actions()) {
            items << (action->isSeparator() ? "-" : withoutMnemonic(action->text()));
        }
        return items;
    };
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(a.menuBar());
    ASSERT_EQ(bar->childCount(), 4);
    QStringList menus;
    for (int i = 0; i < bar->childCount(); ++i) {
        menus << bar->child(i)->text(QAccessible::Name);
    }
    EXPECT_EQ(menus, QStringList({"File", "Edit", "Compare", "Help"}));
    EXPECT_EQ(titles(a.fileMenu()), QStringList({"Open…", "Save", "Save As…", "Recent units", "-",
                                                 "Print…", "Export sheet as PDF…", "-", "Quit"}));
    EXPECT_EQ(titles(a.editMenu()),
              QStringList({"Undo", "Redo", "-", "Copy channel", "Paste to channel",
                           "Paste to all channels", "-", "Names…", "Revert to saved"}));
    EXPECT_TRUE(a.editMenu()->actions().contains(a.paste)) << "the context menu's own action";
    EXPECT_EQ(a.openUnit->shortcut(), QKeySequence::keyBindings(QKeySequence::Open).first());

    // Opening a menu readies its commands as the context menu does; once
    // it is gone, their keys work again.
    for (QMenu* menu : {a.fileMenu(), a.editMenu(), a.compareMenu()}) {
        SCOPED_TRACE(menu->title().toStdString());
        emit menu->aboutToShow();
        const QList<QAction*> items = menu->actions();
        EXPECT_TRUE(std::any_of(items.begin(), items.end(),
                                [](const QAction* item) { return !item->isEnabled(); }) ||
                    menu == a.fileMenu());
        emit menu->aboutToHide();
        for (const QAction* item : items) {
            // A hidden one (Take… while nothing is compared) has no keys.
            EXPECT_TRUE(item->isEnabled() || !item->isVisible())
                << item->objectName().toStdString();
        }
    }

    // The file commands are the buttons' own; a recent unit is named, with
    // its folder as the tip.
    QSignalSpy opened(&window(), &MainWindow::openClicked);
    a.openUnit->trigger();
    EXPECT_EQ(opened.size(), 1);
    window().setRecentUnits({{"unit01", "/units/a/unit01"}, {"R&D", "/units/R&D"}});
    QSignalSpy chosen(&window(), &MainWindow::recentUnitChosen);
    const QList<QAction*> recent = a.recentMenu()->actions();
    ASSERT_EQ(recent.size(), 2);
    EXPECT_EQ(recent[1]->text(), "R&&D");
    EXPECT_EQ(recent[0]->toolTip(), "/units/a/unit01");
    recent[1]->trigger();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0][0].toString(), "/units/R&D");
    bool asked = false;
    window().setCloseGuard([&] {
        asked = true;
        return false;
    });
    a.quit->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(asked) << "Quit closes as the window's close does, asking first";
    EXPECT_TRUE(window().isVisible());
}

TEST_F(MainWindowTest, ComparingMarksExactlyWhatDiffersAndFollowsEveryChange) {
    load([](ChannelConfig& config) { config.Switches.Channels[2].Latching = SwitchTb2; });
    ChannelConfig theirs = config();
    theirs.Switches.Channels[2].Latching = 64;             // TB 2 off, bit 64 on
    theirs.Switches.Channels[2].PgmSuppresses = SwitchPgm; // greyed
    theirs.Switches.Channels[5].Momentary = SwitchTb1;
    theirs.Recall.FaderRecall = 0x04;
    window().selectChannel(2);
    document_.compareWith(theirs, "unitA");
    // A screen reader that starts now learns how each marked box differs.
    QAccessible::setActive(true);
    const auto inactive = qScopeGuard([] { QAccessible::setActive(false); });

    QCheckBox* latching = box(SwitchField::Latching, SwitchTb2);
    QCheckBox* greyed = box(SwitchField::PgmSuppresses, SwitchPgm);
    QCheckBox* fader = window().recallBox(RecallField::Fader);
    const auto marked = [this] {
        std::set<const QCheckBox*> boxes;
        for (const QCheckBox* each : window().findChildren<QCheckBox*>()) {
            if (window().isMarked(each)) {
                boxes.insert(each);
            }
        }
        return boxes;
    };
    const auto markedChannels = [this] {
        std::set<int> channels;
        for (int channel = 0; channel < ChannelCount; ++channel) {
            if (window().isChannelMarked(channel)) {
                channels.insert(channel);
            }
        }
        return channels;
    };
    const auto description = [](QObject* object) {
        return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Description);
    };
    EXPECT_EQ(marked(), (std::set<const QCheckBox*>{latching, greyed, fader}));
    EXPECT_EQ(markedChannels(), (std::set<int>{2, 5}));
    EXPECT_EQ(description(latching), "differs from unitA: off");
    EXPECT_EQ(description(greyed),
              "differs from unitA: on. Shown as loaded from the file; not changed here");
    const QListWidgetItem* third = window().channelList()->item(2);
    EXPECT_EQ(third->data(Qt::AccessibleDescriptionRole).toString(), "differs");
    EXPECT_EQ(window().channelList()->differenceTip(2),
              "Differs from unitA:\nLatching: TB 2, bit 64\n"
              "PGM Suppresses (latched): PGM\nRecall: Fader");

    // An edit, its undo and a take move the marks at once.
    clickIndicator(latching);
    EXPECT_EQ(marked(), (std::set<const QCheckBox*>{greyed, fader}));
    window().actions().undo->trigger();
    EXPECT_EQ(marked(), (std::set<const QCheckBox*>{latching, greyed, fader}));
    // The menu opened on a greyed box offers its value, and takes only it.
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4),
                            greyed->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(greyed, &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    const auto take = std::find_if(actions.begin(), actions.end(),
                                   [](QAction* a) { return a->text() == "Take unitA's &value"; });
    ASSERT_NE(take, actions.end());
    EXPECT_TRUE((*take)->isVisible());
    menu->hide();
    (*take)->trigger();
    EXPECT_TRUE(greyed->isChecked());
    EXPECT_EQ(marked(), (std::set<const QCheckBox*>{latching, fader}));
    EXPECT_EQ(config().Switches.Channels[2].Latching, SwitchTb2) << "one bit taken, no other";

    // Next difference goes round the differing channels, to the first
    // differing box in Tab order.
    const std::vector<std::pair<int, QWidget*>> steps = {
        {1, box(SwitchField::Momentary, SwitchTb1)},
        {1, latching},
        {-1, box(SwitchField::Momentary, SwitchTb1)}};
    for (const auto& [step, focused] : steps) {
        QTest::keyClick(&window(), Qt::Key_F8, step < 0 ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(QApplication::focusWidget(), focused);
    }
    EXPECT_EQ(window().selectedChannel(), 5);

    window().takeEverything();
    EXPECT_EQ(config(), theirs);
    EXPECT_TRUE(markedChannels().empty());
    window().actions().undo->trigger();
    window().actions().stopComparing->trigger();
    EXPECT_TRUE(marked().empty());
    EXPECT_TRUE(markedChannels().empty());
    EXPECT_EQ(description(greyed), "Shown as loaded from the file; not changed here");
    EXPECT_EQ(window().recallBox(RecallField::MicGain)->toolTip(),
              MainWindow::RecallMicGainToolTip);
    EXPECT_TRUE(window().channelList()->differenceTip(5).isEmpty());
}

// Everything a person must read is whole: check-box captions beside their
// indicators, group titles above the first row, list rows across and within
// the list, button captions; and no control covers a sibling, but for the
// designed one-pixel (scaled) overlap of the switch frames.
void expectEveryCaptionWhole(MainWindow& window, const std::string& where) {
    const QFontMetrics metrics = window.fontMetrics();
    const int inkHeight = static_cast<int>(std::ceil(metrics.capHeight())) + metrics.descent();
    for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        QStyle* style = box->style();
        EXPECT_TRUE(
            box->rect().contains(style->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box)))
            << where;
        EXPECT_LE(metrics.horizontalAdvance(box->text()),
                  style->subElementRect(QStyle::SE_CheckBoxContents, &option, box).width())
            << where << " " << box->accessibleName().toStdString();
        EXPECT_LE(inkHeight, box->height()) << where;
    }
    for (QGroupBox* frame : window.client()->findChildren<QGroupBox*>()) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        const QRect title = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                           QStyle::SC_GroupBoxLabel, frame);
        EXPECT_GE(title.width(), metrics.horizontalAdvance(frame->title())) << where;
        EXPECT_TRUE(frame->rect().contains(title)) << where;
        // The frame's lines run clear of the controls inside it.
        const QRect lines = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                           QStyle::SC_GroupBoxFrame, frame);
        const auto children = frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (const QWidget* child : children) {
            EXPECT_GE(child->y(), title.bottom())
                << where << " below " << frame->title().toStdString();
            EXPECT_TRUE(lines.adjusted(1, 1, -1, -1).contains(child->geometry()))
                << where << " inside " << frame->title().toStdString();
            // The frame that marks a differing box stays within the group's
            // lines and clear of every other box and its caption.
            if (const auto* box = qobject_cast<const SwitchBox*>(child)) {
                EXPECT_TRUE(lines.contains(box->markRect())) << where;
                for (const QWidget* other : children) {
                    EXPECT_TRUE(other == child || !box->markRect().intersects(other->geometry()))
                        << where << " " << box->accessibleName().toStdString();
                }
            }
        }
    }
    for (const QPushButton* button : window.findChildren<QPushButton*>()) {
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        EXPECT_LE(metrics.horizontalAdvance(button->text()), button->width() - 2 * margin) << where;
    }
    ChannelList* list = window.channelList();
    const QRect viewport = list->viewport()->rect();
    for (int row = 0; row < list->count(); ++row) {
        EXPECT_TRUE(viewport.contains(list->visualItemRect(list->item(row))))
            << where << " row " << row;
    }
    const int framesOverlap = static_cast<int>(std::ceil(window.layoutScale()));
    QList<QWidget*> parents = {window.client()};
    for (QGroupBox* frame : window.client()->findChildren<QGroupBox*>()) {
        parents << frame;
    }
    for (QWidget* parent : parents) {
        const auto children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (qsizetype i = 0; i < children.size(); ++i) {
            for (qsizetype j = i + 1; j < children.size(); ++j) {
                const QRect overlap = children[i]->geometry() & children[j]->geometry();
                const bool designed = qobject_cast<QGroupBox*>(children[i]) != nullptr &&
                                      overlap.height() <= framesOverlap;
                EXPECT_TRUE(overlap.isEmpty() || designed)
                    << where << " " << children[i]->objectName().toStdString() << " and "
                    << children[j]->objectName().toStdString();
            }
        }
    }
}

TEST(WindowLayout, EveryCaptionFitsAtEveryFontAndStyle) {
    const QFont designFont = QApplication::font();
    const QString designStyle = QApplication::style()->name();
    for (const char* styleName : {"Fusion", "Windows"}) {
        QApplication::setStyle(styleName);
        for (int points = 7; points <= 16; ++points) {
            QFont font = designFont;
            font.setPointSize(points);
            QApplication::setFont(font);
            ConfigDocument document;
            MainWindow window(document);
            window.show();
            QApplication::processEvents();
            const std::string where = std::string(styleName) + " " + std::to_string(points) + " pt";
            EXPECT_GE(window.layoutScale(), 1.0) << where;
            expectEveryCaptionWhole(window, where);
            // Never larger than the screen; what does not fit scrolls.
            const QSize screen = window.screen()->availableGeometry().size();
            EXPECT_LE(window.width(), screen.width()) << where;
            EXPECT_LE(window.height(), screen.height()) << where;
            EXPECT_EQ(window.scrollArea()->verticalScrollBar()->isVisible(),
                      window.client()->height() > window.scrollArea()->viewport()->height())
                << where;
        }
    }
    QApplication::setFont(designFont);
    QApplication::setStyle(designStyle);
}

TEST_F(MainWindowTest, TheDesignFontNeedsNoScaleAndNoScrollBar) {
    EXPECT_EQ(window().layoutScale(), 1.0);
    EXPECT_EQ(window().client()->size(), QSize(480, 577));
    EXPECT_FALSE(window().scrollArea()->verticalScrollBar()->isVisible());
    EXPECT_FALSE(window().scrollArea()->horizontalScrollBar()->isVisible());
}

TEST_F(MainWindowTest, FollowsAFontChangeAndScrollsToTheFocus) {
    QFont larger = window().font();
    larger.setPointSize(14);
    window().setFont(larger);
    EXPECT_GT(window().layoutScale(), 1.2);
    expectEveryCaptionWhole(window(), "after the change to 14 pt");

    // A window smaller than its content scrolls, and Tab brings the focus
    // into view.
    window().resize(300, 300);
    QApplication::processEvents();
    EXPECT_TRUE(window().scrollArea()->verticalScrollBar()->isVisible());
    QCheckBox* last = box(SwitchField::Tb4Delatches, SwitchPgm);
    box(SwitchField::Tb4Delatches, SwitchTb3)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), last);
    const auto inView = [&](QWidget* widget) {
        const QRect place(widget->mapTo(window().scrollArea()->viewport(), QPoint()),
                          widget->size());
        return window().scrollArea()->viewport()->rect().contains(place);
    };
    EXPECT_TRUE(inView(last));
    // The channel list, the file buttons and the recall boxes stay in view.
    window().resize(window().client()->width() + 40, 540);
    QApplication::processEvents();
    window().scrollArea()->verticalScrollBar()->setValue(
        window().scrollArea()->verticalScrollBar()->maximum());
    EXPECT_TRUE(inView(window().channelList()));
    EXPECT_TRUE(inView(named<QWidget>("SaveCommand")));

    window().setFont(QFont());
    EXPECT_EQ(window().layoutScale(), 1.0);
    EXPECT_EQ(box(SwitchField::Latching, SwitchPgm)->geometry(), QRect(24, 16, 49, 17));
}

TEST_F(MainWindowTest, F8AndShiftF8StepThroughTheDifferingChannelsFromEveryStart) {
    ChannelConfig theirs;
    for (const int channel : {0, 3, 6}) {
        theirs.Switches.Channels[channel].Latching = SwitchPgm;
    }
    document_.compareWith(theirs, "unitA");
    const auto press = [this](Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(&window(), Qt::Key_F8, modifiers);
        return window().selectedChannel();
    };
    // With no channel shown yet, forward starts at the first channel and
    // back at the last.
    ASSERT_EQ(window().selectedChannel(), -1);
    EXPECT_EQ(press(Qt::NoModifier), 0);
    window_ = std::make_unique<MainWindow>(document_);
    window_->show();
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    EXPECT_EQ(press(Qt::ShiftModifier), 6);

    const std::array<int, ChannelCount> next = {3, 3, 3, 6, 6, 6, 0, 0};
    const std::array<int, ChannelCount> previous = {6, 0, 0, 0, 3, 3, 3, 6};
    for (int start = 0; start < ChannelCount; ++start) {
        window().selectChannel(start);
        EXPECT_EQ(press(Qt::NoModifier), next[start]) << "F8 from " << start;
        window().selectChannel(start);
        EXPECT_EQ(press(Qt::ShiftModifier), previous[start]) << "Shift+F8 from " << start;
        EXPECT_EQ(QApplication::focusWidget(), box(SwitchField::Latching, SwitchPgm));
    }
}

TEST_F(MainWindowTest, EveryKindOfEditMarksTheWindowAsTheDocumentIs) {
    ChannelConfig theirs;
    theirs.Switches.Channels[0].Latching = SwitchTb1;
    theirs.Switches.Channels[3].Momentary = SwitchTb4;
    ChannelSettings copied;
    copied.Switches.AlwaysOn = SwitchTb2;
    struct Case {
        const char* what;
        std::function<void()> edit;
    };
    const std::vector<Case> cases = {
        {"a click", [&] { clickIndicator(box(SwitchField::Disabled, SwitchTb3)); }},
        {"a recall click", [&] { clickIndicator(window().recallBox(RecallField::MicGain)); }},
        {"a paste", [&] { window().actions().paste->trigger(); }},
        {"a paste to all", [&] { window().actions().pasteToAll->trigger(); }},
        {"a take of one value", [&] { window().takeValue(box(SwitchField::Latching, SwitchTb1)); }},
        {"a take of the channel", [&] { window().takeChannel(); }},
        {"a take of everything", [&] { window().takeEverything(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        load([](ChannelConfig& config) { config = {}; });
        document_.compareWith(theirs, "unitA");
        auto* data = new QMimeData;
        data->setText(QString::fromStdString(channelToText(2, copied)));
        QGuiApplication::clipboard()->setMimeData(data);
        window().selectChannel(0);
        ASSERT_FALSE(window().isWindowModified());

        c.edit();
        EXPECT_TRUE(document_.isModified());
        EXPECT_TRUE(window().isWindowModified());
        window().actions().revert->trigger();
        EXPECT_FALSE(document_.isModified());
        EXPECT_FALSE(window().isWindowModified()) << "after Revert to saved";
        window().actions().undo->trigger();
        EXPECT_TRUE(window().isWindowModified()) << "after undoing the revert";
    }
}

} // namespace
} // namespace mx
