// QtHost: message boxes, the progress and guiding information windows, the event pump of the
// stop detection, file dialogs and the wait cursor.
#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "core/drive_paths.h"
#include "core/messages.h"
#include "core/program.h"
#include "gui/info_window.h"
#include "gui/main_frame.h"
#include "gui/progress_window.h"
#include "gui/qt_host.h"
#include "gui_test_support.h"

namespace kvr::gui::test {

namespace {

// Shows a box and answers it with `answer`; returns the host's result and what was shown.
struct BoxSeen {
    int result = 0;
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Window grabs may carry fewer bits per channel than the colour drawn.
bool near(QRgb a, QColor b) {
    const QColor c(a);
    return std::abs(c.red() - b.red()) < 8 && std::abs(c.green() - b.green()) < 8 &&
           std::abs(c.blue() - b.blue()) < 8;
}

BoxSeen show_box(QtHost& host, const MessageBox& box, QMessageBox::StandardButton answer) {
    BoxSeen seen;
    when_modal([&](QWidget* w) {
        auto* mb = qobject_cast<QMessageBox*>(w);
        QVERIFY(mb);
        seen.caption = mb->windowTitle();
        seen.text = mb->text();
        seen.icon = mb->icon();
        mb->button(answer)->click();
    });
    seen.result = host.message_box(box);
    return seen;
}

}  // namespace

class HostTest : public QObject {
    Q_OBJECT
  private slots:
    void message_boxes_show_their_text_and_return_the_answer() {
        Session s;
        MessageBox question;
        question.caption = "KVR_Q4";
        question.text = "Delete <b>this</b>?";
        question.buttons = BoxButtons::YesNo;
        question.icon = BoxIcon::Question;
        BoxSeen seen = show_box(s.host, question, QMessageBox::No);
        QCOMPARE(seen.result, kIdNo);
        QCOMPARE(seen.text, QStringLiteral("Delete <b>this</b>?"));  // shown as written
        QCOMPARE(seen.icon, QMessageBox::Question);

        question.buttons = BoxButtons::OkCancel;
        QCOMPARE(show_box(s.host, question, QMessageBox::Cancel).result, kIdCancel);

        // A numbered message: caption "KVR_Q4", its fixed text, no icon, one OK button.
        BoxSeen numbered;
        when_modal([&](QWidget* w) {
            auto* mb = qobject_cast<QMessageBox*>(w);
            numbered.caption = mb->windowTitle();
            numbered.text = mb->text();
            numbered.icon = mb->icon();
            QCOMPARE(mb->buttons().size(), 1);
            mb->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(messages(s.p, Msg::NoTelescope), kIdOk);
        QCOMPARE(numbered.caption, QStringLiteral("KVR_Q4"));
        QCOMPARE(numbered.text, QStringLiteral("Sorry. No Connection to Telescope"));
        QCOMPARE(numbered.icon, QMessageBox::NoIcon);
    }

    void progress_window_keeps_its_title_until_the_caption_changes() {
        Session s;
        set_progress_caption(s.p, "READ QX CAMERA - Interlaced(2nd Exposure)");
        progress_open(s.p);
        ProgressWindow* w = s.host.progress_window();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("READ QX CAMERA - Interlaced(2nd Exposure)"));
        QCOMPARE(w->position(), 0);
        refresh_progress(s.p);  // the opening caption counts as changed once
        s.p.shell.progress = 128;
        w->setWindowTitle(QStringLiteral("left alone"));
        refresh_progress(s.p);
        QCOMPARE(w->position(), 128);
        QCOMPARE(w->windowTitle(), QStringLiteral("left alone"));
        set_progress_caption(s.p, "EXPOSING");
        s.p.shell.progress = 300;
        refresh_progress(s.p);
        QCOMPARE(w->windowTitle(), QStringLiteral("EXPOSING"));
        QCOMPARE(w->position(), 256);
        progress_close(s.p);
        QVERIFY(!s.host.progress_window());
    }

    void guiding_window_shows_values_frame_and_cross_and_keeps_them_when_guiding_stops() {
        Session s;
        const std::string bmp = map_drive_path(s.p.drive_root, "c:\\kvr_q4f.bmp");
        QImage frame(128, 128, QImage::Format_Indexed8);
        frame.setColorTable({qRgb(0, 0, 0)});
        frame.fill(0);
        QVERIFY(frame.save(QString::fromStdString(bmp), "BMP"));

        GuideState& g = s.p.guide;
        g.xcent = 10;
        g.xcentdec = 5;
        g.ycent = 20;
        g.ycentdec = 0;
        g.x3 = -1250;
        g.y3 = 300;
        g.x1 = 40;
        g.y1 = 50;
        s.p.shell.got_guide_image = 1;
        std::snprintf(s.p.shell.info_caption, sizeof s.p.shell.info_caption, "Self Guiding");
        info_open(s.p);
        refresh_info_window(s.p);
        InfoWindow* w = s.host.info_window();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Self Guiding"));
        QCOMPARE(w->field(0), QStringLiteral("10.5"));
        QCOMPARE(w->field(1), QStringLiteral("20.0"));
        QCOMPARE(w->field(2), QStringLiteral("-1.2"));
        QCOMPARE(w->field(3), QStringLiteral("0.3"));
        QCOMPARE(w->frame_image().size(), QSize(128, 128));
        const QImage shot = w->grab().toImage();
        QVERIFY(near(shot.pixel(40 + 79, 50 + 66), Qt::red));  // cross centre
        QVERIFY(near(shot.pixel(75 + 2, 66 + 2), Qt::black));  // the frame

        // A key press stops self-guiding: the window stays with its last frame and figures, and
        // the captions of the exposure that goes on are no longer its own.
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        s.p.guide.selfguiding = 1;
        QTimer::singleShot(0, &s.frame, [&] { QTest::keyClick(&s.frame, Qt::Key_Space); });
        QVERIFY(wait_until([&] { return clear_messages(s.p); }));
        QCOMPARE(s.p.guide.selfguiding, 0);
        QCOMPARE(s.host.info_window(), w);
        std::snprintf(s.p.shell.info_caption, sizeof s.p.shell.info_caption,
                      "Guiding Info - Downloading Image");
        refresh_info_caption(s.p);
        QCOMPARE(w->windowTitle(), QStringLiteral("Self Guiding"));
        QCOMPARE(w->field(2), QStringLiteral("-1.2"));
        const QImage kept = w->grab().toImage();
        QVERIFY(near(kept.pixel(40 + 79, 50 + 66), Qt::red));
        QVERIFY(near(kept.pixel(75 + 2, 66 + 2), Qt::black));

        // The next guiding run takes the same window over.
        std::snprintf(s.p.shell.info_caption, sizeof s.p.shell.info_caption, "Guiding Info");
        info_open(s.p);
        QCOMPARE(s.host.info_window(), w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Guiding Info"));
        info_close(s.p);
        QVERIFY(!s.host.info_window());
    }

    void a_key_press_during_a_pump_stops_the_run() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        // A press before the loop started is not a stop.
        QTest::keyClick(&s.frame, Qt::Key_A);
        QVERIFY(!clear_messages(s.p));

        s.p.run.no_images = 5;
        s.p.run.end_loop = 0;
        s.p.readout.focus_x = 100;
        QTimer::singleShot(30, &s.frame, [&] { QTest::keyClick(&s.frame, Qt::Key_Space); });
        const bool stopped = wait_until([&] { return clear_messages(s.p); });
        QVERIFY(stopped);
        QCOMPARE(s.p.run.no_images, 1);
        QCOMPARE(s.p.run.end_loop, 1);
        QCOMPARE(s.p.readout.focus_x, 312);
    }

    void a_mouse_press_stops_but_presses_in_a_message_box_do_not() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        QTimer::singleShot(0, &s.frame, [&] { messages(s.p, Msg::GuidingTerminated); });
        when_modal([](QWidget* box) {
            QTest::keyClick(box, Qt::Key_A);
            qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        });
        QVERIFY(!wait_until([&] { return bool(s.host.pump()); }, 300));

        QTimer::singleShot(0, &s.frame, [&] {
            QTest::mousePress(s.frame.centralWidget(), Qt::RightButton, {}, QPoint(50, 50));
        });
        QVERIFY(wait_until([&] { return s.host.pump().right; }));
    }

