// What only Windows has: share modes, by which a file open for a save keeps
// every other writer out, whatever that writer locks.

#include "config_files.h"
#include "storage_fixture.h"
#include "syscall_seam.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace mx {
namespace {

TEST_F(ConfigFilesTest, NoOtherProgramWritesAUnitsFileWhileASaveWritesIt) {
    writeFile(switchFile(), counting(112));
    writeFile(settingsFile(), {1, 2});
    for (const fs::path& file : {switchFile(), settingsFile()}) {
        SCOPED_TRACE(file.filename().string());
        DWORD refusal = 0;
        {
            seam::Recorder calls;
            calls.whenCalled("pwrite", file.filename().string(), [&] {
                // As another program would open it: sharing everything.
                const HANDLE other =
                    ::CreateFileW(file.wstring().c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                refusal = other == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
                if (other != INVALID_HANDLE_VALUE) {
                    ::CloseHandle(other);
                }
            });
            ASSERT_EQ(SaveConfig(folder(), distinctConfig()), std::nullopt);
        }
        EXPECT_EQ(refusal, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
}

} // namespace
} // namespace mx
