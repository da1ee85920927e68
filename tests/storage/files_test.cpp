// The primitives every file the program touches goes through, one table
// each; this suite runs on Linux and, cross-built, on Windows.

#include "claim_file.h"
#include "files.h"
#include "output_file.h"
#include "storage_fixture.h"

#include <functional>
#include <gtest/gtest.h>

namespace mx {
namespace {

std::string text(const fs::path& path) {
    const Bytes bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

TEST_F(ConfigFilesTest, ARegularFileOfItsOwnIsReadWholeWithinItsBound) {
    writeFile(dir_ / "ten", counting(10, 'a'));
    fs::create_directory(dir_ / "folder");
    struct Case {
        const char* name;
        std::size_t longest;
        std::string read;  // when it reads
        std::string error; // else the start of its message
    };
    const std::vector<Case> cases = {
        {"ten", 10, "abcdefghij", {}},
        {"ten",
         9,
         {},
         "Could not read \"" + (dir_ / "ten").string() + "\": it is far too long (10"},
        {"none", 10, {}, "Could not open \"" + (dir_ / "none").string() + "\": error "},
        {"folder", 10, {}, "Could not open \"" + (dir_ / "folder").string() + "\": "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = "kept";
        const auto error = ReadRegularFile((dir_ / c.name).string(), c.longest, bytes);
        EXPECT_EQ(error ? error->message().substr(0, c.error.size()) : "", c.error);
        EXPECT_EQ(bytes, c.error.empty() ? c.read : "kept");
    }
}

TEST_F(ConfigFilesTest, AFileIsReplacedWholeOrLeftAsItWas) {
    const fs::path file = dir_ / "list.txt";
    for (const Durability durability : {Durability::PowerCut, Durability::ProgramKilled}) {
        writeFile(file, counting(300, 1));
        ASSERT_FALSE(ReplaceFile(file.string(), "new", durability));
        EXPECT_EQ(text(file), "new");
    }
    // Into a folder that is not there, or over a folder: nothing is left.
    EXPECT_TRUE(ReplaceFile((dir_ / "none" / "x").string(), "new", Durability::PowerCut));
    fs::create_directory(dir_ / "folder");
    EXPECT_TRUE(ReplaceFile((dir_ / "folder").string(), "new", Durability::PowerCut));
    EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2)
        << "no new file left beside";
    ASSERT_FALSE(RenameFile(file.string(), (dir_ / "moved.txt").string()));
    EXPECT_EQ(text(dir_ / "moved.txt"), "new");
    EXPECT_FALSE(RemoveFile((dir_ / "moved.txt").string()));
    EXPECT_FALSE(RemoveFile((dir_ / "moved.txt").string())) << "gone already is no error";
}

TEST_F(ConfigFilesTest, FoldersAreMadeHoweverTheirPathIsSpelledAndOnlyTheyAreRemoved) {
    fs::create_directory(dir_ / "there");
    struct Case {
        std::string path;
        std::vector<std::string> made; // below dir_
    };
    const std::vector<Case> cases = {
        {"new//x", {"new", "new/x"}},
        {"a/./b/", {"a", "a/b"}},
        {"new/z/../w", {"new", "new/z", "new/w"}},
        {"new/.", {"new"}},
        {"there/y", {"there/y"}},
        {"there", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        for (const bool kept : {false, true}) {
            {
                MadeFolders made;
                ASSERT_FALSE(made.make((dir_ / c.path).string()));
                EXPECT_EQ(made.madeAny(), !c.made.empty());
                EXPECT_EQ(made.innermost().has_value(), !c.made.empty());
                for (const std::string& folder : c.made) {
                    EXPECT_TRUE(fs::is_directory(dir_ / folder)) << folder;
                }
                if (kept) {
                    made.keep();
                }
            }
            for (const std::string& folder : c.made) {
                EXPECT_EQ(fs::is_directory(dir_ / folder), kept) << folder;
            }
            for (const std::string& folder : c.made) {
                fs::remove_all(dir_ / folder);
            }
            EXPECT_TRUE(fs::is_directory(dir_ / "there")) << "not made here, never removed";
        }
    }
    // A name taken by a file stops it, and nothing made stays.
    writeFile(dir_ / "file", {1});
    MadeFolders blocked;
    EXPECT_TRUE(blocked.make((dir_ / "file" / "x").string()));
}

TEST(FileNames, NamesAreTheSameAsWindowsComparesThem) {
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"names.txt", "NAMES.TXT", true},     {"names.txt", "names.txt. .", true},
        {"\xC3\x9Cnit", "\xC3\xBCnit", true}, {"\xD0\x91\xD0\xBB", "\xD0\xB1\xD0\xBB", true},
        {"\xC4\x80", "\xC4\x81", true},       {"names.txt", "names.txt2", false},
        {".names.txt", "names.txt", false},   {"unit01", "unit1", false},
    };
    for (const auto& [a, b, same] : cases) {
        EXPECT_EQ(SameFileName(a, b), same) << a << " / " << b;
        EXPECT_EQ(FileNameKey(a) == FileNameKey(b), same) << a << " / " << b;
    }
}

TEST_F(ConfigFilesTest, AUnitsOwnFilesAreNeverOutput) {
    for (const char* name :
         {"names.txt", "NAMES.TXT", "Switches.MX", "settings.cmx.", "names.txt  "}) {
        SCOPED_TRACE(name);
        const std::string path = (dir_ / name).string();
        ASSERT_TRUE(CheckOutputFile(path));
        EXPECT_EQ(CheckOutputFile(path)->description,
                  "it is named as a unit's own files are, and is never written over");
        EXPECT_TRUE(WriteOutputFile(path, "<html>"));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 0);
}

TEST_F(ConfigFilesTest, AClaimIsHeldWhileItsOwnerLivesAndGoesWithIt) {
    const std::string path = (dir_ / "editor.lock").string();
    {
        ClaimFile claim;
        ASSERT_FALSE(claim.take(path));
        ASSERT_FALSE(claim.say("/units/a"));
        EXPECT_TRUE(ClaimFile::heldByAnother(path));
        EXPECT_EQ(text(path), "/units/a");
        ClaimFile second;
        EXPECT_TRUE(second.take(path)) << "one owner";
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(ClaimFile::heldByAnother(path));
}

} // namespace
} // namespace mx
