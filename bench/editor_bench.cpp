// Each case runs beside its floor, the least the toolkit or the operating
// system needs for the same work: every iteration times one round of the case
// and one of its floor, back to back (alternating which goes first), so drift
// on a shared machine hits both alike. Each benchmark reports case_us,
// floor_us and their ratio; scripts/bench.sh prints the medians over
// repetitions. Run with QT_QPA_PLATFORM=offscreen.

#include "channel_list.h"
#include "config_document.h"
#include "config_editor.h"
#include "config_files.h"
#include "config_sheet.h"
#include "config_text.h"
#include "dialogs.h"
#include "main_window.h"
#include "sheet_pages.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPdfWriter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUndoStack>
#include <QVBoxLayout>
#include <array>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace mx;

template <typename Work> double secondsFor(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Times `rounds` calls of the case and of its floor per iteration. prepare()
// runs before each side's timed calls, untimed, with the side (true for the
// case) and the round.
template <typename Case, typename Floor, typename Prepare>
void sideBySide(benchmark::State& state, int rounds, Case&& work, Floor&& floor,
                Prepare&& prepare) {
    double caseSeconds = 0;
    double floorSeconds = 0;
    bool caseFirst = true;
    const auto timeSide = [&](bool isCase) {
        double seconds = 0;
        for (int round = 0; round < rounds; ++round) {
            prepare(isCase, round);
            seconds += isCase ? secondsFor(work) : secondsFor(floor);
        }
        (isCase ? caseSeconds : floorSeconds) += seconds;
        return seconds;
    };
    for (auto _ : state) {
        const double first = timeSide(caseFirst);
        const double second = timeSide(!caseFirst);
        state.SetIterationTime(first + second);
        caseFirst = !caseFirst;
    }
    const double calls = static_cast<double>(state.iterations()) * rounds;
    state.counters["case_us"] = caseSeconds / calls * 1e6;
    state.counters["floor_us"] = floorSeconds / calls * 1e6;
    state.counters["ratio"] = caseSeconds / floorSeconds;
}

// Two channels that differ in every bit, so each refresh flips all 86 boxes.
ChannelConfig alternatingChannels() {
    ChannelConfig config;
    for (const SwitchField field : AllSwitchFields) {
        fieldOf(config.Switches.Channels[0], field) = 0x00;
        fieldOf(config.Switches.Channels[1], field) = 0xFF;
    }
    config.Recall = {0x02, 0x02};
    return config;
}

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/mx-bench-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class PreparedFolder : public Dialogs {
public:
    explicit PreparedFolder(QString folder) : folder_(std::move(folder)) {}
    std::optional<QString> browseForFolder(QWidget*, const QString&, const QString&, FolderPurpose,
                                           const QStringList&) override {
        return folder_;
    }
    bool askCreateFolder(QWidget*, const QString&) override { return false; }
    bool askSaveBeforeExit(QWidget*) override { return false; }
    UnsavedChanges askSaveBeforeOpen(QWidget*, const QString&) override {
        return UnsavedChanges::Cancel;
    }
    bool askReplaceConfiguration(QWidget*, const QString&) override { return false; }
    ConflictAnswer askOverwriteChanges(QWidget*, const QString&) override {
        return ConflictAnswer::Cancel;
    }
    bool askRestoreRecovered(QWidget*, const QString&, const QDateTime&, bool,
                             const QString&) override {
        return false;
    }
    bool askPrint(QWidget*, QPrinter&, const QString&) override { return false; }
    std::optional<QString> askSheetFile(QWidget*, const QString&) override { return {}; }
    bool askReplaceFile(QWidget*, const QString&) override { return false; }
    void showError(QWidget*, const QString&) override {}
    void showNote(QWidget*, const QString&) override {}
    void showPage(QWidget*, const QString&, const QString&) override {}
    std::optional<UnitNames> askNames(QWidget*, const UnitNames&) override { return {}; }

private:
    QString folder_;
};

// The editor as it runs: its window on a document loaded from a folder, with
// unsaved edits kept for recovery.
struct Editor {
    TempFolder folder;
    TempFolder state;
    ConfigDocument document;
    MainWindow window{document};
    PreparedFolder dialogs{QString::fromStdString(folder.path())};
    ConfigEditor editor{window, document, dialogs,
                        RecoveryStore(QString::fromStdString(state.path()))};

    Editor() {
        SaveConfig(folder.path(), alternatingChannels());
        editor.Form_Load();
        window.setCloseGuard({});
        // The cases are timed with the designed caption, as they always
        // were: with a folder in it, a click that makes the configuration
        // modified or unmodified also retitles the window, which is the
        // window system's work (see docs/benchmarks.md).
        window.setWindowTitle(MainWindow::Caption);
    }
};

// What the editor's window holds, read off a real one, so the plain windows
// below have the same controls at the same places.
struct ControlShape {
    enum class Kind { Group, Box, List, Button } kind;
    int parent; // index of the group box, or -1 for the window
    QRect geometry;
    QString text;
};

// One of the menu bar's menus: its title and its items, in order.
struct MenuShape {
    struct Item {
        enum class Kind { Action, Separator, Submenu } kind;
        QString text;
        QList<QKeySequence> shortcuts;
    };
    QString title;
    std::vector<Item> items;
};

struct WindowShape {
    QSize clientSize;
    std::vector<ControlShape> controls;
    std::vector<MenuShape> menus;
    // What stands at the menu bar's right end: the unit's name.
    QString corner;
};

std::vector<MenuShape> menuShapes(const QMenuBar& bar) {
    std::vector<MenuShape> menus;
    for (const QAction* title : bar.actions()) {
        MenuShape& menu = menus.emplace_back(MenuShape{title->text(), {}});
        for (const QAction* item : title->menu()->actions()) {
            using Kind = MenuShape::Item::Kind;
            menu.items.push_back({item->isSeparator() ? Kind::Separator
                                  : item->menu()      ? Kind::Submenu
                                                      : Kind::Action,
                                  item->text(), item->shortcuts()});
        }
    }
    return menus;
}

// A plain menu bar with the same menus and items.
QMenuBar* plainMenuBar(QWidget& window, const WindowShape& shape) {
    auto* bar = new QMenuBar(&window);
    for (const MenuShape& menuShape : shape.menus) {
        QMenu* menu = bar->addMenu(menuShape.title);
        for (const MenuShape::Item& item : menuShape.items) {
            switch (item.kind) {
            case MenuShape::Item::Kind::Separator:
                menu->addSeparator();
                break;
            case MenuShape::Item::Kind::Submenu:
                menu->addMenu(item.text);
                break;
            case MenuShape::Item::Kind::Action:
                menu->addAction(item.text)->setShortcuts(item.shortcuts);
                break;
            }
        }
    }
    bar->setCornerWidget(new QLabel(shape.corner, bar));
    return bar;
}

// Read at the application's font, so at a larger font the plain window has
// the editor's scaled geometry.
WindowShape editorShapes() {
    ConfigDocument document;
    MainWindow window(document);
    const auto* bar = window.findChild<QMenuBar*>();
    WindowShape shape{window.client()->size(),
                      {},
                      menuShapes(*bar),
                      qobject_cast<QLabel*>(bar->cornerWidget())->text()};
    std::vector<ControlShape>& shapes = shape.controls;
    const auto groups = window.client()->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly);
    for (QGroupBox* group : groups) {
        const int parent = static_cast<int>(shapes.size());
        shapes.push_back({ControlShape::Kind::Group, -1, group->geometry(), group->title()});
        for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (auto* box = qobject_cast<QCheckBox*>(child)) {
                shapes.push_back({ControlShape::Kind::Box, parent, box->geometry(), box->text()});
            } else if (auto* button = qobject_cast<QPushButton*>(child)) {
                shapes.push_back(
                    {ControlShape::Kind::Button, parent, button->geometry(), button->text()});
            } else if (qobject_cast<QListWidget*>(child) != nullptr) {
                shapes.push_back({ControlShape::Kind::List, parent, child->geometry(), {}});
            }
        }
    }
    return shape;
}

