// The floor for "mxcfg show" as a whole process: links what mxcfg links and
// only reads the folder's two files.

#include "config_files.h"

#include <QFile>

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    qint64 total = 0;
    for (const char* name : {mx::SwitchFileName, mx::SettingsFileName}) {
        QFile file(QFile::decodeName(argv[1]) + "/" + name);
        if (!file.open(QIODevice::ReadOnly)) {
            return 2;
        }
        total += file.readAll().size();
    }
    return total > 0 ? 0 : 1;
}
