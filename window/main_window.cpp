#include "main_window.h"

#include "channel_clipboard.h"
#include "channel_list.h"
#include "command_button.h"
#include "compact_style.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace mx {

namespace {

// Geometry is designed in twips, 15 to a pixel at 96 dots per inch and the
// design font; Qt scales these device-independent pixels on high-density
// screens, and the layout scale multiplies them for larger fonts.
constexpr int TwipsPerPixel = 15;

QRect twipsRect(int left, int top, int width, int height) {
    return {left, top, width, height};
}

// Edges are scaled and rounded, rather than sizes, so that controls that
// meet at the design font still meet at any scale. At scale 1 every rectangle
// is exactly the design's.
QRect scaledRect(const QRect& twips, double scale) {
    const auto edge = [scale](int t) {
        return static_cast<int>(std::lround(t * scale / TwipsPerPixel));
    };
    const int left = edge(twips.x());
    const int top = edge(twips.y());
    return {left, top, edge(twips.x() + twips.width()) - left,
            edge(twips.y() + twips.height()) - top};
}

constexpr int ClientWidth = 7200;
constexpr int ClientHeight = 8655;

// The layout scale is sought in these steps, up to the largest.
constexpr double ScaleStep = 1.0 / 32;
constexpr double LargestScale = 4.0;

struct SwitchGroupSpec {
    const char* frame;
    SwitchField field;
    // Focus numbers of "PGM", "TB 1", "TB 2", "TB 3", "TB 4", "PH PWR".
    std::array<int, 6> focus;
};

// In record order, top to bottom. Captions, names and which members are
// greyed come from the model.
constexpr std::array<SwitchGroupSpec, SwitchFieldCount> SwitchGroups = {{
    {"Frame4", SwitchField::Disabled, {15, 16, 17, 18, 19, 20}},
    {"Frame1", SwitchField::Latching, {1, 2, 3, 4, 5, 7}},
    {"Frame3", SwitchField::Momentary, {8, 9, 10, 11, 12, 13}},
    {"Frame5", SwitchField::AlwaysOn, {27, 22, 23, 24, 25, 26}},
    {"Frame11", SwitchField::PgmSuppresses, {40, 45, 44, 43, 42, 41}},
    {"Frame12", SwitchField::Tb1Suppresses, {46, 47, 48, 49, 50, 51}},
    {"Frame13", SwitchField::Tb2Suppresses, {87, 86, 85, 84, 83, 82}},
    {"Frame14", SwitchField::Tb3Suppresses, {88, 89, 90, 91, 92, 93}},
    {"Frame15", SwitchField::Tb4Suppresses, {94, 95, 96, 97, 98, 99}},
    {"Frame6", SwitchField::PgmDelatches, {57, 52, 53, 54, 55, 56}},
    {"Frame7", SwitchField::Tb1Delatches, {58, 63, 62, 61, 60, 59}},
    {"Frame8", SwitchField::Tb2Delatches, {69, 64, 65, 66, 67, 68}},
    {"Frame9", SwitchField::Tb3Delatches, {70, 75, 74, 73, 72, 71}},
    {"Frame10", SwitchField::Tb4Delatches, {81, 76, 77, 78, 79, 80}},
}};

struct MemberSpec {
    SwitchMask index;
    int left;
    int width;
};

// The same six members, in one row, in every group.
constexpr std::array<MemberSpec, 6> Members = {{
    {SwitchPgm, 360, 735},
    {SwitchTb1, 1200, 735},
    {SwitchTb2, 2040, 735},
    {SwitchTb3, 2880, 735},
    {SwitchTb4, 3720, 735},
    {SwitchPhPwr, 4560, 975},
}};

constexpr int GroupLeft = 120;
constexpr int GroupTop = 120;
constexpr int GroupPitch = 600;
constexpr int GroupWidth = 5655;
constexpr int GroupHeight = 615;
constexpr int MemberTop = 240;
constexpr int MemberHeight = 255;

constexpr int ShowListFocus = 39;
constexpr int OpenFocus = 101;
constexpr int SaveFocus = 102;
constexpr int SaveAsFocus = 103;
constexpr int RecallMicGainFocus = 105;
constexpr int RecallFaderFocus = 106;

// The platform's keys for a command, plus the one users expect everywhere
// where the platform lacks it: some desktops bind no key to Save As, and Redo
// is Ctrl+Y on some and Ctrl+Shift+Z on others.
QList<QKeySequence> standardShortcuts(QKeySequence::StandardKey key) {
    QList<QKeySequence> sequences = QKeySequence::keyBindings(key);
    QKeySequence expected;
    if (key == QKeySequence::SaveAs) {
        expected = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    } else if (key == QKeySequence::Redo) {
        expected = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    }
    if (!expected.isEmpty() && !sequences.contains(expected)) {
        sequences.append(expected);
    }
    return sequences;
}

QString channelName(int channel) {
    return QString("channel %1").arg(channel + 1);
}

} // namespace

