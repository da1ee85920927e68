// The floors for mxcfg as a whole process: a program that links what mxcfg
// links and does only the file work a command needs.
//   mx_read_floor FOLDER...            reads each folder's two files
//                                      ("mxcfg show", "mxcfg diff --summary")
//   mx_read_floor --create FOLDER...   makes each folder and writes and syncs
//                                      its two files ("mxcfg import --create")

#include "config_files.h"

#include <QFile>
#include <array>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool readFolder(const char* folder) {
    qint64 total = 0;
    for (const char* name : {mx::SwitchFileName, mx::SettingsFileName}) {
        QFile file(QFile::decodeName(folder) + "/" + name);
        if (!file.open(QIODevice::ReadOnly)) {
            return false;
        }
        total += file.readAll().size();
    }
    return total > 0;
}

bool createFolder(const char* folder) {
    if (::mkdir(folder, 0777) != 0) {
        return false;
    }
    const std::array<char, mx::SwitchBlockSize> bytes{};
    for (const auto& [name, size] : {std::pair{mx::SwitchFileName, mx::SwitchBlockSize},
                                     std::pair{mx::SettingsFileName, mx::RecallBlockSize}}) {
        const std::string path = std::string(folder) + "/" + name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        const bool written = fd >= 0 &&
                             ::write(fd, bytes.data(), size) == static_cast<ssize_t>(size) &&
                             ::fsync(fd) == 0;
        if (fd < 0 || ::close(fd) != 0 || !written) {
            return false;
        }
    }
    const int dir = ::open(folder, O_RDONLY | O_DIRECTORY);
    const bool synced = dir >= 0 && ::fsync(dir) == 0;
    return dir >= 0 && ::close(dir) == 0 && synced;
}

} // namespace

int main(int argc, char** argv) {
    const bool create = argc > 1 && std::strcmp(argv[1], "--create") == 0;
    const int first = create ? 2 : 1;
    if (argc <= first) {
        return 2;
    }
    for (int i = first; i < argc; ++i) {
        if (!(create ? createFolder(argv[i]) : readFolder(argv[i]))) {
            return 1;
        }
    }
    return 0;
}
