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
#include <filesystem>
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

// Every byte different, so that no two cells, rows or channels look alike,
// and every bit (PH PWR, 32 and 64 alone) set somewhere.
ChannelConfig distinctConfig() {
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
    const QString text = root_.filePath("unit.txt");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(configToText(config)));
    file.close();
    const QString broken = folder("broken");
    QDir().mkdir(broken + "/switches.mx");
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
        {{"show", a, b}, 2, ""},
        {{"export", a, "extra"}, 2, ""},
        {{"import", text, root_.filePath("missing")}, 2, ""},
        {{"import", text, broken}, 2, ""},
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
    EXPECT_FALSE(QFile::exists(broken + "/settings.cmx"));

    // Output that cannot be written is trouble, not success.
    QProcess full;
    full.setStandardOutputFile("/dev/full");
    full.start(MXCFG_PATH, {"export", a});
    ASSERT_TRUE(full.waitForFinished(10'000));
    EXPECT_EQ(full.exitCode(), 2);
    EXPECT_EQ(full.readAllStandardError(), "mxcfg: could not write the output\n");
}

TEST_F(MxcfgTest, JsonHoldsEveryMaskAsARawByte) {
    const Result result = mxcfg({"show", saved("json", distinctConfig()), "--json"});
    ASSERT_EQ(result.status, 0);
    const QJsonObject root = QJsonDocument::fromJson(result.out).object();
    EXPECT_EQ(root.keys(), QStringList({"channels", "recall"}));
    EXPECT_EQ(root["recall"].toObject(),
              QJsonObject({{"MicGainRecall", 90}, {"FaderRecall", 195}}));
    // Channel: the fourteen masks in record order; mic gain and fader recall.
    QString channels;
    const char* const fields[] = {
        "Disabled",      "Latching",      "Momentary",     "AlwaysOn",      "PgmSuppresses",
        "Tb1Suppresses", "Tb2Suppresses", "Tb3Suppresses", "Tb4Suppresses", "PgmDelatches",
        "Tb1Delatches",  "Tb2Delatches",  "Tb3Delatches",  "Tb4Delatches"};
    for (const QJsonValue& value : root["channels"].toArray()) {
        const QJsonObject channel = value.toObject();
        EXPECT_EQ(channel.keys(), QStringList({"channel", "masks", "recall"}));
        EXPECT_EQ(channel["masks"].toObject().size(), 14);
        channels += QString::number(channel["channel"].toInt()) + ":";
        for (const char* field : fields) {
            channels += " " + QString::number(channel["masks"][field].toInt());
        }
        const QJsonObject recall = channel["recall"].toObject();
        EXPECT_EQ(recall.keys(), QStringList({"fader", "micGain"}));
        channels +=
            QString("; %1 %2\n").arg(recall["micGain"].toBool()).arg(recall["fader"].toBool());
    }
    EXPECT_EQ(channels.toStdString(),
              "1: 145 152 159 166 173 180 187 194 201 208 215 222 229 236; 0 1\n"
              "2: 243 250 1 8 15 22 29 36 43 50 57 64 71 78; 1 1\n"
              "3: 85 92 99 106 113 120 127 134 141 148 155 162 169 176; 0 0\n"
              "4: 183 190 197 204 211 218 225 232 239 246 253 4 11 18; 1 0\n"
              "5: 25 32 39 46 53 60 67 74 81 88 95 102 109 116; 1 0\n"
              "6: 123 130 137 144 151 158 165 172 179 186 193 200 207 214; 0 0\n"
              "7: 221 228 235 242 249 0 7 14 21 28 35 42 49 56; 1 1\n"
              "8: 63 70 77 84 91 98 105 112 119 126 133 140 147 154; 0 1\n");
}

TEST_F(MxcfgTest, AFolderIsTheBytesItWasNamedBy) {
    // "bad" and two bytes that are no UTF-8, beside the folder that a program
    // decoding names as text would take it for.
    namespace fs = std::filesystem;
    const fs::path named = fs::path(root_.path().toStdString()) / "bad\xff\xfe";
    const fs::path lookalike = fs::path(root_.path().toStdString()) / "bad\xef\xbf\xbd\xef\xbf\xbd";
    fs::create_directory(named);
    fs::create_directory(lookalike);
    QFile text(root_.filePath("unit.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray::fromStdString(configToText(distinctConfig())));
    text.close();
    // The shell passes the bytes themselves, which a QProcess cannot.
    QProcess shell;
    shell.start("sh", {"-c",
                       "d=\"$1/bad$(printf '\\377\\376')\"; "
                       "\"$0\" import \"$2\" \"$d\" && \"$0\" show \"$d\" >/dev/null",
                       MXCFG_PATH, root_.path(), text.fileName()});
    ASSERT_TRUE(shell.waitForFinished(10'000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_EQ(fs::file_size(named / "switches.mx"), 112U);
    EXPECT_TRUE(fs::is_empty(lookalike));
}

TEST(ConfigTable, ShowsEveryChannelInOneHundredColumns) {
    const std::string table = configTable(distinctConfig(), false);
    EXPECT_EQ(
        table,
        "                           Ch 1    Ch 2    Ch 3    Ch 4    Ch 5    Ch 6    Ch 7    Ch 8\n"
        "Disabled (MX only)         P---4H  P1--4H+ P-2-4-+ P12-4H+ P--34-  P1-34-+ P-234H+ "
        "P1234-+\n"
        "Latching                   ---34H  -1-34H+ --234-+ -1234H+ ------+ -1---H  --2--H+ "
        "-12---+\n"
        "Momentary                  P1234H  P-----  P1----+ P-2--H+ P12---+ P--3-H  P1-3-H+ "
        "P-23--+\n"
        "Always on                  -12--H+ ---3--  -1-3--+ --23-H+ -123--+ ----4H  -1--4H+ "
        "--2-4-+\n"
        "PGM Suppresses (latched)   P-23-H+ P123--  P---4-+ P1--4H+ P-2-4-+ P12-4H  P--34H+ "
        "P1-34-+\n"
        "TB 1 Suppresses (latched)  --2-4H+ -12-4-  ---34-+ -1-34H+ --234-+ -1234H  ------  "
        "-1----+\n"
        "TB 2 Suppresses (latched)  P1-34H+ P-234-  P1234-+ P----H+ P1----+ P-2--H+ P12---  "
        "P--3--+\n"
        "TB 3 Suppresses (latched)  -1---H+ --2---+ -12--H  ---3-H+ -1-3--+ --23-H+ -123--  "
        "----4-+\n"
        "TB 4 Suppresses (latched)  P--3-H+ P1-3--+ P-23-H  P123-H+ P---4-+ P1--4H+ P-2-4-  "
        "P12-4-+\n"
        "PGM Delatches              ----4H+ -1--4-+ --2-4H  -12-4H+ ---34-+ -1-34H+ --234-  "
        "-1234-+\n"
        "TB 1 Delatches             P12-4H+ P--34-+ P1-34H  P-234H+ P1234-+ P----H+ P1----+ "
        "P-2--H\n"
        "TB 2 Delatches             -1234H+ ------+ -1---H+ --2---  -12---+ ---3-H+ -1-3--+ "
        "--23-H\n"
        "TB 3 Delatches             P-2--H+ P12---+ P--3-H+ P1-3--  P-23--+ P123-H+ P---4-+ "
        "P1--4H\n"
        "TB 4 Delatches             --23-H+ -123--+ ----4H+ -1--4-  --2-4-+ -12-4H+ ---34-+ "
        "-1-34H\n"
        "Recall: Mic gain           -       yes     -       yes     yes     -       yes     -\n"
        "Recall: Fader              yes     yes     -       -       -       -       yes     yes\n"
        "\n"
        "P PGM, 1-4 TB 1-TB 4, H PH PWR, - off; + bit 32 or 64 is set as well.\n");
    std::size_t start = 0;
    while (start < table.size()) {
        const std::size_t end = table.find('\n', start);
        EXPECT_LE(end - start, 100U) << table.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_NE(configTable(distinctConfig(), true).find("\033[32mP\033[0m"), std::string::npos);
}

} // namespace
} // namespace mx
