// On a 1366 × 768 screen (the gui_small_screen test runs this suite on such an offscreen screen)
// every dialog opens within the screen with every button reachable, and the modeless windows open
// beside the main window's image, not over it.
#include <QAbstractButton>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <memory>
#include <vector>

#include "acquire/camera_dialog.h"
#include "core/dialog.h"
#include "display/blink.h"
#include "files/file_dialogs.h"
#include "files/fits_dialog.h"
#include "files/ini_dialog.h"
#include "files/label_image.h"
#include "gui/image_view.h"
#include "gui/main_frame.h"
#include "gui/qt_host.h"
#include "gui/resource_dialog.h"
#include "gui/window_placement.h"
#include "gui_test_support.h"
#include "guiding/guide_graph.h"
#include "guiding/guider_dialog.h"
#include "guiding/guider_info_window.h"
#include "imaging/adjust_dialogs.h"
#include "imaging/level_views.h"
#include "imaging/merging.h"
#include "imaging/photometry.h"
#include "imaging/stretch_dialog.h"
#include "scope/telescope_dialog.h"

namespace kvr::gui::test {

namespace {

const DialogResource* const* every_resource() {
    static const DialogResource* const all[] = {&about_resource(),
                                                &blink_resource(),
                                                &box_dialog_resource(),
                                                &camera_dialog_resource(),
                                                &delete_dialog_resource(),
                                                &fits_dialog_resource(),
                                                &guide_graph_resource(),
                                                &guider_dialog_resource(),
                                                &guider_info_resource(),
                                                &histogram_resource(),
                                                &ini_dialog_resource(),
                                                &label_dialog_resource(),
                                                &max_dialog_resource(),
                                                &median_dialog_resource(),
                                                &merge_resource(),
                                                &nonlinear_dialog_resource(),
                                                &photometry_resource(),
                                                &power_dialog_resource(),
                                                &row_plot_resource(),
                                                &stretch_dialog_resource(),
                                                &telescope_dialog_resource(),
                                                &unsharp_dialog_resource(),
                                                nullptr};
    return all;
}

struct Plain : DialogModel {
    using DialogModel::DialogModel;
    void handle(const ControlEvent&) override {}
};

// The button scrolled into view when its dialog scrolls, then its place on the screen.
QRect on_screen(QAbstractButton* b) {
    for (QWidget* w = b->parentWidget(); w; w = w->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(w)) area->ensureWidgetVisible(b);
    return QRect(b->mapToGlobal(QPoint(0, 0)), b->size());
}

bool big_enough(const QScreen* screen) {
    const QSize s = screen->size();
    return s.width() >= 1366 && s.height() >= 768;
}

}  // namespace

class SmallScreenTest : public QObject {
    Q_OBJECT
  private slots:
    void every_button_of_every_dialog_is_on_the_screen() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        if (!big_enough(s.frame.screen())) QSKIP("needs a screen of at least 1366 x 768");
        const QRect room = s.frame.screen()->availableGeometry();
        for (const DialogResource* const* r = every_resource(); *r; ++r) {
            Plain m(s.p, **r);
            ResourceDialog d(m, &s.frame);
            d.show();
            QVERIFY(QTest::qWaitForWindowExposed(&d));
            if (!(*r)->modal) place_beside(d, *s.frame.image_view());
            const QString name = QString::fromStdString((*r)->caption);
            QVERIFY2(room.contains(d.frameGeometry()), qPrintable(name));
            for (QAbstractButton* b : d.findChildren<QAbstractButton*>())
                if (b->isVisibleTo(&d))
                    QVERIFY2(room.contains(on_screen(b)), qPrintable(name + ": " + b->text()));
        }
    }

    void modeless_windows_open_off_the_image() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        if (!big_enough(s.frame.screen())) QSKIP("needs a screen of at least 1366 x 768");
        const QRect room = s.frame.screen()->availableGeometry();
        const QWidget* image = s.frame.image_view();
        const QRect image_rect(image->mapToGlobal(QPoint(0, 0)), image->size());
        QVERIFY(room.contains(s.frame.frameGeometry()));
        std::vector<std::unique_ptr<Plain>> models;
        for (const DialogResource* const* r = every_resource(); *r; ++r) {
            if ((*r)->modal) continue;
            models.push_back(std::make_unique<Plain>(s.p, **r));
            s.host.open_modeless(*models.back());
            ResourceDialog* w = s.host.dialog_window(*models.back());
            QVERIFY(w);
            const QString name = QString::fromStdString((*r)->caption);
            QVERIFY2(room.contains(w->frameGeometry()), qPrintable(name));
            const QRect at = w->frameGeometry();
            QVERIFY2(!image_rect.intersects(at),
                     qPrintable(name + QStringLiteral(" at %1,%2 %3x%4, image %5x%6")
                                           .arg(at.x())
                                           .arg(at.y())
                                           .arg(at.width())
                                           .arg(at.height())
                                           .arg(image_rect.right())
                                           .arg(image_rect.bottom())));
            s.host.close_modeless(*models.back());
        }
        QVERIFY(models.size() >= 5);
    }
};

KVR_GUI_SUITE(SmallScreenTest);

}  // namespace kvr::gui::test

#include "small_screen_test.moc"
