#include "mxcfg_fixture.h"

namespace mx {
namespace {

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
        {"a missing channel", without("Channel 8\n"),
         "standard input: line 146, column 3: \"Disabled (MX only)\" is given twice for "
         "channel 7"},
        {"a missing mask", without("Momentary: none\n"),
         "standard input: line 3, column 1: channel 1 has no line for \"Momentary\""},
        {"a stray line", "Latching: PGM\n",
         "standard input: line 1, column 1: a group line must follow a \"Channel N\" line"},
        {"nothing", "", "standard input: no configuration in it"},
        {"only comments", "# unit 4\n\n", "standard input: no configuration in it"},
        {"a NUL byte", QByteArray("Channel 1\n  Lat\0ching", 22),
         "standard input: line 2, column 6: a NUL byte, which no configuration text holds"},
        {"control characters", "Channel 1\n  Latching: \x1b]0;x\x07\x1b[2J\rTB 1\n",
         "standard input: line 2, column 13: unknown switch \"\\x1b]0;x\\x07\\x1b[2J\\rTB 1\""},
        {"a huge text", QByteArray(1100 * 1024, '\n'),
         "standard input: longer than 1 MiB; no configuration is that long"},
    };
    const QString target = folder("target");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = mxcfg({"import", "-", target}, c.text);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err.toStdString(), std::string("mxcfg: ") + c.message + "\n");
        for (const char byte : result.err.chopped(1)) {
            EXPECT_TRUE(byte >= 0x20 && byte != 0x7F) << "a raw control character";
        }
        EXPECT_TRUE(QDir(target).isEmpty()) << "nothing is created";
    }
    // A byte order mark before a good text is no error.
    EXPECT_EQ(
        mxcfg({"import", "-", target}, "\xEF\xBB\xBF" + QByteArray::fromStdString(good)).status, 0);
    QDir(target).removeRecursively();
    QDir().mkpath(target);
    // From a file, the message names it.
    QFile file(root_.filePath("bad.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        QByteArray::fromStdString(good).replace("TB 4 Delatches: none", "TB 4 Delatches: TB5"));
    file.close();
    const Result result = mxcfg({"import", file.fileName(), target});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.toStdString(), "mxcfg: " + file.fileName().toStdString() +
                                            ": line 20, column 19: unknown switch \"TB5\"\n");
    EXPECT_TRUE(QDir(target).isEmpty());
}

TEST_F(MxcfgTest, ImportCreatesNewUnitsOnRequestAndDiffSummarisesAFleet) {
    ChannelConfig master;
    master.Switches.Channels[3].Latching = SwitchTb1 | SwitchTb2;
    const QString text = root_.filePath("master.txt");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(configToText(master)));
    file.close();
    // Run where the units are, as a technician would, naming them shortly.
    const QString here = root_.path();
    const Result refused = mxcfg({"import", text, "site/unit06"}, {}, here);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err,
              "mxcfg: Could not open \"site/unit06\": it does not exist; --create makes it.\n");
    EXPECT_FALSE(QFileInfo::exists(root_.filePath("site")));

    saved("unit01", master);
    const Result made = mxcfg({"import", "--create", text, "site/unit06", "unit01"}, {}, here);
    EXPECT_EQ(made.status, 0);
    EXPECT_EQ(made.out, "The configuration was saved to \"site/unit06\", which was created.\n"
                        "The configuration was saved to \"unit01\".\n");
    master.Recall.FaderRecall = 0x08;
    saved("unit07", master);
    const Result summary =
        mxcfg({"diff", "--summary", "unit01", "site/unit06", "unit07"}, {}, here);
    EXPECT_EQ(summary.status, 1);
    EXPECT_EQ(summary.out, "site/unit06 is the same as unit01.\n"
                           "unit07 differs from unit01 in 1 recall flag on channel 4.\n"
                           "2 of 3 are the same as unit01.\n");
}

