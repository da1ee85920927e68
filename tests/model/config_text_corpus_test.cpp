// The fuzzer's seeds and a few hundred inputs made from them by the kinds of
// change a fuzzer makes, replayed in every test run through the fuzzer's own
// checks: the same inputs every time, so a failure can be run again.

#include "config_text_checks.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <vector>

namespace mx {
namespace {

std::vector<std::string> corpus() {
    std::vector<std::string> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(MX_FUZZ_CORPUS)) {
        std::ifstream file(entry.path(), std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return seeds;
}

TEST(ConfigTextCorpus, EverySeedAndMutationKeepsTheReadersProperties) {
    const std::vector<std::string> seeds = corpus();
    ASSERT_GE(seeds.size(), 7U) << MX_FUZZ_CORPUS;
    for (const std::string& seed : seeds) {
        EXPECT_EQ(brokenTextProperty(seed), nullptr) << seed;
    }
    std::mt19937 random(25);
    const auto below = [&](std::size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    for (int round = 0; round < 400; ++round) {
        std::string text = seeds[below(seeds.size())];
        for (int change = 0, changes = 1 + static_cast<int>(below(4)); change < changes; ++change) {
            const std::size_t at = below(text.size() + 1);
            // A byte of any value, a run cut out or repeated, an early end,
            // part of another seed spliced in.
            const std::string& other = seeds[below(seeds.size())];
            switch (below(5)) {
            case 0:
                text.insert(at, 1, static_cast<char>(below(256)));
                break;
            case 1:
                text.erase(at, below(40));
                break;
            case 2:
                text.insert(at, text.substr(at, below(60)));
                break;
            case 3:
                text.resize(at);
                break;
            default:
                text.insert(at, other.substr(below(other.size()), below(200)));
            }
        }
        EXPECT_EQ(brokenTextProperty(text), nullptr) << "round " << round << ":\n" << text;
    }
}

} // namespace
} // namespace mx
