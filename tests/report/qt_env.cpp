#include <QApplication>
#include <gtest/gtest.h>

#include "framework/platform/fonts.h"

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                         : qgetenv("QT_QPA_PLATFORM"));
        static int argc = 1;
        static char name[] = "report_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        vx::platform::installFontSubstitutions();
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
