// Main of the unit-test programs: failed checks are logged and recorded, never shown in a
// box, so a test that provokes one cannot wait for an answer.
#include <gtest/gtest.h>

#include "diag/logit.h"

int main(int argc, char** argv)
{
    LogSwitch("/NOASSERT");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
