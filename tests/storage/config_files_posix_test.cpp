// The guarantees that rest on POSIX: named pipes, sockets, file-size limits,
// flock, and a writer that survives a kill of the saver.

#include "config_files.h"
#include "config_text.h"
#include "file_size_limit.h"
#include "names_file.h"
#include "storage_fixture.h"
#include "syscall_seam.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <iterator>
#include <numeric>
#include <optional>
#include <random>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace mx {
namespace {

TEST_F(ConfigFilesTest, LoadOnlyReadsFilesThatAlreadyExist) {
    // Read-only sysfs attributes refuse to open for writing, even for root.
    const fs::path readOnly = "/sys/devices/system/cpu/online";
    const int probe = ::open(readOnly.c_str(), O_WRONLY);
    if (probe >= 0) {
        ::close(probe);
    }
    if (!fs::exists(readOnly) || probe >= 0) {
        GTEST_SKIP() << "no file here refuses writing";
    }
    fs::create_symlink(readOnly, switchFile());
    fs::create_symlink(readOnly, settingsFile());

    ChannelConfig config;
    ASSERT_EQ(LoadConfig(folder(), MissingFile::Create, config), std::nullopt);
    const Bytes content = readFile(readOnly);
    ASSERT_GE(content.size(), 2U);
    EXPECT_EQ(config.Switches.Channels[0].Disabled, content[0]);
    EXPECT_EQ(config.Recall.FaderRecall, content[1]);
}

TEST_F(ConfigFilesTest, FailedLoadsLeaveTheModelAndTheOtherFileUntouched) {
    const ChannelConfig before = distinctConfig();
    ChannelConfig config = before;

    // Missing folder: it is named, and nothing is created.
    const std::string missing = (dir_ / "missing").string();
    auto error = LoadConfig(missing, MissingFile::Create, config);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->path, missing);
    EXPECT_EQ(error->operation, FileOperation::Open);
    EXPECT_EQ(error->errorNumber, ENOENT);
    EXPECT_EQ(error->description, "No such file or directory");
    EXPECT_EQ(config, before);
    EXPECT_FALSE(fs::exists(missing));

    // A good switch file but a folder in place of the settings file: the
    // switch file was read, yet the model must not take it.
    writeFile(switchFile(), counting(112));
    fs::create_directory(settingsFile());
    error = LoadConfig(folder(), MissingFile::Create, config);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message(),
              "Could not open \"" + settingsFile().string() + "\": error 21, Is a directory.");
    EXPECT_EQ(config, before);
    EXPECT_EQ(readFile(switchFile()), counting(112));
}

TEST_F(ConfigFilesTest, FailedSavesReportTheFileAndTouchNothingAfterIt) {
    const ChannelConfig config = distinctConfig();

    // Missing folder.
    const std::string missing = (dir_ / "missing").string();
    auto error = SaveConfig(missing, config);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->error.path, missing);
    EXPECT_EQ(error->error.errorNumber, ENOENT);
    EXPECT_TRUE(error->nothingChanged());
    EXPECT_FALSE(fs::exists(missing));

    // A write that fails half way through a new switch file: the settings
    // file keeps its bytes, and the switch file this save created is gone.
    writeFile(settingsFile(), {0x11, 0x22});
    {
        const FileSizeLimit limit(50);
        error = SaveConfig(folder(), config);
    }
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->error.path, switchFile().string());
    EXPECT_EQ(error->error.operation, FileOperation::Write);
    EXPECT_EQ(error->error.errorNumber, EFBIG);
    EXPECT_TRUE(error->nothingChanged());
    EXPECT_EQ(readFile(settingsFile()), (Bytes{0x11, 0x22}));
    EXPECT_FALSE(fs::exists(switchFile()));

    // Files written before the limit was set: the write stops at the limit,
    // and undoing it needs no more room than the write took.
    writeFile(switchFile(), counting(112, 9));
    {
        const FileSizeLimit limit(30);
        error = SaveConfig(folder(), config);
    }
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->error.errorNumber, EFBIG);
    EXPECT_TRUE(error->nothingChanged()) << error->summary();
    EXPECT_EQ(readFile(switchFile()), counting(112, 9));
    EXPECT_EQ(readFile(settingsFile()), (Bytes{0x11, 0x22}));
}

bool setImmutable(const fs::path& path, bool on) {
    return std::system(
               ("chattr " + std::string(on ? "+i" : "-i") + " '" + path.string() + "' 2>/dev/null")
                   .c_str()) == 0;
}

