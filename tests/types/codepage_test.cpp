#include <gtest/gtest.h>

#include "framework/types/codepage.h"

using namespace vx::cp;

namespace {
const QString kRussian = QString::fromUtf8("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя");
}

TEST(Codepage, AllCyrillicLettersRoundTripThroughBothCodePages) {
    ASSERT_EQ(kRussian.size(), 66);
    std::string b = toCp1251(kRussian);
    ASSERT_EQ(b.size(), 66u);
    EXPECT_EQ(fromCp1251(b), kRussian);
    std::string oem = b;
    cp1251ToCp866(oem.data(), oem.size());
    EXPECT_NE(oem, b);
    EXPECT_EQ(oem.substr(0, 3), std::string("\x80\x81\x82"));  // А Б В in 866
    cp866ToCp1251(oem.data(), oem.size());
    EXPECT_EQ(oem, b);
}

TEST(Codepage, CharacterThatOemLacksDoesNotComeBack) {
    std::string b = toCp1251(QString::fromUtf8("«Ромашка»"));
    std::string stored = b;
    cp1251ToCp866(stored.data(), stored.size());
    cp866ToCp1251(stored.data(), stored.size());
    EXPECT_NE(stored, b);
    EXPECT_EQ(fromCp1251(stored), QString::fromUtf8("\"Ромашка\""));
    std::string numero = toCp1251(QString::fromUtf8("№"));  // 866 has the numero sign
    stored = numero;
    cp1251ToCp866(stored.data(), stored.size());
    cp866ToCp1251(stored.data(), stored.size());
    EXPECT_EQ(stored, numero);
}

TEST(Codepage, CaseFoldingAndOrderIncludeYo) {
    EXPECT_EQ(upper1251(toCp1251(QString::fromUtf8("ёлка Ёж z"))), toCp1251(QString::fromUtf8("ЁЛКА ЁЖ Z")));
    EXPECT_EQ(compareNoCase1251(toCp1251(QString::fromUtf8("иванов  ")), toCp1251(QString::fromUtf8("ИВАНОВ"))), 0);
    // Е < Ё < Ж in the alphabet, whatever the case.
    EXPECT_LT(compareNoCase1251(toCp1251(QString::fromUtf8("е")), toCp1251(QString::fromUtf8("Ё"))), 0);
    EXPECT_LT(compareNoCase1251(toCp1251(QString::fromUtf8("ё")), toCp1251(QString::fromUtf8("Ж"))), 0);
    EXPECT_LT(compareNoCase1251(toCp1251(QString::fromUtf8("Я")), toCp1251(QString::fromUtf8("яя"))), 0);
    EXPECT_LT(compareNoCase1251("Z", toCp1251(QString::fromUtf8("а"))), 0);
}