// One edit in the history: the whole model before and after it, and the
// channel it was made on. The model is 114 bytes, so keeping it whole is
// simpler than undoing bit by bit and costs nothing worth counting. Its
// description is only worked out when a menu shows it, not on every click.
class MainWindow::Step : public QUndoCommand {
public:
    Step(MainWindow& window, const ChannelConfig& before, int channel, const QCheckBox* clicked,
         bool allChannels)
        : window_(window), before_(before), after_(window.config_), channel_(channel),
          clicked_(clicked), allChannels_(allChannels) {}

    // e.g. "Latching: TB 2 (channel 3)", "paste to all channels"
    QString describe() const {
        if (clicked_ != nullptr) {
            return clicked_->accessibleName() + " (" + channelName(channel_) + ")";
        }
        return "paste to " + (allChannels_ ? QString("all channels") : channelName(channel_));
    }

    void undo() override { window_.restore(before_, channel_); }
    void redo() override {
        // Pushed after the edit was made: the first redo has nothing to do.
        if (std::exchange(made_, false)) {
            return;
        }
        window_.restore(after_, channel_);
    }

private:
    MainWindow& window_;
    const ChannelConfig before_;
    const ChannelConfig after_;
    const int channel_;
    // The box whose click this was, or none for a paste.
    const QCheckBox* const clicked_;
    const bool allChannels_;
    bool made_ = true;
};

