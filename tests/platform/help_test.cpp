#include <gtest/gtest.h>

#include "framework/platform/chm.h"
#include "framework/platform/htmlhelp.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTreeWidget>

#include <random>

using namespace vx::platform;

namespace {

const QString kChm = QStringLiteral(VEXLO_HELP_CHM);
const QString kSources = QStringLiteral(VEXLO_HELP_SOURCES);

// The application lives from before the first test to after the last, inside main().
class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "platform_help_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};
[[maybe_unused]] ::testing::Environment* const g_app = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void flatten(const std::vector<HelpContentsEntry>& entries, QStringList& locals) {
    for (const auto& e : entries) {
        locals << e.local;
        flatten(e.children, locals);
    }
}

class Help : public ::testing::Test {
protected:
    void SetUp() override {
        messages_.clear();
        setHtmlHelpMessageHandler([this](const QString& m) { messages_ << m; });
    }
    void TearDown() override {
        closeHtmlHelp();
        setHtmlHelpMessageHandler({});
    }
    QStringList messages_;
};

TEST_F(Help, ArchiveHoldsTheContentsOfTheSources) {
    const auto archive = ChmArchive::open(kChm);
    ASSERT_TRUE(archive);
    const auto sourceContents = parseSitemap(readFile(kSources + "/instr.hhc"));
    ASSERT_FALSE(sourceContents.empty());
    EXPECT_EQ(archive->contents(), sourceContents);
    EXPECT_EQ(archive->contentsFile(), QStringLiteral("/instr.hhc"));
    EXPECT_EQ(archive->defaultTopic(), QString::fromUtf8("/Начало работы.htm"));

    QStringList locals;
    flatten(archive->contents(), locals);
    EXPECT_TRUE(locals.contains(QString::fromUtf8("Контакты.htm")));
    EXPECT_TRUE(locals.contains(QString::fromUtf8("Отчёт за период.htm")));
    locals.removeAll(QString());  // headings without a topic of their own
    for (const QString& l : locals) EXPECT_TRUE(archive->contains(normalizeHelpPath(l))) << l.toStdString();
}

TEST_F(Help, EveryLinkAndPictureOfEveryTopicIsInTheArchive) {
    const auto archive = ChmArchive::open(kChm);
    ASSERT_TRUE(archive);
    const QRegularExpression ref(QStringLiteral(R"re((?:href|src)="([^"#]+)[^"]*")re"));
    int topics = 0, refs = 0;
    for (const QString& path : archive->files()) {
        if (!path.endsWith(u".htm")) continue;
        ++topics;
        const QString html = decodeHelpText(*archive->read(path));
        const QUrl base = ChmBrowser::urlFor(path);
        for (auto it = ref.globalMatch(html); it.hasNext();) {
            const QUrl target = base.resolved(QUrl(it.next().captured(1)));
            ++refs;
            EXPECT_TRUE(archive->contains(target.path())) << path.toStdString() << " -> " << target.toString().toStdString();
        }
    }
    EXPECT_GE(topics, 10);
    EXPECT_GE(refs, 30);
}

TEST_F(Help, ContentsThenTopicInOneNonModalWindow) {
    ASSERT_TRUE(htmlHelpDisplayContents(kChm));
    HelpViewer* v = htmlHelpViewer();
    ASSERT_TRUE(v);
    EXPECT_TRUE(v->isVisible());
    EXPECT_TRUE(v->isWindow());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(v->contentsTree()->topLevelItemCount(), static_cast<int>(v->archive()->contents().size()));
    EXPECT_EQ(v->currentTopic(), QString::fromUtf8("/Начало работы.htm"));
    EXPECT_TRUE(v->browser()->toPlainText().contains(QString::fromUtf8("Главное окно")));

    ASSERT_TRUE(htmlHelpDisplayTopic(kChm, QString::fromUtf8("Контакты.htm")));
    EXPECT_EQ(htmlHelpViewer(), v) << "one viewer reused";
    EXPECT_EQ(v->currentTopic(), QString::fromUtf8("/Контакты.htm"));
    EXPECT_TRUE(v->browser()->toPlainText().contains(QString::fromUtf8("службу поддержки")));
    ASSERT_TRUE(v->contentsTree()->currentItem());
    EXPECT_EQ(v->contentsTree()->currentItem()->text(0), QString::fromUtf8("Контакты"));

    // The "file::/topic" form and another letter case name the same topic.
    ASSERT_TRUE(htmlHelpDisplayTopic(kChm, QString::fromUtf8("instr.chm::/ОТЧЁТ ЗА ПЕРИОД.htm")));
    EXPECT_EQ(v->currentTopic(), QString::fromUtf8("/Отчёт за период.htm"));
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
}

// Clicks the first link of the shown topic whose target is href.
bool clickLink(QTextBrowser* b, const QString& href) {
    for (QTextBlock block = b->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.charFormat().anchorHref() != href) continue;
            QTextCursor c(b->document());
            c.setPosition(f.position() + 1);
            const QPoint at = b->cursorRect(c).center() - QPoint(2, 0);
            QTest::mouseClick(b->viewport(), Qt::LeftButton, {}, at);
            return true;
        }
    return false;
}

TEST_F(Help, FollowsLinksAndContentsEntries) {
    ASSERT_TRUE(htmlHelpDisplayTopic(kChm, QString::fromUtf8("Начало работы.htm")));
    HelpViewer* v = htmlHelpViewer();
    v->resize(900, 700);
    QApplication::processEvents();
    ASSERT_TRUE(clickLink(v->browser(), QString::fromUtf8("Контрагенты.htm")));
    EXPECT_EQ(v->currentTopic(), QString::fromUtf8("/Контрагенты.htm"));
    EXPECT_TRUE(v->browser()->toPlainText().contains(QString::fromUtf8("родительном падеже")));

    ASSERT_TRUE(clickLink(v->browser(), QString::fromUtf8("Реестр документов.htm")));
    EXPECT_EQ(v->currentTopic(), QString::fromUtf8("/Реестр документов.htm"));

    const auto items = v->contentsTree()->findItems(QString::fromUtf8("Удаление за период"),
                                                    Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(items.size(), 1);
    v->contentsTree()->scrollToItem(items[0]);
    QTest::mouseClick(v->contentsTree()->viewport(), Qt::LeftButton, {},
                      v->contentsTree()->visualItemRect(items[0]).center());
    EXPECT_EQ(v->currentTopic(), QString::fromUtf8("/Удаление за период.htm"));
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
}

TEST_F(Help, PicturesComeFromTheArchiveAndNothingFromOutside) {
    ASSERT_TRUE(htmlHelpDisplayTopic(kChm, QString::fromUtf8("Оперативное смещение.htm")));
    ChmBrowser* b = htmlHelpViewer()->browser();
    const QVariant picture = b->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("chm:/offset.xpm")));
    QImage image;
    ASSERT_TRUE(image.loadFromData(picture.toByteArray()));
    EXPECT_EQ(image.size(), QSize(96, 64));

