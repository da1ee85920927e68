#include "config_files.h"
#include "config_text.h"
#include "random_config.h"
#include "report.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace mx {
namespace {

struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the real mxcfg, as a script would.
Result mxcfg(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    process.start(MXCFG_PATH, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(10'000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "mxcfg did not finish: " << arguments.join(' ').toStdString();
    }
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(absent)");
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

TEST_F(MxcfgTest, ExportThenImportRoundTripsEveryByte) {
    std::mt19937 random(12);
    for (int round = 0; round < 12; ++round) {
        const ChannelConfig config = randomConfig(random);
        const Result exported = mxcfg({"export", saved("from", config)});
        ASSERT_EQ(exported.status, 0) << exported.err.toStdString();
        const QString to = folder(QString("to%1").arg(round));
        const Result imported = mxcfg({"import", "-", to}, exported.out);
        ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
        EXPECT_EQ(readFile(to + "/switches.mx") + readFile(to + "/settings.cmx"),
                  readFile(root_.filePath("from/switches.mx")) +
                      readFile(root_.filePath("from/settings.cmx")));
        EXPECT_EQ(mxcfg({"diff", root_.filePath("from"), to}).status, 0);
    }
}

TEST_F(MxcfgTest, ImportWritesNothingUnlessTheWholeTextReads) {
    const std::string good = configToText(ChannelConfig{});
    const auto without = [&](const std::string& part) {
        std::string text = good;
        text.erase(text.find(part), part.size());
        return QByteArray::fromStdString(text);
    };
    struct Case {
        const char* what;
        QByteArray text;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"a missing channel", without("[Channel 8]\n"),
         "line 122, column 1: \"Disabled (MX only)\" is given twice for channel 7"},
        {"a missing mask", without("Momentary: none\n"),
         "line 3, column 1: channel 1 has no line for \"Momentary\""},
        {"a stray line", "Latching: PGM\n",
         "line 1, column 1: a group line must follow a \"[Channel N]\" line"},
        {"nothing", "", "line 2, column 1: the text ends without channel 1"},
    };
    const QString target = folder("target");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = mxcfg({"import", "-", target}, c.text);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err.toStdString(),
                  std::string("mxcfg: standard input: ") + c.message + "\n");
        EXPECT_TRUE(QDir(target).isEmpty()) << "nothing is created";
    }
    // From a file, the message names it.
    QFile file(root_.filePath("bad.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        QByteArray::fromStdString(good).replace("TB 4 Delatches: none", "TB 4 Delatches: TB5"));
    file.close();
    const Result result = mxcfg({"import", file.fileName(), target});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.toStdString(), "mxcfg: " + file.fileName().toStdString() +
                                            ": line 17, column 17: unknown switch \"TB5\"\n");
    EXPECT_TRUE(QDir(target).isEmpty());
}

TEST_F(MxcfgTest, ExitStatusesFollowDiff) {
    ChannelConfig config;
    const QString a = saved("a", config);
    config.Recall.FaderRecall = 0x80;
    config.Switches.Channels[2].Latching = SwitchTb2 | 64;
    const QString b = saved("b", config);
    struct Case {
        QStringList arguments;
        int status;
        QByteArray out;
    };
    const std::vector<Case> cases = {
        {{"diff", a, a}, 0, ""},
        {{"diff", a, b},
         1,
         "Channel 3, Latching, TB 2: A off, B on\nChannel 3, Latching, bit 64: A off, B on\n"
         "Channel 8, Recall, Fader: A off, B on\n"},
        {{"diff", a, root_.filePath("missing")}, 2, ""},
        {{"diff", a}, 2, ""},
        {{"diff", "--bogus", a, b}, 2, ""},
        {{"show", folder("empty")}, 2, ""},
        {{}, 2, ""},
        {{"frobnicate"}, 2, ""},
        {{"--help"}, 0, {}},
        {{"import", "--help"}, 0, {}},
        {{"diff", "--version"}, 0, "mxcfg 1.0.0\n"},
    };
    for (const Case& c : cases) {
        const Result result = mxcfg(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments.join(' ').toStdString();
        if (!c.out.isNull()) {
            EXPECT_EQ(result.out, c.out) << c.arguments.join(' ').toStdString();
        }
        EXPECT_EQ(result.err.isEmpty(), c.status != 2) << result.err.toStdString();
    }
    // Reading never creates the files it looks for.
    EXPECT_TRUE(QDir(root_.filePath("empty")).isEmpty());
}

TEST_F(MxcfgTest, JsonHoldsEveryMaskAsARawByte) {
    ChannelConfig config;
    config.Switches.Channels[0].Latching = 3;
    config.Switches.Channels[7].Tb4Delatches = 0x60;
    config.Recall = {129, 2};
    const Result result = mxcfg({"show", saved("json", config), "--json"});
    ASSERT_EQ(result.status, 0);
    const QJsonObject root = QJsonDocument::fromJson(result.out).object();
    EXPECT_EQ(root.keys(), QStringList({"channels", "recall"}));
    EXPECT_EQ(root["recall"].toObject(), QJsonObject({{"MicGainRecall", 129}, {"FaderRecall", 2}}));
    const QJsonArray channels = root["channels"].toArray();
    ASSERT_EQ(channels.size(), 8);
    const QJsonObject first = channels[0].toObject();
    EXPECT_EQ(first.keys(), QStringList({"channel", "masks", "recall"}));
    EXPECT_EQ(first["channel"].toInt(), 1);
    EXPECT_EQ(first["masks"].toObject().size(), 14);
    EXPECT_EQ(first["masks"]["Latching"].toInt(), 3);
    EXPECT_EQ(first["recall"].toObject(), QJsonObject({{"micGain", true}, {"fader", false}}));
    EXPECT_EQ(channels[7]["masks"]["Tb4Delatches"].toInt(), 0x60);
    EXPECT_EQ(channels[1]["recall"]["fader"].toBool(), true);
}

TEST(ConfigTable, ShowsEveryChannelInOneHundredColumns) {
    ChannelConfig config;
    config.Switches.Channels[0].Latching = SwitchPgm | SwitchPhPwr | 32;
    config.Recall.MicGainRecall = 0x80;
    const std::string table = configTable(config, false);
    std::size_t start = 0;
    while (start < table.size()) {
        const std::size_t end = table.find('\n', start);
        EXPECT_LE(end - start, 100U) << table.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_NE(table.find("\nLatching                   P----H+ ------"), std::string::npos)
        << table;
    EXPECT_NE(table.find("\nRecall: Mic gain           -       -"), std::string::npos);
    EXPECT_EQ(table.find('\033'), std::string::npos);
    EXPECT_NE(configTable(config, true).find("\033[32mP\033[0m"), std::string::npos);
}

} // namespace
} // namespace mx
