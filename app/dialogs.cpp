#include "dialogs.h"

#include "config_document.h"
#include "plain_text.h"
#include "printable_qt.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QToolTip>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

namespace mx {

namespace {

// "Save file before exit?" is answered by its buttons only. Escape or the
// title bar's close would otherwise count as No and drop unsaved edits.
class ExitQuestion : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent* event) override {
        if (clickedButton() == nullptr) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

// At start-up the window is not shown yet; a dialog owned by a hidden window
// would be placed around its invisible corner, so it is centred on the screen
// instead. Once the window shows, dialogs are modal to it.
QWidget* visibleOwner(QWidget* owner) {
    return owner != nullptr && owner->isVisible() ? owner : nullptr;
}

// The folder browser lists the files beside the folders, so that a folder
// holding a configuration can be told from one that does not; they are
// greyed and cannot be chosen, so it stays a folder browser.
class GreyedFiles : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags flags = QIdentityProxyModel::flags(index);
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (files != nullptr && index.isValid() && !files->isDir(mapToSource(index))) {
            flags &= ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
        return flags;
    }
};

// The folder browser. To open or to save, a typed folder that does not
// exist yet is taken as chosen (the editor then asks whether to create it:
// a new unit), where Qt's own browser refuses it; to compare, a file may be chosen as well as a
// folder; and a folder created with its "New Folder" button and renamed is
// the one named in the browser's field, not the folder named there before.
class FolderChooser : public QFileDialog {
public:
    FolderChooser(QWidget* owner, const QString& prompt, FolderPurpose purpose)
        : QFileDialog(owner, prompt), purpose_(purpose) {
        setFileMode(QFileDialog::Directory);
        if (purpose != FolderPurpose::Compare) {
            setProxyModel(new GreyedFiles(this));
        }
        // The button says what happens; the prompt stays as it is.
        setLabelText(QFileDialog::Accept, purpose == FolderPurpose::Save      ? "Save"
                                          : purpose == FolderPurpose::Compare ? "Compare"
                                                                              : "Open");
        if (purpose == FolderPurpose::Compare) {
            setLabelText(QFileDialog::FileName, "Folder or file:");
            // Qt names what a folder chooser lists "Directories"; this one
            // lists text files too, and either may be chosen.
            if (auto* types = findChild<QComboBox*>("fileTypeCombo"); types != nullptr) {
                types->setItemText(0, "Units' folders and text files");
            }
        }
        fileName_ = findChild<QLineEdit*>("fileNameEdit");
        if (auto* buttons = findChild<QDialogButtonBox*>("buttonBox");
            buttons != nullptr && fileName_ != nullptr) {
            acceptButton_ = buttons->button(QDialogButtonBox::Open);
            if (acceptButton_ != nullptr) {
                acceptButton_->installEventFilter(this);
            }
        }
        if (auto* files = findChild<QFileSystemModel*>()) {
            // A folder just made and named is the one the user means.
            connect(files, &QFileSystemModel::fileRenamed, this,
                    [this](const QString&, const QString&, const QString& newName) {
                        if (fileName_ != nullptr) {
                            fileName_->setText(newName);
                        }
                    });
        }
    }

    // Qt greys the button while the typed name is not an existing folder;
    // to open or save, a new folder is a fine choice, and to compare a file, so it
    // is made available again whenever something typed would otherwise
    // leave it grey.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange && watched == acceptButton_ &&
            !acceptButton_->isEnabled() && !fileName_->text().trimmed().isEmpty()) {
            acceptButton_->setEnabled(true);
        }
        return QFileDialog::eventFilter(watched, event);
    }

protected:
    void accept() override {
        const QStringList chosen = selectedFiles();
        const QFileInfo first(chosen.isEmpty() ? QString() : chosen.first());
        if (!chosen.isEmpty() &&
            ((purpose_ != FolderPurpose::Compare && !first.exists()) ||
             (purpose_ == FolderPurpose::Compare && first.exists() && !first.isDir()))) {
            // Past QFileDialog's own check, which refuses a folder not there.
            QDialog::accept(); // NOLINT(bugprone-parent-virtual-call)
            return;
        }
        QFileDialog::accept();
    }

private:
    const FolderPurpose purpose_;
    QLineEdit* fileName_ = nullptr;
    QPushButton* acceptButton_ = nullptr;
};

// Qt's side panel keeps each place's address under this role.
constexpr int PlaceUrlRole = Qt::UserRole + 1;

