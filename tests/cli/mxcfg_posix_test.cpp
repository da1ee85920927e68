// mxcfg's cases that rest on POSIX: a shell, /dev/full, file size limits,
// FIFOs, terminals, names that are not text, and the lock probe.

#include "mxcfg_fixture.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mx {
namespace {

TEST_F(MxcfgTest, AFolderMadeForAnImportStaysOnlyWhenTheUnitWasSaved) {
    const QByteArray named = "Unit: Studio A\n" + QByteArray::fromStdString(configToText({}));
    struct Case {
        const char* what;
        QStringList options;
        std::function<void(const QString& unit)> before; // nothing: the folder is not there
        int fileSizeBlocks;                              // -1: no limit
        bool folderAfter;
    };
    const auto empty = [](const QString& unit) { QDir().mkpath(unit); };
    const std::vector<Case> cases = {
        {"made, then the save failed", {"--create"}, {}, 0, false},
        {"the user's empty folder, the save failed", {"--create"}, empty, 0, true},
        {"the user's empty folder without --create", {}, empty, 0, true},
        {"a unit file that is a folder",
         {},
         [](const QString& unit) { QDir().mkpath(unit + "/switches.mx"); },
         -1,
         true},
        {"made and saved", {"--create"}, {}, -1, true},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString unit = root_.filePath(QString("site%1/unit").arg(++round));
        if (c.before) {
            c.before(unit);
        }
        const QString limit =
            c.fileSizeBlocks < 0 ? QString() : QString("ulimit -f %1; ").arg(c.fileSizeBlocks);
        const Result result =
            run("sh",
                QStringList{"-c", limit + "exec \"$0\" \"$@\"", MXCFG_PATH, "import"} + c.options +
                    QStringList{"-", unit},
                named);
        const bool saved = c.fileSizeBlocks < 0 && !c.before;
        EXPECT_EQ(result.status, saved ? 0 : 2) << result.err.toStdString();
        EXPECT_EQ(QFileInfo(unit).isDir(), c.folderAfter);
        EXPECT_EQ(QFileInfo::exists(unit + "/names.txt"), saved)
            << "names only beside a saved unit";
        EXPECT_EQ(QFileInfo::exists(root_.filePath(QString("site%1").arg(round))), c.folderAfter);
    }
}

TEST_F(MxcfgTest, ImportMakesFoldersHoweverSpelledAndSavesAllThoughItsOutputFails) {
    const QByteArray text = QByteArray::fromStdString(configToText(distinctConfig()));
    const QStringList spellings = {"new//x", "a/./b", "new/z/../w", "new/."};
    const Result made =
        mxcfg(QStringList{"import", "--create", "-"} + spellings, text, root_.path());
    EXPECT_EQ(made.status, 0) << made.err.toStdString();
    const QByteArray expected = readFile(saved("expected", distinctConfig()) + "/switches.mx");
    for (const char* unit : {"new/x", "a/b", "new/w", "new"}) {
        EXPECT_EQ(readFile(root_.filePath(unit) + "/switches.mx"), expected) << unit;
    }
    // Standard output that takes nothing stops no save; its lines are said
    // on stderr instead.
    const Result full = run("sh",
                            {"-c", "exec \"$0\" \"$@\" >/dev/full", MXCFG_PATH, "import",
                             "--create", "-", "f1", "f2", "f3"},
                            text, root_.path());
    EXPECT_EQ(full.status, 2);
    for (const char* unit : {"f1", "f2", "f3"}) {
        EXPECT_EQ(readFile(root_.filePath(unit) + "/switches.mx"), expected) << unit;
        EXPECT_TRUE(full.err.contains(QByteArray("saved to \"") + unit + "\", which was created."))
            << full.err.toStdString();
    }
}

TEST_F(MxcfgTest, AnImportChangesNamesOnlyWhileItHoldsTheFoldersLock) {
    const QString log = root_.filePath("probe.log");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_PRELOAD", LOCK_PROBE_PATH);
    environment.insert("MX_LOCK_PROBE_LOG", log);
    // A sanitizer's runtime wants to be loaded first; the probe comes first.
    environment.insert("ASAN_OPTIONS", "verify_asan_link_order=0");
    const std::string text = configToText(distinctConfig());
    const std::vector<std::pair<const char*, QByteArray>> imports = {
        {"named", "Unit: Alpha\n" + QByteArray::fromStdString(text)},
        {"renamed", "Unit: Beta\n" + QByteArray::fromStdString(text)},
        {"names cleared", "Unit:\n" + QByteArray::fromStdString(text)},
    };
    const QString unit = saved("unit", ChannelConfig{});
    for (const auto& [what, input] : imports) {
        SCOPED_TRACE(what);
        for (const QStringList& targets : {QStringList{unit}, QStringList{"--create", "new"}}) {
            const Result result = run(MXCFG_PATH, QStringList{"import", "-"} + targets, input,
                                      root_.path(), environment);
            EXPECT_EQ(result.status, 0) << result.err.toStdString();
        }
        EXPECT_EQ(readFile(log), "(absent)");
    }
    EXPECT_FALSE(QFileInfo::exists(unit + "/names.txt"));
    // A unit's write that fails leaves its names as they were.
    environment.insert("MX_PROBE_FAIL_WRITES", "switches.mx");
    const Result failed =
        run(MXCFG_PATH, {"import", "-", unit}, imports[0].second, root_.path(), environment);
    EXPECT_EQ(failed.status, 2);
    EXPECT_FALSE(QFileInfo::exists(unit + "/names.txt")) << "names only with the unit";
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
         QString("Channel 3, Latching, TB 2: %1 off, %2 on\nChannel 3, Latching, bit 64: %1 off, "
                 "%2 on\nChannel 8, Recall, Fader: %1 off, %2 on\n")
             .arg(a, b)
             .toUtf8()},
        {{"diff", a, root_.filePath("missing")}, 2, ""},
        {{"diff", a}, 2, ""},
        {{"diff", "--bogus", a, b}, 2, ""},
        {{"show", folder("empty")}, 2, ""},
        {{"show", a, b}, 2, ""},
        {{"export", a, "extra"}, 2, ""},
        {{"import", text, root_.filePath("missing")}, 2, ""},
        {{"import", text}, 2, ""},
        {{"diff", "-", "-"}, 2, ""},
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
    // A table small enough to sit in the output's buffer fails only when
    // it is flushed.
    for (const char* command : {"export", "show"}) {
        QProcess full;
        full.setStandardOutputFile("/dev/full");
        full.start(MXCFG_PATH, {command, a});
        ASSERT_TRUE(full.waitForFinished(10'000));
        EXPECT_EQ(full.exitCode(), 2) << command;
        EXPECT_EQ(full.readAllStandardError(), "mxcfg: could not write the output\n");
    }
}

TEST_F(MxcfgTest, ASheetGoesOnlyIntoARegularFileWholeOrNowhere) {
    const QString unit = saved("unit", ChannelConfig{});
    const QString other = saved("other", distinctConfig());
    const QByteArray otherFiles =
        readFile(other + "/switches.mx") + readFile(other + "/settings.cmx");
    const QString fifo = root_.filePath("fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0666), 0);
    const QString link = root_.filePath("link.html");
    ASSERT_TRUE(QFile::link(other + "/switches.mx", link));
    const QString dir = folder("dir");
    struct Case {
        const char* what;
        QString target;
        QString error;
        const char* limit = ""; // run with this file-size limit, SIGXFSZ ignored
    };
    const std::vector<Case> cases = {
        {"a device", "/dev/full",
         "Could not open \"/dev/full\": it is a character device, not a regular file."},
        {"a named pipe", fifo,
         "Could not open \"" + fifo + "\": it is a named pipe, not a regular file."},
        {"a directory", dir, "Could not open \"" + dir + "\": error 21, Is a directory."},
        {"a link to another unit's file", link,
         "Could not open \"" + link + "\": it is a symbolic link to \"" + other +
             "/switches.mx\"; name the file itself."},
        {"a unit's own file", other + "/settings.cmx",
         "Could not open \"" + other +
             "/settings.cmx\": it is named as a unit's own files are, and "
             "is never written over."},
        {"standard output by name", "/dev/stdout",
         "Could not open \"/dev/stdout\": it is a symbolic link to \"/proc/self/fd/1\"; name the "
         "file itself."},
        {"a missing folder", root_.filePath("none/sheet.html"),
         "Could not create \"" + root_.filePath("none/sheet.html") +
             "\": error 2, No such file or directory."},
        {"a disk that takes no more", root_.filePath("big.html"),
         "Could not write \"" + root_.filePath("big.html") + "\": error 27, File too large.", "1"},
    };
    for (const Case& c : cases) {
        for (const char* command : {"sheet", "sheet --pdf", "binder"}) {
            QProcess process;
            process.start("bash", {"-c",
                                   QString("trap '' XFSZ; %1 exec \"$0\" $3 \"$1\" -o \"$2\"")
                                       .arg(*c.limit ? QString("ulimit -f ") + c.limit + ";" : ""),
                                   MXCFG_PATH, unit, c.target, command});
            ASSERT_TRUE(process.waitForFinished(10'000));
            EXPECT_EQ(process.exitCode(), 2) << c.what << ", " << command;
            EXPECT_EQ(process.readAllStandardError(), "mxcfg: " + c.error.toUtf8() + "\n")
                << c.what << ", " << command;
            EXPECT_EQ(readFile(other + "/switches.mx") + readFile(other + "/settings.cmx"),
                      otherFiles);
        }
    }
    EXPECT_FALSE(QFile::exists(root_.filePath("big.html")));
    EXPECT_EQ(QDir(root_.path()).entryList({"*.new-*"}, QDir::AllEntries), QStringList());
    EXPECT_TRUE(QFileInfo(fifo).isSymLink() || !QFileInfo(fifo).isFile()) << "still a pipe";
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    // A file that will be refused is said before any source is read.
    for (const QString& refused : {QString("/dev/full"), dir, other + "/NAMES.TXT"}) {
        for (const char* command : {"sheet", "binder"}) {
            const Result result = mxcfg({command, root_.filePath("missing"), "-o", refused});
            EXPECT_EQ(result.status, 2);
            EXPECT_TRUE(result.err.startsWith("mxcfg: Could not open \"" + refused.toUtf8()))
                << result.err.toStdString();
        }
    }
    // "-" is standard output.
    EXPECT_TRUE(mxcfg({"sheet", unit, "-o", "-"}).out.contains("</html>"));
}

// How a command run by the shell ended: its exit status (-1 if a signal
// ended it) and its peak memory in KiB.
std::pair<int, long> endAndPeakOf(const std::string& script) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(20); // a hang fails the test rather than holding the suite
        ::execl("/bin/sh", "sh", "-c", script.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child) {
        return {-1, 0};
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss};
}

TEST_F(MxcfgTest, EndlessOrHugeInputEndsSoonInLittleMemory) {
    const std::string target = folder("target").toStdString();
    // Measured against what this very build takes for a small text, so that
    // a sanitizer's own overhead counts on both sides.
    const std::string small = root_.filePath("small.txt").toStdString();
    QFile text(QString::fromStdString(small));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray::fromStdString(configToText(ChannelConfig{})));
    text.close();
    const auto [shown, smallPeak] =
        endAndPeakOf("exec " MXCFG_PATH " show " + small + " >/dev/null");
    ASSERT_EQ(shown, 0);
    for (const std::string& script : {"yes | exec " MXCFG_PATH " import - " + target,
                                      "exec " MXCFG_PATH " import /dev/zero " + target,
                                      "exec " MXCFG_PATH " diff " + target + " /dev/zero"}) {
        SCOPED_TRACE(script);
        const auto [status, peak] = endAndPeakOf(script);
        EXPECT_EQ(status, 2);
        // The longest text read is 1 MiB; reading without a limit would grow
        // far past this within the time allowed.
        EXPECT_LT(peak, smallPeak + 16 * 1024) << "KiB at the peak, against " << smallPeak;
    }
    EXPECT_TRUE(QDir(QString::fromStdString(target)).isEmpty());
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
    const QString script = "d=\"$1/bad$(printf '\\377\\376')\"; "
                           "\"$0\" import \"$2\" \"$d\" && \"$0\" show \"$d\" >/dev/null";
    QProcess shell;
    shell.start("sh", {"-c", script, MXCFG_PATH, root_.path(), text.fileName()});
    ASSERT_TRUE(shell.waitForFinished(10'000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_EQ(fs::file_size(named / "switches.mx"), 112U);
    EXPECT_TRUE(fs::is_empty(lookalike));
}

TEST_F(MxcfgTest, ColourOnlyAtATerminalAndNeverWithNoColor) {
    if (QProcess::execute("script", {"-qc", "true", "/dev/null"}) != 0) {
        GTEST_SKIP() << "script (util-linux) is not installed: no terminal to run mxcfg at";
    }
    ChannelConfig config;
    config.Switches.Channels[0].Momentary = SwitchPgm | SwitchPhPwr;
    const QString unit = saved("unit", config);
    // Run at a terminal, as a person does.
    const auto atTerminal = [&](const QString& environment) {
        QProcess process;
        process.start("script", {"-qc",
                                 "env -u NO_COLOR TERM=xterm " + environment + " " + MXCFG_PATH +
                                     " show '" + unit + "'",
                                 "/dev/null"});
        EXPECT_TRUE(process.waitForFinished(10'000));
        return process.readAllStandardOutput();
    };
    // The editable switch that is on is green; PH PWR, greyed in Momentary,
    // is dimmed; the switches that are off are plain.
    EXPECT_TRUE(atTerminal("").contains("Momentary        \033[32mP\033[0m----\033[2mH\033[0m "));
    EXPECT_FALSE(atTerminal("NO_COLOR=1").contains('\033'));
    EXPECT_FALSE(atTerminal("TERM=dumb").contains('\033'));
    EXPECT_FALSE(mxcfg({"show", unit}).out.contains('\033')) << "not at a terminal";
}

} // namespace
} // namespace mx
