// The guarantees of a unit's files that hold on every platform: this suite
// runs on Linux and, cross-built, on Windows.

#include "config_files.h"
#include "names_file.h"
#include "output_file.h"
#include "platform.h"
#include "storage_fixture.h"
#include "syscall_seam.h"

#include <cerrno>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mx {
namespace {

TEST_F(ConfigFilesTest, LoadMapsFileOffsetsToChannelsAndFields) {
    writeFile(switchFile(), counting(112));
    writeFile(settingsFile(), {0x81, 0x02});

    ChannelConfig config;
    ASSERT_EQ(LoadConfig(folder(), MissingFile::Create, config), std::nullopt);
    EXPECT_EQ(config.Switches.Channels[1].Disabled, 0x0E);
    EXPECT_EQ(config.Switches.Channels[7].Tb4Delatches, 0x6F);
    const SwitchBlock loaded = toBlock(config.Switches);
    EXPECT_EQ(Bytes(loaded.begin(), loaded.end()), counting(112));
    EXPECT_EQ(config.Recall.MicGainRecall, 0x81);
    EXPECT_EQ(config.Recall.FaderRecall, 0x02);
}

TEST_F(ConfigFilesTest, SaveAfterLoadRewritesBothFilesByteForByte) {
    const Bytes switches = counting(112, 0x37);
    const Bytes settings = {0xE0, 0x60};
    writeFile(switchFile(), switches);
    writeFile(settingsFile(), settings);

    ChannelConfig config;
    ASSERT_EQ(LoadConfig(folder(), MissingFile::Create, config), std::nullopt);
    const SwitchBlock loaded = toBlock(config.Switches);
    EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), switches.begin(), switches.end()));

    fs::remove(switchFile());
    fs::remove(settingsFile());
    ASSERT_EQ(SaveConfig(folder(), config), std::nullopt);
    EXPECT_EQ(readFile(switchFile()), switches);
    EXPECT_EQ(readFile(settingsFile()), settings);
}

TEST_F(ConfigFilesTest, SaveOverLongerFilesKeepsTheirLengthAndTail) {
    writeFile(switchFile(), Bytes(200, 0xEE));
    writeFile(settingsFile(), Bytes(5, 0xDD));

    const ChannelConfig config = distinctConfig();
    ASSERT_EQ(SaveConfig(folder(), config), std::nullopt);

    const Bytes switches = readFile(switchFile());
    ASSERT_EQ(switches.size(), 200U);
    const SwitchBlock block = toBlock(config.Switches);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), switches.begin()));
    EXPECT_EQ(Bytes(switches.begin() + 112, switches.end()), Bytes(88, 0xEE));
    EXPECT_EQ(readFile(settingsFile()), (Bytes{0x5A, 0xC3, 0xDD, 0xDD, 0xDD}));
}

TEST_F(ConfigFilesTest, LoadFromAnEmptyFolderCreatesEmptyFilesAndKeepsTheModel) {
    ChannelConfig config = distinctConfig();
    ASSERT_EQ(LoadConfig(folder(), MissingFile::Create, config), std::nullopt);
    EXPECT_EQ(config, distinctConfig());
    ASSERT_TRUE(fs::is_regular_file(switchFile()));
    ASSERT_TRUE(fs::is_regular_file(settingsFile()));
    EXPECT_EQ(fs::file_size(switchFile()), 0U);
    EXPECT_EQ(fs::file_size(settingsFile()), 0U);

    ASSERT_EQ(SaveConfig(folder(), config), std::nullopt);
    EXPECT_EQ(fs::file_size(switchFile()), 112U);
    EXPECT_EQ(fs::file_size(settingsFile()), 2U);
}