// A recent unit's label in the browser's side panel: its folder's name with
// its parent's, so that unit01 and unit10, or two unit01s, are told apart.
QString placeLabel(const QString& folder) {
    const QFileInfo unit(folder);
    return printable(QDir(unit.path()).dirName() + "/" + unit.fileName());
}

// The same label in at most `room` pixels: a parent too long is cut in its
// middle, so that the unit's own name stays whole.
QString placeLabel(const QString& folder, const QFontMetrics& metrics, int room) {
    const QString whole = placeLabel(folder);
    if (metrics.horizontalAdvance(whole) <= room) {
        return whole;
    }
    const QFileInfo unit(folder);
    const QString name = "/" + printable(unit.fileName());
    const QString parent = printable(QDir(unit.path()).dirName());
    const int left = std::max(room - metrics.horizontalAdvance(name), 0);
    return metrics.elidedText(parent, Qt::ElideMiddle, left) + name;
}

// Draws the side panel's recent units by placeLabel. The panel's model
// renames its places whenever the file system changes, so the label is
// given as each is drawn.
class PlaceLabels : public QStyledItemDelegate {
public:
    PlaceLabels(QStringList recent, QObject* parent)
        : QStyledItemDelegate(parent), recent_(std::move(recent)) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString folder = index.data(PlaceUrlRole).toUrl().toLocalFile();
        if (recent_.contains(folder)) {
            const int room = option->rect.width() - option->decorationSize.width() -
                             3 * option->fontMetrics.averageCharWidth();
            option->text = placeLabel(folder, option->fontMetrics, room);
        }
    }

    // A place's tip is its folder's path, a name like any other.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        const QString tip = index.data(Qt::ToolTipRole).toString();
        if (event->type() != QEvent::ToolTip || tip.isEmpty()) {
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        }
        QToolTip::showText(event->globalPos(), asPlainText(tip), view, option.rect);
        return true;
    }

private:
    QStringList recent_;
};

} // namespace

// The side panel and the list's columns wide enough to read whole. They are
// the children of Qt's own file dialog, found by the object names Qt gives
// them ("sidebar", "splitter", "treeView"), which no public API offers. A
// chooser without them (a later Qt, or a desktop's native dialog) is used
// as it comes: the recent units are still its places and its history,
// only drawn by Qt's labels and in its own widths.
void fitFolderChooser(QFileDialog& browser, const QStringList& recent) {
    auto* sidebar = browser.findChild<QListView*>("sidebar");
    auto* splitter = browser.findChild<QSplitter*>("splitter");
    if (sidebar != nullptr && sidebar->model() != nullptr) {
        sidebar->setItemDelegate(new PlaceLabels(recent, sidebar));
        int widest = 0;
        for (const QString& folder : recent) {
            widest = std::max(widest, sidebar->fontMetrics().horizontalAdvance(placeLabel(folder)));
        }
        // The icon, the text and the frame.
        const int width = widest + sidebar->iconSize().width() + 40;
        if (splitter != nullptr && splitter->count() == 2) {
            const int total = std::max(splitter->width(), 3 * width);
            splitter->setSizes({width, total - width});
        }
        sidebar->setMinimumWidth(std::min(width, 400));
    }
    if (auto* list = browser.findChild<QTreeView*>("treeView")) {
        list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        list->header()->setStretchLastSection(false);
    }
    const QFontMetrics metrics(browser.font());
    browser.resize(browser.size().expandedTo(
        QSize(metrics.horizontalAdvance(QString(100, 'x')), metrics.lineSpacing() * 28)));
}

