// One QApplication for every window test.

#include <QApplication>

#include <gtest/gtest.h>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "app_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

private:
    QApplication* app_ = nullptr;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
