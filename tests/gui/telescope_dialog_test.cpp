// The telescope windows in Qt: opened by command 24 as the drive asks, a mount move that lasts
// while the mouse holds a scroll-bar arrow, a go-to whose answer shows in the info field, and the
// tool-bar button that comes with a drive.
#include "scope/telescope_dialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <string>
#include <vector>

#include "core/program.h"
#include "files/settings_file.h"
#include "gui/main_frame.h"
#include "gui/qt_host.h"
#include "gui/resource_dialog.h"
#include "gui_test_support.h"
#include "sim/camera_enumerator.h"

namespace kvr::gui::test {

namespace {

// What reaches the camera's serial ports and relays; serial reads are served from `answers`.
struct Wire : sim::CameraPorts {
    void relays_changed(uint16_t bits, int64_t) override { relays.push_back(bits); }
    void serial_write(uint16_t, const uint8_t* bytes, size_t count, int64_t) override {
        texts.emplace_back(reinterpret_cast<const char*>(bytes), count);
    }
    void serial_read(uint16_t, uint8_t* out, size_t count, int64_t) override {
        for (size_t i = 0; i < count; ++i, ++next)
            out[i] = next < answers.size() ? static_cast<uint8_t>(answers[next]) : 0;
    }
    std::vector<std::string> texts;
    std::vector<int> relays;
    std::string answers;
    size_t next = 0;
};

// The drive chosen as the settings dialog chooses it: stored, since command 24 reloads the
// settings before it checks the link.
void choose_drive(Session& s, char drive) {
    s.p.scope.telescope = drive;
    save_ini_file(s.p, s.p.settings.ini_file);
    s.frame.refresh_commands();
}

std::shared_ptr<Wire> wire_up(Session& s) {
    auto wire = std::make_shared<Wire>();
    dynamic_cast<sim::CameraEnumerator&>(*s.p.devices).camera().attach_ports(wire);
    return wire;
}

// Holds the left mouse button on the first (up / left) or second arrow of a scroll bar.
QPoint arrow(QScrollBar* bar, bool first) {
    const int edge = 4;
    if (bar->orientation() == Qt::Horizontal)
        return {first ? edge : bar->width() - edge, bar->height() / 2};
    return {bar->width() / 2, first ? edge : bar->height() - edge};
}

}  // namespace

class TelescopeDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void lx_window_moves_while_held_and_shows_the_mounts_answer() {
        Session s;
        auto wire = wire_up(s);
        choose_drive(s, 'l');
        QVERIFY(s.frame.tool_action(Cmd::TelescopeControl)->isVisible());
        s.frame.run_command(Cmd::TelescopeControl);
        ResourceDialog* d = s.host.dialog_window(*s.p.scope.telescope_dialog);
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QStringLiteral("KVR_Q4 Move Telescope"));

        auto* ns = qobject_cast<QScrollBar*>(d->control(mt::kNorthSouthBar));
        QTest::mousePress(ns, Qt::LeftButton, {}, arrow(ns, true));
        QCOMPARE(s.p.scope.tele_moving, 1);
        QTest::mouseRelease(ns, Qt::LeftButton, {}, arrow(ns, true));
        QCOMPARE(s.p.scope.tele_moving, 0);
        const std::vector<std::string> moved = {"#:RS#", "#:Mn#", "#:Qn#",
                                                "#:Qs#", "#:Qe#", "#:Qw#"};
        QVERIFY(wire->texts == moved);

        wire->texts.clear();
        wire->answers = std::string("M31 EX GAL#") + std::string(22, '\0') + "0";
        QTest::keyClicks(qobject_cast<QLineEdit*>(d->control(mt::kMessierEdit)), "31");
        QTest::mouseClick(qobject_cast<QPushButton*>(d->control(mt::kGotoObject)), Qt::LeftButton);
        QCOMPARE(wire->texts.front(), std::string("#:LM 0031#"));
        QCOMPARE(qobject_cast<QLineEdit*>(d->control(mt::kInfoEdit))->text(),
                 QStringLiteral("M31 EX GAL"));
        QTest::mouseClick(qobject_cast<QPushButton*>(d->control(kIdcCancel)), Qt::LeftButton);
        QVERIFY(wait_until([&] { return !s.host.dialog_window(*s.p.scope.telescope_dialog); }));
    }

    void box_window_closes_a_relay_while_held() {
        Session s;
        auto wire = wire_up(s);
        choose_drive(s, 'b');
        s.frame.run_command(Cmd::TelescopeControl);
        ResourceDialog* d = s.host.dialog_window(*s.p.scope.box_dialog);
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QStringLiteral("Move Telescope"));
        auto* ew = qobject_cast<QScrollBar*>(d->control(cb::kEastWestBar));
        QTest::mousePress(ew, Qt::LeftButton, {}, arrow(ew, false));
        QCOMPARE(wire->relays, std::vector<int>{8});
        QTest::mouseRelease(ew, Qt::LeftButton, {}, arrow(ew, false));
        QCOMPARE(wire->relays, (std::vector<int>{8, 0}));
        choose_drive(s, 'n');
        QVERIFY(!s.frame.tool_action(Cmd::TelescopeControl)->isVisible());
    }
};

KVR_GUI_SUITE(TelescopeDialogTest);

}  // namespace kvr::gui::test

#include "telescope_dialog_test.moc"