TEST_F(MxcfgTest, ShowAndDiffNoteAUnitsShortFiles) {
    const QString unit = folder("new");
    QFile(unit + "/switches.mx").open(QIODevice::WriteOnly);
    QFile settings(unit + "/settings.cmx");
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("\x01");
    settings.close();
    const QString whole = saved("whole", ChannelConfig{});
    const QByteArray notes = "mxcfg: note: \"" + unit.toUtf8() +
                             "/switches.mx\" holds 0 of its 112 bytes; the rest reads as off\n"
                             "mxcfg: note: \"" +
                             unit.toUtf8() +
                             "/settings.cmx\" holds 1 of its 2 bytes; the rest reads as off\n";
    EXPECT_EQ(mxcfg({"show", unit}).err, notes);
    const Result diff = mxcfg({"diff", unit, whole});
    EXPECT_EQ(diff.status, 1) << "channel 1 recalls its mic gain";
    EXPECT_EQ(diff.err, notes);
    EXPECT_EQ(mxcfg({"show", whole}).err, "");
}

TEST_F(MxcfgTest, ComparesAndWritesUnitsFromFoldersAndTexts) {
    // Run in the test's folder, so that names stand as a person types them.
    const auto run = [&](const QStringList& arguments, const QByteArray& input = {}) {
        return mxcfg(arguments, input, root_.path());
    };
    ChannelConfig config = distinctConfig();
    saved("unitA", config);
    saved("far/away/in/a/folder/tree/unitC", config);
    config.Switches.Channels[2].Latching ^= SwitchTb2;
    saved("unitB", config);
    const QByteArray exported = run({"export", "unitA"}).out;
    QFile text(root_.filePath("unitA.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(exported);
    text.close();
    const QByteArray commented = "# kept in git\n" + exported + "# the end\n";
    const QByteArray tb2 = "Channel 3, Latching, TB 2: unitA on, unitB off\n";
    struct Case {
        QStringList arguments;
        QByteArray input;
        int status;
        QByteArray out;
    };
    for (const Case& c : std::vector<Case>{
             {{"diff", "unitA", "unitA.txt"}, {}, 0, ""},
             {{"diff", "unitA.txt", "unitA"}, {}, 0, ""},
             {{"diff", "unitA", "-"}, commented, 0, ""},
             {{"diff", "unitA", "unitB"}, {}, 1, tb2},
             {{"diff", "unitA", "unitB", "far/away/in/a/folder/tree/unitC"},
              {},
              1,
              "unitB differs from unitA:\n  " + tb2 +
                  "…/away/in/a/folder/tree/unitC is the same as unitA.\n"},
             {{"show", "unitA.txt"}, {}, 0, run({"show", "unitA"}).out},
             {{"export", "-"}, commented, 0, exported},
         }) {
        const Result result = run(c.arguments, c.input);
        EXPECT_EQ(result.status, c.status) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(result.out, c.out) << c.arguments.join(' ').toStdString();
    }

    // One text into several folders, each on its own.
    folder("one");
    folder("two");
    const Result result = run({"import", "unitA.txt", "one", "gone", "two"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "The configuration was saved to \"one\".\n"
                          "The configuration was saved to \"two\".\n");
    EXPECT_EQ(result.err,
              "mxcfg: Could not open \"gone\": it does not exist; --create makes it.\n");
    EXPECT_EQ(readFile(root_.filePath("two/switches.mx")),
              readFile(root_.filePath("unitA/switches.mx")));
}

TEST_F(MxcfgTest, SheetWritesTheEditorsSheetWholeToAFileOrNotAtAll) {
    const QString unit = saved("unit &5", ChannelConfig{});
    EXPECT_EQ(mxcfg({"sheet", unit, "-o", root_.filePath("sheet.html")}).status, 0);
    EXPECT_TRUE(readFile(root_.filePath("sheet.html")).contains("<h1>unit &amp;5</h1>"));
    EXPECT_TRUE(readFile(root_.filePath("sheet.html")).contains("<p>Made "))
        << "written, not printed";
}

TEST_F(MxcfgTest, SheetsOfSeveralUnitsGoIntoAFolderOneEachNeverOverAnother) {
    saved("site-a/unit01", ChannelConfig{});
    saved("site-b/unit01", distinctConfig());
    saved("site-c/UNIT01", ChannelConfig{});
    saved("unit02", ChannelConfig{});
    QFile text(root_.filePath("master.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray::fromStdString(configToText(distinctConfig())));
    text.close();
    struct Case {
        QStringList sources;
        QStringList files; // in the order of the sources
    };
    const std::vector<Case> cases = {
        {{"site-a/unit01", "site-b/unit01", "unit02"},
         {"site-a_unit01", "site-b_unit01", "unit02"}},
        {{"site-a/unit01", "site-c/UNIT01/"}, {"site-a_unit01", "site-c_UNIT01"}},
        {{"site-a/unit01", "./site-a/unit01"}, {"unit01", "unit01 (2)"}},
        {{"master.txt", "site-a/../unit02"}, {"master", "unit02"}},
    };
    int round = 0;
    for (const Case& c : cases) {
        const QString out = QString("out%1/sheets").arg(++round);
        const Result result =
            mxcfg(QStringList{"sheet"} + c.sources + QStringList{"-o", out}, {}, root_.path());
        EXPECT_EQ(result.status, 2) << "a new folder only on request";
        EXPECT_FALSE(QFileInfo::exists(root_.filePath(out)));
        EXPECT_EQ(
            mxcfg(QStringList{"sheet", "--create", "-o", out} + c.sources, {}, root_.path()).status,
            0);
        for (qsizetype i = 0; i < c.sources.size(); ++i) {
            EXPECT_TRUE(readFile(root_.filePath(out + "/" + c.files[i] + ".html"))
                            .contains("<p class=\"path\">" + c.sources[i].toUtf8() + "</p>"))
                << c.files[i].toStdString();
        }
        EXPECT_EQ(QDir(root_.filePath(out)).count(), c.sources.size() + 2);
    }
    // Several sheets go into a folder, never into a file.
    EXPECT_EQ(mxcfg({"sheet", "unit02", "unit02", "-o", "master.txt"}, {}, root_.path()).status, 2);
    EXPECT_EQ(mxcfg({"sheet", "unit02", "unit02"}, {}, root_.path()).status, 2);
    EXPECT_EQ(readFile(root_.filePath("master.txt")).toStdString(), configToText(distinctConfig()));
}

TEST_F(MxcfgTest, NamesTravelWithTheTextAndAreShownButCompareOnlyOnRequest) {
    const QString unit = saved("unit", distinctConfig());
    QFile names(unit + "/names.txt");
    ASSERT_TRUE(names.open(QIODevice::WriteOnly));
    names.write("Unit: Studio A\nChannel 3: Guest 2\nChannel 8: A name far longer than a column\n");
    names.close();
    const Result exported = mxcfg({"export", unit});
    EXPECT_TRUE(exported.out.contains("\nUnit: Studio A\n") &&
                exported.out.contains("\nChannel 3: Guest 2\n"));
    const QString fresh = root_.filePath("fresh");
    ASSERT_EQ(mxcfg({"import", "--create", "-", fresh}, exported.out).status, 0);
    EXPECT_TRUE(readFile(fresh + "/names.txt")
                    .endsWith("Unit: Studio A\nChannel 3: Guest 2\n"
                              "Channel 8: A name far longer than a "
                              "column\n"));
    EXPECT_EQ(mxcfg({"export", fresh}).out, exported.out) << "the names came back";
    EXPECT_EQ(readFile(fresh + "/switches.mx"), readFile(unit + "/switches.mx"));

    const QByteArray table = mxcfg({"show", fresh}).out;
    EXPECT_TRUE(table.startsWith("Unit: Studio A\n"));
    EXPECT_TRUE(table.contains("Guest 2") && table.contains("A name\u2026"));
    for (const QByteArray& line : table.split('\n')) {
        EXPECT_LE(QString::fromUtf8(line).size(), 80) << line.toStdString();
    }

    // The exported master still says "the same" when only a name differs.
    const QByteArray unnamed = QByteArray(exported.out).replace("Guest 2", "Guest 3");
    EXPECT_EQ(mxcfg({"diff", unit, "-"}, unnamed).status, 0);
    const Result named = mxcfg({"diff", "--names", "unit", "-"}, unnamed, root_.path());
    EXPECT_EQ(named.status, 1);
    EXPECT_EQ(named.out, "Channel 3, name: unit \"Guest 2\", standard input \"Guest 3\"\n");
    const Result summary =
        mxcfg({"diff", "--summary", "--names", "unit", "-"}, unnamed, root_.path());
    EXPECT_EQ(summary.status, 1);
    EXPECT_EQ(summary.out, "standard input differs from unit in 1 name.\n"
                           "1 of 2 is the same as unit.\n");
    // A text that names nothing leaves the unit's names; empty name lines
    // take them away.
    const QByteArray nameless = QByteArray::fromStdString(configToText(ChannelConfig{}));
    ASSERT_EQ(mxcfg({"import", "-", fresh}, nameless).status, 0);
    EXPECT_TRUE(mxcfg({"export", fresh}).out.contains("\nUnit: Studio A\n"));
    ASSERT_EQ(mxcfg({"import", "-", fresh}, "Unit:\n" + nameless).status, 0);
    EXPECT_FALSE(QFileInfo::exists(fresh + "/names.txt"));
    EXPECT_TRUE(mxcfg({"diff", unit, fresh}).out.contains("\nChannel 3 (Guest 2), Latching, "))
        << "diff names the channel";
}

// The height of the word "Latching" on each page of a PDF, as pdftotext
// places it: the size of the sheet's text.
std::vector<double> latchingHeights(const QString& pdf) {
    const Result boxes = run("pdftotext", {"-bbox", pdf, "-"});
    std::vector<double> heights;
    const QRegularExpression word(R"re(yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">Latching<)re");
    for (auto match = word.globalMatch(QString::fromUtf8(boxes.out)); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        heights.push_back(found.captured(2).toDouble() - found.captured(1).toDouble());
    }
    return heights;
}

TEST_F(MxcfgTest, TheBindersSheetsShareTheFirstSheetsTextSizeAndSayWhatDiffers) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    // Bits 32 and 64 on every channel take a wide column, so that the first
    // sheet's text is smaller than a plain sheet's.
    ChannelConfig wide;
    for (ChannelSwitches& channel : wide.Switches.Channels) {
        channel.Latching = channel.AlwaysOn = channel.Tb2Delatches = 32 | 64;
    }
    const QString first = saved("wide", wide);
    const QString plain = saved("plain", ChannelConfig{});
    ASSERT_EQ(mxcfg({"binder", first, plain, "-o", root_.filePath("binder.pdf")}).status, 0);
    ASSERT_EQ(mxcfg({"sheet", "--pdf", plain, "-o", root_.filePath("plain.pdf")}).status, 0);
    const std::vector<double> binder = latchingHeights(root_.filePath("binder.pdf"));
    const std::vector<double> alone = latchingHeights(root_.filePath("plain.pdf"));
    ASSERT_EQ(binder.size(), 2U);
    ASSERT_EQ(alone.size(), 1U);
    EXPECT_DOUBLE_EQ(binder[1], binder[0]) << "one size through the binder";
    EXPECT_LT(binder[1], alone[0]) << "the first sheet's size, not its own";

    // The contents, then a page for each unit; the list names the first
    // groups that differ, and the sheet says what its frames mark. Read in
    // the order drawn, as the list's columns stand side by side.
    const QStringList pages =
        QString::fromUtf8(run("pdftotext", {"-raw", root_.filePath("binder.pdf"), "-"}).out)
            .split('\f', Qt::SkipEmptyParts);
    ASSERT_EQ(pages.size(), 3);
    EXPECT_TRUE(pages[0].simplified().contains(
        "Differs from wide in 48 switches on channels 1, 2, 3, 4, 5, 6, 7 and 8: channel 1 "
        "Latching: bit 32, bit 64; channel 1 Always on: bit 32, bit 64; channel 1 TB 2 "
        "Delatches: bit 32, bit 64; and 21 more"))
        << pages[0].toStdString();
    EXPECT_TRUE(pages[2].simplified().contains(
        "Cells framed in a heavy line differ from wide: 48 switches on channels 1, 2, 3, 4, 5, "
        "6, 7 and 8."))
        << pages[2].toStdString();
    EXPECT_FALSE(pages[1].contains("framed")) << "the reference's own sheet";
}

TEST_F(MxcfgTest, ALongBinderListRunsOnUnderItsHeadAndEveryPageIsCounted) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    // Every other unit differs, so that its line in the list runs long.
    constexpr int Units = 90;
    QStringList arguments{"binder", "-o", root_.filePath("rack.pdf")};
    for (int unit = 0; unit < Units; ++unit) {
        arguments << saved(QString("unit%1").arg(unit),
                           unit % 2 ? distinctConfig() : ChannelConfig{});
    }
    ASSERT_EQ(mxcfg(arguments).status, 0);
    const QStringList pages =
        QString::fromUtf8(run("pdftotext", {"-raw", root_.filePath("rack.pdf"), "-"}).out)
            .split('\f', Qt::SkipEmptyParts);
    const qsizetype contents = pages.size() - Units;
    ASSERT_GT(contents, 1);
    for (qsizetype page = 0; page < pages.size(); ++page) {
        EXPECT_TRUE(pages[page].contains(QString("Page %1 of %2").arg(page + 1).arg(pages.size())));
        EXPECT_EQ(pages[page].contains("Folder or file"), page < contents) << "the list's head";
    }
    EXPECT_TRUE(pages[contents - 1].contains(root_.filePath("unit89")));
    EXPECT_TRUE(pages[contents].startsWith("unit0\n")) << "the first sheet follows the list";
}

TEST_F(MxcfgTest, EveryHunkOfAGitDiffOfTwoExportsNamesItsChannel) {
    if (QProcess::execute("git", {"--version"}) != 0) {
        GTEST_SKIP() << "git is not installed";
    }
    // One change in each channel, from the first mask of channel 1 to the
    // recall line of channel 8.
    ChannelConfig config = distinctConfig();
    const QString before = root_.filePath("before.txt");
    const QString after = root_.filePath("after.txt");
    for (const QString& name : {before, after}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(configToText(config)));
        for (std::size_t channel = 0; channel < ChannelCount; ++channel) {
            if (2 * channel < SwitchFieldCount) {
                fieldOf(config.Switches.Channels[channel], AllSwitchFields[2 * channel]) ^= 16;
            } else {
                config.Recall.FaderRecall ^= channelBit(static_cast<int>(channel));
            }
        }
    }
    QProcess git;
    git.start("git", {"diff", "--no-index", before, after});
    ASSERT_TRUE(git.waitForFinished());
    QStringList headers;
    for (const QByteArray& line : git.readAllStandardOutput().split('\n')) {
        if (line.startsWith("@@")) {
            headers << QString(line.mid(line.indexOf("@@", 2) + 3));
        }
    }
    EXPECT_EQ(headers.join(", ").toStdString(), "Channel 1, Channel 2, Channel 3, Channel 4, "
                                                "Channel 5, Channel 6, Channel 7, Channel 8");
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
    for (const auto& value : root["channels"].toArray()) {
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

TEST_F(MxcfgTest, SidesWhoseShortNamesLookAlikeAreCalledByTheirWholeNames) {
    ChannelConfig config;
    saved("one/far/away/in/a/folder/tree/unitC", config);
    config.Switches.Channels[2].Latching = SwitchTb2;
    saved("two/far/away/in/a/folder/tree/unitC", config);
    const Result result = mxcfg(
        {"diff", "one/far/away/in/a/folder/tree/unitC", "two/far/away/in/a/folder/tree/unitC"}, {},
        root_.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Channel 3, Latching, TB 2: one/far/away/in/a/folder/tree/unitC off, "
                          "two/far/away/in/a/folder/tree/unitC on\n");
}

TEST(ConfigTable, ShowsEveryChannelInEightyColumns) {
    const std::string table = configTable(distinctConfig(), false);
    EXPECT_EQ(table,
              "                 Ch 1    Ch 2    Ch 3    Ch 4    Ch 5    Ch 6    Ch 7    Ch 8\n"
              "Disabled (MX)    P---4H  P1--4H+ P-2-4-+ P12-4H+ P--34-  P1-34-+ P-234H+ P1234-+\n"
              "Latching         ---34H  -1-34H+ --234-+ -1234H+ ------+ -1---H  --2--H+ -12---+\n"
              "Momentary        P1234H  P-----  P1----+ P-2--H+ P12---+ P--3-H  P1-3-H+ P-23--+\n"
              "Always on        -12--H+ ---3--  -1-3--+ --23-H+ -123--+ ----4H  -1--4H+ --2-4-+\n"
              "Suppresses (latched)\n"
              "  PGM            P-23-H+ P123--  P---4-+ P1--4H+ P-2-4-+ P12-4H  P--34H+ P1-34-+\n"
              "  TB 1           --2-4H+ -12-4-  ---34-+ -1-34H+ --234-+ -1234H  ------  -1----+\n"
              "  TB 2           P1-34H+ P-234-  P1234-+ P----H+ P1----+ P-2--H+ P12---  P--3--+\n"
              "  TB 3           -1---H+ --2---+ -12--H  ---3-H+ -1-3--+ --23-H+ -123--  ----4-+\n"
              "  TB 4           P--3-H+ P1-3--+ P-23-H  P123-H+ P---4-+ P1--4H+ P-2-4-  P12-4-+\n"
              "Delatches\n"
              "  PGM            ----4H+ -1--4-+ --2-4H  -12-4H+ ---34-+ -1-34H+ --234-  -1234-+\n"
              "  TB 1           P12-4H+ P--34-+ P1-34H  P-234H+ P1234-+ P----H+ P1----+ P-2--H\n"
              "  TB 2           -1234H+ ------+ -1---H+ --2---  -12---+ ---3-H+ -1-3--+ --23-H\n"
              "  TB 3           P-2--H+ P12---+ P--3-H+ P1-3--  P-23--+ P123-H+ P---4-+ P1--4H\n"
              "  TB 4           --23-H+ -123--+ ----4H+ -1--4-  --2-4-+ -12-4H+ ---34-+ -1-34H\n"
              "Recall\n"
              "  Mic gain       -       yes     -       yes     yes     -       yes     -\n"
              "  Fader          yes     yes     -       -       -       -       yes     yes\n"
              "\n"
              "P PGM, 1-4 TB 1-TB 4, H PH PWR, - off; + bit 32 or 64 is set as well.\n"
              "Under Suppresses and Delatches, each row is the switch that acts.\n");
    std::size_t start = 0;
    while (start < table.size()) {
        const std::size_t end = table.find('\n', start);
        EXPECT_LE(end - start, 80U) << table.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_NE(configTable(distinctConfig(), true).find("\033[32mP\033[0m"), std::string::npos);

    // Names are printed as everything else from outside is: no control
    // character reaches the terminal raw.
    UnitNames names;
    names.unit = "Studio \x1b]0;owned\x07";
    names.channels[2] = "\xC2\x9B"
                        "2J";
    const std::string named = configTable(ChannelConfig{}, false, names);
    EXPECT_TRUE(named.starts_with("Unit: Studio \\x1b]0;owned\\x07\n")) << named;
    EXPECT_EQ(named.find("\xC2\x9B"), std::string::npos) << named;
    EXPECT_NE(named.find("  \\xc2\\x"), std::string::npos) << named;

    // A name runs on over the cells of unnamed channels after it, and is cut
    // only where the next name, or the 80th column, begins.
    UnitNames wide;
    wide.channels = {"Presenter left",      "", "Guest with a long name", "Guest 3", "", "", "",
                     "Far right, at length"};
    const std::string spread = configTable(ChannelConfig{}, false, wide);
    const std::size_t namesLine = spread.find('\n') + 1;
    EXPECT_EQ(spread.substr(namesLine, spread.find('\n', namesLine) - namesLine),
              std::string(17, ' ') + "Presenter left  Guest … Guest 3" + std::string(25, ' ') +
                  "Far ri…");
}

} // namespace
} // namespace mx

namespace mx {
namespace {

TEST_F(MxcfgTest, NameApplyAndKeepNamesChangeOnlyWhatTheyAreGiven) {
    const ChannelConfig base = distinctConfig();
    const QString text = root_.filePath("template.txt");
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString("Unit: Template\n" + configToText(base)));
    }
    QStringList units;
    for (int i = 1; i <= 4; ++i) {
        units << saved(QString("unit0%1").arg(i), base);
        ASSERT_EQ(mxcfg({"name", units.last(), "--unit", QString("Unit %1").arg(i), "--channel",
                         "3", "Guest"})
                      .status,
                  0);
    }
    // A template imported again leaves each unit's own names with --keep-names.
    ASSERT_EQ(mxcfg({"import", "--keep-names", text, units[0]}).status, 0);
    EXPECT_TRUE(readFile(units[0] + "/names.txt").contains("Unit: Unit 1\nChannel 3: Guest"));

    const QString part = root_.filePath("part.txt");
    {
        QFile file(part);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Channel 3\n  Latching: PGM\n  Recall: Fader\n");
    }
    const auto bytesOf = [&] {
        QByteArray all;
        for (const QString& unit : units) {
            all += readFile(unit + "/switches.mx") + readFile(unit + "/settings.cmx") +
                   readFile(unit + "/names.txt");
        }
        return all;
    };
    const QByteArray before = bytesOf();
    const Result preview = mxcfg(QStringList{"apply", "--dry-run", part} + units);
    EXPECT_EQ(preview.status, 0);
    EXPECT_EQ(preview.out.count(" on channel 3 changed\n"), 4) << preview.out.toStdString();
    EXPECT_EQ(bytesOf(), before) << "a dry run writes nothing";

    // Refused before anything is written: a misspelt group, a folder without a unit.
    const Result misspelt = mxcfg(QStringList{"apply", "-"} + units, "Channel 3\n  Latchin: PGM\n");
    EXPECT_EQ(misspelt.status, 2);
    EXPECT_TRUE(misspelt.err.contains("line 2, column 3: unknown group \"Latchin\""));
    EXPECT_EQ(mxcfg(QStringList{"apply", part} + units + QStringList{folder("empty")}).status, 2);
    EXPECT_EQ(bytesOf(), before);

    const Result applied = mxcfg(QStringList{"apply", part} + units);
    EXPECT_EQ(applied.status, 0);
    EXPECT_TRUE(applied.out.startsWith(units[0].toUtf8() + ": ")) << applied.out.toStdString();
    EXPECT_EQ(applied.out.count(" on channel 3 changed\n"), 4);
    for (const QString& unit : units) {
        ChannelConfig expected = base;
        expected.Switches.Channels[2].Latching = SwitchPgm;
        expected.Recall.MicGainRecall &= static_cast<std::uint8_t>(~4U);
        expected.Recall.FaderRecall |= 4U;
        ChannelConfig read;
        ASSERT_FALSE(LoadConfig(unit.toStdString(), MissingFile::IsAnError, read));
        EXPECT_EQ(read, expected) << "exactly channel 3's Latching and recall flags";
        EXPECT_TRUE(readFile(unit + "/names.txt").contains("Channel 3: Guest"));
    }
    EXPECT_TRUE(mxcfg(QStringList{"apply", part} + units).out.endsWith(": unchanged\n"));

    // Names that cannot be used, or a channel that is not there, write nothing.
    const QByteArray named = bytesOf();
    for (const QStringList& bad : {QStringList{"--channel", "9", "x"},
                                   QStringList{"--unit", "a\x1b"}, QStringList{units[0]}}) {
        EXPECT_EQ(mxcfg(QStringList{"name"} + bad + units).status, 2)
            << bad.join(' ').toStdString();
    }
    EXPECT_EQ(bytesOf(), named);
}

} // namespace
} // namespace mx
