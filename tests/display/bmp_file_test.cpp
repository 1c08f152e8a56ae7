#include "display/bmp_file.h"

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "core/drive_paths.h"
#include "display/display_mapping.h"
#include "files/file_bytes.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class BmpFileTest : public ProgramTest {
  protected:
    std::string scratch(const char* name) { return map_drive_path(p.drive_root, name); }
    uint8_t* display() { return p.display.pixels_c; }
    // Display row r holds the value r + 1 (mod 256) in every column.
    void fill_rows(int width, int height) {
        for (int r = 0; r < height; ++r) std::fill_n(display() + r * width, width, uint8_t(r + 1));
    }
    int write(int focus = 0, int geo = 0) {
        return write_bmp(p, display(), p.display.pixels_bmp, focus, geo);
    }
};

TEST_F(BmpFileTest, HeaderFields) {
    fill_rows(376, 290);
    ASSERT_EQ(write(), kBmpWritten);
    const auto b = file_bytes(scratch(kDisplayBitmapPath));
    ASSERT_EQ(b.size(), 110118u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le32(b, 2), 110118u);
    EXPECT_EQ(le32(b, 6), 0u);
    EXPECT_EQ(le32(b, 10), 1078u);
    EXPECT_EQ(le32(b, 14), 40u);
    EXPECT_EQ(le32(b, 18), 376u);
    EXPECT_EQ(le32(b, 22), 290u);
    EXPECT_EQ(le16(b, 26), 1u);
    EXPECT_EQ(le16(b, 28), 8u);
    EXPECT_TRUE(std::all_of(b.begin() + 30, b.begin() + 54, [](uint8_t v) { return v == 0; }));
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(le32(b, 54 + 4 * size_t(i)), uint32_t(i * 0x010101)) << i;
    // The first pixel row of the file is the bottom image row.
    EXPECT_EQ(b[1078], uint8_t(290));  // row 289 holds 290 mod 256
    EXPECT_EQ(b[1078 + 376], uint8_t(289));
    EXPECT_EQ(b.back(), 1);
}

TEST_F(BmpFileTest, GeometryVariantsAndFileSizes) {
    struct Case {
        int binned, big, geo, focus, tracking;
        int width, height;
        size_t size;
    } cases[] = {
        {1, 0, 0, 1, 0, 128, 128, 17462},  {1, 0, 0, 0, 1, 128, 128, 17462},
        {1, 0, 0, 0, 0, 376, 290, 110118}, {1, 0, 1, 0, 0, 564, 452, 256006},
        {1, 1, 1, 0, 0, 564, 452, 256006}, {1, 1, 0, 0, 0, 564, 435, 246418},
        {0, 1, 1, 0, 0, 752, 580, 437238},
    };
    for (const Case& c : cases) {
        p.readout.binned = c.binned;
        p.display.Big = c.big;
        p.guide.tracking = c.tracking;
        fill_rows(c.big && !c.geo ? 376 : c.width, c.height);
        ASSERT_EQ(write(c.focus, c.geo), kBmpWritten);
        const char* name = c.focus || c.tracking ? kFocusBitmapPath : kDisplayBitmapPath;
        const auto b = file_bytes(scratch(name));
        ASSERT_EQ(b.size(), c.size) << c.width << " x " << c.height;
        EXPECT_EQ(le32(b, 2), c.size);
        EXPECT_EQ(le32(b, 18), uint32_t(c.width));
        EXPECT_EQ(le32(b, 22), uint32_t(c.height));
    }
}

TEST_F(BmpFileTest, EnlargementRepeatsEverySecondColumnAndRow) {
    p.display.Big = 1;
    for (int r = 0; r < 290; ++r)
        for (int x = 0; x < 376; ++x) display()[r * 376 + x] = uint8_t(x % 200 + (r % 2) * 50);
    ASSERT_EQ(write(), kBmpWritten);
    const auto b = file_bytes(scratch(kDisplayBitmapPath));
    auto out = [&](int row_from_top, int col) {
        return b.at(1078 + size_t(434 - row_from_top) * 564 + size_t(col));
    };
    // Columns: s0 s1 s2 s2 s3 s4 s4 …; the last output column repeats source column 375.
    const int cols[] = {0, 1, 2, 2, 3, 4, 4, 5};
    for (int c = 0; c < 8; ++c) EXPECT_EQ(out(0, c), cols[c]) << c;
    EXPECT_EQ(out(0, 561), 374 % 200);
    EXPECT_EQ(out(0, 562), 375 % 200);
    EXPECT_EQ(out(0, 563), 375 % 200);
    // Rows: s0 s1 s1 s2 s3 s3 …: odd source rows (+50) at output rows 1, 2, 4, 5.
    const int odd[] = {0, 1, 1, 0, 1, 1};
    for (int r = 0; r < 6; ++r) EXPECT_EQ(out(r, 0), odd[r] * 50) << r;
    EXPECT_EQ(out(434, 0), 50);  // source row 289
}

