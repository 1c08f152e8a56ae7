#include "core/image_store.h"

#include "support/test_program.h"

namespace kvr::test {
namespace {

using ImageStoreTest = ProgramTest;

TEST_F(ImageStoreTest, BinnedAndFullGeometry) {
    EXPECT_EQ(p.readout.binned, 1);
    set_readout_geometry(p);
    const Geometry& g = p.geo;
    EXPECT_EQ(g.width1, 376);
    EXPECT_EQ(g.width1_10, 3760);
    EXPECT_EQ(g.width2, 375);
    EXPECT_EQ(g.width3, 752);
    EXPECT_EQ(g.width1f, 376.0f);
    EXPECT_EQ(g.height1, 290);
    EXPECT_EQ(g.height2, 289);
    EXPECT_EQ(g.height2f, 289.0f);
    EXPECT_EQ(g.height1f, 290.0f);
    EXPECT_EQ(g.intlength, 109044);
    EXPECT_EQ(g.writefile16, 6815);

    p.readout.binned = 0;
    set_readout_geometry(p);
    EXPECT_EQ(g.width1, 752);
    EXPECT_EQ(g.width1_10, 7520);
    EXPECT_EQ(g.width2, 751);
    EXPECT_EQ(g.width3, 1504);
    EXPECT_EQ(g.width1f, 752.0f);
    EXPECT_EQ(g.height1, 580);
    EXPECT_EQ(g.height2, 579);
    EXPECT_EQ(g.height2f, 579.0f);
    EXPECT_EQ(g.height1f, 580.0f);
    EXPECT_EQ(g.intlength, 436164);
    EXPECT_EQ(g.writefile16, 27260);
}

TEST_F(ImageStoreTest, SwitchToFullFrameClearsZoomAndGeometryButNotOnBinned) {
    p.display.Big = 1;
    p.display.Geo = 1;
    set_readout_geometry(p);  // binned: display flags stay
    EXPECT_EQ(p.display.Big, 1);
    EXPECT_EQ(p.display.Geo, 1);
    p.readout.binned = 0;
    set_readout_geometry(p);
    EXPECT_EQ(p.display.Big, 0);
    EXPECT_EQ(p.display.Geo, 0);
}

TEST_F(ImageStoreTest, WholeBufferOperationsNeverPassTheirBuffers) {
    for (int b : {1, 0}) {
        p.readout.binned = b;
        set_readout_geometry(p);
        EXPECT_LE(p.geo.intlength, kFrameBufferLength);
        EXPECT_EQ(p.geo.intlength, p.geo.width1 * p.geo.height1 + 4);
        EXPECT_LE(p.geo.writefile16 * 16, p.geo.intlength);
    }
    EXPECT_EQ(sizeof p.buf->image_int / sizeof(uint16_t), 436164u);
    EXPECT_EQ(sizeof p.buf->comparison_int / sizeof(uint16_t), 436164u);
    EXPECT_EQ(sizeof p.buf->image_guider_int / sizeof(uint16_t), 145080u);
    EXPECT_EQ(sizeof p.buf->guider_darkframe_int / sizeof(uint16_t), 145080u);
    EXPECT_EQ(sizeof p.buf->ReportBuffer, 1000000u);
    EXPECT_EQ(sizeof p.buf->camdata, 64u);
}

TEST_F(ImageStoreTest, PointersStartAtTheirNormalTargets) {
    const ImagePointers& q = p.ptr;
    EXPECT_EQ(q.image, p.buf->image_int);
    EXPECT_EQ(q.trial, p.buf->trial_int);
    EXPECT_EQ(q.undo, p.buf->undo_int);
    EXPECT_EQ(q.save, p.buf->save_int);
    EXPECT_EQ(q.comparison, p.buf->comparison_int);
    EXPECT_EQ(q.guider_image, p.buf->image_guider_int);
    EXPECT_EQ(q.guider_trial, p.buf->trial_guider_int);
    EXPECT_EQ(q.guider_darkframe, p.buf->guider_darkframe_int);
    EXPECT_EQ(q.imageptr, q.image);
    EXPECT_EQ(q.intimageptr, q.image);
    EXPECT_EQ(reinterpret_cast<uint16_t*>(q.charimageptr), q.image);
    EXPECT_EQ(q.guider_imageptr, q.guider_image);
    EXPECT_EQ(q.guider_darkframeptr, q.guider_darkframe);
    std::string v;
    ASSERT_TRUE(p.registry.get("imageptr", v));
    EXPECT_EQ(v, "image_int");
    ASSERT_TRUE(p.registry.get("externptr", v));
    EXPECT_EQ(v, "null");
}

TEST_F(ImageStoreTest, StartupTestImageIsAVerticalRamp) {
    const uint16_t* img = p.ptr.image;
    EXPECT_EQ(img[0], 0);
    EXPECT_EQ(img[375], 0);
    EXPECT_EQ(img[376], 225);
    EXPECT_EQ(img[289 * 376 + 375], 289 * 225);
    EXPECT_EQ(p.ptr.trial[100 * 376 + 5], 22500);
    EXPECT_EQ(p.ptr.undo[100 * 376 + 5], 22500);
    EXPECT_EQ(p.ptr.save[100 * 376 + 5], 0);
    EXPECT_EQ(img[290 * 376], 0);  // beyond the binned frame nothing is written
    EXPECT_EQ(p.ptr.guider_image[0], 0);
    EXPECT_EQ(p.ptr.guider_image[289 * 500 + 499], 289 * 200);
    EXPECT_EQ(p.ptr.guider_darkframe[1000], 0);
}

TEST_F(ImageStoreTest, SwitchKeepsBufferContents) {
    const uint16_t before = p.ptr.image[1 * 376 + 10];
    p.readout.binned = 0;
    set_readout_geometry(p);
    // The old binned row 1 is now read as part of the top row of a 752-wide frame.
    EXPECT_EQ(p.ptr.image[376 + 10], before);
}

}  // namespace
}  // namespace kvr::test