TEST_F(ConfigFilesTest, AFileThatTakesNoWriteStopsTheSaveBeforeAnythingChanges) {
    const Bytes original = counting(200, 7);
    struct Case {
        const char* what;
        bool switchFileThere;
        std::function<bool()> spoil; // false when this system cannot do it
        fs::path failing;
    };
    const std::vector<Case> cases = {
        {"settings file in the kernel", true,
         [&] {
             return fs::is_regular_file("/proc/version") &&
                    (fs::create_symlink("/proc/version", settingsFile()), true);
         },
         settingsFile()},
        {"settings file in the kernel, switch file new", false,
         [&] {
             return fs::is_regular_file("/proc/version") &&
                    (fs::create_symlink("/proc/version", settingsFile()), true);
         },
         settingsFile()},
        {"immutable settings file", true,
         [&] {
             return writeFile(settingsFile(), {1, 2}), setImmutable(settingsFile(), true);
         },
         settingsFile()},
        {"immutable switch file", true, [&] { return setImmutable(switchFile(), true); },
         switchFile()},
    };
    std::string notHere;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(settingsFile());
        fs::remove(switchFile());
        if (c.switchFileThere) {
            writeFile(switchFile(), original);
        }
        if (!c.spoil()) {
            notHere += std::string(notHere.empty() ? "" : ", ") + c.what;
            continue;
        }
        const auto error = SaveConfig(folder(), distinctConfig());
        setImmutable(switchFile(), false);
        setImmutable(settingsFile(), false);
        ASSERT_TRUE(error.has_value());
        EXPECT_TRUE(error->nothingChanged());
        EXPECT_EQ(error->error.path, c.failing.string());
        EXPECT_EQ(c.switchFileThere ? readFile(switchFile()) : Bytes(),
                  !original.empty() && c.switchFileThere ? original : Bytes());
        EXPECT_EQ(fs::exists(switchFile()), c.switchFileThere) << "a file this save made is gone";
    }
    if (!notHere.empty()) {
        GTEST_SKIP() << "the other cases passed; this system cannot make: " << notHere;
    }
}