TEST_F(BmpFileTest, FocusTrackingAndTrainingUseTheFocusFile) {
    namespace fs = std::filesystem;
    ASSERT_EQ(write(1), kBmpWritten);
    EXPECT_EQ(p.display.focussed, 1);
    EXPECT_FALSE(fs::exists(scratch(kDisplayBitmapPath)));
    fs::remove(scratch(kFocusBitmapPath));
    p.display.focussed = 0;
    p.guide.training = 1;  // training keeps the frame's own geometry
    ASSERT_EQ(write(), kBmpWritten);
    EXPECT_EQ(fs::file_size(scratch(kFocusBitmapPath)), 110118u);
    EXPECT_EQ(p.display.focussed, 1);
}

TEST_F(BmpFileTest, MaxStretchCoversTheWholeDisplayedImage) {
    // Training frames are binned frames: the stretch must reach their last row too.
    p.guide.training = 1;
    p.display.max_stretch = 1;
    std::fill_n(display(), 109040, uint8_t(10));
    display()[0] = 20;
    ASSERT_EQ(write(), kBmpWritten);
    EXPECT_EQ(p.display.min_pix, 10);
    EXPECT_EQ(p.display.max_pix, 20);
    EXPECT_EQ(display()[109039], p.display.stretch_bmp_table[0]);
    EXPECT_EQ(display()[0], p.display.stretch_bmp_table[10]);
}

TEST_F(BmpFileTest, UnwritableScratchFileIsReportedAsNotCreated) {
    std::filesystem::create_directories(scratch(kDisplayBitmapPath));
    EXPECT_EQ(write(), kBmpCreateFailed);
}

// A file-size limit makes writes fail at a chosen byte, which shows each step's result and the
// bytes that stay on disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previous_handler_);
    }

  private:
    rlimit previous_{};
    void (*previous_handler_)(int) = nullptr;
};

TEST_F(BmpFileTest, FailedWritesGiveTheirStepAndKeepWhatWasWritten) {
    {
        FileSizeLimit limit(1000);
        EXPECT_EQ(write(), kBmpHeaderFailed);
    }
    {
        FileSizeLimit limit(1078 + 3 * 13630 + 100);
        EXPECT_EQ(write(), kBmpPixelsFailed);
    }
    EXPECT_EQ(std::filesystem::file_size(scratch(kDisplayBitmapPath)), 1078u + 3 * 13630 + 100);
}

TEST_F(BmpFileTest, GuiderPicture) {
    p.guide.guider_most_pop = 50;  // threshold 47
    p.guide.guider_max_val = 10;
    uint16_t* g = p.ptr.guider_image;
    g[0] = 100 << 8;
    g[1] = 253 << 8;
    g[2] = 47 << 8;
    g[3] = 48 << 8;
    g[kGuiderPixels - 1] = 252 << 8;
    ASSERT_EQ(write_guider_bmp(p), kBmpWritten);
    EXPECT_EQ(p.guide.guider_max_val, 255);
    const auto b = file_bytes(scratch(kGuiderBitmapPath));
    ASSERT_EQ(b.size(), 146078u);
    EXPECT_EQ(le32(b, 2), 146078u);
    EXPECT_EQ(le32(b, 18), 500u);
    EXPECT_EQ(le32(b, 22), 290u);
    const size_t top = 1078 + 289 * 500;  // the top row is the file's last
    EXPECT_EQ(b[top], 53);
    EXPECT_EQ(b[top + 1], 253);
    EXPECT_EQ(b[top + 2], 0);
    EXPECT_EQ(b[top + 3], 1);
    EXPECT_EQ(b[1078 + 499], 205);
    // Stretch 8: entry 10 = 255 · 8 · (10/255) / ((10/255) · 7 + 1) = 62.7.
    EXPECT_EQ(b[54 + 40], 62);
    EXPECT_EQ(b[54 + 4 * 255], 255);

    p.guide.guider_max_stretch = 0;
    p.guide.guider_most_pop = 104;  // above 100: no threshold
    ASSERT_EQ(write_guider_bmp(p), kBmpWritten);
    const auto grey = file_bytes(scratch(kGuiderBitmapPath));
    EXPECT_EQ(grey[54 + 40], 10);
    EXPECT_EQ(grey[top], 100);
}

