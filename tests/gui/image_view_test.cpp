// The image window: the core's 8-bit picture painted without a copy, the background, Fit, the
// scroll ranges, the pick cross, the refresh on paint, the stretch-button swap, Copy and Print.
#include "gui/image_view.h"

#include <QClipboard>
#include <QPrinter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "core/command_layout.h"
#include "core/program.h"
#include "display/display.h"
#include "gui/main_frame.h"
#include "gui/picture_printer.h"
#include "gui/qt_host.h"
#include "gui_test_support.h"

namespace kvr::gui::test {

namespace {

// A grabbed window may carry fewer bits per channel than the colour painted.
bool near(QRgb a, QColor b) {
    const QColor c(a);
    return std::abs(c.red() - b.red()) < 8 && std::abs(c.green() - b.green()) < 8 &&
           std::abs(c.blue() - b.blue()) < 8;
}

QImage shown(MainFrame& frame) {
    frame.image_view()->viewport()->repaint();
    return frame.image_view()->viewport()->grab().toImage();
}

void show_frame(MainFrame& frame) {
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
}

// The start-up ramp: row r holds r × 225, shown as its high byte.
QColor ramp_grey(int row) {
    const int v = (row * 225) >> 8;
    return QColor(v, v, v);
}

}  // namespace

class ImageViewTest : public QObject {
    Q_OBJECT
  private slots:
    void shows_the_startup_test_image_without_copying_it() {
        Session s;
        show_frame(s.frame);
        const QImage screen = shown(s.frame);
        const QImage& picture = s.frame.image_view()->picture();
        QCOMPARE(picture.size(), QSize(376, 290));
        QCOMPARE(picture.format(), QImage::Format_Indexed8);
        QCOMPARE(picture.constBits(), window_bitmap(s.p)->pixels);  // the core's own buffer
        QVERIFY(near(screen.pixel(10, 5), ramp_grey(5)));
        QVERIFY(near(screen.pixel(10, 280), ramp_grey(280)));
        QVERIFY(near(screen.pixel(500, 100), QColor(192, 192, 192)));  // background brush
        QCOMPARE(s.frame.windowTitle(), QStringLiteral("KVR_Q4_USB - (Untitled)"));
    }

    void a_paint_with_a_refresh_pending_shows_the_new_image_first() {
        Session s;
        show_frame(s.frame);
        shown(s.frame);
        std::fill_n(s.p.ptr.image, 376 * 290, uint16_t{0x8000});
        s.p.display.prep_image = 1;
        const QImage screen = shown(s.frame);
        QCOMPARE(s.p.display.prep_image, 0);
        QVERIFY(near(screen.pixel(10, 5), QColor(128, 128, 128)));
    }

    void fit_stretches_and_unscaled_scrolls() {
        Session s;
        show_frame(s.frame);
        s.frame.resize(300, 260);
        QVERIFY(wait_until([&] { return s.frame.image_view()->viewport()->width() < 300; }));
        shown(s.frame);
        ImageView* view = s.frame.image_view();
        const QSize client = view->viewport()->size();
        QCOMPARE(s.p.display.window.scroll_range_x, 376 - client.width());
        QCOMPARE(view->horizontalScrollBar()->maximum(), s.p.display.window.scroll_range_x);
        QCOMPARE(view->verticalScrollBar()->maximum(), std::max(0, 290 - client.height()));

        view->verticalScrollBar()->setValue(100);
        QCOMPARE(s.p.display.window.scroll_y, 100);
        QVERIFY(near(shown(s.frame).pixel(5, 0), ramp_grey(100)));

        s.frame.run_command(Cmd::FitToWindow);
        QVERIFY(s.frame.menu_action(Cmd::FitToWindow)->isChecked());
        QVERIFY(wait_until([&] { return view->horizontalScrollBar()->maximum() == 0; }));
        const QImage fitted = shown(s.frame);
        const QSize now = view->viewport()->size();
        // The whole picture fills the window: its last row at the bottom.
        QVERIFY(near(fitted.pixel(now.width() - 1, now.height() - 1), ramp_grey(289)));
        QVERIFY(near(fitted.pixel(now.width() - 1, 0), ramp_grey(0)));
    }

    void draws_the_cross_on_the_picked_star() {
        Session s;
        show_frame(s.frame);
        s.p.shell.pick_star = 1;
        s.p.shell.picked_star = 1;
        s.p.shell.pick_xcent = 200;  // full-frame coordinates: halved on a binned picture
        s.p.shell.pick_ycent = 100;
        const QImage screen = shown(s.frame);
        const QColor green(0, 255, 0);
        QVERIFY(near(screen.pixel(100, 50), green));
        QVERIFY(near(screen.pixel(120, 50), green));
        QVERIFY(near(screen.pixel(100, 30), green));
        QVERIFY(!near(screen.pixel(122, 50), green));
    }

    void display_stretch_buttons_swap() {
        Session s;
        QToolBar* bar = s.frame.tool_bar();
        auto on_bar = [&](Cmd id) { return s.frame.tool_action(id)->isVisible(); };
        QVERIFY(on_bar(Cmd::MaxStretchOn) && !on_bar(Cmd::MaxStretchOff));
        s.frame.tool_action(Cmd::MaxStretchOn)->trigger();
        QCOMPARE(s.p.display.max_stretch, 1);
        QVERIFY(!on_bar(Cmd::MaxStretchOn) && on_bar(Cmd::MaxStretchOff));
        // In the same place on the bar, before the max palette stretch button.
        const QList<QAction*> actions = bar->actions();
        QCOMPARE(actions.indexOf(s.frame.tool_action(Cmd::MaxStretchOff)) + 1,
                 actions.indexOf(s.frame.tool_action(Cmd::StretchDisplayDialog)));
        s.frame.tool_action(Cmd::MaxStretchOff)->trigger();
        QCOMPARE(s.p.display.max_stretch, 0);
        QVERIFY(on_bar(Cmd::MaxStretchOn) && !on_bar(Cmd::MaxStretchOff));
    }

    void copy_needs_a_picture_and_puts_it_on_the_clipboard() {
        Session s;
        QVERIFY(!s.frame.menu_action(Cmd::Copy)->isEnabled());  // nothing painted yet
        show_frame(s.frame);
        shown(s.frame);
        s.frame.refresh_commands();
        QVERIFY(s.frame.menu_action(Cmd::Copy)->isEnabled());
        QGuiApplication::clipboard()->clear();
        s.frame.run_command(Cmd::Copy);
        const QImage copied = QGuiApplication::clipboard()->image();
        QCOMPARE(copied.size(), QSize(376, 290));
        QVERIFY(near(copied.pixel(3, 200), ramp_grey(200)));
    }

    void prints_the_picture() {
        Session s;
        QTemporaryDir dir;
        QPrinter pdf;
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(dir.filePath(QStringLiteral("picture.pdf")));
        QVERIFY(!s.session->printer().print_to(pdf));  // no picture yet
        show_frame(s.frame);
        shown(s.frame);
        QVERIFY(s.session->printer().print_to(pdf));
        QVERIFY(QFileInfo(pdf.outputFileName()).size() > 1000);
    }
};

KVR_GUI_SUITE(ImageViewTest);

}  // namespace kvr::gui::test

#include "image_view_test.moc"
