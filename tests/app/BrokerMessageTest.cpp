// Which broker messages are worth the log.
#include "app/AppContext.h"

#include <gtest/gtest.h>

TEST(BrokerMessages, NormalCodesAreQuietRefusalsAndErrorsAreNot)
{
    const struct {
        bool SysErr;
        const char* Code;
        bool Significant;
    } cases[] = {
        {false, "00000", false}, {false, "00136", false}, {false, "00200", false}, {false, "00707", false},
        {false, "00133", false}, {false, "00040", false}, {false, "00039", false}, {false, "00462", false},
        {false, " 00156", false},
        // Refusals that start with '0' as well.
        {false, "01478", true},  {false, "01427", true},  {false, "03181", true},  {false, "01491", true},
        {false, "01900", true},  {false, "10003", true},  {false, "904", true},    {false, "IGW00201", true},
        {true, "00000", true},   {false, "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TAppContext::IsSignificant(c.SysErr, QString::fromLatin1(c.Code)), c.Significant) << c.Code;
}