// The menu bar above, the controls in a plain widget under it, as the
// editor's window has them.
void buildPlainWindow(QWidget& window, const WindowShape& windowShape) {
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(plainMenuBar(window, windowShape));
    auto* client = new QWidget(&window);
    client->setFixedSize(windowShape.clientSize);
    layout->addWidget(client);
    std::vector<QWidget*> made;
    for (const ControlShape& shape : windowShape.controls) {
        QWidget* parent = shape.parent < 0 ? client : made[static_cast<std::size_t>(shape.parent)];
        QWidget* widget = nullptr;
        switch (shape.kind) {
        case ControlShape::Kind::Group:
            widget = new QGroupBox(shape.text, parent);
            break;
        case ControlShape::Kind::Box:
            widget = new QCheckBox(shape.text, parent);
            break;
        case ControlShape::Kind::Button:
            widget = new QPushButton(shape.text, parent);
            break;
        case ControlShape::Kind::List: {
            auto* list = new QListWidget(parent);
            for (int channel = 1; channel <= 8; ++channel) {
                list->addItem(QString("Channel %1").arg(channel));
            }
            widget = list;
            break;
        }
        }
        widget->setGeometry(shape.geometry);
        made.push_back(widget);
    }
}

void showAndPaint(QWidget& window) {
    window.show();
    QApplication::processEvents();
}

