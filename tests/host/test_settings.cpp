#include "fakewin.h"
#include "reminder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <tuple>

namespace {

class Settings : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override { EXPECT_EQ(fake::OpenHandles(), 0) << "a registry key was left open"; }
};

TEST_F(Settings, ReadingAnEmptyRegistryCreatesNothing)
{
    for (const char *name : {SETTING_START_DAY, SETTING_FREQUENCY, SETTING_HOURS, SETTING_MINUTES})
        EXPECT_EQ(ReadSettingInt(name), 0) << name;
    EXPECT_FALSE(fake::KeyExists("Software\\Quilmaren Filters"));
}

TEST_F(Settings, FirstWriteCreatesBothKeysAndStoresTerminatedText)
{
    WriteSetting("2994", SETTING_START_DAY);
    EXPECT_TRUE(fake::KeyExists("Software\\Quilmaren Filters"));
    DWORD type;
    std::string data;
    ASSERT_TRUE(fake::GetValue(OPTIONS_PATH, SETTING_START_DAY, &type, &data));
    EXPECT_EQ(type, (DWORD) REG_SZ);
    EXPECT_EQ(data, std::string("2994", 5)); /* terminator counted */

    WriteSetting("-2147483648", SETTING_FREQUENCY);
    ASSERT_TRUE(fake::GetValue(OPTIONS_PATH, SETTING_FREQUENCY, &type, &data));
    EXPECT_EQ(data.size(), 12u);
    EXPECT_EQ(ReadSettingInt(SETTING_FREQUENCY), INT_MIN);
    EXPECT_EQ(ReadSettingInt(SETTING_START_DAY), 2994);
}

TEST_F(Settings, TextConvertsByAtoiRules)
{
    const struct {
        const char *text;
        int expected;
    } cases[] = {
        {"0", 0},           {"7", 7},
        {"12abc", 12},      {"-3", -3},
        {"  7", 7},         {"\t+9", 9},
        {"abc", 0},         {"", 0},
        {"2147483647", INT_MAX},   {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},  {"-2147483649", INT_MIN},
        {"9999999999999999999", INT_MAX}, /* 19 digits: the most a value can hold */
    };
    for (const auto &c : cases) {
        fake::SetText(SETTING_HOURS, c.text);
        EXPECT_EQ(ReadSettingInt(SETTING_HOURS), c.expected) << '"' << c.text << '"';
    }
}

TEST_F(Settings, ValuesThatDoNotFitOrAreNotStringsStillReadAsTerminatedText)
{
    const struct {
        DWORD type;
        std::string data;
        const char *text;
    } cases[] = {
        {REG_SZ, std::string(20, '5'), "5555555555555555555"},           /* 20 bytes, no terminator */
        {REG_SZ, std::string("1234567890123456789", 20), "1234567890123456789"}, /* exactly fits */
        {REG_SZ, std::string(21, '5'), ""},                              /* too long: undefined buffer */
        {REG_SZ, std::string(100, '7') + '\0', ""},
        {REG_SZ, "12", "12"},                                            /* unterminated, short */
        {REG_SZ, "", ""},                                                /* 0 bytes */
        {REG_SZ, std::string(19, '6'), "6666666666666666666"},           /* 19 bytes, no terminator */
        {REG_DWORD, std::string("\x07\0\0\0", 4), "\x07"},
        {REG_BINARY, "31", "31"},
        {REG_BINARY, std::string(19, '1'), "1111111111111111111"},
        {REG_MULTI_SZ, std::string("5\0\0", 3), "5"},
        {REG_NONE, "", ""},
    };
    for (const auto &c : cases) {
        fake::SetValue(OPTIONS_PATH, SETTING_MINUTES, c.type, c.data);
        char buffer[SETTING_BUFFER_SIZE + 8];
        memset(buffer, 'x', sizeof buffer);
        ReadSetting(buffer, SETTING_MINUTES);
        ASSERT_LT(strnlen(buffer, sizeof buffer), (size_t) SETTING_BUFFER_SIZE) << "type " << c.type;
        EXPECT_STREQ(buffer, c.text) << "type " << c.type << ", " << c.data.size() << " bytes";
    }
}

TEST_F(Settings, DeletedAndZeroValuesReadAsNotSet)
{
    WriteSetting("45", SETTING_MINUTES);
    EXPECT_EQ(ReadSettingInt(SETTING_MINUTES), 45);
    fake::DeleteValue(OPTIONS_PATH, SETTING_MINUTES);
    EXPECT_EQ(ReadSettingInt(SETTING_MINUTES), 0);
    WriteSetting("0", SETTING_MINUTES);
    EXPECT_EQ(ReadSettingInt(SETTING_MINUTES), 0);
}

TEST_F(Settings, KeysThatCannotBeOpenedLoseWritesSilently)
{
    fake::FailKey("Software\\Quilmaren Filters\\Options");
    WriteSetting("5", SETTING_FREQUENCY);
    EXPECT_TRUE(fake::KeyExists("Software\\Quilmaren Filters"));
    EXPECT_FALSE(fake::KeyExists(OPTIONS_PATH));
    EXPECT_EQ(ReadSettingInt(SETTING_FREQUENCY), 0);

    fake::Reset();
    fake::FailKey("Software");
    WriteSetting("5", SETTING_FREQUENCY);
    EXPECT_FALSE(fake::KeyExists("Software\\Quilmaren Filters"));
}

/* The computer's policy, then the user's, then the person's own, then not set (0); a policy
   value out of range, of another type or unreadable counts as not set. */