TEST_F(ConfigFilesTest, ShortFilesOverwriteOnlyTheBytesTheyHave) {
    writeFile(switchFile(), Bytes(20, 0x01));
    writeFile(settingsFile(), {0x44});

    ChannelConfig config = distinctConfig();
    ASSERT_EQ(LoadConfig(folder(), MissingFile::Create, config), std::nullopt);

    SwitchBlock expected = toBlock(distinctConfig().Switches);
    std::fill_n(expected.begin(), 20, 0x01);
    EXPECT_EQ(toBlock(config.Switches), expected);
    EXPECT_EQ(config.Recall, (RecallSettings{0x44, 0xC3}));
}

TEST_F(ConfigFilesTest, AFailedSaveSaysWhatEachFileNowHolds) {
    writeFile(switchFile(), counting(112, 1));
    writeFile(settingsFile(), {0x5A, 0xC3});
    // The settings file refuses the write, and then the switch file refuses
    // to take back its old bytes.
    seam::Recorder calls;
    calls.failNext("pwrite", "settings.cmx", ENOSPC);
    calls.failNext("pwrite", "switches.mx", EIO, 1);
    const auto error = SaveConfig(folder(), distinctConfig());
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->switches, FileContent::New);
    EXPECT_EQ(error->settings, FileContent::Same);
    EXPECT_EQ(error->error.errorNumber, ENOSPC);

    struct Case {
        FileContent switches;
        FileContent settings;
        std::string summary;
    };
    const std::string start = "The configuration was only partly saved to \"/u\": \"switches.mx\" ";
    for (const Case& c : std::vector<Case>{
             {FileContent::Old, FileContent::Same, "The configuration was not saved to \"/u\"."},
             {FileContent::New, FileContent::Same,
              start + "now holds the new configuration, and \"settings.cmx\" is unchanged, as it "
                      "already held the new configuration."},
             {FileContent::New, FileContent::Old,
              start + "now holds the new configuration, and \"settings.cmx\" still holds the old "
                      "configuration. The two files are now out of step."},
             {FileContent::Damaged, FileContent::Old,
              start + "holds part of the new configuration over the old one, and \"settings.cmx\" "
                      "still holds the old configuration. The two files are now out of step."},
             {FileContent::New, FileContent::New,
              "The configuration was written to \"/u\", but may not be safely on the disk."},
         }) {
        const FileError reason{
            "", c.switches == c.settings ? FileOperation::Sync : FileOperation::Write, 0, ""};
        EXPECT_EQ((SaveError{"/u", reason, c.switches, c.settings}.summary()), c.summary);
    }
}

TEST_F(ConfigFilesTest, AnUndoneWriteTakesBackTheBytesAndTheLengthItAdded) {
    for (const std::size_t length : {1U, 50U, 111U, 112U, 200U}) {
        SCOPED_TRACE(length);
        writeFile(switchFile(), counting(length, 3));
        writeFile(settingsFile(), {0x11});
        seam::Recorder calls;
        calls.failNext("pwrite", "settings.cmx", ENOSPC);
        const auto error = SaveConfig(folder(), distinctConfig());
        ASSERT_TRUE(error.has_value());
        EXPECT_TRUE(error->nothingChanged());
        EXPECT_EQ(readFile(switchFile()), counting(length, 3));
        EXPECT_EQ(readFile(settingsFile()), Bytes{0x11});
    }
}

// A symbolic link where the system makes one: wine makes none, and MinGW's
// library has no call for it.
bool symlinkMade(const fs::path& to, const fs::path& link) {
    std::error_code error;
    fs::create_symlink(to, link, error);
    return !error && fs::is_symlink(link);
}