// The refresh proper against the same 86 state changes made straight from a
// byte array on plain boxes at the same places. The selection moves before
// each refresh, untimed and with its own signals held back: moving it is the
// list's work, not the refresh's.
void refresh(benchmark::State& state, const ChannelConfig* reference) {
    Editor editor;
    MainWindow& window = editor.window;
    if (reference != nullptr) {
        editor.document.compareWith(*reference, "unitA");
    }
    showAndPaint(window);
    QItemSelectionModel* selection = window.channelList()->selectionModel();

    QWidget plain;
    buildPlainWindow(plain, editorShapes());
    const QList<QCheckBox*> boxes = plain.findChildren<QCheckBox*>();
    showAndPaint(plain);
    std::array<std::uint8_t, 86> bytes{};

    sideBySide(
        state, 2, [&window] { window.ShowList_Click(); },
        [&] {
            for (qsizetype i = 0; i < boxes.size(); ++i) {
                boxes[i]->setChecked(bytes[static_cast<std::size_t>(i)] != 0);
            }
        },
        [&](bool isCase, int round) {
            if (isCase) {
                const QSignalBlocker quiet(selection);
                window.selectChannel(round);
            } else {
                bytes.fill(round == 0 ? 0x00 : 0xFF);
            }
        });
}

void refreshChannel(benchmark::State& state) {
    refresh(state, nullptr);
}

// The same refresh while comparing: with a unit that differs in a few bits
// of each channel, as units of one site do, so that each refresh moves a few
// marks; and, at worst, with one whose channels differ in every bit from one
// shown channel and in none from the other, so that each moves all 86.
ChannelConfig fewDifferences() {
    ChannelConfig config = alternatingChannels();
    config.Switches.Channels[0].Latching = SwitchTb2;
    config.Switches.Channels[0].PgmSuppresses = SwitchPgm;
    config.Switches.Channels[1].Momentary = 0x7F;
    config.Switches.Channels[1].Tb3Delatches = 0xF7;
    config.Recall.FaderRecall = 0x00;
    return config;
}

void refreshChannelComparing(benchmark::State& state) {
    const ChannelConfig reference = fewDifferences();
    refresh(state, &reference);
}

void refreshChannelComparingEveryMark(benchmark::State& state) {
    const ChannelConfig reference;
    refresh(state, &reference);
}

// Starting a comparison with another unit's folder (reading it, then marking
// the shown channel and the list) against loading a folder into the same
// editor (reading it, then showing it).
void startComparing(benchmark::State& state) {
    Editor editor;
    MainWindow& window = editor.window;
    window.selectChannel(1);
    showAndPaint(window);
    TempFolder other;
    SaveConfig(other.path(), ChannelConfig{});
    ConfigDocument& document = editor.document;

    sideBySide(
        state, 1,
        [&] {
            ChannelConfig reference;
            ReadConfigSource(other.path(), reference);
            document.compareWith(reference, "unitA");
        },
        [&] {
            ChannelConfig config;
            StoredBlocks loaded;
            LoadConfig(editor.folder.path(), MissingFile::IsAnError, config, &loaded);
            document.load(config, loaded);
        },
        [&](bool isCase, int) {
            if (isCase) {
                document.stopComparing();
            }
        });
}

