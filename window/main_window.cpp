#include "main_window.h"

#include "channel_list.h"
#include "command_button.h"
#include "compact_style.h"
#include "design_geometry.h"
#include "difference_mark.h"
#include "difference_marks.h"
#include "plain_text.h"
#include "scaled_layout.h"
#include "standard_keys.h"
#include "window_actions.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyleFactory>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

namespace mx {

namespace {

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
constexpr int MemberHeight = 255;

constexpr int ShowListFocus = 39;
constexpr int OpenFocus = 101;
constexpr int SaveFocus = 102;
constexpr int SaveAsFocus = 103;
constexpr int RecallMicGainFocus = 105;
constexpr int RecallFaderFocus = 106;

} // namespace

MainWindow::MainWindow(ConfigDocument& document, QWidget* parent)
    : QWidget(parent), document_(document) {
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
    layout_ = std::make_unique<ScaledLayout>(*style_, *client_);

    buildSwitchGroups();
    buildRightColumn();
    for (QWidget* child : client_->findChildren<QWidget*>()) {
        child->setStyle(style_);
    }
    applyFocusOrder();
    actions_ = std::make_unique<WindowActions>(*this);
    // Above the content, which keeps its designed place within itself.
    frame->setMenuBar(actions_->menuBar());
    buildUnitName();
    connectActions();
    marks_ = std::make_unique<DifferenceMarks>(document_, members_, *recallMicGain_, *recallFader_,
                                               *showList_);
    layout_->finishPlacing(*showList_);
    connect(scrollArea_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &MainWindow::keepRightColumnInView);
    relayout();
    resizeToContent();
    member(SwitchField::Latching, SwitchPgm)->setFocus();

    connect(&document_, &ConfigDocument::replaced, this, [this] {
        ShowList_Click();
        showModified();
    });
    connect(&document_, &ConfigDocument::restored, this, &MainWindow::showRestored);
    // Names change seldom: shown once the event loop is idle after any change.
    connect(&document_, &ConfigDocument::changed, this, &MainWindow::showChannelNames);
    connect(&document_, &ConfigDocument::referenceChanged, this, [this] {
        marks_->referenceChanged(shownChannel_);
        showChannelNames();
    });
    QAccessible::installActivationObserver(this);
}

MainWindow::~MainWindow() {
    QAccessible::removeActivationObserver(this);
}

void MainWindow::place(QWidget* widget, const QRect& twips) {
    layout_->place(widget, twips);
}

double MainWindow::layoutScale() const {
    return layout_->scale();
}

void MainWindow::relayout() {
    layout_->relayout(fontMetrics());
    rightColumn_.clear();
    for (const char* frame : {"Frame16", "Frame2", "Frame17"}) {
        auto* box = client_->findChild<QGroupBox*>(frame, Qt::FindDirectChildrenOnly);
        rightColumn_.emplace_back(box, box->y());
    }
    rightColumnBottom_ = rightColumn_.back().first->geometry().bottom();
    keepRightColumnInView();
}

void MainWindow::keepRightColumnInView() {
    // Moved down as far as the content scrolls, but never off its end; with
    // no scrolling, every box stands where it is designed.
    const int offset = std::clamp(scrollArea_->verticalScrollBar()->value(), 0,
                                  std::max(0, client_->height() - 1 - rightColumnBottom_));
    for (const auto& [box, top] : rightColumn_) {
        box->move(box->x(), top + offset);
    }
}

void MainWindow::buildSwitchGroups() {
    for (std::size_t row = 0; row < SwitchGroups.size(); ++row) {
        const SwitchGroupSpec& spec = SwitchGroups[row];
        const QString caption = fieldCaption(spec.field);
        const SwitchMask editable = editableSwitches(spec.field);
        auto* frame = new SwitchGroup(caption, client_);
        frame->setObjectName(spec.frame);
        place(frame, twipsRect(GroupLeft, GroupTop + GroupPitch * static_cast<int>(row), GroupWidth,
                               GroupHeight));

        auto& boxes = members_[static_cast<std::size_t>(spec.field)];
        for (std::size_t i = 0; i < Members.size(); ++i) {
            const MemberSpec& m = Members[i];
            const QString memberCaption = switchCaption(m.index);
            auto* box = new SwitchBox(memberCaption, frame);
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
    buildShowFrame();
    buildFilesFrame();
    buildRecallFrame();
}

void MainWindow::buildShowFrame() {
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
    showList_->setDifferenceTip([this](int channel) { return marks_->channelTip(channel); });
    connect(showList_, &ChannelList::menuRequested, this,
            [this](const QPoint& position) { showEditMenu(position, showList_); });
    // selectionChanged comes after the selection has moved, unlike the
    // current-row signals, so the refresh reads the new channel.
    connect(showList_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::ShowList_Click);
}

void MainWindow::buildFilesFrame() {
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
}

void MainWindow::buildRecallFrame() {
    auto* recallFrame = new SwitchGroup(RecallCaption, client_);
    recallFrame->setObjectName("Frame17");
    place(recallFrame, twipsRect(5880, 4080, 1215, 975));
    recallMicGain_ = new SwitchBox(recallCaption(RecallField::MicGain), recallFrame);
    recallMicGain_->setObjectName("RecallMicGain");
    place(recallMicGain_, twipsRect(120, 240, 975, 195));
    recallMicGain_->setToolTip(RecallMicGainToolTip);
    recallMicGain_->setAccessibleName("Recall mic gain");
    recallMicGain_->setAccessibleDescription(RecallMicGainToolTip);
    recallFader_ = new SwitchBox(recallCaption(RecallField::Fader), recallFrame);
    recallFader_->setObjectName("RecallFader");
    place(recallFader_, twipsRect(120, 600, 975, 195));
    recallFader_->setAccessibleName("Recall fader");
    recallFader_->setAccessibleDescription("Recall the fader at startup");
    connect(recallMicGain_, &QCheckBox::toggled, this, &MainWindow::RecallMicGain_Click);
    connect(recallFader_, &QCheckBox::toggled, this, &MainWindow::RecallFader_Click);
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
    for (const auto& [number, widget] : order) {
        focusOrder_.push_back(widget);
    }
}

int MainWindow::selectedChannel() const {
    // The current row is the selected one but for a moment in which the
    // selection is being moved; asked first, it spares every refresh a list
    // of the selection.
    const QItemSelectionModel* selection = showList_->selectionModel();
    const int current = showList_->currentRow();
    if (current >= 0 && selection->isRowSelected(current)) {
        return current;
    }
    const QModelIndexList selected = selection->selectedIndexes();
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
    const ChannelConfig& config = document_.config();
    const ChannelSwitches& record = config.Switches.Channels[static_cast<std::size_t>(channel)];
    for (std::size_t position = 0; position < AllSwitches.size(); ++position) {
        const SwitchMask s = AllSwitches[position];
        for (const SwitchField field : AllSwitchFields) {
            showState(members_[static_cast<std::size_t>(field)][position],
                      (fieldOf(record, field) & s) != 0);
        }
    }
    showState(recallMicGain_, testRecall(config.Recall, channel, RecallField::MicGain).value());
    showState(recallFader_, testRecall(config.Recall, channel, RecallField::Fader).value());
    marks_->show(shownChannel_);
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
    if (document_.setSwitch(shownChannel_, group, index, box->isChecked())) {
        showModified();
        marks_->show(shownChannel_);
    }
}

void MainWindow::RecallMicGain_Click() {
    Recall_Click(RecallField::MicGain);
}

void MainWindow::RecallFader_Click() {
    Recall_Click(RecallField::Fader);
}

void MainWindow::Recall_Click(RecallField field) {
    if (document_.setRecall(shownChannel_, field, recallBox(field)->isChecked())) {
        showModified();
        marks_->show(shownChannel_);
    }
}

// Which unit is open, where the caption cannot say it: its name, at the menu
// bar's right end.
void MainWindow::buildUnitName() {
    unitName_ = new QLabel(actions_->menuBar());
    unitName_->setTextFormat(Qt::PlainText);
    unitName_->setContentsMargins(0, 0, fontMetrics().averageCharWidth(), 0);
    actions_->menuBar()->setCornerWidget(unitName_, Qt::TopRightCorner);
}

void MainWindow::setUnitFolder(const QString& folder) {
    unitFolder_ = folder;
    showUnitName();
}

// At most a third of the window's width, so that the menus never wrap.
void MainWindow::showUnitName() {
    const QString name = QString::fromStdString(document_.names().unit);
    const int room = std::max(client_->width() / 3, fontMetrics().averageCharWidth() * 8);
    unitName_->setText(unitName_->fontMetrics().elidedText(name, Qt::ElideMiddle, room));
    unitName_->setToolTip(name.isEmpty() ? QString() : asPlainText(name + "\n" + unitFolder_));
    unitName_->setAccessibleName(name.isEmpty() ? QString() : "Unit " + name);
}

void MainWindow::showChannelNames() {
    showUnitName();
    const Reference* reference = document_.reference();
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const auto index = static_cast<std::size_t>(channel);
        QString name = QString::fromStdString(document_.names().channels[index]);
        // A comparison shows a name that differs, though it is no difference
        // of the unit's own.
        if (reference != nullptr &&
            reference->names.channels[index] != document_.names().channels[index]) {
            const std::string& theirs = reference->names.channels[index];
            name += QString(name.isEmpty() ? "" : "\n") +
                    (theirs.empty() ? QString("Unnamed in %1").arg(reference->name)
                                    : QString("\"%1\" in %2")
                                          .arg(QString::fromStdString(theirs), reference->name));
        }
        showList_->setChannelName(channel, name);
    }
}

void MainWindow::showModified() {
    // Setting the flag retitles the window even when it does not change.
    const bool modified = document_.isModified();
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

void MainWindow::resizeToContent() {
    // The content and the menu bar above it.
    const int menuHeight = actions_->menuBar()->heightForWidth(client_->width());
    QSize size = client_->size() + QSize(0, std::max(menuHeight, 0));
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

} // namespace mx