TEST_F(ConfigFilesTest, ASaveNeverWritesThroughALinkIntoAnotherUnitsFile) {
    const fs::path other = dir_ / "other";
    fs::create_directory(other);
    struct Case {
        const char* what;
        std::function<bool()> link; // false where the system cannot make it
        fs::path refused;
        std::string description;
    };
    const std::vector<Case> cases = {
        {"a symbolic link", [&] { return symlinkMade(other / "switches.mx", switchFile()); },
         switchFile(),
         "it is a symbolic link to \"" + (other / "switches.mx").string() +
             "\"; a unit's files are saved only as files of its own folder"},
        {"a hard link",
         [&] { return fs::create_hard_link(other / "switches.mx", switchFile()), true; },
         switchFile(),
         "it has another name elsewhere (a hard link), so saving would change that file too"},
        {"a hard link from one file to the other",
         [&] {
             fs::remove(settingsFile());
             writeFile(switchFile(), {0x42, 0x43});
             return fs::create_hard_link(switchFile(), settingsFile()), true;
         },
         switchFile(),
         "it has another name elsewhere (a hard link), so saving would change that file too"},
    };
    std::string notHere;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(switchFile());
        fs::remove(settingsFile());
        writeFile(other / "switches.mx", counting(112, 1));
        writeFile(settingsFile(), {0x42, 0x43});
        if (!c.link()) {
            notHere += std::string(notHere.empty() ? "" : ", ") + c.what;
            continue;
        }
        ChannelConfig config;
        EXPECT_EQ(LoadConfig(folder(), MissingFile::IsAnError, config), std::nullopt)
            << "reading through it is fine";
        const Bytes before = readFile(switchFile());
        const auto error = SaveConfig(folder(), distinctConfig());
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->error.path, c.refused.string());
        EXPECT_EQ(error->error.description, c.description);
        EXPECT_TRUE(error->nothingChanged());
        EXPECT_EQ(readFile(other / "switches.mx"), counting(112, 1));
        EXPECT_EQ(readFile(switchFile()), before);
        EXPECT_EQ(readFile(settingsFile()), (Bytes{0x42, 0x43}));
    }
    if (!notHere.empty()) {
        GTEST_SKIP() << "the other cases passed; this system cannot make: " << notHere;
    }
}

TEST_F(ConfigFilesTest, ASecondWriterIsRefusedWhileAFolderIsLockedAndNothingIsLeftBehind) {
    const auto impatiently = std::chrono::milliseconds(100);
    for (const bool filesThere : {true, false}) {
        SCOPED_TRACE(filesThere ? "files there" : "empty folder");
        fs::remove(switchFile());
        fs::remove(settingsFile());
        if (filesThere) {
            writeFile(switchFile(), counting(112));
            writeFile(settingsFile(), {1, 2});
        }
        {
            LockedFolder saving;
            ASSERT_EQ(saving.open(folder()), std::nullopt);
            LockedFolder impatient;
            const auto error = impatient.open(folder(), impatiently);
            ASSERT_TRUE(error.has_value());
            EXPECT_EQ(error->message(),
                      "Could not lock \"" + folder() +
                          "\": it is being written by another program; try again later.");
            StoredBlocks blocks;
            EXPECT_TRUE(ReadStoredBlocks(folder(), MissingFile::ReadsEmpty, blocks, impatiently));
        }
        // A lock given up without a save leaves the folder as it was.
        EXPECT_EQ(fs::exists(switchFile()), filesThere);
        EXPECT_EQ(readFile(switchFile()), filesThere ? counting(112) : Bytes());
    }

    // A save into an empty folder that fails leaves it empty.
    fs::create_directory(settingsFile());
    EXPECT_TRUE(SaveConfig(folder(), distinctConfig()).has_value());
    fs::remove(settingsFile());
    {
        seam::Recorder calls;
        calls.failNext("pwrite", "settings.cmx", ENOSPC);
        EXPECT_TRUE(SaveConfig(folder(), distinctConfig()).has_value());
    }
    EXPECT_TRUE(fs::is_empty(dir_));
    // Once the lock is free, a save goes through.
    EXPECT_EQ(SaveConfig(folder(), distinctConfig()), std::nullopt);
    EXPECT_EQ(fs::file_size(switchFile()), 112U);
}