namespace {

// Every box shows its text literally: a folder may be called "<h1>x", and
// rich text would swallow the very name the message is about.
void prepare(QMessageBox& box) {
    box.setWindowTitle(QCoreApplication::applicationName());
    box.setTextFormat(Qt::PlainText);
}

// A Yes/No question about overwriting something. No is the default, and
// Escape or closing the box means No: nothing is written then.
bool askYesNo(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::Yes | QMessageBox::No,
                    visibleOwner(owner));
    prepare(box);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

QString QtDialogs::saveBeforeOpenText(const QString& folder) {
    return QString("Save changes to \"%1\" before opening another folder?").arg(printable(folder));
}

QString QtDialogs::replaceConfigurationText(const QString& folder) {
    return QString("\"%1\" already holds a different configuration. Replace it?")
        .arg(printable(folder));
}

QString QtDialogs::overwriteChangesText(const QString& folder) {
    return QString("The configuration in \"%1\" was changed by another program since it was "
                   "loaded. Overwrite it?")
        .arg(printable(folder));
}

QString QtDialogs::restoreRecoveredText(const QString& folder, const QDateTime& written,
                                        bool filesChangedSince, const QString& changes) {
    QString text =
        QString("Unsaved changes to \"%1\" from %2 were recovered: %3. Restore them?")
            .arg(printable(folder), QLocale().toString(written.toLocalTime(), QLocale::LongFormat),
                 changes);
    if (filesChangedSince) {
        text += "\n\nThe folder's files have changed since then; saving the restored changes "
                "would replace what is there now.";
    }
    return text;
}

QString QtDialogs::replaceFileText(const QString& path) {
    return QString("\"%1\" already exists. Replace it?").arg(printable(path));
}

QString QtDialogs::createFolderText(const QString& folder) {
    return QString("Create the folder \"%1\"?").arg(printable(folder));
}

std::optional<QString> QtDialogs::browseForFolder(QWidget* owner, const QString& prompt,
                                                  const QString& startFolder, FolderPurpose purpose,
                                                  const QStringList& recent) {
    FolderChooser browser(visibleOwner(owner), prompt, purpose);
    // Beside the folder, with it selected, so that its neighbours are near.
    const QFileInfo start(startFolder);
    browser.setDirectory(start.absolutePath());
    browser.selectFile(start.fileName());
    browser.setHistory(recent);
    QList<QUrl> places = {QUrl::fromLocalFile(QDir::homePath())};
    for (const QString& folder : recent) {
        places << QUrl::fromLocalFile(folder);
    }
    browser.setSidebarUrls(places);
    fitFolderChooser(browser, recent);
    if (browser.exec() != QDialog::Accepted || browser.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return browser.selectedFiles().first();
}

bool QtDialogs::askSaveBeforeExit(QWidget* owner) {
    ExitQuestion box(QMessageBox::NoIcon, QString(), ExitQuestionText,
                     QMessageBox::Yes | QMessageBox::No, visibleOwner(owner));
    prepare(box);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

UnsavedChanges QtDialogs::askSaveBeforeOpen(QWidget* owner, const QString& folder) {
    QMessageBox box(QMessageBox::Question, QString(), saveBeforeOpenText(folder),
                    QMessageBox::NoButton, visibleOwner(owner));
    prepare(box);
    QPushButton* save = box.addButton("&Save", QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton("&Discard", QMessageBox::DestructiveRole);
    // The reject role makes Escape and the title bar's close mean Cancel.
    box.addButton("Cancel", QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.exec();
    if (box.clickedButton() == save) {
        return UnsavedChanges::Save;
    }
    return box.clickedButton() == discard ? UnsavedChanges::Discard : UnsavedChanges::Cancel;
}

bool QtDialogs::askReplaceConfiguration(QWidget* owner, const QString& folder) {
    return askYesNo(owner, replaceConfigurationText(folder));
}

ConflictAnswer QtDialogs::askOverwriteChanges(QWidget* owner, const QString& folder) {
    QMessageBox box(QMessageBox::Warning, QString(), overwriteChangesText(folder),
                    QMessageBox::Yes | QMessageBox::No, visibleOwner(owner));
    prepare(box);
    // Shows what the other program left, so that what would be lost is seen.
    QPushButton* compare = box.addButton("&Compare", QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::No);
    box.exec();
    if (box.clickedButton() == compare) {
        return ConflictAnswer::Compare;
    }
    return box.clickedButton() == box.button(QMessageBox::Yes) ? ConflictAnswer::Overwrite
                                                               : ConflictAnswer::Cancel;
}

bool QtDialogs::askRestoreRecovered(QWidget* owner, const QString& folder, const QDateTime& written,
                                    bool filesChangedSince, const QString& changes) {
    QMessageBox box(QMessageBox::Question, QString(),
                    restoreRecoveredText(folder, written, filesChangedSince, changes),
                    QMessageBox::NoButton, visibleOwner(owner));
    prepare(box);
    QPushButton* restore = box.addButton("&Restore", QMessageBox::AcceptRole);
    // The reject role makes Escape and the title bar's close mean Discard.
    box.addButton("&Discard", QMessageBox::RejectRole);
    box.setDefaultButton(restore);
    box.exec();
    return box.clickedButton() == restore;
}

bool QtDialogs::askCreateFolder(QWidget* owner, const QString& folder) {
    QMessageBox box(QMessageBox::Question, QString(), createFolderText(folder),
                    QMessageBox::Yes | QMessageBox::No, visibleOwner(owner));
    prepare(box);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool QtDialogs::askPrint(QWidget* owner, QPrinter& printer, const QString& suggestedFile) {
    QPrintDialog dialog(&printer, visibleOwner(owner));
    // Qt's own dialog offers the working folder for a print to a file; the
    // sheet goes where Export sheet as PDF would put it.
    if (auto* file = dialog.findChild<QLineEdit*>("filename")) {
        file->setText(suggestedFile);
    }
    return dialog.exec() == QDialog::Accepted;
}

std::optional<QString> QtDialogs::askSheetFile(QWidget* owner, const QString& suggested) {
    // The replace question is asked once ".pdf" is added, about the file
    // that would really be replaced.
    const QString chosen = QFileDialog::getSaveFileName(visibleOwner(owner), "Export sheet as PDF",
                                                        suggested, "PDF documents (*.pdf)", nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    return chosen.isEmpty() ? std::nullopt : std::optional<QString>(chosen);
}

bool QtDialogs::askReplaceFile(QWidget* owner, const QString& path) {
    return askYesNo(owner, replaceFileText(path));
}

void QtDialogs::showError(QWidget* owner, const QString& message) {
    QMessageBox box(QMessageBox::Critical, QString(), message, QMessageBox::Ok,
                    visibleOwner(owner));
    prepare(box);
    box.exec();
}

void QtDialogs::showNote(QWidget* owner, const QString& message) {
    QMessageBox box(QMessageBox::Information, QString(), message, QMessageBox::Ok,
                    visibleOwner(owner));
    prepare(box);
    box.exec();
}

void QtDialogs::showPage(QWidget* owner, const QString& title, const QString& text) {
    QDialog page(visibleOwner(owner));
    page.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&page);
    // Read-only text that a screen reader reads and a keyboard scrolls.
    auto* body = new QPlainTextEdit(text, &page);
    body->setReadOnly(true);
    body->setAccessibleName(title);
    // The page lines up keys and their meaning in columns.
    body->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Wide enough for the longest line of the key columns, so that none
    // wraps mid-sentence; prose wraps at 100 characters.
    const QFontMetrics metrics(body->font());
    qsizetype longest = 72;
    for (const QString& line : text.split('\n')) {
        longest = std::max(longest, std::min<qsizetype>(line.size(), 100));
    }
    const int frame = 2 * body->frameWidth() +
                      2 * static_cast<int>(body->document()->documentMargin()) +
                      body->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    body->setMinimumSize(metrics.horizontalAdvance(QString(longest, 'x')) + frame,
                         metrics.lineSpacing() * 24);
    layout->addWidget(body);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &page);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &page, &QDialog::reject);
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Close)->setFocus();
    page.exec();
}

std::optional<UnitNames> QtDialogs::askNames(QWidget* owner, const UnitNames& current) {
    QDialog dialog(visibleOwner(owner));
    dialog.setWindowTitle("Names");
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    auto* note = new QLabel(QString("A name has at most %1 characters. The unit's files stay as "
                                    "they are: names are kept beside them, in %2.")
                                .arg(LongestName)
                                .arg(NamesFileName),
                            &dialog);
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addLayout(form);
    // Made in order, so that Tab walks them: the unit, then channels 1 to 8.
    std::vector<QLineEdit*> fields;
    const auto addField = [&](const QString& label, const std::string& name) {
        auto* field = new QLineEdit(QString::fromStdString(name), &dialog);
        field->setAccessibleName(label.chopped(1).remove('&'));
        form->addRow(label, field);
        fields.push_back(field);
    };
    addField("&Unit:", current.unit);
    for (int channel = 0; channel < ChannelCount; ++channel) {
        addField(QString("Channel &%1:").arg(channel + 1),
                 current.channels[static_cast<std::size_t>(channel)]);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    UnitNames chosen;
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        // Each name is checked before the dialog closes; the first that
        // cannot be one is said and given the focus.
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const CheckedName checked = checkName(fields[i]->text().toStdString());
            if (!checked.problem.empty()) {
                QMessageBox box(QMessageBox::Warning, QString(),
                                QString("The name of %1 cannot be used: %2.")
                                    .arg(i == 0 ? QString("the unit") : channelName(int(i) - 1),
                                         printable(checked.problem)),
                                QMessageBox::Ok, &dialog);
                prepare(box);
                box.exec();
                fields[i]->setFocus();
                return;
            }
            (i == 0 ? chosen.unit : chosen.channels[i - 1]) = checked.name;
        }
        dialog.accept();
    });
    fields.front()->setFocus();
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return chosen;
}

} // namespace mx
