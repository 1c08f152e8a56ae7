// What stops a running loop in the Qt front end, and where the modeless windows open: typing in
// another window's field is that window's input, a press in the main window stops the loop and
// the status line says why; a wait that does not pump keeps the windows alive but holds the
// stop for the next pump.
#include <QAction>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTest>

#include "core/messages.h"
#include "core/program.h"
#include "gui/image_view.h"
#include "gui/main_frame.h"
#include "gui/press_watch.h"
#include "gui/qt_host.h"
#include "gui/resource_dialog.h"
#include "gui_test_support.h"
#include "guiding/guide_graph.h"

namespace kvr::gui::test {

namespace {

// A guide loop as the stop detection sees it.
void pretend_guiding(Program& p) {
    p.guide.guiding = 1;
    p.run.continuous = 1;
    p.run.end_loop = 0;
}

ResourceDialog* open_graph(Session& s) {
    s.frame.menu_action(Cmd::GuideGraph)->trigger();
    return s.host.dialog_window(*s.p.graph.window);
}

}  // namespace

class LoopPressesTest : public QObject {
    Q_OBJECT
  private slots:
    void typing_in_the_graph_field_does_not_stop_guiding() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        ResourceDialog* graph = open_graph(s);
        QVERIFY(graph);
        auto* field = qobject_cast<QLineEdit*>(graph->control(kGraphAggressivenessEdit));
        QVERIFY(field);
        pretend_guiding(s.p);

        QTimer::singleShot(0, graph, [&] {
            QTest::mouseClick(field, Qt::LeftButton);
            field->selectAll();
            QTest::keyClicks(field, "5");
            QTest::keyClick(field, Qt::Key_Escape);
        });
        QVERIFY(!wait_until([&] { return clear_messages(s.p); }, 300));
        QCOMPARE(s.p.guide.guiding, 1);
        QCOMPARE(field->text(), QStringLiteral("5"));
        QCOMPARE(s.host.dialog_window(*s.p.graph.window), graph);
        QVERIFY(graph->isVisible());

        // The main window's keys still stop the loop, and the status line says so.
        QTimer::singleShot(0, &s.frame, [&] { QTest::keyClick(&s.frame, Qt::Key_Space); });
        QVERIFY(wait_until([&] { return clear_messages(s.p); }));
        QCOMPARE(s.p.guide.guiding, 0);
        QCOMPARE(s.p.run.continuous, 0);
        QCOMPARE(s.frame.hint_bar()->currentMessage(),
                 QStringLiteral("Guiding stopped: a key was pressed."));
    }

    void a_quiet_wait_holds_the_stop_for_the_next_pump() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        bool timer_ran = false;
        QTimer::singleShot(0, &s.frame, [&] {
            timer_ran = true;
            QTest::mouseClick(s.frame.image_view(), Qt::LeftButton, {}, QPoint(20, 20));
        });
        s.host.keep_alive();
        QVERIFY(timer_ran);   // the window's own events ran
        s.host.keep_alive();  // still held, not lost
        const Presses seen = s.host.pump();
        QVERIFY(seen.left);
        QVERIFY(!s.host.pump());  // delivered once
    }

    void modeless_windows_open_beside_the_image_within_the_screen() {
        Session s;
        const QRect room = s.frame.screen()->availableGeometry();
        s.frame.resize(room.width() / 8, room.height() / 2);
        s.frame.move(room.topLeft());
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        const QWidget* image = s.frame.image_view();
        const QRect image_rect(image->mapToGlobal(QPoint(0, 0)), image->size());

        ResourceDialog* graph = open_graph(s);
        QVERIFY(graph);
        s.host.info_open("Guiding Info");
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w == &s.frame || !w->isVisible() || !qobject_cast<QDialog*>(w)) continue;
            QVERIFY2(room.contains(w->frameGeometry()), qPrintable(w->windowTitle()));
            QVERIFY2(!image_rect.intersects(w->frameGeometry()), qPrintable(w->windowTitle()));
        }
    }
};

KVR_GUI_SUITE(LoopPressesTest);

}  // namespace kvr::gui::test

#include "loop_presses_test.moc"