TEST_F(ConfigFilesTest, ReadingBackCreatesNothingAndReportsWhatIsThere) {
    StoredBlocks blocks{{1, 2, 3}, {4}};
    ASSERT_EQ(ReadStoredBlocks(folder(), MissingFile::ReadsEmpty, blocks), std::nullopt);
    EXPECT_EQ(blocks, StoredBlocks{});
    const auto error = ReadStoredBlocks(folder(), MissingFile::IsAnError, blocks);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->path, switchFile().string());
    EXPECT_EQ(error->errorNumber, platform::errorNumber(platform::Condition::NotFound));
    EXPECT_FALSE(fs::exists(switchFile()));

    writeFile(switchFile(), counting(200));
    writeFile(settingsFile(), {0x81, 0x02, 0x33, 0x44, 0x55});
    ASSERT_EQ(ReadStoredBlocks(folder(), MissingFile::IsAnError, blocks), std::nullopt);
    EXPECT_EQ(blocks.switches, counting(112));
    EXPECT_EQ(blocks.settings, (Bytes{0x81, 0x02}));

    ChannelConfig config;
    StoredBlocks loaded;
    ASSERT_EQ(LoadConfig(folder(), MissingFile::Create, config, &loaded), std::nullopt);
    EXPECT_EQ(loaded, blocks);
    EXPECT_EQ(blocksOf(config).switches, counting(112));
}

TEST_F(ConfigFilesTest, ASaveIsOnDiskBeforeItSucceedsAndEveryFailedCallIsReported) {
    {
        const seam::Recorder calls;
        ASSERT_EQ(SaveConfig(folder(), distinctConfig()), std::nullopt);
        int lastCreate = -1;
        for (std::size_t i = 0; i < calls.calls().size(); ++i) {
            const seam::Call& call = calls.calls()[i];
            if ((call.flags & seam::Creates) != 0) {
                EXPECT_EQ(call.flags & (seam::Exclusive | seam::NoFollow),
                          seam::Exclusive | seam::NoFollow)
                    << call.name;
                lastCreate = static_cast<int>(i);
            }
        }
        ASSERT_GE(lastCreate, 0);
        const auto syncedAfter = [&](const std::string& name, int index) {
            for (std::size_t i = static_cast<std::size_t>(index) + 1; i < calls.calls().size();
                 ++i) {
                if (calls.calls()[i].call == "fsync" && calls.calls()[i].name == name) {
                    return true;
                }
            }
            return false;
        };
        if (seam::FoldersSync) {
            EXPECT_TRUE(syncedAfter("folder", lastCreate)) << "a new name is synced in its folder";
        }
        for (const std::string name : {"switches.mx", "settings.cmx"}) {
            SCOPED_TRACE(name);
            const int written = calls.indexOf("pwrite", name);
            ASSERT_GE(written, 0);
            EXPECT_TRUE(syncedAfter(name, written));
            EXPECT_LT(calls.indexOf("fsync", name), calls.indexOf("close", name));
        }
    }
    struct Case {
        const char* call;
        const char* name;
        int errorNumber;
        FileOperation operation;
    };
    std::vector<Case> cases = {Case{"pwrite", "settings.cmx", ENOSPC, FileOperation::Write},
                               Case{"fsync", "switches.mx", EIO, FileOperation::Sync},
                               Case{"fsync", "settings.cmx", EIO, FileOperation::Sync},
                               Case{"close", "switches.mx", EIO, FileOperation::Close},
                               Case{"close", "settings.cmx", EIO, FileOperation::Close}};
    if (seam::FoldersSync) {
        cases.push_back({"fsync", "folder", EIO, FileOperation::Sync});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + c.name);
        fs::remove(switchFile());
        fs::remove(settingsFile());
        seam::Recorder calls;
        calls.failNext(c.call, c.name, c.errorNumber);
        const auto error = SaveConfig(folder(), distinctConfig());
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->error.errorNumber, c.errorNumber);
        EXPECT_EQ(error->error.operation, c.operation);
        EXPECT_EQ(error->error.path,
                  std::string(c.name) == "folder" ? folder() : (dir_ / c.name).string());
    }
}