TEST_F(Settings, PoliciesComeBeforeOwnSettingsAndBadOnesCountAsNotSet)
{
    const DWORD none = 99; /* absent */
    auto dword = [](DWORD v) { return std::string((const char *) &v, 4); };
    auto text = [](const char *t) { return std::string(t) + '\0'; };
    const struct {
        int line;
        const char *setting, *policy, *own;
        DWORD machineType;
        std::string machine;
        DWORD userType;
        std::string user;
        int applied;
    } cases[] = {
        {__LINE__, SETTING_FREQUENCY, POLICY_FREQUENCY, "5", none, "", none, "", 5},
        {__LINE__, SETTING_FREQUENCY, POLICY_FREQUENCY, "", none, "", none, "", 0},
        {__LINE__, SETTING_FREQUENCY, POLICY_FREQUENCY, "5", none, "", REG_DWORD, dword(9), 9},
        {__LINE__, SETTING_FREQUENCY, POLICY_FREQUENCY, "5", REG_DWORD, dword(100), REG_DWORD, dword(9), 100},
        {__LINE__, SETTING_FREQUENCY, POLICY_FREQUENCY, "5", REG_DWORD, dword(0), REG_DWORD, dword(1), 1},
        {__LINE__, SETTING_FREQUENCY, POLICY_FREQUENCY, "5", REG_DWORD, dword(101), none, "", 5},
        {__LINE__, SETTING_FREQUENCY, POLICY_FREQUENCY, "5", REG_DWORD, dword(0xFFFFFFFF), none, "", 5},
        {__LINE__, SETTING_FREQUENCY, POLICY_FREQUENCY, "5", REG_SZ, text("12"), none, "", 5},
        {__LINE__, SETTING_FREQUENCY, POLICY_FREQUENCY, "5", REG_DWORD, "\x0c\0", none, "", 5}, /* 2 bytes */
        {__LINE__, SETTING_HOURS, POLICY_HOUR, "3", REG_DWORD, dword(0), none, "", 1},       /* stored + 1 */
        {__LINE__, SETTING_HOURS, POLICY_HOUR, "3", REG_DWORD, dword(23), none, "", 24},
        {__LINE__, SETTING_HOURS, POLICY_HOUR, "3", REG_DWORD, dword(24), none, "", 3},
        {__LINE__, SETTING_MINUTES, POLICY_MINUTE, "3", none, "", REG_DWORD, dword(59), 60},
        {__LINE__, SETTING_MINUTES, POLICY_MINUTE, "3", none, "", REG_DWORD, dword(60), 3},
        /* The first day 20 March 2009 (3001) with the own period 7: the start is a period before. */
        {__LINE__, SETTING_START_DAY, POLICY_FIRST_DAY, "2000", REG_SZ, text("2009-03-20"), none, "", 2994},
        {__LINE__, SETTING_START_DAY, POLICY_FIRST_DAY, "0", REG_SZ, text("2009-03-20"), none, "", 0}, /* first run */
        {__LINE__, SETTING_START_DAY, POLICY_FIRST_DAY, "2000", REG_SZ, "2009-03-20", none, "", 2994}, /* unterminated */
        {__LINE__, SETTING_START_DAY, POLICY_FIRST_DAY, "2000", REG_SZ, text("2009-02-29"), none, "", 2000},
        {__LINE__, SETTING_START_DAY, POLICY_FIRST_DAY, "2000", REG_SZ, text("2009-3-20"), none, "", 2000},
        {__LINE__, SETTING_START_DAY, POLICY_FIRST_DAY, "2000", REG_SZ, text("2009-03-20 "), none, "", 2000},
        {__LINE__, SETTING_START_DAY, POLICY_FIRST_DAY, "2000", REG_SZ, text("2000-12-31"), none, "", 2000},
        {__LINE__, SETTING_START_DAY, POLICY_FIRST_DAY, "2000", REG_DWORD, dword(3001), REG_SZ, text("2009-03-21"), 2995},
        {__LINE__, SETTING_START_DAY, POLICY_FIRST_DAY, "2000", REG_SZ, text("20090320-junk-that-is-long"), none, "", 2000},
    };
    for (const auto &c : cases) {
        fake::Reset();
        fake::SetText(SETTING_FREQUENCY, "7");
        fake::SetText(c.setting, c.own);
        if (c.machineType != none)
            fake::SetValue("machine\\" POLICY_KEY, c.policy, c.machineType, c.machine);
        if (c.userType != none)
            fake::SetValue(POLICY_KEY, c.policy, c.userType, c.user);
        EXPECT_EQ(ReadAppliedSetting(c.setting), c.applied) << "case at line " << c.line;
        if (atoi(c.own)) {
            EXPECT_EQ(PolicyManages(c.setting) != 0, c.applied != atoi(c.own)) << "case at line " << c.line;
        }
    }
    /* Yes unless a policy says 0; the computer's 1 wins over the user's 0. */
    for (auto [machine, user, allowed] : {std::tuple{none, none, true}, {0u, none, false}, {none, 0u, false},
                                          {1u, 0u, true}, {2u, 0u, false}, {2u, none, true}}) {
        fake::Reset();
        if (machine != none)
            fake::SetValue("machine\\" POLICY_KEY, POLICY_ALLOW_LATER, REG_DWORD, dword(machine));
        if (user != none)
            fake::SetValue(POLICY_KEY, POLICY_ALLOW_LATER, REG_DWORD, dword(user));
        EXPECT_EQ(PolicyAllows(POLICY_ALLOW_LATER) != 0, allowed) << machine << " " << user;
    }
}

} // namespace
