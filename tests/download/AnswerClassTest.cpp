#include "download/AnswerClass.h"

#include <gtest/gtest.h>

// What a try does with each kind of status, with and without a range asked for.
TEST(AnswerClassTest, StatusDecidesWhatTheTryDoes)
{
    struct Row {
        int status;
        bool ranged;
        AnswerClass expected;
    };
    const Row rows[] = {
        {200, false, AnswerClass::Body},
        {200, true, AnswerClass::Body},  // the whole file: the part file starts over
        {206, true, AnswerClass::Body},
        {206, false, AnswerClass::Body},
        {401, false, AnswerClass::Login},
        {407, true, AnswerClass::Login},
        {408, false, AnswerClass::RetryLater},
        {429, true, AnswerClass::RetryLater},
        {500, false, AnswerClass::RetryLater},
        {503, true, AnswerClass::RetryLater},
        {599, false, AnswerClass::RetryLater},
        {416, true, AnswerClass::RangeNotSatisfied},
        {416, false, AnswerClass::Fail},
        {204, false, AnswerClass::Fail},
        {301, false, AnswerClass::Fail},  // a redirect left unfollowed
        {403, true, AnswerClass::Fail},
        {404, false, AnswerClass::Fail},
        {410, false, AnswerClass::Fail},
        {600, false, AnswerClass::Fail},
        {0, false, AnswerClass::Fail},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ClassifyAnswer(row.status, row.ranged), row.expected) << row.status << (row.ranged ? " ranged" : "");
}
