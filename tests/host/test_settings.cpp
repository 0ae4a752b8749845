#include "fakewin.h"
#include "reminder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

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

} // namespace
