// main() of the engine tests.
#include <gtest/gtest.h>

#include "platform/Http.h"

int main(int argc, char** argv)
{
    platform::InitHttp();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