    EXPECT_FALSE(b->loadResource(QTextDocument::HtmlResource, QUrl::fromLocalFile(kChm)).isValid());
    EXPECT_FALSE(b->loadResource(QTextDocument::HtmlResource, QUrl(QStringLiteral("chm:/nothing.htm"))).isValid());
}

TEST_F(Help, MissingOrDamagedFilesAndTopicsAreToldNotFatal) {
    EXPECT_FALSE(htmlHelpDisplayContents(QString()));
    EXPECT_FALSE(htmlHelpDisplayTopic(QStringLiteral("  "), QString::fromUtf8("Контакты.htm")));
    EXPECT_TRUE(messages_.isEmpty()) << "an empty help file name does nothing";
    EXPECT_EQ(htmlHelpViewer(), nullptr);

    QTemporaryDir dir;
    QFile junk(dir.filePath(QStringLiteral("junk.chm")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, '\x5a'));
    junk.close();
    struct Case {
        QString file;
        const char* says;
    } cases[] = {{dir.filePath(QStringLiteral("none.chm")), "не найден"},
                 {QStringLiteral("none-anywhere.chm"), "не найден"},
                 {junk.fileName(), "повреждён"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        messages_.clear();
        EXPECT_FALSE(htmlHelpDisplayContents(c.file));
        ASSERT_EQ(messages_.size(), 1);
        EXPECT_TRUE(messages_[0].contains(QString::fromUtf8(c.says))) << messages_[0].toStdString();
    }

    messages_.clear();
    ASSERT_TRUE(htmlHelpDisplayTopic(kChm, QString::fromUtf8("Контакты.htm")));
    EXPECT_FALSE(htmlHelpDisplayTopic(kChm, QString::fromUtf8("Нет такого.htm")));
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].contains(QString::fromUtf8("Нет такого.htm")));
    EXPECT_EQ(htmlHelpViewer()->currentTopic(), QString::fromUtf8("/Контакты.htm")) << "the shown topic stays";
}

TEST_F(Help, DamagedCopiesOfTheHelpFileNeverCrash) {
    const QByteArray good = readFile(kChm);
    ASSERT_GT(good.size(), 4096);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.chm"));
    std::mt19937 rng(20261210);
    int opened = 0, refused = 0;
    for (int i = 0; i < 400; ++i) {
        QByteArray bytes = good;
        if (i % 3 == 0) {
            bytes.truncate(static_cast<qsizetype>(rng() % static_cast<unsigned>(good.size())));
        } else {
            for (unsigned k = 0, n = 1 + rng() % 16; k < n; ++k)
                bytes[static_cast<qsizetype>(rng() % static_cast<unsigned>(bytes.size()))] = static_cast<char>(rng());
        }
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        QString error;
        const auto archive = ChmArchive::open(path, &error);
        if (!archive) {
            ++refused;
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        ++opened;
        for (const QString& p : archive->files()) (void)archive->read(p);
        (void)archive->contents();
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(opened, 0);
}

TEST_F(Help, NameWithoutDirectoryIsFoundInTheWorkingDirectory) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(kChm, dir.filePath(QStringLiteral("instr.chm"))));
    const QString saved = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const QString found = resolveHelpFile(QStringLiteral("instr.chm"));
    EXPECT_TRUE(htmlHelpDisplayContents(QStringLiteral("instr.chm")));
    QDir::setCurrent(saved);
    EXPECT_EQ(QFileInfo(found).canonicalFilePath(), QFileInfo(dir.filePath(QStringLiteral("instr.chm"))).canonicalFilePath());
    EXPECT_TRUE(resolveHelpFile(QStringLiteral("instr.chm")).isEmpty() ||
                QFileInfo(resolveHelpFile(QStringLiteral("instr.chm"))).absolutePath() == QApplication::applicationDirPath());
}