namespace {} // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("Form1");
    setWindowTitle(Caption);
    setWindowIcon(QIcon(":/icons/mx_config.png"));

    style_ = new CompactStyle(QStyleFactory::create(QApplication::style()->name()));
    style_->setParent(this);

    // The controls stand on a client area inside a scroll area with no frame
    // and no margins: when the window is smaller than its content, as on a
    // small screen or with a large font, the content scrolls; otherwise no
    // scroll bar shows and every control is exactly where it is designed.
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    scrollArea_ = new QScrollArea(this);
    scrollArea_->setObjectName("ClientScrollArea");
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setFocusPolicy(Qt::NoFocus);
    scrollArea_->setWidgetResizable(false);
    scrollArea_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    frame->addWidget(scrollArea_);
    client_ = new QWidget;
    client_->setObjectName("Client");
    scrollArea_->setWidget(client_);

    buildSwitchGroups();
    buildRightColumn();
    for (QWidget* child : client_->findChildren<QWidget*>()) {
        child->setStyle(style_);
    }
    applyFocusOrder();
    buildEditActions();
    chooseFitChecks();
    relayout();
    resizeToContent();
    member(SwitchField::Latching, SwitchPgm)->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildSwitchGroups() {
    for (std::size_t row = 0; row < SwitchGroups.size(); ++row) {
        const SwitchGroupSpec& spec = SwitchGroups[row];
        const QString caption = fieldCaption(spec.field);
        const SwitchMask editable = editableSwitches(spec.field);
        auto* frame = new QGroupBox(caption, client_);
        frame->setObjectName(spec.frame);
        place(frame, twipsRect(GroupLeft, GroupTop + GroupPitch * static_cast<int>(row), GroupWidth,
                               GroupHeight));

        auto& boxes = members_[static_cast<std::size_t>(spec.field)];
        for (std::size_t i = 0; i < Members.size(); ++i) {
            const MemberSpec& m = Members[i];
            const QString memberCaption = switchCaption(m.index);
            auto* box = new QCheckBox(memberCaption, frame);
            box->setObjectName(fieldName(spec.field));
            place(box, twipsRect(m.left, MemberTop, m.width, MemberHeight));
            box->setEnabled((editable & m.index) != 0);
            // Fourteen groups share the six captions; a screen reader needs the
            // group to tell "PGM" from "PGM".
            box->setAccessibleName(QString("%1: %2").arg(caption, memberCaption));
            if (!box->isEnabled()) {
                box->setAccessibleDescription("Shown as loaded from the file; not changed here");
            }
            boxes[i] = box;
            // toggled, not clicked: an assistive technology's toggle action
            // raises only toggled, and its change must reach the model too.
            const SwitchField field = spec.field;
            const SwitchMask index = m.index;
            connect(box, &QCheckBox::toggled, this,
                    [this, field, index] { Group_Click(field, index); });
        }
    }
}

void MainWindow::buildRightColumn() {
    auto* showFrame = new QGroupBox("Show", client_);
    showFrame->setObjectName("Frame16");
    place(showFrame, twipsRect(5880, 120, 1215, 2055));

    showList_ = new ChannelList(showFrame);
    showList_->setObjectName("ShowList");
    place(showList_, twipsRect(120, 240, 975, 1620));
    showList_->setSelectionMode(QAbstractItemView::SingleSelection);
    showList_->setSortingEnabled(false);
    showList_->setUniformItemSizes(true);
    showList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    showList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    showList_->setAccessibleName("Channel");
    showList_->setAccessibleDescription("The channel whose switches are shown and edited");
    for (int channel = 1; channel <= ChannelCount; ++channel) {
        showList_->addItem(QString("Channel %1").arg(channel));
    }
    connect(showList_, &ChannelList::menuRequested, this, &MainWindow::showChannelMenu);
    // selectionChanged comes after the selection has moved, unlike the
    // current-row signals, so the refresh reads the new channel.
    connect(showList_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::ShowList_Click);

    auto* filesFrame = new QGroupBox("Files", client_);
    filesFrame->setObjectName("Frame2");
    place(filesFrame, twipsRect(5880, 2280, 1215, 1695));
    const auto makeButton = [this, filesFrame](const char* name, const char* caption, int top,
                                               QKeySequence::StandardKey key,
                                               const char* description) {
        auto* button = new CommandButton(caption, filesFrame);
        button->setObjectName(name);
        place(button, twipsRect(120, top, 975, 375));
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setAccessibleDescription(description);
        // The desktop's standard shortcuts press the very same button.
        for (const QKeySequence& sequence : standardShortcuts(key)) {
            auto* shortcut = new QShortcut(sequence, this);
            connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
        }
        return button;
    };
    openCommand_ = makeButton("OpenCommand", "Open", 240, QKeySequence::Open,
                              "Load the configuration from another folder");
    saveCommand_ = makeButton("SaveCommand", "Save", 720, QKeySequence::Save,
                              "Write both files into the current folder");
    saveAsCommand_ = makeButton("SaveAsCommand", "Save As", 1200, QKeySequence::SaveAs,
                                "Write both files into another folder");
    connect(openCommand_, &QPushButton::clicked, this, &MainWindow::openClicked);
    connect(saveCommand_, &QPushButton::clicked, this, &MainWindow::saveClicked);
    connect(saveAsCommand_, &QPushButton::clicked, this, &MainWindow::saveAsClicked);

    auto* recallFrame = new QGroupBox("Recall", client_);
    recallFrame->setObjectName("Frame17");
    place(recallFrame, twipsRect(5880, 4080, 1215, 975));
    recallMicGain_ = new QCheckBox("Mic gain", recallFrame);
    recallMicGain_->setObjectName("RecallMicGain");
    place(recallMicGain_, twipsRect(120, 240, 975, 195));
    recallMicGain_->setToolTip(RecallMicGainToolTip);
    recallMicGain_->setAccessibleName("Recall mic gain");
    recallMicGain_->setAccessibleDescription(RecallMicGainToolTip);
    recallFader_ = new QCheckBox("Fader", recallFrame);
    recallFader_->setObjectName("RecallFader");
    place(recallFader_, twipsRect(120, 600, 975, 195));
    recallFader_->setAccessibleName("Recall fader");
    recallFader_->setAccessibleDescription("Recall the fader at startup");
    connect(recallMicGain_, &QCheckBox::toggled, this, &MainWindow::RecallMicGain_Click);
    connect(recallFader_, &QCheckBox::toggled, this, &MainWindow::RecallFader_Click);
}

