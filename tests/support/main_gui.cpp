// Test main for widget tests: an offscreen QApplication.
#include "tests/support/testenv.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    TestEnv::Prepare();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
