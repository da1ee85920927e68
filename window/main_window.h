#pragma once

// The editor's one window: fourteen groups of six switch check boxes on the
// left, the channel list, the file buttons and the two recall boxes on the
// right. It shows one channel of a ConfigDocument and turns clicks into the
// document's edits; it knows nothing of folders, files or dialogs.

#include "channel_clipboard.h"
#include "channel_config.h"
#include "config_document.h"
#include "window_actions.h"

#include <QAccessible>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollArea;

namespace mx {

class ChannelList;
class CompactStyle;
class DifferenceMarks;
class ScaledLayout;
class SwitchBox;

class MainWindow : public QWidget, private QAccessible::ActivationObserver {
    Q_OBJECT
public:
    static constexpr const char* Caption = "TVK vMX Config     File path:  ";
    static constexpr const char* RecallMicGainToolTip = "Recall mic gains and ph pwr at startup";

    explicit MainWindow(ConfigDocument& document, QWidget* parent = nullptr);
    ~MainWindow() override;

    ConfigDocument& document() const { return document_; }

    // The selected channel index, or -1 while nothing is selected.
    int selectedChannel() const;
    // Selects the channel; each change of selection refreshes the check boxes.
    void selectChannel(int channel);

    // The factor, 1 at the design font, by which every designed rectangle is
    // multiplied so that every caption fits whole at the font in use.
    double layoutScale() const;
    // The area that holds the controls, inside a scroll area.
    QWidget* client() const { return client_; }
    QScrollArea* scrollArea() const { return scrollArea_; }

    QCheckBox* member(SwitchField group, SwitchMask index) const;
    QCheckBox* recallBox(RecallField field) const;
    ChannelList* channelList() const { return showList_; }

    // The window's commands, with their keys, as the window's menu offers
    // them. Compare with… asks the application for a reference through
    // compareRequested; Print… and Export sheet as PDF… ask through
    // printRequested and exportSheetRequested.
    const WindowActions& actions() const { return *actions_; }

    // Comparing with another configuration, the document's reference:
    // whether a box or a channel is marked as differing from it.
    bool isMarked(const QCheckBox* box) const;
    bool isChannelMarked(int channel) const;
    // The reference's value for one box of the shown channel, the whole
    // shown channel, or every channel: one undo step each.
    void takeValue(const QCheckBox* box);
    void takeChannel();
    void takeEverything();
    // Selects the next (or previous) channel that differs from the reference
    // and puts the focus on its first differing box.
    void goToDifference(int step);

    // Where pastes read the clipboard from; the application's own clipboard
    // until another source is set. The source must outlive the window.
    void setClipboardSource(ClipboardSource& source);

    // Copies the shown channel to the clipboard.
    void copyChannel();
    // Gives the shown channel, or every channel, the clipboard's channel in
    // the bits a click could change; a whole configuration's text gives each
    // channel its own. One undo step each; when there is nothing to paste,
    // pasteRefused says why.
    void pasteToShownChannel();
    void pasteToAllChannels();
    // Puts back the configuration as last loaded or saved, as one step.
    void revertToSaved();

    // The recent units File → Recent units offers: each by its name, with
    // its folder as the tip; choosing one emits recentUnitChosen.
    struct RecentUnit {
        QString name;
        QString folder;
    };
    void setRecentUnits(const std::vector<RecentUnit>& units);
    // Gives the unit and its channels these names, as one edit, and shows it.
    void rename(const UnitNames& names);
    // The folder of the unit shown, the tip of the unit's name at the right
    // end of the menu bar.
    void setUnitFolder(const QString& folder);
    // The unit's name as the menu bar shows it; empty when it has none.
    QLabel* unitNameLabel() const { return unitName_; }

    // Asked when the window is about to close; returning false keeps it open.
    void setCloseGuard(std::function<bool()> guard) { closeGuard_ = std::move(guard); }