void MainWindow::buildEditActions() {
    undoStack_ = new QUndoStack(this);
    const auto makeAction = [this](const char* name, QKeySequence::StandardKey key,
                                   const QList<QKeySequence>& extra, const char* description,
                                   void (MainWindow::*slot)()) {
        auto* action = new QAction(this);
        action->setObjectName(name);
        action->setShortcuts(standardShortcuts(key) + extra);
        action->setStatusTip(description);
        action->setWhatsThis(description);
        if (slot != nullptr) {
            connect(action, &QAction::triggered, this, slot);
        }
        // Added to the window, so the keys work wherever the focus is in it.
        addAction(action);
        return action;
    };
    copyAction_ =
        makeAction("CopyChannel", QKeySequence::Copy, {},
                   "Copy the shown channel's switches and recall flags", &MainWindow::copyChannel);
    pasteAction_ =
        makeAction("PasteToChannel", QKeySequence::Paste, {},
                   "Give the shown channel the copied channel's switches and recall flags",
                   &MainWindow::pasteToShownChannel);
    pasteToAllAction_ =
        makeAction("PasteToAllChannels", QKeySequence::UnknownKey,
                   {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)},
                   "Give every channel the copied channel's switches and recall flags",
                   &MainWindow::pasteToAllChannels);
    pasteToAllAction_->setText("Paste to all channels");
    undoAction_ = makeAction("Undo", QKeySequence::Undo, {}, "Undo the last edit", nullptr);
    redoAction_ = makeAction("Redo", QKeySequence::Redo, {}, "Redo the edit undone last", nullptr);
    // Undo and Redo with nothing to do do nothing, so their keys stay
    // enabled; the menu greys them when it opens. Following the stack's
    // signals instead would cost every click a good part of its time.
    connect(undoAction_, &QAction::triggered, undoStack_, &QUndoStack::undo);
    connect(redoAction_, &QAction::triggered, undoStack_, &QUndoStack::redo);

    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &MainWindow::updatePasteActions);
    updatePasteActions();

    channelMenu_ = new QMenu(this);
    channelMenu_->setObjectName("ChannelMenu");
    channelMenu_->addAction(copyAction_);
    channelMenu_->addAction(pasteAction_);
    channelMenu_->addAction(pasteToAllAction_);
    channelMenu_->addSeparator();
    channelMenu_->addAction(undoAction_);
    channelMenu_->addAction(redoAction_);
    connect(channelMenu_, &QMenu::aboutToHide, this, [this] {
        for (QAction* action : {copyAction_, undoAction_, redoAction_}) {
            action->setEnabled(true);
        }
    });
}