// The floor's undo record: one byte, before and after.
class ByteCommand : public QUndoCommand {
public:
    ByteCommand(std::uint8_t& byte, std::uint8_t after)
        : byte_(byte), before_(byte), after_(after) {}
    void undo() override { byte_ = before_; }
    void redo() override { byte_ = after_; }

private:
    std::uint8_t& byte_;
    const std::uint8_t before_;
    const std::uint8_t after_;
};

// A user's toggle through to the model byte and its undo step, against
// click() on a plain check box whose slot pushes a one-byte command onto a
// plain QUndoStack.
void toggleMember(benchmark::State& state) {
    Editor editor;
    MainWindow& window = editor.window;
    window.selectChannel(2);
    showAndPaint(window);
    QCheckBox* member = window.member(SwitchField::Tb3Delatches, SwitchTb1);

    QWidget plain;
    auto* box = new QCheckBox("TB 1", &plain);
    QUndoStack plainHistory;
    std::uint8_t byte = 0;
    QObject::connect(box, &QCheckBox::toggled, box,
                     [&](bool on) { plainHistory.push(new ByteCommand(byte, on ? 2 : 0)); });
    showAndPaint(plain);

    constexpr int Clicks = 64;
    sideBySide(
        state, 1,
        [member] {
            for (int i = 0; i < Clicks; ++i) {
                member->click();
            }
        },
        [box] {
            for (int i = 0; i < Clicks; ++i) {
                box->click();
            }
        },
        // Both histories start empty each round, so neither grows without end.
        [&](bool isCase, int) {
            isCase ? editor.document.undoStack()->clear() : plainHistory.clear();
        });
    state.counters["case_us"] = state.counters["case_us"] / Clicks;
    state.counters["floor_us"] = state.counters["floor_us"] / Clicks;
    benchmark::DoNotOptimize(editor.document.config().Switches.Channels[2].Tb3Delatches);
}

// Paste to all channels, then undo it: each is one step that sets bytes and
// refreshes the view. The floor does the same work plainly, twice: 114 bytes
// set in an array and the plain window's 86 boxes set from them.
void pasteToAllAndUndo(benchmark::State& state) {
    Editor editor;
    MainWindow& window = editor.window;
    window.selectChannel(1);
    window.copyChannel();
    window.selectChannel(0);
    showAndPaint(window);

    QWidget plain;
    buildPlainWindow(plain, editorShapes());
    const QList<QCheckBox*> boxes = plain.findChildren<QCheckBox*>();
    showAndPaint(plain);
    std::array<std::uint8_t, SwitchBlockSize + RecallBlockSize> bytes{};
    const auto plainStep = [&](std::uint8_t value) {
        bytes.fill(value);
        benchmark::DoNotOptimize(bytes.data());
        for (qsizetype i = 0; i < boxes.size(); ++i) {
            boxes[i]->setChecked(bytes[static_cast<std::size_t>(i)] != 0);
        }
    };

    sideBySide(
        state, 1,
        [&] {
            window.pasteToAllChannels();
            editor.document.undoStack()->undo();
        },
        [&] {
            plainStep(0xFF);
            plainStep(0x00);
        },
        [&](bool isCase, int) {
            if (isCase) {
                editor.document.undoStack()->clear();
            }
        });
}

// The floor's system calls on the same bytes: no error handling, no model.
void rawRead(const std::string& path, void* buffer, std::size_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    benchmark::DoNotOptimize(::pread(fd, buffer, size, 0));
    ::close(fd);
}

void rawWrite(const std::string& path, const void* buffer, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    benchmark::DoNotOptimize(::pwrite(fd, buffer, size, 0));
    ::fsync(fd);
    ::close(fd);
}