TEST(Sitemap, ToleratesMalformedContents) {
    struct Case {
        const char* name;
        QByteArray bytes;
        std::vector<HelpContentsEntry> expected;
    };
    auto obj = [](const char* name, const char* local) {
        return QByteArray("<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"") + name +
               "\"><param name=\"Local\" value=\"" + local + "\"></OBJECT>";
    };
    const HelpContentsEntry a{QStringLiteral("A"), QStringLiteral("a.htm"), {}};
    const HelpContentsEntry b{QStringLiteral("B"), QStringLiteral("b.htm"), {}};
    const Case cases[] = {
        {"nested", "<UL>" + obj("A", "a.htm") + "<UL>" + obj("B", "b.htm") + "</UL></UL>",
         {{QStringLiteral("A"), QStringLiteral("a.htm"), {b}}}},
        {"unbalanced closing lists", "</UL></UL><UL>" + obj("A", "a.htm") + "</UL></UL>" + obj("B", "b.htm"), {a, b}},
        {"unclosed lists and object", "<UL>" + obj("A", "a.htm") + "<UL><UL><LI><OBJECT type=\"text/sitemap\">", {a}},
        {"child without a parent", "<UL><UL>" + obj("B", "b.htm") + "</UL>" + obj("A", "a.htm") + "</UL>", {b, a}},
        {"entities, bare and single-quoted values",
         "<ul><li><object type=text/sitemap><param name=Name value='A &amp; &#1041;'><param name=local value=a.htm></object></ul>",
         {{QString::fromUtf8("A & Б"), QStringLiteral("a.htm"), {}}}},
        {"code page 1251", "<UL>" + obj("\xC0\xE1\xE2", "a.htm") + "</UL>", {{QString::fromUtf8("Абв"), QStringLiteral("a.htm"), {}}}},
        {"comments and other objects are skipped",
         "<!-- " + obj("X", "x.htm") + " --><OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"P\"></OBJECT><UL>" +
             obj("A", "a.htm") + "</UL>",
         {a}},
        {"not a sitemap at all", QByteArray("\x00\x01<<<>>>\xFF", 10), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parseSitemap(c.bytes), c.expected);
    }
}

TEST(HelpBuild, ContentsNamingAMissingTopicFailsTheBuild) {
    struct Case {
        const char* name;
        QByteArray hhc;
        QByteArray files;
        bool ok;
        const char* says;
    } cases[] = {
        {"complete", "<param name=\"Local\" value=\"a.htm#part\">", "a.htm\n", true, ""},
        {"missing topic", "<param name=\"Local\" value=\"a.htm\"><param name=\"Local\" value=\"Нет.htm\">", "a.htm\n", false,
         "missing topic 'Нет.htm'"},
        {"project lists a missing file", "<param name=\"Local\" value=\"a.htm\">", "a.htm\nb.htm\n", false, "lists b.htm"},
        {"contents without topics", "<UL></UL>", "a.htm\n", false, "names no topic"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        auto put = [&](const char* name, const QByteArray& bytes) {
            QFile f(dir.filePath(QString::fromUtf8(name)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        put("a.htm", "<html></html>");
        put("t.hhc", c.hhc);
        put("t.hhp", "[OPTIONS]\nContents file=t.hhc\n\n[FILES]\n" + c.files);
        QProcess cmake;
        cmake.setProcessChannelMode(QProcess::MergedChannels);
        cmake.start(QStringLiteral(VEXLO_CMAKE_COMMAND),
                    {QStringLiteral("-DHELP_DIR=") + dir.path(), QStringLiteral("-DHELP_PROJECT=t.hhp"), QStringLiteral("-P"),
                     QStringLiteral(VEXLO_HELP_CMAKE)});
        ASSERT_TRUE(cmake.waitForFinished(30000));
        const QString out = QString::fromUtf8(cmake.readAll());
        EXPECT_EQ(cmake.exitCode() == 0, c.ok) << out.toStdString();
        EXPECT_TRUE(out.contains(QString::fromUtf8(c.says))) << out.toStdString();
    }
}

}  // namespace