void MainWindow::place(QWidget* widget, const QRect& twips) {
    placements_.push_back({widget, twips});
}

bool MainWindow::fitsAt(double scale) const {
    style_->setScale(scale);
    const QFontMetrics metrics = fontMetrics();
    const int inkHeight = static_cast<int>(std::ceil(metrics.capHeight())) + metrics.descent();
    // Group titles stand above the first row, which is this far down.
    const int firstRowTop = scaledRect(twipsRect(0, MemberTop, 0, 0), scale).top();
    for (const auto& [widget, twips] : fitChecks_) {
        const QRect rect = scaledRect(twips, scale);
        if (const auto* box = qobject_cast<const QCheckBox*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(box);
            option.rect = QRect(QPoint(), rect.size());
            option.fontMetrics = metrics;
            option.text = box->text();
            const QRect indicator =
                style_->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
            const QRect label = style_->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
            if (!option.rect.contains(indicator) || inkHeight > rect.height() ||
                metrics.horizontalAdvance(box->text()) > label.width()) {
                return false;
            }
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            QStyleOptionGroupBox option;
            option.initFrom(group);
            option.rect = QRect(QPoint(), rect.size());
            option.fontMetrics = metrics;
            option.text = group->title();
            const QRect title =
                style_->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel);
            if (title.width() < metrics.horizontalAdvance(group->title()) ||
                metrics.height() > firstRowTop) {
                return false;
            }
        } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
            const int margin = style_->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
            if (metrics.horizontalAdvance(button->text()) > rect.width() - 2 * margin ||
                metrics.height() > rect.height() - margin) {
                return false;
            }
        } else if (widget == showList_) {
            if (!showList_->captionsFit(rect.size(), listRowHeight(rect.height()))) {
                return false;
            }
        }
    }
    return true;
}

int MainWindow::listRowHeight(int listHeight) const {
    return (listHeight - 2 * showList_->frameWidth()) / ChannelCount;
}

void MainWindow::chooseFitChecks() {
    // Fourteen groups hold the same six boxes: each caption at each size is
    // checked once. The controls likeliest not to fit come first, so that a
    // scale too small is found out early.
    std::vector<Placement> checks;
    for (const Placement& placement : placements_) {
        const auto* box = qobject_cast<const QCheckBox*>(placement.widget);
        const bool seen =
            box != nullptr && std::any_of(checks.begin(), checks.end(), [&](const Placement& p) {
                const auto* other = qobject_cast<const QCheckBox*>(p.widget);
                return other != nullptr && other->text() == box->text() &&
                       p.twips.size() == placement.twips.size();
            });
        if (!seen) {
            checks.push_back(placement);
        }
    }
    const auto rank = [this](const QWidget* widget) {
        if (widget == showList_ || qobject_cast<const QPushButton*>(widget) != nullptr) {
            return 0;
        }
        return qobject_cast<const QCheckBox*>(widget) != nullptr ? 1 : 2;
    };
    std::stable_sort(checks.begin(), checks.end(), [&](const Placement& a, const Placement& b) {
        return rank(a.widget) < rank(b.widget);
    });
    fitChecks_ = std::move(checks);
}

void MainWindow::relayout() {
    // The smallest scale, from 1 up, at which every caption fits whole.
    double scale = 1.0;
    while (scale < LargestScale && !fitsAt(scale)) {
        scale += ScaleStep;
    }
    scale_ = scale;
    style_->setScale(scale);
    for (const auto& [widget, twips] : placements_) {
        widget->setGeometry(scaledRect(twips, scale));
    }
    showList_->setRowHeight(listRowHeight(showList_->height()));
    client_->resize(scaledRect(twipsRect(0, 0, ClientWidth, ClientHeight), scale).size());
}