// LoadConfig then SaveConfig of one named unit, against raw open/pread/
// pwrite/fsync/close of the same two files in another and a read of its
// names file at each end, as the unit's load and save read names.txt.
void loadAndSave(benchmark::State& state) {
    TempFolder ours;
    TempFolder raw;
    ChannelConfig config = alternatingChannels();
    UnitNames names;
    names.unit = "Studio A";
    names.channels[2] = "Guest 2";
    if (SaveConfig(ours.path(), config, &names)) {
        state.SkipWithError("cannot write the temporary folder");
        return;
    }
    const std::string switches = raw.path() + "/switches.mx";
    const std::string settings = raw.path() + "/settings.cmx";
    const std::string namesFile = raw.path() + "/names.txt";
    SwitchBlock table = toBlock(config.Switches);
    RecallBlock recall = toBlock(config.Recall);
    const std::string namesText = namesToText(names);
    std::string namesRead(namesText.size(), '\0');
    rawWrite(switches, table.data(), table.size());
    rawWrite(settings, recall.data(), recall.size());
    rawWrite(namesFile, namesText.data(), namesText.size());

    sideBySide(
        state, 1,
        [&] {
            SourceNames loaded;
            benchmark::DoNotOptimize(
                LoadConfig(ours.path(), MissingFile::Create, config, nullptr, &loaded));
            benchmark::DoNotOptimize(SaveConfig(ours.path(), config, &loaded.names));
        },
        [&] {
            rawRead(switches, table.data(), table.size());
            rawRead(settings, recall.data(), recall.size());
            rawRead(namesFile, namesRead.data(), namesRead.size());
            rawRead(namesFile, namesRead.data(), namesRead.size());
            rawWrite(switches, table.data(), table.size());
            rawWrite(settings, recall.data(), recall.size());
        },
        [](bool, int) {});
}