TEST_F(ConfigFilesTest, OneProgramWritesAFolderAtATime) {
    // Another program holds the folder for a save that takes a while.
    std::array<int, 2> ready{};
    ASSERT_EQ(::pipe(ready.data()), 0);
    const pid_t other = ::fork();
    if (other == 0) {
        LockedFolder saving;
        const bool locked = !saving.open(folder()).has_value();
        (void)!::write(ready[1], locked ? "y" : "n", 1);
        ::usleep(500'000);
        ::_exit(0);
    }
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    ASSERT_EQ(locked, 'y');

    // A save or a load that will not wait that long is refused, and writes nothing.
    LockedFolder impatient;
    const auto error = impatient.open(folder(), std::chrono::milliseconds(100));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message(), "Could not lock \"" + folder() +
                                    "\": it is being written by another program; try again later.");
    StoredBlocks blocks;
    EXPECT_TRUE(ReadStoredBlocks(folder(), MissingFile::ReadsEmpty, blocks,
                                 std::chrono::milliseconds(100)));
    EXPECT_FALSE(fs::exists(switchFile()));
    // One that waits goes on when the other is done.
    EXPECT_EQ(SaveConfig(folder(), distinctConfig()), std::nullopt);
    EXPECT_EQ(fs::file_size(switchFile()), 112U);
    ::waitpid(other, nullptr, 0);

    // A writer kept out by a reader is told that it was a reader.
    const int reader = ::open(folder().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(reader, LOCK_SH), 0);
    EXPECT_EQ(impatient.open(folder(), std::chrono::milliseconds(100))->message(),
              "Could not lock \"" + folder() +
                  "\": it is being read by another program; try again later.");
    ::close(reader);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(ConfigFilesTest, AWriterThatDiesIsAFailedSaveAndAGroupKillDoesNotReachIt) {
    const ChannelConfig a = distinctConfig();
    ChannelConfig b;
    overwriteFromBlock(b.Switches, counting(112, 0x20));
    b.Recall = {0x0F, 0xF0};
    enum Outcome { NotSaved = 10, Saved, Other };
    struct Case {
        const char* what;
        std::function<void(seam::Recorder&)> arrange; // in the saving process
        bool killGroup;
        const ChannelConfig& after;
        std::optional<int> outcome; // the saver's, unless it was killed
    };
    const std::vector<Case> cases = {
        {"the writer is killed at the switch file",
         [](seam::Recorder& calls) { calls.dieAt("pwrite", "switches.mx", SIGKILL); }, false, a,
         NotSaved},
        {"the writer is killed at the settings file",
         [](seam::Recorder& calls) { calls.dieAt("pwrite", "settings.cmx", SIGKILL); }, false, a,
         NotSaved},
        {"the writer is killed just after the settings file's write",
         [](seam::Recorder& calls) { calls.dieAfter("pwrite", "settings.cmx", SIGKILL); }, false, a,
         NotSaved},
        {"a file-size limit, as prlimit --fsize=50 sets it",
         [](seam::Recorder&) {
             std::signal(SIGXFSZ, SIG_DFL);
             const rlimit limit{50, RLIM_INFINITY};
             ::setrlimit(RLIMIT_FSIZE, &limit);
         },
         false, a, NotSaved},
        {"the saver's process group is killed between the writes",
         [](seam::Recorder& calls) { calls.delayNext("pwrite", "settings.cmx", 300); }, true, b,
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(switchFile());
        ASSERT_EQ(SaveConfig(folder(), a), std::nullopt);
        fs::resize_file(switchFile(), 0); // so that a limit of 50 bytes bites
        const pid_t saver = ::fork();
        if (saver == 0) {
            ::setpgid(0, 0);
            seam::Recorder calls;
            c.arrange(calls);
            const auto error = SaveConfig(folder(), b);
            ::_exit(!error ? Saved : error->nothingChanged() ? NotSaved : Other);
        }
        if (c.killGroup) {
            ::usleep(100'000);
            ::kill(-saver, SIGKILL);
        }
        int status = 0;
        ::waitpid(saver, &status, 0);
        if (c.outcome) {
            ASSERT_TRUE(WIFEXITED(status)) << "the saver itself lives";
            EXPECT_EQ(WEXITSTATUS(status), *c.outcome);
        }
        // Read once the writer, if it lives, has let go of the folder.
        StoredBlocks stored;
        ASSERT_EQ(ReadStoredBlocks(folder(), MissingFile::IsAnError, stored), std::nullopt);
        const StoredBlocks expected = blocksOf(c.after);
        EXPECT_EQ(stored.settings, expected.settings);
        EXPECT_EQ(stored.switches,
                  &c.after == &a ? std::vector<std::uint8_t>{} : expected.switches);
    }
}

TEST_F(ConfigFilesTest, AKilledSaveLeavesOneWholeConfigurationOrTheOther) {
    const ChannelConfig a = distinctConfig();
    ChannelConfig b;
    overwriteFromBlock(b.Switches, counting(112, 0x20));
    b.Recall = {0x0F, 0xF0};
    ASSERT_EQ(SaveConfig(folder(), a), std::nullopt);
    std::mt19937 random(18);
    std::uniform_int_distribution<int> pause(100, 4000);
    int kills = 0;
    for (; kills < 300; ++kills) {
        const pid_t saver = ::fork();
        if (saver == 0) {
            for (unsigned round = 0;; ++round) {
                SaveConfig(folder(), round % 2 == 0 ? b : a);
            }
        }
        ::usleep(static_cast<useconds_t>(pause(random)));
        ::kill(saver, SIGKILL);
        ::waitpid(saver, nullptr, 0);
        StoredBlocks stored;
        ASSERT_EQ(ReadStoredBlocks(folder(), MissingFile::IsAnError, stored), std::nullopt);
        ASSERT_TRUE(stored == blocksOf(a) || stored == blocksOf(b)) << "after kill " << kills;
    }
    std::cout << kills << " saves killed, each left one whole configuration\n";
}

// Runs call in a child process; true when it ended within the timeout. A call
// that blocks for good is killed, so the suite ends even then.
bool endsInTime(const std::function<void()>& call) {
    const pid_t child = ::fork();
    if (child == 0) {
        call();
        ::_exit(0);
    }
    for (int waited = 0; waited < 500; ++waited) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) {
            return WIFEXITED(status);
        }
        ::usleep(10'000);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return false;
}

TEST_F(ConfigFilesTest, ANamesFileThatIsNoFileOfItsOwnIsReportedAndLeftAlone) {
    const fs::path names = dir_ / NamesFileName;
    const fs::path other = dir_ / "other-names.txt";
    const std::string otherText = "Unit: Another unit\n";
    std::ofstream(other) << otherText;
    struct Case {
        const char* what;
        std::function<void()> make;
        std::string message;
    };
    const std::string path = names.string();
    const std::vector<Case> cases = {
        {"named pipe", [&] { ::mkfifo(names.c_str(), 0666); },
         "Could not open \"" + path + "\": it is a named pipe, not a regular file."},
        {"link", [&] { fs::create_symlink(other, names); },
         "Could not open \"" + path + "\": it is a symbolic link to \"" + other.string() +
             "\", which names are never read or written through."},
        {"directory", [&] { fs::create_directory(names); },
         "Could not open \"" + path + "\": error 21, Is a directory."},
    };
    UnitNames named;
    named.channels[0] = "Host";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(names);
        c.make();
        const fs::file_status before = fs::symlink_status(names);
        ASSERT_TRUE(endsInTime([&] {
            UnitNames read;
            ReadNames(folder(), read);
            std::optional<FileError> namesError;
            SaveConfig(folder(), ChannelConfig{}, &named, &namesError);
        }));
        UnitNames read;
        EXPECT_EQ(ReadNames(folder(), read).value_or(FileError{}).message(), c.message);
        std::optional<FileError> namesError;
        EXPECT_FALSE(SaveConfig(folder(), distinctConfig(), &named, &namesError));
        EXPECT_EQ(namesError.value_or(FileError{}).message(), c.message);
        EXPECT_EQ(fs::symlink_status(names).type(), before.type());
        const SwitchBlock saved = toBlock(distinctConfig().Switches);
        EXPECT_EQ(readFile(switchFile()), Bytes(saved.begin(), saved.end())) << "the unit is saved";
    }
    EXPECT_EQ(readFile(other), Bytes(otherText.begin(), otherText.end())) << "not written through";
}

TEST_F(ConfigFilesTest, OnlyRegularFilesAreReadOrWritten) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> make;
        std::string description; // empty: the error is an OS error
        int errorNumber;
        std::string saveDescription = {}; // when a save says otherwise
    };
    const fs::path target = dir_ / "elsewhere" / "target.mx";
    const auto linkTo = [](const std::string& to) {
        return "it is a symbolic link to \"" + to +
               "\"; a unit's files are saved only as files of its own folder";
    };
    const std::vector<Case> cases = {
        {"named pipe", [](const fs::path& p) { ::mkfifo(p.c_str(), 0666); },
         "it is a named pipe, not a regular file", 0},
        {"link to /dev/null", [](const fs::path& p) { fs::create_symlink("/dev/null", p); },
         "it is a character device, not a regular file", 0, linkTo("/dev/null")},
        {"socket",
         [](const fs::path& p) {
             const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             std::strncpy(address.sun_path, p.c_str(), sizeof(address.sun_path) - 1);
             (void)::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
             ::close(fd);
         },
         "it is a socket, not a regular file", 0},
        {"dangling link", [&](const fs::path& p) { fs::create_symlink(target, p); },
         "it is a dangling link to \"" + target.string() + "\"", 0, linkTo(target.string())},
        {"directory", [](const fs::path& p) { fs::create_directory(p); }, "", EISDIR},
    };
    for (const Case& c : cases) {
        for (const bool onSwitchFile : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (onSwitchFile ? " as switch file" : " as settings"));
            fs::remove_all(dir_);
            fs::create_directory(dir_);
            const fs::path bad = onSwitchFile ? switchFile() : settingsFile();
            const fs::path good = onSwitchFile ? settingsFile() : switchFile();
            c.make(bad);
            writeFile(good, {0x42});

            ChannelConfig config = distinctConfig();
            ASSERT_TRUE(endsInTime([&] { LoadConfig(folder(), MissingFile::Create, config); }));
            ASSERT_TRUE(endsInTime([&] { SaveConfig(folder(), config); }));

            const auto loadError = LoadConfig(folder(), MissingFile::Create, config);
            const auto saveError = SaveConfig(folder(), config);
            ASSERT_TRUE(loadError.has_value());
            ASSERT_TRUE(saveError.has_value());
            for (const FileError& error : {*loadError, saveError->error}) {
                EXPECT_EQ(error.path, bad.string());
                EXPECT_EQ(error.errorNumber, c.errorNumber);
            }
            if (!c.description.empty()) {
                EXPECT_EQ(loadError->description, c.description);
                EXPECT_EQ(saveError->error.description,
                          c.saveDescription.empty() ? c.description : c.saveDescription);
            }
            // Checked before anything is written: nothing changed anywhere.
            EXPECT_TRUE(saveError->nothingChanged());
            EXPECT_EQ(config, distinctConfig());
            EXPECT_EQ(readFile(good), Bytes{0x42});
            EXPECT_FALSE(fs::exists(target));
        }
    }
}

