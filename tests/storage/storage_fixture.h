#pragma once

// What the storage suites of every platform share: a fresh folder for each
// test, and the bytes of its files.

#include "config_files.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <numeric>
#include <random>
#include <vector>

namespace mx {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline Bytes counting(std::size_t size, std::uint8_t first = 0) {
    Bytes bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// A configuration with a distinct value in every byte, bits 32 and 64 included.
inline ChannelConfig distinctConfig() {
    ChannelConfig config;
    overwriteFromBlock(config.Switches, counting(SwitchBlockSize, 0x90));
    config.Recall = {0x5A, 0xC3};
    return config;
}

class ConfigFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path() / ("mx-storage-" + std::to_string(random()));
            if (fs::create_directory(candidate)) {
                dir_ = candidate;
            }
        }
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string folder() const { return dir_.string(); }
    fs::path switchFile() const { return dir_ / "switches.mx"; }
    fs::path settingsFile() const { return dir_ / "settings.cmx"; }

    fs::path dir_;
};

} // namespace mx