// Runs a program to its end with its output thrown away; false on failure.
bool runProcess(std::vector<const char*> arguments) {
    arguments.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int error = posix_spawn(&child, arguments[0], &actions, nullptr,
                                  const_cast<char* const*>(arguments.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return error == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// "mxcfg show" as a whole process, against a process that links the same
// libraries and only reads the two files.
void showProcess(benchmark::State& state) {
    TempFolder folder;
    SaveConfig(folder.path(), alternatingChannels());
    const char* path = folder.path().c_str();
    if (!runProcess({MXCFG_PATH, "show", path}) || !runProcess({READ_FLOOR_PATH, path})) {
        state.SkipWithError("the programs do not run");
        return;
    }
    sideBySide(
        state, 1,
        [&] {
            runProcess({MXCFG_PATH, "show", path});
        },
        [&] {
            runProcess({READ_FLOOR_PATH, path});
        },
        [](bool, int) {});
}

// "mxcfg diff --summary" over a fleet of 1,000 units, against a process that
// links the same libraries and only reads the same 2,000 files.
void summaryProcess(benchmark::State& state) {
    constexpr int Units = 1000;
    TempFolder fleet;
    std::vector<std::string> folders;
    for (int unit = 0; unit < Units; ++unit) {
        folders.push_back(fleet.path() + "/unit" + std::to_string(unit));
        std::filesystem::create_directory(folders.back());
        SaveConfig(folders.back(), alternatingChannels());
    }
    std::vector<const char*> summary = {MXCFG_PATH, "diff", "--summary"};
    std::vector<const char*> floor = {READ_FLOOR_PATH};
    for (const std::string& folder : folders) {
        summary.push_back(folder.c_str());
        floor.push_back(folder.c_str());
    }
    if (!runProcess(summary) || !runProcess(floor)) {
        state.SkipWithError("the programs do not run");
        return;
    }
    sideBySide(
        state, 1, [&] { runProcess(summary); }, [&] { runProcess(floor); }, [](bool, int) {});
}

// "mxcfg import --create" into 100 new folders, against a process that
// makes the same folders and creates, writes and syncs the same files.
void importCreateProcess(benchmark::State& state) {
    constexpr int Units = 100;
    TempFolder site;
    const std::string text = site.path() + "/master.txt";
    std::ofstream(text) << configToText(alternatingChannels());
    std::vector<std::string> folders;
    folders.reserve(Units);
    for (int unit = 0; unit < Units; ++unit) {
        folders.push_back(site.path() + "/unit" + std::to_string(unit));
    }
    std::vector<const char*> import = {MXCFG_PATH, "import", "--create", text.c_str()};
    std::vector<const char*> floor = {READ_FLOOR_PATH, "--create"};
    for (const std::string& folder : folders) {
        import.push_back(folder.c_str());
        floor.push_back(folder.c_str());
    }
    const auto removeFolders = [&](bool, int) {
        for (const std::string& folder : folders) {
            std::filesystem::remove_all(folder);
        }
    };
    removeFolders(true, 0);
    const bool imports = runProcess(import);
    removeFolders(true, 0);
    if (!imports || !runProcess(floor)) {
        state.SkipWithError("the programs do not run");
        return;
    }
    sideBySide(
        state, 1, [&] { runProcess(import); }, [&] { runProcess(floor); }, removeFolders);
}

// "mxcfg apply" of a two-line part to 1,000 units, each of which it changes
// and saves, against "mxcfg import --create" into 1,000 new folders.
void applyProcess(benchmark::State& state) {
    constexpr int Units = 1000;
    TempFolder site;
    const std::string text = site.path() + "/master.txt";
    std::ofstream(text) << configToText(alternatingChannels());
    // Two parts, used in turn, so that every run changes every unit.
    const std::array<std::string, 2> parts = {site.path() + "/on.txt", site.path() + "/off.txt"};
    std::ofstream(parts[0]) << "Channel 3\n  Latching: PGM, TB 4\n  Recall: Fader\n";
    std::ofstream(parts[1]) << "Channel 3\n  Latching: none\n  Recall: none\n";
    std::vector<std::string> units;
    std::vector<std::string> fresh;
    for (int unit = 0; unit < Units; ++unit) {
        units.push_back(site.path() + "/unit" + std::to_string(unit));
        std::filesystem::create_directory(units.back());
        SaveConfig(units.back(), alternatingChannels());
        fresh.push_back(site.path() + "/new" + std::to_string(unit));
    }
    std::size_t turn = 0;
    std::vector<const char*> apply = {MXCFG_PATH, "apply", parts[0].c_str()};
    std::vector<const char*> import = {MXCFG_PATH, "import", "--create", text.c_str()};
    for (int unit = 0; unit < Units; ++unit) {
        apply.push_back(units[static_cast<std::size_t>(unit)].c_str());
        import.push_back(fresh[static_cast<std::size_t>(unit)].c_str());
    }
    const auto prepare = [&](bool, int) {
        apply[2] = parts[turn++ % 2].c_str();
        for (const std::string& folder : fresh) {
            std::filesystem::remove_all(folder);
        }
    };
    prepare(true, 0);
    if (!runProcess(apply) || !runProcess(import)) {
        state.SkipWithError("the programs do not run");
        return;
    }
    sideBySide(
        state, 1, [&] { runProcess(apply); }, [&] { runProcess(import); }, prepare);
}

// The text size the binder draws a sheet at, which the floor is given.
double sheetPoints(const ChannelConfig& config, const std::string& folder) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageLayout(sheetPageLayout());
    return fitSheet(configSheet(config, {folder, "now", false, false}), writer).points;
}

// "mxcfg binder" of 100 units as a whole process, against a process that
// reads the same files and draws the same cells of 100 sheets, at the same
// size, with QPainter into one QPdfWriter. One unit in ten is empty, the
// rest have bits 32 and 64 and so a column more. Each side takes seconds, so
// scripts/bench.sh repeats it fewer times than the rest.
// A rack of units in a folder: one in ten empty, and so differing from the
// first in many bits, the rest alike with bits 32 and 64 set.
std::vector<std::string> rackOf(const TempFolder& rack, int units) {
    std::vector<std::string> folders;
    folders.reserve(static_cast<std::size_t>(units));
    for (int unit = 0; unit < units; ++unit) {
        folders.push_back(rack.path() + "/unit" + std::to_string(unit));
        std::filesystem::create_directory(folders.back());
        SaveConfig(folders.back(), unit % 10 == 9 ? ChannelConfig{} : alternatingChannels());
    }
    return folders;
}

void binderProcess(benchmark::State& state) {
    TempFolder rack;
    const std::vector<std::string> folders = rackOf(rack, 100);
    const std::string points = std::to_string(sheetPoints(alternatingChannels(), folders[0]));
    const std::string out = rack.path() + "/binder.pdf";
    std::vector<const char*> binder = {MXCFG_PATH, "binder", "-o", out.c_str()};
    std::vector<const char*> floor = {PDF_FLOOR_PATH, points.c_str(), out.c_str()};
    for (const std::string& folder : folders) {
        binder.push_back(folder.c_str());
        floor.push_back(folder.c_str());
    }
    if (!runProcess(binder) || !runProcess(floor)) {
        state.SkipWithError("the programs do not run");
        return;
    }
    sideBySide(
        state, 1, [&] { runProcess(binder); }, [&] { runProcess(floor); }, [](bool, int) {});
}

// One window each, built, shown and painted. Out of line so a profile
// (valgrind --tool=callgrind --toggle-collect=...) can compare the two.
[[gnu::noinline]] void showEditorWindow() {
    ConfigDocument document;
    MainWindow window(document);
    window.selectChannel(0);
    showAndPaint(window);
}

[[gnu::noinline]] void showPlainWindow(const WindowShape& shapes) {
    QWidget window;
    buildPlainWindow(window, shapes);
    showAndPaint(window);
}

void buildAndShowWindow(benchmark::State& state) {
    const WindowShape shapes = editorShapes();
    sideBySide(
        state, 1, [] { showEditorWindow(); }, [&shapes] { showPlainWindow(shapes); },
        [](bool, int) {});
}

// The same at a 12 pt font, where the editor scales its layout; the floor is
// a plain window of the same scaled geometry.
void buildAndShowWindowAt12pt(benchmark::State& state) {
    const QFont designFont = QApplication::font();
    QFont font = designFont;
    font.setPointSize(12);
    QApplication::setFont(font);
    buildAndShowWindow(state);
    QApplication::setFont(designFont);
}

// Peak resident memory is a whole-process figure, so each side gets its own
// process: "--peak-rss=editor" starts the editor on a prepared folder,
// "--peak-rss=plain" shows the plain window; both print VmHWM in KiB.
// "--peak-rss=binder" runs mxcfg binder of 1,000 units.
long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// "mxcfg binder" of 1,000 units, its peak in KiB: the pages are drawn as
// they go, so it must not grow with the rack.
int measureBinderPeak() {
    TempFolder rack;
    const std::vector<std::string> folders = rackOf(rack, 1000);
    const std::string out = rack.path() + "/binder.pdf";
    std::vector<const char*> binder = {MXCFG_PATH, "binder", "-o", out.c_str()};
    for (const std::string& folder : folders) {
        binder.push_back(folder.c_str());
    }
    if (!runProcess(binder)) {
        return 1;
    }
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}

int measurePeakMemory(const std::string& which) {
    if (which == "binder") {
        return measureBinderPeak();
    }
    if (which == "editor") {
        TempFolder folder;
        SaveConfig(folder.path(), alternatingChannels());
        ConfigDocument document;
        MainWindow window(document);
        PreparedFolder dialogs(QString::fromStdString(folder.path()));
        ConfigEditor editor(window, document, dialogs);
        if (!editor.Form_Load()) {
            return 1;
        }
        showAndPaint(window);
        window.setCloseGuard({});
        std::printf("%ld\n", peakResidentKiB());
        return 0;
    }
    QWidget window;
    buildPlainWindow(window, editorShapes());
    showAndPaint(window);
    std::printf("%ld\n", peakResidentKiB());
    return 0;
}

// "--profile-build=editor|plain": builds one kind of window, once to warm up
// and then ten times, for valgrind --tool=callgrind --toggle-collect to count.
int profileBuild(const std::string& which) {
    const WindowShape shapes = editorShapes();
    for (int i = 0; i < 11; ++i) {
        if (which == "editor") {
            showEditorWindow();
        } else {
            showPlainWindow(shapes);
        }
    }
    return 0;
}

bool hasOption(int argc, char** argv, const char* option) {
    return argc > 1 && std::strncmp(argv[1], option, std::strlen(option)) == 0;
}

} // namespace

BENCHMARK(refreshChannel)->UseManualTime();
BENCHMARK(refreshChannelComparing)->UseManualTime();
BENCHMARK(refreshChannelComparingEveryMark)->UseManualTime();
BENCHMARK(startComparing)->UseManualTime();
BENCHMARK(toggleMember)->UseManualTime();
BENCHMARK(pasteToAllAndUndo)->UseManualTime();
BENCHMARK(loadAndSave)->UseManualTime();
BENCHMARK(buildAndShowWindow)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(buildAndShowWindowAt12pt)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(showProcess)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(summaryProcess)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(importCreateProcess)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(applyProcess)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(binderProcess)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    constexpr const char* PeakOption = "--peak-rss=";
    constexpr const char* ProfileOption = "--profile-build=";
    if (hasOption(argc, argv, PeakOption)) {
        return measurePeakMemory(argv[1] + std::strlen(PeakOption));
    }
    if (hasOption(argc, argv, ProfileOption)) {
        return profileBuild(argv[1] + std::strlen(ProfileOption));
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
