#include "download/AnswerClass.h"

#include "download/RetryPolicy.h"

AnswerClass ClassifyAnswer(int status, bool ranged)
{
    if (status == 401 || status == 407)
        return AnswerClass::Login;
    if (IsRetriableStatus(status))
        return AnswerClass::RetryLater;
    if (status == 416 && ranged)
        return AnswerClass::RangeNotSatisfied;
    if (status == 200 || status == 206)
        return AnswerClass::Body;
    return AnswerClass::Fail;
}
