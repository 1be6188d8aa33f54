#include <gtest/gtest.h>

#include "framework/platform/profile.h"
#include "framework/types/codepage.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vx::platform;
namespace fs = std::filesystem;

namespace {

const std::string kIni = "vexlo.INI";

std::string cp(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }

class Profile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vexlo-profile-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        ::setenv("VEXLO_INI_DIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("VEXLO_INI_DIR");
        fs::remove_all(dir_);
    }
    fs::path file() const { return dir_ / kIni; }
    void writeRaw(const std::string& bytes) const {
        std::ofstream(file(), std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string readRaw() const {
        std::ifstream in(file(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Replaces the file the way another program would: a new file renamed over the old one.
    void replaceRaw(const std::string& bytes, int n = 0) const {
        const fs::path tmp = dir_ / ("other." + std::to_string(n));
        std::ofstream(tmp, std::ios::binary | std::ios::trunc) << bytes;
        fs::rename(tmp, file());
    }
    std::string get(const std::string& s, const std::string& k, const std::string& def = "<none>") const {
        return getProfileString(s, k, def, kIni);
    }

    fs::path dir_;
};

TEST_F(Profile, ValuesRoundTrip) {
    struct Case {
        std::string written, read;
    } cases[] = {
        {"Yes", "Yes"},
        {"", ""},
        {"-120", "-120"},
        {"  padded  ", "padded"},        // blanks around a value are not part of it
        {"\"quoted\"", "quoted"},        // one pair of matching quotes is removed
        {"a=b=c", "a=b=c"},              // only the first '=' separates the key
        {cp("Приём «Ёлка» №1"), cp("Приём «Ёлка» №1")},
        {std::string(5000, 'x'), std::string(5000, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written.substr(0, 40));
        ASSERT_TRUE(writeProfileString("Main", "Value", c.written, kIni));
        EXPECT_EQ(get("Main", "Value"), c.read);
    }
}

TEST_F(Profile, MissingFileSectionOrKeyReadsAsDefault) {
    EXPECT_EQ(get("Main", "XPos", "dflt"), "dflt");
    EXPECT_EQ(getProfileInt("Main", "XPos", 77, kIni), 77);
    EXPECT_TRUE(getProfileSectionNames(kIni).empty());
    EXPECT_FALSE(fs::exists(file())) << "reading must not create the file";

    ASSERT_TRUE(writeProfileString("Main", "XPos", "10", kIni));
    EXPECT_EQ(get("Other", "XPos", "dflt"), "dflt");
    EXPECT_EQ(get("Main", "YPos", "dflt"), "dflt");
    EXPECT_EQ(getProfileString("Main", "XPos", "dflt", ""), "dflt");  // no file name, no file
}

TEST_F(Profile, SectionsAndKeysIgnoreCaseLatinAndCyrillic) {
    ASSERT_TRUE(writeProfileString("BrowseForma_1", "XPos", "10", kIni));
    EXPECT_EQ(get("BROWSEFORMA_1", "xpos"), "10");
    ASSERT_TRUE(writeProfileString("browseforma_1", "XPOS", "11", kIni));
    EXPECT_EQ(get("BrowseForma_1", "XPos"), "11");

    ASSERT_TRUE(writeProfileString(cp("Окно"), cp("Ширина"), "5", kIni));
    EXPECT_EQ(get(cp("ОКНО"), cp("шИРИНА")), "5");

    // One section and one key line each, in the spelling first written.
    EXPECT_EQ(readRaw(), "[BrowseForma_1]\nXPos=11\n\n[" + cp("Окно") + "]\n" + cp("Ширина") + "=5\n");
    EXPECT_EQ(getProfileSectionNames(kIni), (std::vector<std::string>{"BrowseForma_1", cp("Окно")}));
}

TEST_F(Profile, TextFormsConvertCodePage1251) {
    ASSERT_TRUE(writeProfileText(QString::fromUtf8("Запросы"), QString::fromUtf8("Имя"),
                                 QString::fromUtf8("Выдано за май"), QString::fromStdString(kIni)));
    EXPECT_EQ(getProfileText(QString::fromUtf8("ЗАПРОСЫ"), QString::fromUtf8("имя"), {}, QString::fromStdString(kIni)),
              QString::fromUtf8("Выдано за май"));
    EXPECT_NE(readRaw().find(cp("Выдано за май")), std::string::npos) << "stored as code page 1251";
}

TEST_F(Profile, IntegersReadLikeTheWindowsCall) {
    struct Case {
        const char* stored;
        long expected;
    } cases[] = {{"10", 10}, {"-5", -5}, {"+7", 7}, {" 42px", 42}, {"abc", 0}, {"", 0}, {"99999999999", 0x7FFFFFFF}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_TRUE(writeProfileString("Main", "N", c.stored, kIni));
        EXPECT_EQ(getProfileInt("Main", "N", 123, kIni), c.expected);
    }
}

TEST_F(Profile, NoValueDeletesKeyAndSectionDeleteRemovesEveryCopy) {
    writeRaw("; kept comment\n[Main]\nXPos=1\nYPos=2\nxpos=3\n[Other]\nA=1\n[MAIN]\nWidth=9\n");
    ASSERT_TRUE(writeProfileString("Main", "XPos", std::nullopt, kIni));
    EXPECT_EQ(get("Main", "XPos"), "<none>") << "a duplicate key must not show through";
    EXPECT_EQ(get("Main", "YPos"), "2");
    ASSERT_TRUE(writeProfileString("Main", "NoSuchKey", std::nullopt, kIni));
    ASSERT_TRUE(writeProfileString("NoSuchSection", "K", std::nullopt, kIni));

    ASSERT_TRUE(deleteProfileSection("main", kIni));
    EXPECT_EQ(get("Main", "Width"), "<none>") << "a duplicate section must not show through";
    EXPECT_EQ(readRaw(), "; kept comment\n[Other]\nA=1\n");
    EXPECT_TRUE(deleteProfileSection("Main", kIni));
}

TEST_F(Profile, BatchWritesOneSection) {
    ASSERT_TRUE(writeProfileStrings("Main", {{"Maximize", "No"}, {"XPos", "5"}, {"Width", std::nullopt}}, kIni));
    ASSERT_TRUE(writeProfileStrings("Main", {{"Maximize", "Yes"}, {"XPos", std::nullopt}}, kIni));
    EXPECT_EQ(readRaw(), "[Main]\nMaximize=Yes\n");
    EXPECT_EQ(getProfileKeyNames("Main", kIni), std::vector<std::string>{"Maximize"});
}

TEST_F(Profile, MalformedNamesAreRefusedAndValuesCannotStartLines) {
    EXPECT_FALSE(writeProfileString("Main", "a=b", "1", kIni));
    EXPECT_FALSE(writeProfileString("Main", "", "1", kIni));
    EXPECT_FALSE(writeProfileString("Main", "[x", "1", kIni));
    EXPECT_FALSE(writeProfileString("Ma]in", "k", "1", kIni));
    EXPECT_FALSE(writeProfileString("Ma\nin", "k", "1", kIni));
    EXPECT_FALSE(writeProfileString("", "k", "1", kIni));
    EXPECT_FALSE(fs::exists(file()));

    ASSERT_TRUE(writeProfileString("Main", "Query", "1\r\n[Evil]\nk=v", kIni));
    EXPECT_EQ(getProfileSectionNames(kIni), std::vector<std::string>{"Main"});
    EXPECT_EQ(getProfileKeyNames("Main", kIni), std::vector<std::string>{"Query"});
}

TEST_F(Profile, DamagedOrHandEditedFilesReadSensibly) {
    std::mt19937 rng(7);
    std::string garbage(65536, '\0');
    for (char& c : garbage) c = static_cast<char>(rng());
    struct Case {
        const char* name;
        std::string content;
        std::string key, expected;
    } cases[] = {
        {"binary garbage around a section", garbage + "\n[Main]\nXPos=5\n" + garbage, "XPos", "5"},
        {"header without ']'", "[Main\nXPos=7\n", "XPos", "7"},
        {"duplicate sections: the first counts", "[Main]\nXPos=1\n[Other]\n[main]\nXPos=2\nYPos=3\n", "YPos", "<none>"},
        {"duplicate keys: the first counts", "[Main]\nXPos=1\nXPOS=2\n", "XPos", "1"},
        {"CRLF line ends", "[Main]\r\nXPos=4\r\n", "XPos", "4"},
        {"a line of a megabyte", std::string(1 << 20, 'q') + "\n[Main]\nXPos=8", "XPos", "8"},
        {"key before any section", "XPos=9\n[Main]\nYPos=1\n", "XPos", "<none>"},
        {"NUL inside a value", std::string("[Main]\nXPos=12\0junk\n", 20), "XPos", "12"},
        {"editor's UTF-8 mark", "\xEF\xBB\xBF[Main]\nXPos=3\n", "XPos", "3"},
        {"lines without '='", "[Main]\njust text\n=orphan\nXPos = 6 \n", "XPos", "6"},
        {"only a bracket", "[", "XPos", "<none>"},
        {"empty file", "", "XPos", "<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeRaw(c.content);
        EXPECT_EQ(get("Main", c.key), c.expected);
        // Writing into it works and leaves the rest of the file alone.
        ASSERT_TRUE(writeProfileString("Main", "Width", "640", kIni));
        EXPECT_EQ(get("Main", "Width"), "640");
        EXPECT_EQ(get("Main", c.key), c.expected);
        const std::string after = readRaw();
        EXPECT_GE(after.size(), c.content.size());
    }
}

TEST_F(Profile, RewriteKeepsTheFilesLineEnds) {
    writeRaw("[Main]\r\nXPos=4\r\n[Other]\r\nA=1");
    ASSERT_TRUE(writeProfileString("Main", "YPos", "5", kIni));
    ASSERT_TRUE(writeProfileString("Other", "B", "2", kIni));
    ASSERT_TRUE(writeProfileString("New", "C", "3", kIni));
    EXPECT_EQ(readRaw(), "[Main]\r\nXPos=4\r\nYPos=5\r\n[Other]\r\nA=1\r\nB=2\r\n\r\n[New]\r\nC=3\r\n");
}

TEST_F(Profile, UnusableFileGivesDefaultsAndFailedWrites) {
    std::vector<QString> told;
    setProfileNoticeHandler([&told](const QString& t) { told.push_back(t); });
    fs::create_directory(file());  // something that is not a file holds the name
    EXPECT_EQ(get("Main", "XPos", "d"), "d");
    EXPECT_FALSE(writeProfileString("Main", "XPos", "1", kIni));
    EXPECT_EQ(get("Main", "YPos", "d"), "d");
    ASSERT_EQ(told.size(), 1u) << "said once, not at every read and write";
    EXPECT_TRUE(told[0].contains(QString::fromUtf8("каталог"))) << told[0].toStdString();
    setProfileNoticeHandler([&told](const QString& t) { told.push_back(t); });

    fs::remove(file());
    {
        std::ofstream big(file(), std::ios::binary);
        big << "[Main]\nXPos=1\n";
        big.seekp(static_cast<std::streamoff>(kMaxProfileFileSize));
        big << "x";
    }
    EXPECT_EQ(get("Main", "XPos", "d"), "d");
    EXPECT_FALSE(writeProfileString("Main", "XPos", "2", kIni)) << "an oversized file is not rewritten";
    EXPECT_GT(fs::file_size(file()), kMaxProfileFileSize);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_TRUE(told[1].contains(QString::fromUtf8("16 МиБ"))) << told[1].toStdString();
    setProfileNoticeHandler(nullptr);
}

TEST_F(Profile, WritesLeaveNoTemporaryFiles) {
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(writeProfileString("Main", "XPos", std::to_string(i), kIni));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"vexlo.INI", "vexlo.INI.lock"}));
}

TEST_F(Profile, ChangesByAnotherProgramAreSeenAtOnce) {
    ASSERT_TRUE(writeProfileString("Main", "XPos", "1", kIni));
    EXPECT_EQ(get("Main", "XPos"), "1");
    replaceRaw("[Main]\nXPos=2\n");  // same size, new file
    EXPECT_EQ(get("Main", "XPos"), "2");
    writeRaw("[Main]\nXPos=345\n");  // rewritten in place
    EXPECT_EQ(get("Main", "XPos"), "345");
    fs::remove(file());
    EXPECT_EQ(get("Main", "XPos"), "<none>");
}

TEST_F(Profile, ReaderNeverSeesAHalfReplacedFile) {
    const std::string a = "[Main]\nValue=" + std::string(20000, 'a') + "\n";
    const std::string b = "[Main]\nValue=" + std::string(30000, 'b') + "\n";
    replaceRaw(a);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) replaceRaw(i % 2 ? a : b, i);
    });
    int bad = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string v = get("Main", "Value");
        if (v != std::string(20000, 'a') && v != std::string(30000, 'b')) ++bad;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(bad, 0);
}

TEST_F(Profile, TwoProcessesWritingAtOnceLoseNoKey) {
    ASSERT_TRUE(writeProfileString("Main", "Start", "1", kIni));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool ok = true;
        for (int i = 0; i < 40; ++i) ok = writeProfileString("Main", "C" + std::to_string(i), "c", kIni) && ok;
        ::_exit(ok ? 0 : 1);
    }
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(writeProfileString("Main", "P" + std::to_string(i), "p", kIni));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(getProfileKeyNames("Main", kIni).size(), 81u);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(get("Main", "C" + std::to_string(i)), "c");
        EXPECT_EQ(get("Main", "P" + std::to_string(i)), "p");
    }
}

TEST_F(Profile, FileLocation) {
    EXPECT_EQ(profilePath("vexlo.INI"), dir_ / "vexlo.INI");
    EXPECT_EQ(profilePath("/somewhere/else.ini"), fs::path("/somewhere/else.ini"));

    const fs::path nested = dir_ / "a" / "b";
    ::setenv("VEXLO_INI_DIR", nested.c_str(), 1);
    ASSERT_TRUE(writeProfileString("Main", "XPos", "1", kIni));
    EXPECT_TRUE(fs::is_regular_file(nested / kIni)) << "the directory is created on the first write";

    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    ::unsetenv("VEXLO_INI_DIR");
    ::setenv("XDG_CONFIG_HOME", (dir_ / "xdg").c_str(), 1);
    EXPECT_EQ(profileDirectory(), dir_ / "xdg");
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    ::setenv("HOME", dir_.c_str(), 1);
    EXPECT_EQ(profileDirectory(), dir_ / ".config");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(profileDirectory(), dir_ / ".config");
    if (home) ::setenv("HOME", savedHome.c_str(), 1);
    else ::unsetenv("HOME");
}

}  // namespace