TEST_F(ConfigFilesTest, NamesLiveBesideTheUnitsFilesWhileAnythingIsNamed) {
    const fs::path names = dir_ / NamesFileName;
    const ChannelConfig config = distinctConfig();
    UnitNames named;
    named.unit = "Studio A";
    named.channels[2] = "Guest 2";
    const UnitNames unnamed;
    std::optional<FileError> namesError;
    ASSERT_FALSE(SaveConfig(folder(), config, &named, &namesError));
    EXPECT_FALSE(namesError);
    const Bytes unitFiles = readFile(switchFile());
    UnitNames read;
    ASSERT_FALSE(ReadNames(folder(), read));
    EXPECT_EQ(read, named);
    // Named again: the new names replace the old.
    named.channels[2] = "Guest 3";
    ASSERT_FALSE(SaveConfig(folder(), config, &named, &namesError));
    EXPECT_FALSE(namesError) << namesError->message();
    const std::string text = namesToText(named);
    EXPECT_EQ(readFile(names), Bytes(text.begin(), text.end()));

    // Named or not, the unit's own bytes are the same; unnamed, it holds only
    // its two files again.
    ASSERT_FALSE(SaveConfig(folder(), config, &unnamed, &namesError));
    EXPECT_FALSE(namesError);
    EXPECT_EQ(readFile(switchFile()), unitFiles);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
    ASSERT_FALSE(ReadNames(folder(), read));
    EXPECT_TRUE(read.empty());

    // What cannot be read as names is reported, kept, and never written over.
    for (const std::string& kept :
         {std::string("\x7F\x45\x4C\x46\x02\x00binary"), std::string(10 * 1024 * 1024, 'x')}) {
        writeFile(names, Bytes(kept.begin(), kept.end()));
        EXPECT_TRUE(ReadNames(folder(), read));
        EXPECT_FALSE(SaveConfig(folder(), ChannelConfig{}, &named, &namesError));
        ASSERT_TRUE(namesError);
        EXPECT_NE(namesError->message().find("is left as it is"), std::string::npos);
        EXPECT_EQ(readFile(names).size(), kept.size());
        EXPECT_NE(readFile(switchFile()), unitFiles) << "the unit is saved all the same";
    }
}

TEST_F(ConfigFilesTest, AFileReplacedWholeIsOnDiskBeforeItTakesItsName) {
    UnitNames named;
    named.unit = "Studio A";
    const std::vector<std::pair<const char*, std::function<void()>>> writers = {
        {"sheet.html",
         [&] { ASSERT_FALSE(WriteOutputFile((dir_ / "sheet.html").string(), "<p>sheet</p>")); }},
        {"names.txt",
         [&] {
             std::optional<FileError> namesError;
             ASSERT_FALSE(SaveConfig(folder(), distinctConfig(), &named, &namesError));
             ASSERT_FALSE(namesError);
         }},
    };
    for (const auto& [name, write] : writers) {
        SCOPED_TRACE(name);
        seam::Recorder calls;
        write();
        // Synced under its scratch name, so that after a power cut the name
        // holds the old file or the whole new one.
        EXPECT_GE(calls.indexOf("fsync", std::string(name) + ".new-*"), 0);
        EXPECT_TRUE(fs::exists(dir_ / name));
    }
}

TEST(FileErrorMessage, NamesTheFileTheErrorNumberAndItsDescription) {
    const FileError error{"/cfg/switches.mx", FileOperation::Write, 28, "No space left on device"};
    EXPECT_EQ(error.message(),
              "Could not write \"/cfg/switches.mx\": error 28, No space left on device.");
    const FileError refused{"/cfg/settings.cmx", FileOperation::Open, 0,
                            "it is a named pipe, not a regular file"};
    EXPECT_EQ(refused.message(),
              "Could not open \"/cfg/settings.cmx\": it is a named pipe, not a regular file.");
}

} // namespace
} // namespace mx