TEST_F(ConfigFilesTest, AConfigurationToCompareIsReadWholeCreatingNothingAndNeverWaiting) {
    const ChannelConfig unit = distinctConfig();
    ASSERT_EQ(SaveConfig(folder(), unit), std::nullopt);
    const fs::path texts = dir_ / "texts";
    fs::create_directory(texts);
    const auto text = [&](const char* name, const std::string& content) {
        std::ofstream(texts / name) << content;
        return (texts / name).string();
    };
    const fs::path half = dir_ / "half";
    fs::create_directory(half);
    std::ofstream(half / "switches.mx") << "x";
    const fs::path pipe = texts / "pipe.txt";
    ::mkfifo(pipe.c_str(), 0666);
    struct Case {
        std::string path;
        std::string message; // empty: read
    };
    const std::vector<Case> cases = {
        {folder(), ""},
        {text("unit.txt", configToText(unit)), ""},
        {half.string(), "Could not open \"" + (half / "settings.cmx").string() +
                            "\": error 2, No such file or directory."},
        {text("empty.txt", "# nothing\n"),
         (texts / "empty.txt").string() + ": no configuration in it"},
        {text("bad.txt", "Channel 9\n"),
         (texts / "bad.txt").string() +
             ": line 1, column 9: there is no channel 9; channels are 1 to 8"},
        {pipe.string(),
         "Could not open \"" + pipe.string() + "\": it is a named pipe, not a regular file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(endsInTime([&] {
            ChannelConfig config;
            ReadConfigSource(c.path, config);
        })) << "a pipe with no writer is refused, not waited on";
        ChannelConfig config = distinctConfig();
        config.Recall.MicGainRecall ^= 0xFF;
        const ChannelConfig before = config;
        const auto error = ReadConfigSource(c.path, config);
        EXPECT_EQ(error ? error->message() : "", c.message);
        EXPECT_EQ(config, c.message.empty() ? unit : before) << "all or nothing";
    }
    EXPECT_FALSE(fs::exists(half / "settings.cmx")) << "nothing created";
}

} // namespace
} // namespace mx

