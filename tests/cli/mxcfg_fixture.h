#pragma once

// What mxcfg's suites share: the real mxcfg run as a script would run it,
// and a temporary root of units.

#include "config_files.h"
#include "config_text.h"
#include "random_config.h"
#include "report.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace mx {

struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program, as a script would.
inline Result
run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
    const QString& directory = {},
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setWorkingDirectory(directory);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(10'000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "did not finish: " << arguments.join(' ').toStdString();
    }
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// Runs the real mxcfg, as a script would.
inline Result mxcfg(const QStringList& arguments, const QByteArray& input = {},
                    const QString& directory = {}) {
    return run(MXCFG_PATH, arguments, input, directory);
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(absent)");
}

// Every byte different, so that no two cells, rows or channels look alike,
// and every bit (PH PWR, 32 and 64 alone) set somewhere.
inline ChannelConfig distinctConfig() {
    SwitchBlock bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(7 * i + 0x91);
    }
    ChannelConfig config;
    overwriteFromBlock(config.Switches, bytes);
    config.Recall = {0x5A, 0xC3};
    return config;
}

class MxcfgTest : public ::testing::Test {
protected:
    QString folder(const QString& name) {
        const QString path = root_.filePath(name);
        QDir().mkpath(path);
        return path;
    }
    QString saved(const QString& name, const ChannelConfig& config) {
        const QString path = folder(name);
        EXPECT_FALSE(SaveConfig(path.toStdString(), config).has_value());
        return path;
    }

    QTemporaryDir root_;
};

} // namespace mx
