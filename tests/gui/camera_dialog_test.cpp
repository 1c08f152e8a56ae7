// The camera control dialog drawn by the generic dialog, a binned frame taken from the
// simulated camera and shown in the image window, and a key press stopping a running exposure.
#include "acquire/camera_dialog.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <cmath>

#include "core/program.h"
#include "gui/image_view.h"
#include "gui/main_frame.h"
#include "gui/progress_window.h"
#include "gui/qt_host.h"
#include "gui/resource_dialog.h"
#include "gui_test_support.h"

namespace kvr::gui::test {

namespace {

ResourceDialog* camera_dialog(QWidget* w) {
    auto* d = qobject_cast<ResourceDialog*>(w);
    if (!d || d->windowTitle() != QStringLiteral("QX Control Interface")) {
        qWarning("expected the camera dialog, got \"%s\"", w ? qPrintable(w->windowTitle()) : "");
        if (w) w->close();
        return nullptr;
    }
    return d;
}

void press(ResourceDialog* d, int id) {
    QWidget* w = d->control(id);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
}

// The unit written after a control's value, or "" when it has none.
QString unit_of(ResourceDialog* d, int id) {
    const auto* unit = d->control(id)->parentWidget()->findChild<QLabel*>(
        QStringLiteral("unit"), Qt::FindDirectChildrenOnly);
    return unit ? unit->text() : QString();
}

QString text_of(ResourceDialog* d, int id) {
    if (auto* e = qobject_cast<QLineEdit*>(d->control(id))) return e->text();
    if (auto* l = qobject_cast<QLabel*>(d->control(id))) return l->text();
    return {};
}

// Pixels of the picture at least `level` (display values 0 … 255).
int bright_pixels(const QImage& picture, int level) {
    int n = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixelIndex(x, y) >= level) ++n;
    return n;
}

}  // namespace

class CameraDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void dialog_controls_follow_the_run_settings() {
        Session s;
        bool seen = false;
        when_modal([&](QWidget* w) {
            ResourceDialog* d = camera_dialog(w);
            if (!d) return;
            seen = true;
            press(d, kv::kRangeMinutes);
            QCOMPARE(text_of(d, kv::kExposureEdit), QStringLiteral("1"));
            auto* images = qobject_cast<QScrollBar*>(d->control(kv::kImagesSpin));
            for (int i = 0; i < 3; ++i) images->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            QCOMPARE(text_of(d, kv::kImagesEdit), QStringLiteral("4"));
            QCOMPARE(text_of(d, kv::kCameraMode), QStringLiteral("Auto Merging"));
            press(d, kv::kSeries);
            press(d, kv::kCancel);
        });
        s.frame.run_command(Cmd::CameraControl);
        QVERIFY(seen);
        QCOMPARE(s.p.run.no_images, 4);
        QCOMPARE(s.p.run.exp_range, 'm');
        QCOMPARE(s.p.run.series_exposure, 1);
        QCOMPARE(s.p.settings.auto_save_fits, 1);  // switched on with the series
    }

    void help_button_shows_the_dialog_help() {
        Session s;
        QString caption;
        when_modals({[&](QWidget* w) {
                         if (ResourceDialog* d = camera_dialog(w)) press(d, kv::kHelp);
                     },
                     [&](QWidget* w) {
                         auto* box = qobject_cast<QMessageBox*>(w);
                         QVERIFY(box);
                         caption = box->windowTitle();
                         QVERIFY(box->text().size() > 100);
                         box->button(QMessageBox::Ok)->click();
                     },
                     [&](QWidget* w) {
                         if (ResourceDialog* d = camera_dialog(w)) press(d, kv::kCancel);
                     }});
        s.frame.run_command(Cmd::CameraControl);
        QCOMPARE(caption, QStringLiteral("KVR_Q4 - Control QX Camera"));
    }

    void focus_mode_runs_in_the_dialog_until_stop() {
        Session s;
        s.frame.show();  // the window's first picture is on the drive, as in use
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        s.frame.image_view()->viewport()->repaint();
        QString peak, star_fwhm, width, width_unit, peak_unit;
        bool stopped_in_time = false;
        when_modal([&](QWidget* w) {
            ResourceDialog* d = camera_dialog(w);
            if (!d) return;
            press(d, kv::kRangeTenths);
            // Start runs focus frames inside the dialog, pumping events: Stop gets through.
            QTimer::singleShot(300, d, [d] { press(d, kv::kFocusStop); });
            QElapsedTimer took;
            took.start();
            press(d, kv::kFocusStart);
            stopped_in_time = took.elapsed() < 10000;
            peak = text_of(d, kv::kMaxValue);
            width = text_of(d, kv::kFwhm);
            width_unit = unit_of(d, kv::kFwhm);
            peak_unit = unit_of(d, kv::kMaxValue);
            star_fwhm = qobject_cast<QLabel*>(d->control(kv::kFocusStarFwhm))->text();
            press(d, kv::kCancel);
        });
        s.frame.run_command(Cmd::CameraControl);
        QVERIFY(stopped_in_time);
        QCOMPARE(s.p.run.stopit, 1);
        QVERIFY2(peak.toInt() > 0, qPrintable(peak));
        // The focus star's width: the simulated seeing is 2.6 sky pixels FWHM, one column each.
        QVERIFY2(star_fwhm.startsWith(QStringLiteral("FWHM ")), qPrintable(star_fwhm));
        const double fwhm_px = star_fwhm.section(' ', 1, 1).toDouble();
        QVERIFY2(fwhm_px > 2.2 && fwhm_px < 3.4, qPrintable(star_fwhm));
        // The columns above half the peak: a whole number near that width, its unit beside it.
        bool whole = false;
        QVERIFY2(std::abs(width.toInt(&whole) - fwhm_px) <= 1.5 && whole, qPrintable(width));
        QCOMPARE(width_unit, QStringLiteral("px"));
        QCOMPARE(peak_unit, QStringLiteral("ADU"));
    }

    void take_photo_shows_a_binned_star_field() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        when_modal([&](QWidget* w) {
            ResourceDialog* d = camera_dialog(w);
            if (!d) return;
            press(d, kv::kModeBinned);
            press(d, kv::kRangeSeconds);
            press(d, kv::kTakePhoto);
        });
        s.frame.run_command(Cmd::CameraControl);
        s.frame.image_view()->viewport()->repaint();
        const QImage& picture = s.frame.image_view()->picture();
        QCOMPARE(picture.size(), QSize(376, 290));
        QCOMPARE(s.frame.windowTitle(), QStringLiteral("KVR_Q4_USB - QX Camera Image"));
        // Stars: a few bright spots on a dark sky, unlike the start-up ramp.
        const int bright = bright_pixels(picture, 128);
        QVERIFY2(bright > 3 && bright < 376 * 290 / 20, qPrintable(QString::number(bright)));
        QVERIFY(picture.pixelIndex(5, 280) < 128);
        // For people: KVR_GUI_SHOTS=DIR keeps a picture of the window (run under Xvfb).
        if (const QString dir = qEnvironmentVariable("KVR_GUI_SHOTS"); !dir.isEmpty())
            s.frame.grab().save(dir + QStringLiteral("/take_photo.png"));
    }

    void a_key_press_stops_a_running_exposure() {
        Session s(false);  // the exposure must take real time for the key to arrive during it
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        when_modal([&](QWidget* w) {
            ResourceDialog* d = camera_dialog(w);
            if (!d) return;
            press(d, kv::kRangeSeconds);
            auto* value = qobject_cast<QScrollBar*>(d->control(kv::kExposureSpin));
            for (int i = 0; i < 29; ++i) value->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            QCOMPARE(text_of(d, kv::kExposureEdit), QStringLiteral("30"));
            press(d, kv::kTakePhoto);
        });
        // Once the exposure is counting down, a key press in the main window stops it.
        QTimer poll;
        bool pressed = false;
        connect(&poll, &QTimer::timeout, &s.frame, [&] {
            if (pressed || !s.host.progress_window()) return;
            pressed = true;
            QTest::keyClick(&s.frame, Qt::Key_Escape);
        });
        poll.start(50);
        QElapsedTimer took;
        took.start();
        s.frame.run_command(Cmd::CameraControl);
        QVERIFY(pressed);
        QVERIFY2(took.elapsed() < 20000, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(s.p.run.end_loop, 1);
        QVERIFY(!s.p.run.running);
    }
};

KVR_GUI_SUITE(CameraDialogTest);

}  // namespace kvr::gui::test

#include "camera_dialog_test.moc"