namespace mx {
namespace {

// Two units that differ in every byte and in their names.
struct TwoUnits {
    ChannelConfig a = distinctConfig();
    ChannelConfig b;
    UnitNames alpha;
    UnitNames beta;
    TwoUnits() {
        overwriteFromBlock(b.Switches, counting(112, 0x20));
        b.Recall = {0x0F, 0xF0};
        alpha.unit = "Alpha";
        beta.unit = "Beta";
        beta.channels[7] = "Guest";
    }
    // Whether the folder holds one of them whole, its names with its bytes.
    ::testing::AssertionResult wholeIn(const std::string& folder) const {
        ChannelConfig config;
        SourceNames names;
        if (auto error = LoadConfig(folder, MissingFile::IsAnError, config, nullptr, &names)) {
            return ::testing::AssertionFailure() << error->message();
        }
        if ((config == a && names.names == alpha) || (config == b && names.names == beta)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "bytes of one save, names \"" << names.names.unit
                                             << "\" of " << (config == a ? "A" : "B?");
    }
};

std::vector<std::string> leftBeside(const fs::path& folder) {
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".new-") != std::string::npos) {
            left.push_back(entry.path().filename().string());
        }
    }
    return left;
}

TEST_F(ConfigFilesTest, AUnitsThreeFilesAreSavedAsOneWhateverStopsTheSave) {
    const TwoUnits units;
    struct Case {
        const char* what;
        std::function<void(seam::Recorder&)> arrange; // in the saving process
        int signal = 0;                               // sent to the saver meanwhile
    };
    std::vector<Case> cases;
    for (const char* call : {"pwrite", "rename"}) {
        for (const char* file : {"switches.mx", "settings.cmx", "names.txt.new-*", "names.txt"}) {
            for (const bool after : {false, true}) {
                cases.push_back({"killed", [=](seam::Recorder& calls) {
                                     after ? calls.dieAfter(call, file, SIGKILL)
                                           : calls.dieAt(call, file, SIGKILL);
                                 }});
            }
        }
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        cases.push_back(
            {"a signal while it writes",
             [](seam::Recorder& calls) { calls.delayNext("pwrite", "settings.cmx", 300); },
             signal});
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(std::to_string(i) + ": " + cases[i].what);
        ASSERT_EQ(SaveConfig(folder(), units.a, &units.alpha), std::nullopt);
        const pid_t saver = ::fork();
        if (saver == 0) {
            seam::Recorder calls;
            cases[i].arrange(calls);
            ::_exit(SaveConfig(folder(), units.b, &units.beta) ? 1 : 0);
        }
        if (cases[i].signal != 0) {
            ::usleep(100'000);
            ::kill(saver, cases[i].signal);
        }
        ::waitpid(saver, nullptr, 0);
        EXPECT_TRUE(units.wholeIn(folder()));
        if (cases[i].signal != 0) {
            ChannelConfig saved;
            ASSERT_FALSE(LoadConfig(folder(), MissingFile::IsAnError, saved));
            EXPECT_EQ(saved, units.b) << "the save ends before the signal is taken";
        }
        // A later save of the folder leaves nothing of the killed one beside.
        ASSERT_EQ(SaveConfig(folder(), units.a, &units.alpha), std::nullopt);
        EXPECT_EQ(leftBeside(dir_), std::vector<std::string>{});
    }
}

TEST_F(ConfigFilesTest, AReaderSeesOneSaveWholeWhileAnotherWrites) {
    const TwoUnits units;
    ASSERT_EQ(SaveConfig(folder(), units.a, &units.alpha), std::nullopt);
    const pid_t writer = ::fork();
    if (writer == 0) {
        // A pause between saves lets the reader, which polls, in.
        for (unsigned round = 0;; ++round) {
            SaveConfig(folder(), round % 2 == 0 ? units.b : units.a,
                       round % 2 == 0 ? &units.beta : &units.alpha);
            ::usleep(1000);
        }
    }
    // Until each save has been read a few times, or a reading was not whole.
    std::array<int, 2> seen{};
    ::testing::AssertionResult whole = ::testing::AssertionSuccess();
    for (int read = 0; read < 5000 && whole && std::min(seen[0], seen[1]) < 5; ++read) {
        ChannelConfig config;
        whole = units.wholeIn(folder());
        if (whole && !LoadConfig(folder(), MissingFile::IsAnError, config)) {
            ++seen[config == units.a ? 0 : 1];
        }
        ::usleep(500); // and the writer, which polls too, in
    }
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    // Read once more: under the lock, so once a save the kill did not stop is
    // done, and whole too.
    EXPECT_TRUE(whole && units.wholeIn(folder()));
    EXPECT_GE(std::min(seen[0], seen[1]), 5);
}

TEST_F(ConfigFilesTest, ASaveStaysInTheFolderItOpenedWhateverTakesItsName) {
    const TwoUnits units;
    const fs::path other = dir_ / "other";
    const fs::path unit = dir_ / "unit";
    fs::create_directory(other);
    ASSERT_EQ(SaveConfig(other.string(), units.a, &units.alpha), std::nullopt);
    // A folder made for a save, swapped for a link to another unit before
    // the save: refused.
    {
        MadeFolders made;
        ASSERT_FALSE(made.make(unit.string()));
        fs::remove(unit);
        fs::create_directory_symlink(other, unit);
        const FolderIdentity madeFolder = made.innermost().value();
        const auto refused = SaveConfig(unit.string(), units.b, &units.beta, nullptr, &madeFolder);
        ASSERT_TRUE(refused);
        EXPECT_NE(refused->error.message().find("no longer the folder made for it"),
                  std::string::npos);
    }
    EXPECT_TRUE(fs::is_symlink(unit)) << "not made by the save, not removed";
    fs::remove(unit);
    // A folder renamed and replaced by a link during the save: every file,
    // names.txt too, goes into the folder opened.
    fs::create_directory(unit);
    {
        seam::Recorder calls;
        calls.whenCalled("pwrite", "switches.mx", [&] {
            fs::rename(unit, dir_ / "moved");
            fs::create_directory_symlink(other, unit);
        });
        ASSERT_EQ(SaveConfig(unit.string(), units.b, &units.beta), std::nullopt);
    }
    EXPECT_TRUE(units.wholeIn((dir_ / "moved").string()));
    ChannelConfig config;
    SourceNames names;
    ASSERT_FALSE(LoadConfig(other.string(), MissingFile::IsAnError, config, nullptr, &names));
    EXPECT_EQ(config, units.a);
    EXPECT_EQ(names.names, units.alpha) << "the other unit keeps its names";
}

} // namespace
} // namespace mx
