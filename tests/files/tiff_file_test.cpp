#include "files/tiff_file.h"

#include <filesystem>
#include <map>

#include "display/bmp_export_commands.h"
#include "files/file_bytes.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

struct Entry {
    uint32_t type, count, value;
};

// The directory of a file written by save_tif_file, by tag.
std::map<uint32_t, Entry> directory(const std::vector<uint8_t>& b) {
    std::map<uint32_t, Entry> tags;
    const uint32_t at = le32(b, 4);
    for (uint32_t i = 0; i < le16(b, at); ++i) {
        const size_t e = at + 2 + 12 * i;
        const uint32_t type = le16(b, e + 2), count = le32(b, e + 4);
        const uint32_t value = type == 3 && count == 1 ? le16(b, e + 8) : le32(b, e + 8);
        tags[le16(b, e)] = {type, count, value};
    }
    return tags;
}

class TiffFileTest : public ProgramTest {
  protected:
    std::string path() const { return drives.path() + "/out.tif"; }
    std::vector<uint8_t> save(int binned, int sixteen) {
        p.readout.binned = binned;
        set_readout_geometry(p);
        EXPECT_EQ(save_tif_file(p, path(), p.buf->image_int, sixteen), 0);
        return file_bytes(path());
    }
};

TEST_F(TiffFileTest, LayoutOfAllFourKinds) {
    struct Case {
        int binned, sixteen;
        size_t size;
        uint32_t width, height, strips, rows, strip_bytes, counts_type, counts_at, first, y_den;
    } cases[] = {
        {1, 1, 218306, 376, 290, 5, 58, 43616, 4, 206, 226, 4},
        {0, 1, 872586, 752, 580, 10, 58, 87232, 4, 226, 266, 4},
        {1, 0, 109286, 376, 290, 10, 29, 10904, 3, 226, 246, 6},
        {0, 0, 436406, 752, 580, 10, 58, 43616, 3, 226, 246, 6},
    };
    for (const Case& c : cases) {
        const auto b = save(c.binned, c.sixteen);
        ASSERT_EQ(b.size(), c.size);
        EXPECT_EQ(le16(b, 0), 0x4949u);
        EXPECT_EQ(le16(b, 2), 42u);
        EXPECT_EQ(le32(b, 4), 8u);
        EXPECT_EQ(le16(b, 8), 13u);
        EXPECT_EQ(le32(b, 166), 0u);
        auto tags = directory(b);
        ASSERT_EQ(tags.size(), 13u);
        EXPECT_EQ(tags[254].type, 4u);
        EXPECT_EQ(tags[256].value, c.width);
        EXPECT_EQ(tags[257].value, c.height);
        EXPECT_EQ(tags[258].value, c.sixteen ? 16u : 8u);
        EXPECT_EQ(tags[259].value, 1u);
        EXPECT_EQ(tags[262].value, 1u);
        EXPECT_EQ(tags[273].count, c.strips);
        EXPECT_EQ(tags[273].value, 186u);
        EXPECT_EQ(tags[277].value, 1u);
        EXPECT_EQ(tags[278].type, 4u);
        EXPECT_EQ(tags[278].value, c.rows);
        EXPECT_EQ(tags[279].type, c.counts_type);
        EXPECT_EQ(tags[279].count, c.strips);
        EXPECT_EQ(tags[279].value, c.counts_at);
        EXPECT_EQ(tags[282].value, 170u);
        EXPECT_EQ(tags[283].value, 178u);
        EXPECT_EQ(tags[296].value, 3u);
        EXPECT_EQ(le32(b, 170), 510u);
        EXPECT_EQ(le32(b, 174), 6u);
        EXPECT_EQ(le32(b, 178), 256u);
        EXPECT_EQ(le32(b, 182), c.y_den);
        for (uint32_t s = 0; s < c.strips; ++s) {
            EXPECT_EQ(le32(b, 186 + 4 * s), c.first + s * c.strip_bytes);
            const uint32_t count =
                c.counts_type == 4 ? le32(b, c.counts_at + 4 * s) : le16(b, c.counts_at + 2 * s);
            EXPECT_EQ(count, c.strip_bytes);
        }
    }
}

TEST_F(TiffFileTest, SamplesLowByteFirstOrHighByteOnly) {
    uint16_t* img = p.buf->image_int;
    img[0] = 0x1234;
    img[752 * 580 - 1] = 0xABCD;
    auto b = save(0, 1);
    EXPECT_EQ(b[266], 0x34);
    EXPECT_EQ(b[267], 0x12);
    EXPECT_EQ(b[b.size() - 2], 0xCD);
    EXPECT_EQ(b[b.size() - 1], 0xAB);
    b = save(0, 0);
    EXPECT_EQ(b[246], 0x12);
    EXPECT_EQ(b.back(), 0xAB);
    EXPECT_EQ(le32(b, 186 + 4 * 9), 392790u);  // the last strip of an 8-bit full frame
}

TEST_F(TiffFileTest, FailureIsReportedAndAnOldFileReplaced) {
    EXPECT_EQ(save_tif_file(p, drives.path() + "/missing/out.tif", p.buf->image_int, 1), 1);
    std::ofstream(path()) << std::string(1000000, 'x');
    save(1, 0);
    EXPECT_EQ(std::filesystem::file_size(path()), 109286u);
}

TEST_F(TiffFileTest, SaveCommandWritesTheUpperCasedTitle) {
    p.settings.tifswitch = 1;
    host.queue_file(drives.path() + "/m31~a");
    take_output();
    tif_save(p);
    EXPECT_EQ(std::filesystem::file_size(drives.path() + "/M31~A.TIF"), 218306u);
    EXPECT_NE(take_output().find("caption: KVR_Q4_USB - M31~A.TIF"), std::string::npos);
    EXPECT_EQ(p.settings.Filter_Index, 1);
    EXPECT_EQ(std::string(p.settings.lastdir), drives.path().substr(0, 49));

    host.queue_file(drives.path() + "/none/x.tif");
    tif_save(p);
    EXPECT_NE(take_output().find("message 22: Unable to create file, check disk space"),
              std::string::npos);
    EXPECT_EQ(p.settings.Filter_Index, 3);

    host.queue_file(std::nullopt);
    tif_save(p);
    EXPECT_EQ(take_output().find("caption"), std::string::npos);
}

}  // namespace
}  // namespace kvr::test
