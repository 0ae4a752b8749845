#include "life.h"

#include <gtest/gtest.h>

#include <random>

namespace {

/* Lives that once broke a promise, as the driver printed them shrunk. */
const struct {
    int line;
    const char *steps;
} remembered[] = {
    {__LINE__, "t38 c-525600 s1 t5613"}, /* Setup's OK a year back, the first start's day then ahead */
    {__LINE__, "t1 c60 t1408 c-4320 s2 t4005"}, /* Setup's OK a day before an older cycle's record */
    {__LINE__, "t5276 s2 t3437 c2880 k4 t1"}, /* OK on a later day than its warning's: owed again */
    {__LINE__, "t1 h6 s1 t76 t4579 a3 t2244 k4 a0 t1"}, /* a due held while open outlived the OK */
    {__LINE__, "t1 s1 t3894 k1 s7 c-4320 t1"}, /* "In 1 hour" counted on a clock set back */
    {__LINE__, "h3 m31 t0 s1 t1590 k4 t1 c-60 t59"}, /* its minute again after OK, the clock set back */
    {__LINE__, "p1 h1 t88 c-60 c525600 t1 c-60 t1 t32 t32"}, /* asleep over its minute, the clock set back over it */
};

TEST(Life, RememberedLivesKeepThePromises)
{
    for (const auto &r : remembered)
        EXPECT_EQ(life::Live(r.steps), "") << "life at line " << r.line;
}

TEST(Life, RandomLivesKeepThePromises)
{
    for (int seed = 1; seed <= 300; seed++) {
        std::mt19937 random(seed);
        std::string steps = life::RandomLife([&](int n) { return (int) (random() % n); }, 300);
        std::string fault = life::Live(steps);
        if (!fault.empty()) {
            std::string shortest = life::Shrink(steps);
            FAIL() << "seed " << seed << ": " << life::Live(shortest) << "\n    {__LINE__, \"" << shortest << "\"},";
        }
    }
}

} // namespace
