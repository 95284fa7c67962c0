// Steps of long work: a part maps its reader's thousandths into its share of
// the whole, parts nest, and progress never goes back.
#include "platform/WorkControl.h"

#include <gtest/gtest.h>

namespace plat {

TEST(WorkControl, PartsMapTheirStepsIntoTheirShareAndNest)
{
    WorkControl control;
    const WorkControl::Scope scope(&control);
    {
        const WorkPart reading(0, 700);
        // Half of the reading is 350 of the whole.
        EXPECT_TRUE(WorkStep(500));
        EXPECT_EQ(control.Progress(), 350);
        {
            // The second half of the reading: 350 to 700; a quarter of it
            // is 350 + 350 / 4 = 437 (cut).
            const WorkPart second(500, 1000);
            EXPECT_TRUE(WorkStep(250));
            EXPECT_EQ(control.Progress(), 437);
        }
        // Back in the reading; a step behind the progress leaves it.
        EXPECT_TRUE(WorkStep(100));
        EXPECT_EQ(control.Progress(), 437);
        // Steps beyond the part end at its end.
        EXPECT_TRUE(WorkStep(5000));
        EXPECT_EQ(control.Progress(), 700);
    }
    EXPECT_TRUE(WorkStep(800));
    EXPECT_EQ(control.Progress(), 800);
    control.Cancel();
    EXPECT_FALSE(WorkStep(900));
    EXPECT_TRUE(WorkCancelled());
}

TEST(WorkControl, AThreadWithoutAControlAlwaysGoesOn)
{
    const WorkPart part(100, 200);
    EXPECT_TRUE(WorkStep(500));
    EXPECT_FALSE(WorkCancelled());
}

} // namespace plat
