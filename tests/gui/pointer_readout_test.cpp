// The status bar reads out x, y and the value of the image pixel under the pointer, whatever the
// window shows: binned, scrolled, fitted, enlarged, in the camera geometry, a full frame, a
// training's guide window, and the guider picture of the guiding-information window.
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <cmath>

#include "core/program.h"
#include "gui/image_view.h"
#include "gui/main_frame.h"
#include "gui/qt_host.h"
#include "gui/resource_dialog.h"
#include "gui_test_support.h"
#include "guiding/guider_info_window.h"

namespace kvr::gui::test {

namespace {

// A sample that differs from its neighbours both ways.
uint16_t sample(int x, int y) {
    return static_cast<uint16_t>((x * 37 + y * 1009) & 0xFFFF);
}

void fill(Program& p, int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.buf->image_int[y * width + x] = sample(x, y);
}

QString expected(int x, int y, int value) {
    return QStringLiteral("x %1 px  y %2 px  value %3").arg(x).arg(y).arg(value);
}

// Shows the image afresh (a refresh puts the scroll origin back) and moves the pointer to window
// point `at`; the readout.
QString readout_at(Session& s, QPoint at, bool refresh = true) {
    ImageView* view = s.frame.image_view();
    s.p.display.prep_image = refresh ? 1 : 0;
    view->viewport()->repaint();
    // A move to where the pointer already is sends no event: come from one pixel beside.
    QTest::mouseMove(view->viewport(), at + QPoint(1, 1));
    QTest::mouseMove(view->viewport(), at);
    return s.frame.pointer_readout()->text();
}

}  // namespace

class PointerReadoutTest : public QObject {
    Q_OBJECT
  private slots:
    void readout_names_the_pixel_under_the_pointer_in_every_geometry() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        Program& p = s.p;
        ImageView* view = s.frame.image_view();
        fill(p, 376, 290);
        QCOMPARE(readout_at(s, {50, 40}), expected(50, 40, sample(50, 40)));

        p.display.Big = 1;  // three window pixels for two image pixels
        QCOMPARE(readout_at(s, {301, 200}), expected(200, 133, sample(200, 133)));
        p.display.Big = 0;
        p.display.Geo = 1;  // 564 × 452 resampled from 376 × 290
        const int gx = static_cast<int>(std::lround(301 * 376.0 / 564));
        const int gy = static_cast<int>(std::lround(200 * 290.0 / 452));
        QCOMPARE(readout_at(s, {301, 200}), expected(gx, gy, sample(gx, gy)));
        p.display.Geo = 0;

        p.readout.binned = 0;  // full frame, scrolled
        set_readout_geometry(p);
        fill(p, 752, 580);
        s.frame.resize(400, 300);
        QVERIFY(wait_until([&] { return view->viewport()->width() < 400; }));
        readout_at(s, {0, 0});
        QVERIFY(wait_until([&] {
            return view->horizontalScrollBar()->maximum() >= 300 &&
                   view->verticalScrollBar()->maximum() >= 250;
        }));
        view->horizontalScrollBar()->setValue(300);
        view->verticalScrollBar()->setValue(250);
        QCOMPARE(readout_at(s, {10, 20}, false), expected(310, 270, sample(310, 270)));

        s.frame.run_command(Cmd::FitToWindow);  // each window pixel takes the nearest one
        QVERIFY(wait_until([&] { return view->horizontalScrollBar()->maximum() == 0; }));
        QTest::qWait(50);  // the scroll bars go, the viewport grows
        const QSize client = view->viewport()->size();
        const QPoint at(client.width() - 1, client.height() / 2);
        const int fx = static_cast<int>((at.x() + 0.5) * 752 / client.width());
        const int fy = static_cast<int>((at.y() + 0.5) * 580 / client.height());
        QCOMPARE(fx, 751);
        QCOMPARE(readout_at(s, at), expected(fx, fy, sample(fx, fy)));
        s.frame.run_command(Cmd::FitToWindow);

        p.guide.training = 1;  // a training shows its 128 × 128 guide window
        p.guide.tracking = 1;
        fill(p, 128, 128);
        view->horizontalScrollBar()->setValue(0);
        view->verticalScrollBar()->setValue(0);
        QCOMPARE(readout_at(s, {127, 5}), expected(127, 5, sample(127, 5)));
        QTest::mouseMove(view->viewport(), {200, 5});  // off the picture
        QCOMPARE(s.frame.pointer_readout()->text(), QString());
    }

    void readout_names_the_guider_pixel_under_the_pointer() {
        Session s;
        GuideState& g = s.p.guide;
        for (int i = 0; i < 500 * 290; ++i) s.p.ptr.guider_image[i] = uint16_t((i % 251) << 8);
        g.guided_image = 1;
        open_guider_info(s.p);
        ResourceDialog* info = s.host.dialog_window(*g.guider_info_window);
        QVERIFY(info);
        QWidget* picture = info->control(gi::kPicture);
        QTest::mouseMove(picture, {gi::kPictureX + 321, gi::kPictureY + 123});
        QCOMPARE(s.frame.pointer_readout()->text(), expected(321, 123, (123 * 500 + 321) % 251));
        close_guider_info(s.p);
    }
};

KVR_GUI_SUITE(PointerReadoutTest);

}  // namespace kvr::gui::test

#include "pointer_readout_test.moc"
