// main() of the widget tests: one QApplication for the whole binary.
#include <QApplication>

#include <gtest/gtest.h>

#include "platform/Http.h"

int main(int argc, char** argv)
{
    platform::InitHttp();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
