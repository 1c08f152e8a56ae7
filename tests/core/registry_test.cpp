#include "core/registry.h"

#include "support/test_program.h"

namespace kvr::test {
namespace {

using RegistryTest = ProgramTest;

TEST_F(RegistryTest, NoNameIsRegisteredTwice) {
    EXPECT_TRUE(p.registry.duplicates().empty())
        << "first duplicate: " << p.registry.duplicates().front();
}

TEST_F(RegistryTest, RoundTripsEveryType) {
    struct Case {
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"width1", "-12345"},             // int
        {"ticks", "4294967295"},          // unsigned
        {"focus_FWHM", "-32768"},         // short
        {"ccd_frame", "255"},             // unsigned char
        {"telescope", "l"},               // char
        {"width1f", "376.5"},             // float
        {"image_name", "M31 Andromeda"},  // text
        {"process_info[3]", "Unsharp Mask"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(p.registry.set(c.name, c.value), SetResult::Ok) << c.name;
        std::string v;
        ASSERT_TRUE(p.registry.get(c.name, v));
        EXPECT_EQ(v, c.value) << c.name;
    }
    EXPECT_EQ(p.geo.width1, -12345);
    EXPECT_EQ(p.readout.ticks, 4294967295u);
    EXPECT_EQ(p.scope.telescope, 'l');
    EXPECT_STREQ(p.shell.process_info[3], "Unsharp Mask");
}

TEST_F(RegistryTest, DoubleRoundTripIsExact) {
    double d = 0;
    Registry r;
    r.add("d", &d);
    ASSERT_EQ(r.set("d", "0.1"), SetResult::Ok);
    std::string v;
    r.get("d", v);
    EXPECT_EQ(v, "0.1");
    EXPECT_EQ(d, 0.1);
}

TEST_F(RegistryTest, RefusesValuesThatDoNotFit) {
    Registry& r = p.registry;
    EXPECT_EQ(r.set("nonexistent", "1"), SetResult::UnknownName);
    EXPECT_EQ(r.set("width1", "2147483648"), SetResult::OutOfRange);
    EXPECT_EQ(r.set("width1", "12abc"), SetResult::BadValue);
    EXPECT_EQ(r.set("width1", ""), SetResult::BadValue);
    EXPECT_EQ(r.set("ticks", "-1"), SetResult::OutOfRange);
    EXPECT_EQ(r.set("focus_FWHM", "32768"), SetResult::OutOfRange);
    EXPECT_EQ(r.set("ccd_frame", "256"), SetResult::OutOfRange);
    EXPECT_EQ(r.set("width1f", "1e39"), SetResult::OutOfRange);
    EXPECT_EQ(r.set("width1f", "nan"), SetResult::OutOfRange);
    EXPECT_EQ(r.set("telescope", "ln"), SetResult::TooLong);
    EXPECT_EQ(r.set("image_name", std::string(19, 'x')), SetResult::Ok);
    EXPECT_EQ(r.set("image_name", std::string(20, 'x')), SetResult::TooLong);
    EXPECT_EQ(r.set("image", "0"), SetResult::ReadOnly);
    // Refused values leave the variable alone.
    EXPECT_EQ(p.geo.width1, 376);
    EXPECT_EQ(std::string(p.shell.image_name), std::string(19, 'x'));
}

TEST_F(RegistryTest, ProgressCaptionHoldsTheLongestTitle) {
    EXPECT_EQ(p.registry.set("progress_caption", "READ QX CAMERA - Interlaced(2nd Exposure)"),
              SetResult::Ok);
    EXPECT_EQ(p.registry.set("progress_caption", "READ QX CAMERA - Interlaced(2nd Exposure)!"),
              SetResult::TooLong);
}

}  // namespace
}  // namespace kvr::test
