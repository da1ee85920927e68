#include "config_files.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <numeric>
#include <unistd.h>
#include <vector>

namespace mx {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes counting(std::size_t size, std::uint8_t first = 0) {
    Bytes bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// A configuration with a distinct value in every byte, bits 32 and 64 included.
ChannelConfig distinctConfig() {
    ChannelConfig config;
    overwriteFromBlock(config.Switches, counting(SwitchBlockSize, 0x90));
    config.Recall = {0x5A, 0xC3};
    return config;
}

class ConfigFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/mx-storage-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string folder() const { return dir_.string(); }
    fs::path switchFile() const { return dir_ / "switches.mx"; }
    fs::path settingsFile() const { return dir_ / "settings.cmx"; }

    fs::path dir_;
};

TEST_F(ConfigFilesTest, LoadMapsFileOffsetsToChannelsAndFields) {
    writeFile(switchFile(), counting(112));
    writeFile(settingsFile(), {0x81, 0x02});

    ChannelConfig config;
    ASSERT_EQ(LoadConfig(folder(), config), std::nullopt);
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
    ASSERT_EQ(LoadConfig(folder(), config), std::nullopt);
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
    ASSERT_EQ(LoadConfig(folder(), config), std::nullopt);
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
    ASSERT_EQ(LoadConfig(folder(), config), std::nullopt);

    SwitchBlock expected = toBlock(distinctConfig().Switches);
    std::fill_n(expected.begin(), 20, 0x01);
    EXPECT_EQ(toBlock(config.Switches), expected);
    EXPECT_EQ(config.Recall, (RecallSettings{0x44, 0xC3}));
}

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
    ASSERT_EQ(LoadConfig(folder(), config), std::nullopt);
    const Bytes content = readFile(readOnly);
    ASSERT_GE(content.size(), 2U);
    EXPECT_EQ(config.Switches.Channels[0].Disabled, content[0]);
    EXPECT_EQ(config.Recall.FaderRecall, content[1]);
}

TEST_F(ConfigFilesTest, FailedLoadsLeaveTheModelAndTheOtherFileUntouched) {
    const ChannelConfig before = distinctConfig();
    ChannelConfig config = before;

    // Missing folder: the switch file cannot be created, nothing else is tried.
    const std::string missing = (dir_ / "missing").string();
    auto error = LoadConfig(missing, config);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->path, missing + "/switches.mx");
    EXPECT_EQ(error->operation, FileOperation::Create);
    EXPECT_EQ(error->errorNumber, ENOENT);
    EXPECT_EQ(error->description, "No such file or directory");
    EXPECT_EQ(config, before);
    EXPECT_FALSE(fs::exists(missing));

    // A good switch file but a folder in place of the settings file: the
    // switch file was read, yet the model must not take it.
    writeFile(switchFile(), counting(112));
    fs::create_directory(settingsFile());
    error = LoadConfig(folder(), config);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->path, settingsFile().string());
    EXPECT_EQ(error->errorNumber, EISDIR);
    EXPECT_EQ(config, before);
    EXPECT_EQ(readFile(switchFile()), counting(112));

    // A folder in place of the switch file: the settings file is not touched.
    fs::remove(settingsFile());
    fs::remove(switchFile());
    fs::create_directory(switchFile());
    error = LoadConfig(folder(), config);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->path, switchFile().string());
    EXPECT_EQ(error->operation, FileOperation::Read);
    EXPECT_EQ(error->errorNumber, EISDIR);
    EXPECT_EQ(config, before);
    EXPECT_FALSE(fs::exists(settingsFile()));
}

TEST_F(ConfigFilesTest, FailedSavesReportTheFileAndTouchNothingAfterIt) {
    const ChannelConfig config = distinctConfig();

    // Missing folder.
    const std::string missing = (dir_ / "missing").string();
    auto error = SaveConfig(missing, config);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->path, missing + "/switches.mx");
    EXPECT_EQ(error->operation, FileOperation::Open);
    EXPECT_EQ(error->errorNumber, ENOENT);
    EXPECT_FALSE(fs::exists(missing));

    // A full disk under the switch file: the settings file keeps its bytes.
    fs::create_symlink("/dev/full", switchFile());
    writeFile(settingsFile(), {0x11, 0x22});
    error = SaveConfig(folder(), config);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->path, switchFile().string());
    EXPECT_EQ(error->operation, FileOperation::Write);
    EXPECT_EQ(error->errorNumber, ENOSPC);
    EXPECT_EQ(readFile(settingsFile()), (Bytes{0x11, 0x22}));

    // The switch file is written first, then the settings file fails.
    fs::remove(switchFile());
    fs::remove(settingsFile());
    fs::create_symlink("/dev/full", settingsFile());
    error = SaveConfig(folder(), config);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->path, settingsFile().string());
    EXPECT_EQ(error->errorNumber, ENOSPC);
    EXPECT_EQ(fs::file_size(switchFile()), 112U);

    // A folder in place of the settings file.
    fs::remove(settingsFile());
    fs::create_directory(settingsFile());
    error = SaveConfig(folder(), config);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->path, settingsFile().string());
    EXPECT_EQ(error->operation, FileOperation::Open);
    EXPECT_EQ(error->errorNumber, EISDIR);
}

TEST(FileErrorMessage, NamesTheFileTheErrorNumberAndItsDescription) {
    const FileError error{"/cfg/switches.mx", FileOperation::Write, 28, "No space left on device"};
    EXPECT_EQ(error.message(),
              "Could not write \"/cfg/switches.mx\": error 28, No space left on device.");
}

} // namespace
} // namespace mx