void MainWindow::resizeToContent() {
    QSize size = client_->size();
    if (const QScreen* screen = this->screen()) {
        // Leave room for the title bar and borders that the window system adds.
        const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 4;
        const int titleBar =
            std::max(style()->pixelMetric(QStyle::PM_TitleBarHeight), fontMetrics().height() + 8);
        const QSize room =
            screen->availableGeometry().size() - QSize(2 * border, titleBar + 2 * border);
        // A window cut short gains a scroll bar; widen it by the bar where
        // there is room, so the content need not scroll both ways. One pixel
        // more, since a fractional screen scale may round the window down.
        if (size.height() > room.height()) {
            size.rwidth() += scrollArea_->verticalScrollBar()->sizeHint().width() + 1;
        }
        if (size.width() > room.width()) {
            size.rheight() += scrollArea_->horizontalScrollBar()->sizeHint().height() + 1;
        }
        size = size.boundedTo(room);
    }
    resize(size);
}

void MainWindow::applyFocusOrder() {
    std::vector<std::pair<int, QWidget*>> order;
    for (const SwitchGroupSpec& spec : SwitchGroups) {
        for (std::size_t i = 0; i < Members.size(); ++i) {
            order.emplace_back(spec.focus[i], member(spec.field, Members[i].index));
        }
    }
    order.emplace_back(ShowListFocus, showList_);
    order.emplace_back(OpenFocus, openCommand_);
    order.emplace_back(SaveFocus, saveCommand_);
    order.emplace_back(SaveAsFocus, saveAsCommand_);
    order.emplace_back(RecallMicGainFocus, recallMicGain_);
    order.emplace_back(RecallFaderFocus, recallFader_);
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1].second, order[i].second);
    }
}

int MainWindow::selectedChannel() const {
    const QModelIndexList selected = showList_->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void MainWindow::selectChannel(int channel) {
    if (isChannel(channel)) {
        showList_->setCurrentRow(channel, QItemSelectionModel::ClearAndSelect);
    }
}

QCheckBox* MainWindow::member(SwitchField group, SwitchMask index) const {
    const auto& boxes = members_[static_cast<std::size_t>(group)];
    for (std::size_t i = 0; i < AllSwitches.size(); ++i) {
        if (AllSwitches[i] == index) {
            return boxes[i];
        }
    }
    return nullptr;
}

QCheckBox* MainWindow::recallBox(RecallField field) const {
    return field == RecallField::MicGain ? recallMicGain_ : recallFader_;
}

void MainWindow::ShowList_Click() {
    const int channel = selectedChannel();
    shownChannel_ = channel;
    if (!isChannel(channel)) {
        return;
    }
    const ChannelSwitches& record = config_.Switches.Channels[static_cast<std::size_t>(channel)];
    for (std::size_t position = 0; position < AllSwitches.size(); ++position) {
        const SwitchMask s = AllSwitches[position];
        for (const SwitchField field : AllSwitchFields) {
            showState(members_[static_cast<std::size_t>(field)][position],
                      (fieldOf(record, field) & s) != 0);
        }
    }
    showState(recallMicGain_, testRecall(config_.Recall, channel, RecallField::MicGain).value());
    showState(recallFader_, testRecall(config_.Recall, channel, RecallField::Fader).value());
}

void MainWindow::showChannelMenu(const QPoint& globalPosition) {
    const bool shown = isChannel(shownChannel_);
    copyAction_->setText("Copy " + (shown ? channelName(shownChannel_) : QString("channel")));
    copyAction_->setEnabled(shown);
    pasteAction_->setText("Paste to " + (shown ? channelName(shownChannel_) : QString("channel")));
    updatePasteActions();
    const auto stepText = [this](int index) {
        const auto* step = dynamic_cast<const Step*>(undoStack_->command(index));
        return step != nullptr ? " " + step->describe() : QString();
    };
    undoAction_->setText("Undo" + stepText(undoStack_->index() - 1));
    undoAction_->setEnabled(undoStack_->canUndo());
    redoAction_->setText("Redo" + stepText(undoStack_->index()));
    redoAction_->setEnabled(undoStack_->canRedo());
    channelMenu_->popup(globalPosition);
}

void MainWindow::updatePasteActions() {
    const bool available =
        channelFromMimeData(QGuiApplication::clipboard()->mimeData()).has_value();
    pasteAction_->setEnabled(available);
    pasteToAllAction_->setEnabled(available);
}

void MainWindow::copyChannel() {
    if (const auto settings = channelSettings(config_, shownChannel_)) {
        QGuiApplication::clipboard()->setMimeData(channelMimeData(shownChannel_, *settings));
    }
}

void MainWindow::pasteToShownChannel() {
    const auto source = channelFromMimeData(QGuiApplication::clipboard()->mimeData());
    const ChannelConfig before = config_;
    if (!source || !pasteChannel(config_, shownChannel_, *source)) {
        return;
    }
    recordStep(before, nullptr, false);
    ShowList_Click();
}

void MainWindow::pasteToAllChannels() {
    const auto source = channelFromMimeData(QGuiApplication::clipboard()->mimeData());
    if (!source) {
        return;
    }
    const ChannelConfig before = config_;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        pasteChannel(config_, channel, *source);
    }
    recordStep(before, nullptr, true);
    ShowList_Click();
}