    // Copies the selected channel's record and recall flags into the boxes.
    void ShowList_Click();
    // A member of a switch group was toggled: sets or clears bit index of the
    // group's byte of the selected channel. Serves all fourteen groups.
    void Group_Click(SwitchField group, SwitchMask index);
    void RecallMicGain_Click();
    void RecallFader_Click();

signals:
    void openClicked();
    void saveClicked();
    void saveAsClicked();
    void compareRequested();
    void printRequested();
    void exportSheetRequested();
    void recentUnitChosen(const QString& folder);
    void keysHelpRequested();
    void namesRequested();
    void aboutRequested();
    // A paste found nothing it could paste; the reason is for the user.
    void pasteRefused(const QString& reason);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildSwitchGroups();
    void buildRightColumn();
    void buildShowFrame();
    void buildFilesFrame();
    void buildRecallFrame();
    // What each of the window's commands does.
    void connectActions();
    void applyFocusOrder();
    void place(QWidget* widget, const QRect& twips);
    // Finds the scale for the font in use and places every control by it.
    void relayout();
    // Sizes the window to its content, but never larger than the screen.
    void resizeToContent();
    // While the content scrolls, the right column (the channel list, the
    // file buttons and the recall boxes) moves with it, so it stays in view.
    void keepRightColumnInView();
    void Recall_Click(RecallField field);
    static void showState(QCheckBox* box, bool checked);
    // Marks the caption while the document is modified.
    void showModified();
    // Each channel's name in its tip, and the name it has in what it is
    // compared with, when that differs.
    void showChannelNames();
    void buildUnitName();
    void showUnitName();
    // Shows the shown channel anew after an edit that may have changed any
    // channel (a paste, a revert, a take), when it changed something.
    void showEdit(bool edited);
    // Shows a configuration that undo or redo put back.
    void showRestored(int channel, ChannelSet changed);
    // Opens the edit menu; `target` is the control it was opened on.
    void showEditMenu(const QPoint& globalPosition, QWidget* target);
    // Readies the commands for a menu opened on target.
    void prepareActions(QWidget* target);
    SwitchBox* switchBox(const QCheckBox* box) const;
    // A screen reader started: it learns how each box differs.
    void accessibilityActiveChanged(bool active) override;

    ConfigDocument& document_;
    CompactStyle* style_ = nullptr;
    QScrollArea* scrollArea_ = nullptr;
    QWidget* client_ = nullptr;
    std::unique_ptr<ScaledLayout> layout_;
    // Members by group and switch position. Deliberately no QButtonGroup: Qt
    // treats a button group as one Tab stop, and every member has its own.
    std::array<std::array<SwitchBox*, AllSwitches.size()>, SwitchFieldCount> members_{};
    ChannelList* showList_ = nullptr;
    QPushButton* openCommand_ = nullptr;
    QPushButton* saveCommand_ = nullptr;
    QPushButton* saveAsCommand_ = nullptr;
    SwitchBox* recallMicGain_ = nullptr;
    SwitchBox* recallFader_ = nullptr;
    // The controls in the order the Tab key visits them.
    std::vector<QWidget*> focusOrder_;
    std::unique_ptr<WindowActions> actions_;
    QLabel* unitName_ = nullptr;
    QString unitFolder_;
    // The marked box the menu was last opened on, for its Take command.
    const QCheckBox* menuBox_ = nullptr;
    std::unique_ptr<DifferenceMarks> marks_;
    DirectClipboard ownClipboard_;
    ClipboardSource* clipboard_ = &ownClipboard_;
    // The right column's group boxes and their tops as laid out, and the
    // column's bottom.
    std::vector<std::pair<QWidget*, int>> rightColumn_;
    int rightColumnBottom_ = 0;
    std::function<bool()> closeGuard_;
    // The channel whose values the boxes show, set by every refresh from the
    // list's selection (-1 while none is selected). Edits go to this channel:
    // it is the selected one, without asking the list on every click.
    int shownChannel_ = -1;
    // Whether the caption has the "[*]" placeholder for the modified mark;
    // kept here so that a click need not read the caption.
    bool titleHasModifiedMark_ = false;
};

} // namespace mx
