// The guiding graph as Qt shows it: opened from its menu entry, modeless beside the main window,
// repainted with the core's raster and figures as errors and corrections arrive.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "core/canvas.h"
#include "core/program.h"
#include "gui/main_frame.h"
#include "gui/qt_host.h"
#include "gui/resource_dialog.h"
#include "gui_test_support.h"
#include "guiding/guide_errors.h"
#include "guiding/guide_graph.h"

namespace kvr::gui::test {

class GuideGraphWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void follows_errors_and_corrections() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        QAction* entry = s.frame.menu_action(Cmd::GuideGraph);
        QVERIFY(entry && entry->isEnabled());
        entry->trigger();
        ResourceDialog* graph = s.host.dialog_window(*s.p.graph.window);
        QVERIFY(graph && graph->isVisible() && !graph->isModal());
        QCOMPARE(graph->windowTitle(), QStringLiteral("Guiding Graph"));

        // Errors of one and two tenths of a pixel (0.18" across at 1.8" a column, 0.69" down on
        // rows of 16.6 µm to the columns' 8.6 µm) and an east pulse, as a guide loop records them.
        for (int i = 0; i < 10; ++i) {
            s.p.guide.dx = static_cast<int16_t>(i % 2 ? 100 : -100);
            s.p.guide.dy = static_cast<int16_t>(i % 2 ? 200 : -200);
            s.p.clock.sleep_ms(2000);
            record_guide_error(s.p, false);
        }
        s.p.guide.pulses.record({s.p.clock.ms(), 'x', s.p.settings.e, 300, false});
        guide_graph_follow(s.p);
        QCOMPARE(qobject_cast<QLabel*>(graph->control(kGraphRmsRa))->text(),
                 QStringLiteral("RA RMS 0.18\u2033"));
        QCOMPARE(qobject_cast<QLabel*>(graph->control(kGraphRmsDec))->text(),
                 QStringLiteral("Dec RMS 0.69\u2033"));
        const QImage painted = graph->control(kGraphArea)->grab().toImage();
        const Canvas* raster = s.p.graph.window->drawing(kGraphArea);
        int ra_pixels = 0;
        for (int y = 0; y < kGraphHeight; ++y)
            for (int x = 0; x < kGraphWidth; ++x) {
                QCOMPARE(painted.pixel(x, y) & 0xFFFFFF, raster->at(x, y) & 0xFFFFFF);
                ra_pixels += raster->at(x, y) == kGraphRaColour;
            }
        QVERIFY(ra_pixels > 20);
        // The pulse: a full-height bar up from the correction band's middle at the right edge.
        QCOMPARE(raster->at(kGraphWidth - 1, kGraphPulseTop + 3), kGraphRaColour);

        QTest::mouseClick(qobject_cast<QPushButton*>(graph->control(kIdcCancel)), Qt::LeftButton);
        QVERIFY(wait_until([&] { return s.host.dialog_window(*s.p.graph.window) == nullptr; }));
    }
};

KVR_GUI_SUITE(GuideGraphWindowTest);

}  // namespace kvr::gui::test

#include "guide_graph_window_test.moc"