void MainWindow::recordStep(const ChannelConfig& before, const QCheckBox* clicked,
                            bool allChannels) {
    // An edit that changed no byte is no step: undoing it would do nothing.
    if (config_ != before) {
        undoStack_->push(new Step(*this, before, shownChannel_, clicked, allChannels));
    }
    showModified();
}

void MainWindow::restore(const ChannelConfig& config, int channel) {
    config_ = config;
    if (selectedChannel() != channel) {
        selectChannel(channel);
    } else {
        ShowList_Click();
    }
    showModified();
}

void MainWindow::startNewHistory() {
    undoStack_->clear();
    markSaved();
}

void MainWindow::showState(QCheckBox* box, bool checked) {
    // A refresh copies the model out; the box's toggled signal would report it
    // as an edit, so it is held back while the state is set.
    const QSignalBlocker quiet(box);
    box->setChecked(checked);
}

void MainWindow::Group_Click(SwitchField group, SwitchMask index) {
    const QCheckBox* box = member(group, index);
    if (box == nullptr) {
        return;
    }
    // No channel selected: the box keeps its state and the model is left as it is.
    const ChannelConfig before = config_;
    if (setSwitch(config_.Switches, shownChannel_, group, index, box->isChecked())) {
        recordStep(before, box, false);
    }
}

void MainWindow::RecallMicGain_Click() {
    Recall_Click(RecallField::MicGain);
}

void MainWindow::RecallFader_Click() {
    Recall_Click(RecallField::Fader);
}

void MainWindow::Recall_Click(RecallField field) {
    const QCheckBox* box = recallBox(field);
    const ChannelConfig before = config_;
    if (setRecall(config_.Recall, shownChannel_, field, box->isChecked())) {
        recordStep(before, box, false);
    }
}

void MainWindow::markSaved() {
    savedConfig_ = config_;
    showModified();
}

void MainWindow::showModified() {
    // Setting the flag retitles the window even when it does not change.
    const bool modified = isModified();
    if (modified == isWindowModified()) {
        return;
    }
    // The designed caption has no place for the mark until a folder is shown.
    if (titleHasModifiedMark_) {
        setWindowModified(modified);
    } else {
        setAttribute(Qt::WA_WindowModified, modified);
    }
}

void MainWindow::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::WindowTitleChange:
        titleHasModifiedMark_ = windowTitle().contains(QLatin1StringView("[*]"));
        break;
    case QEvent::FontChange:
    case QEvent::StyleChange:
        // The desktop's font changed, or the style: what fits changes too.
        if (client_ != nullptr) {
            relayout();
            resizeToContent();
        }
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeGuard_ && !closeGuard_()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace mx
