// The program started where there is no display: it ends at once with exit code 0 and one clear
// line on standard error, and reads or writes nothing (the main procedure never runs).

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Case {
    const char* name;
    const char* display;   // nullptr: DISPLAY not set at all
    const char* expected;  // a piece of the line
};

class NoDisplay : public ::testing::TestWithParam<Case> {};

TEST_P(NoDisplay, EndsWithExitCodeZeroAndOneLine) {
    const Case& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(v));
    if (c.display) env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(c.display));
    env.insert(QStringLiteral("VEXLO_INI_DIR"), dir.path());
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(VEXLO_PROGRAM), {});
    ASSERT_TRUE(p.waitForFinished(30000)) << "the program did not end";
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    const QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << err.toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("vexlo: "))) << err.toStdString();
    EXPECT_TRUE(lines[0].contains(QString::fromUtf8(c.expected))) << err.toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("программа не запущена"))) << err.toStdString();
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    // Nothing was read or written: no INI file, no data file.
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty())
        << QDir(dir.path()).entryList(QDir::Files).join(QLatin1Char(' ')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Displays, NoDisplay,
                         ::testing::Values(Case{"unset", nullptr, "DISPLAY не задана"},
                                           Case{"unreachable", ":237", "«:237»"}),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

}  // namespace