    void file_dialog_lists_the_filters_and_adds_the_default_extension() {
        Session s;
        QTemporaryDir dir;
        FileDialogRequest r;
        r.save = true;
        r.title = "Save FITS";
        r.filters = {{"Korvalen Imaging (~*.)", "~*.*"},
                     {"FITS file (*.FIT)", "*.FIT"},
                     {"All Files(*.*)", "*.*"}};
        r.filter_index = 2;
        r.default_extension = "FIT";
        r.initial_dir = dir.path().toStdString();
        r.initial_name = "*.FIT";
        QStringList filters;
        QString chosen;
        when_modal([&](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            QVERIFY(d);
            filters = d->nameFilters();
            chosen = d->selectedNameFilter();
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QStringLiteral("M31"));
            QMetaObject::invokeMethod(d, "accept");
        });
        const auto result = s.host.file_dialog(r);
        QVERIFY(result);
        QCOMPARE(filters, QStringList({"Korvalen Imaging (~*.) (~*.*)", "FITS file (*.FIT)",
                                       "All Files(*.*)"}));
        QCOMPARE(chosen, QStringLiteral("FITS file (*.FIT)"));
        QCOMPARE(QString::fromStdString(result->path), dir.filePath(QStringLiteral("M31.FIT")));
        QCOMPARE(result->filter_index, 2);

        when_modal([](QWidget* w) { qobject_cast<QFileDialog*>(w)->reject(); });
        QVERIFY(!s.host.file_dialog(r));

        // Native files are named with a leading tilde: typed, it is a name, not a home folder.
        r.default_extension.clear();
        r.filter_index = 1;
        when_modal([&](QWidget* w) {
            w->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QStringLiteral("~M31"));
            QMetaObject::invokeMethod(w, "accept");
        });
        const auto native = s.host.file_dialog(r);
        QVERIFY(native);
        QCOMPARE(QString::fromStdString(native->path), dir.filePath(QStringLiteral("~M31")));
    }

    void wait_cursor_is_balanced() {
        Session s;
        s.host.set_wait_cursor(true);
        s.host.set_wait_cursor(true);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        s.host.set_wait_cursor(false);
        s.host.set_wait_cursor(false);
        s.host.set_wait_cursor(false);  // one too many is harmless
        QVERIFY(!QApplication::overrideCursor());
    }
};

KVR_GUI_SUITE(HostTest);

}  // namespace kvr::gui::test

#include "host_test.moc"