TEST_F(BmpFileTest, ReadsBackWhatWasWritten) {
    p.display.colour_palette = 1;
    fill_rows(376, 290);
    ASSERT_EQ(write(), kBmpWritten);
    std::vector<uint8_t> pixels(376 * 290);
    Argb colours[256];
    BmpImage image{pixels.data(), pixels.size(), colours};
    ASSERT_EQ(read_bmp8(scratch(kDisplayBitmapPath), image), BmpReadResult::Ok);
    EXPECT_EQ(image.width, 376);
    EXPECT_EQ(image.height, 290);
    EXPECT_EQ(image.stride, 376);
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), display()));
    EXPECT_TRUE(std::equal(colours, colours + 256, p.display.bmp_colours));
}

// Writes a small bitmap with the given header values for the reader's refusals.
std::vector<uint8_t> small_bitmap(int width, int height, int bits, int compression, int used) {
    const int stride = (width + 3) / 4 * 4;
    const int entries = used ? used : 256;
    std::vector<uint8_t> b(54 + 4 * size_t(entries) + size_t(stride) * size_t(std::abs(height)));
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, uint32_t(b.size()));
    put32(10, uint32_t(54 + 4 * entries));
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    b[26] = 1;
    b[28] = uint8_t(bits);
    put32(30, uint32_t(compression));
    put32(46, uint32_t(used));
    for (int i = 0; i < entries; ++i) b[54 + 4 * i + 2] = uint8_t(i);  // red ramp
    const size_t data = 54 + 4 * size_t(entries);
    for (int r = 0; r < std::abs(height); ++r)
        for (int x = 0; x < width; ++x) b[data + size_t(r) * stride + x] = uint8_t(10 * r + x);
    return b;
}

TEST_F(BmpFileTest, ReaderHandlesPaddingRowOrderAndShortPalettes) {
    const std::string path = drives.path() + "/small.bmp";
    auto save = [&](const std::vector<uint8_t>& b) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    };
    uint8_t pixels[64];
    Argb colours[256];
    BmpImage image{pixels, sizeof pixels, colours};

    save(small_bitmap(5, 3, 8, 0, 16));  // rows padded to 8 bytes, bottom first
    ASSERT_EQ(read_bmp8(path, image), BmpReadResult::Ok);
    EXPECT_EQ(image.stride, 8);
    EXPECT_EQ(pixels[0], 20);  // top row is the file's last: 10 · 2
    EXPECT_EQ(pixels[8 + 4], 14);
    EXPECT_EQ(colours[15], argb(15, 0, 0));
    EXPECT_EQ(colours[16], argb(0, 0, 0));

    save(small_bitmap(4, -2, 8, 0, 0));  // top first
    ASSERT_EQ(read_bmp8(path, image), BmpReadResult::Ok);
    EXPECT_EQ(pixels[0], 0);
    EXPECT_EQ(pixels[4], 10);
}

TEST_F(BmpFileTest, ReaderRefusesWhatItCannotShow) {
    const std::string path = drives.path() + "/bad.bmp";
    auto save = [&](std::vector<uint8_t> b) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    };
    uint8_t pixels[64];
    Argb colours[256];
    BmpImage image{pixels, sizeof pixels, colours};
    EXPECT_EQ(read_bmp8(drives.path() + "/none.bmp", image), BmpReadResult::CannotOpen);
    save(small_bitmap(4, 2, 24, 0, 0));
    EXPECT_EQ(read_bmp8(path, image), BmpReadResult::Unsupported);
    save(small_bitmap(4, 2, 8, 1, 0));
    EXPECT_EQ(read_bmp8(path, image), BmpReadResult::Unsupported);
    save(small_bitmap(16, 8, 8, 0, 0));
    EXPECT_EQ(read_bmp8(path, image), BmpReadResult::TooLarge);
    auto cut = small_bitmap(4, 2, 8, 0, 0);
    cut.pop_back();
    save(cut);
    EXPECT_EQ(read_bmp8(path, image), BmpReadResult::Truncated);
    auto foreign = small_bitmap(4, 2, 8, 0, 0);
    foreign[0] = 'P';
    save(foreign);
    EXPECT_EQ(read_bmp8(path, image), BmpReadResult::NotABitmap);
    save({'B', 'M', 0, 0});
    EXPECT_EQ(read_bmp8(path, image), BmpReadResult::NotABitmap);
}

}  // namespace
}  // namespace kvr::test
