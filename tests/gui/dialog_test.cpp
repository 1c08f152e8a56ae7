// The generic resource-driven dialog: widgets from the resource, user actions to the model as
// control events, every control redrawn from the model afterwards; modal and modeless windows.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "core/canvas.h"
#include "core/program.h"
#include "gui/draw_area.h"
#include "gui/main_frame.h"
#include "gui/qt_host.h"
#include "gui/resource_dialog.h"
#include "gui_test_support.h"

namespace kvr::gui::test {

namespace {

const DialogResource& sample_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 900;
        r.caption = "Sample";
        auto add = [&r](int id, ControlKind kind, std::string caption, int row, int col) {
            ControlDesc c;
            c.id = id;
            c.kind = kind;
            c.caption = std::move(caption);
            c.row = row;
            c.col = col;
            r.controls.push_back(c);
            return &r.controls.back();
        };
        ControlDesc* box = add(-1, ControlKind::GroupBox, "Range", 0, 0);
        box->row_span = 3;
        box->col_span = 2;
        add(11, ControlKind::Radio, "Low", 1, 0)->group = 1;
        add(12, ControlKind::Radio, "High", 2, 0)->group = 1;
        add(20, ControlKind::CheckBox, "Keep", 3, 0);
        add(30, ControlKind::Edit, "", 4, 0);
        add(31, ControlKind::Edit, "", 4, 1)->read_only = true;
        add(40, ControlKind::ScrollBar, "", 5, 0)->horizontal = false;
        add(50, ControlKind::Static, "", 6, 0);
        ControlDesc* area = add(55, ControlKind::DrawArea, "", 6, 1);
        area->width = 40;
        area->height = 30;
        add(60, ControlKind::Button, "Apply", 7, 0);
        add(kIdcOk, ControlKind::DefaultButton, "OK", 7, 1);
        add(kIdcCancel, ControlKind::Button, "Cancel", 7, 2);
        return r;
    }();
    return res;
}

class SampleModel : public DialogModel {
  public:
    explicit SampleModel(Program& p) : DialogModel(p, sample_resource()) {}

    void handle(const ControlEvent& e) override {
        events.push_back(e);
        using K = ControlEvent::Kind;
        if (e.kind == K::Click && (e.id == 11 || e.id == 12)) range = e.id;
        if (e.kind == K::Toggle && e.id == 20 && keep_allowed) keep = !keep;
        if (e.kind == K::TextEdited && e.id == 30) typed = e.text;
        if (e.kind == K::Scroll && e.id == 40) {
            // Steps of two: the bar must show the model's value, not its own step.
            if (e.scroll == ScrollCode::LineDown) value = std::min(value + 2, 9);
            if (e.scroll == ScrollCode::LineUp) value = std::max(value - 2, 0);
        }
        if (e.kind == K::Click && e.id == 60) ++applied;
        if (e.kind == K::Click && e.id == kIdcOk) end(kIdOk);
        if (e.kind == K::Click && e.id == kIdcCancel) end(kIdCancel);
    }

    void render(DialogView& v) const override {
        v[11].checked = range == 11;
        v[12].checked = range == 12;
        v[20].checked = keep;
        v[30].text = QString::fromStdString(typed).toUpper().toStdString();
        v[31].text = "value " + std::to_string(value);
        v[40].min = 0;
        v[40].max = 9;
        v[40].pos = value;
        v[50].text = "applied " + std::to_string(applied);
        v[60].enabled = !keep;
    }

    std::string caption() const override { return "Sample " + std::to_string(applied); }
    const Canvas* drawing(int id) const override { return id == 55 ? &picture : nullptr; }

    std::vector<ControlEvent> events;
    int range = 11;
    bool keep = false;
    bool keep_allowed = true;
    std::string typed;
    int value = 5;
    int applied = 0;
    Canvas picture{40, 30, argb(200, 0, 0)};
};

// A fresh session with the sample dialog drawn (and shown, when asked).
struct SampleDialog {
    explicit SampleDialog(bool shown = false) : d(m, &s.frame) {
        d.render();
        if (!shown) return;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
    }
    Session s;
    SampleModel m{s.p};
    ResourceDialog d;
};

ControlEvent click(int id) {
    ControlEvent e;
    e.id = id;
    return e;
}

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT
  private slots:
    void builds_every_control_inside_its_group_box() {
        SampleDialog f;
        auto& [s, m, d] = f;
        auto* low = qobject_cast<QRadioButton*>(d.control(11));
        QVERIFY(low);
        auto* box = qobject_cast<QGroupBox*>(low->parentWidget());
        QVERIFY(box);
        QCOMPARE(box->title(), QStringLiteral("Range"));
        QCOMPARE(d.control(12)->parentWidget(), box);
        QVERIFY(d.control(20)->parentWidget() != box);
        QVERIFY(qobject_cast<QLineEdit*>(d.control(31))->isReadOnly());
        QCOMPARE(qobject_cast<QScrollBar*>(d.control(40))->orientation(), Qt::Vertical);
        QCOMPARE(d.control(55)->size(), QSize(40, 30));
        QCOMPARE(d.windowTitle(), QStringLiteral("Sample 0"));
        QVERIFY(low->isChecked());
        QCOMPARE(qobject_cast<QLabel*>(d.control(50))->text(), QStringLiteral("applied 0"));
    }

    void user_actions_reach_the_model_and_the_view_follows() {
        SampleDialog f(true);
        auto& [s, m, d] = f;

        QTest::mouseClick(d.control(12), Qt::LeftButton, {},
                          QPoint(6, d.control(12)->height() / 2));
        QCOMPARE(m.range, 12);
        QVERIFY(!qobject_cast<QRadioButton*>(d.control(11))->isChecked());
        QVERIFY(qobject_cast<QRadioButton*>(d.control(12))->isChecked());

        auto* keep = qobject_cast<QCheckBox*>(d.control(20));
        const QPoint on_box(6, keep->height() / 2);
        QTest::mouseClick(keep, Qt::LeftButton, {}, on_box);
        QCOMPARE(m.events.back().kind, ControlEvent::Kind::Toggle);
        QVERIFY(m.keep && keep->isChecked());
        QVERIFY(!d.control(60)->isEnabled());
        // A refusal shows: the box goes back to the model's state.
        m.keep_allowed = false;
        m.keep = false;
        d.render();
        QTest::mouseClick(keep, Qt::LeftButton, {}, on_box);
        QVERIFY(!keep->isChecked());

        QTest::mouseClick(d.control(60), Qt::LeftButton);
        QCOMPARE(m.applied, 1);
        QCOMPARE(d.windowTitle(), QStringLiteral("Sample 1"));
        QCOMPARE(qobject_cast<QLabel*>(d.control(50))->text(), QStringLiteral("applied 1"));
    }

    void typing_is_not_rewritten_under_the_cursor() {
        SampleDialog f;
        auto& [s, m, d] = f;
        auto* edit = qobject_cast<QLineEdit*>(d.control(30));
        QTest::keyClicks(edit, "ab");
        QCOMPARE(m.typed, std::string("ab"));
        QCOMPARE(m.events.back().kind, ControlEvent::Kind::TextEdited);
        QCOMPARE(edit->text(), QStringLiteral("ab"));
        d.send(click(60));  // any later event redraws the edit from the model
        QCOMPARE(edit->text(), QStringLiteral("AB"));
    }

    void scroll_bar_sends_its_code_and_shows_the_model_value() {
        SampleDialog f;
        auto& [s, m, d] = f;
        auto* bar = qobject_cast<QScrollBar*>(d.control(40));
        QCOMPARE(bar->value(), 5);
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(m.value, 7);
        QCOMPARE(bar->value(), 7);
        QCOMPARE(m.events.size(), size_t{2});
        QCOMPARE(m.events[0].scroll, ScrollCode::LineDown);
        QCOMPARE(m.events[1].scroll, ScrollCode::EndScroll);
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(bar->value(), 5);
        QCOMPARE(qobject_cast<QLineEdit*>(d.control(31))->text(), QStringLiteral("value 5"));
    }

    void drawing_area_shows_the_model_picture() {
        SampleDialog f(true);
        auto& [s, m, d] = f;
        m.picture.set(7, 9, argb(0, 0, 255));
        const QImage shown = d.control(55)->grab().toImage();
        QCOMPARE(QColor(shown.pixel(7, 9)).blue(), 255);
        QCOMPARE(QColor(shown.pixel(8, 9)).red(), 200);
        // A new picture shows after the next event.
        m.picture.fill(argb(0, 120, 0));
        d.send(click(60));
        QCOMPARE(QColor(d.control(55)->grab().toImage().pixel(7, 9)).green(), 120);
    }

    void drawing_area_reports_clicks_in_its_own_pixels() {
        SampleDialog f(true);
        auto& [s, m, d] = f;
        QTest::mousePress(d.control(55), Qt::RightButton, {}, QPoint(7, 9));
        const ControlEvent& e = m.events.back();
        QCOMPARE(e.kind, ControlEvent::Kind::Mouse);
        QCOMPARE(e.id, 55);
        QCOMPARE(QPoint(e.x, e.y), QPoint(7, 9));
        QCOMPARE(e.button, 2);
    }

    void modal_run_returns_the_model_result() {
        Session s;
        SampleModel m(s.p);
        when_modal([](QWidget* w) {
            auto* d = qobject_cast<ResourceDialog*>(w);
            QTest::mouseClick(d->control(60), Qt::LeftButton);
            QTest::mouseClick(d->control(kIdcOk), Qt::LeftButton);
        });
        QCOMPARE(s.host.run_modal(m), kIdOk);
        QCOMPARE(m.applied, 1);
        QVERIFY(m.ended());
        QVERIFY(!s.host.dialog_window(m));
    }

    void escape_is_the_cancel_button() {
        Session s;
        SampleModel m(s.p);
        when_modal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        QCOMPARE(s.host.run_modal(m), kIdCancel);
        QCOMPARE(m.events.back().kind, ControlEvent::Kind::Click);
        QCOMPARE(m.events.back().id, kIdcCancel);
    }

    void a_resource_taller_than_the_screen_scrolls() {
        Session s;
        DialogResource tall;
        tall.id = 901;
        for (int row = 0; row < 80; ++row) {
            ControlDesc c;
            c.id = 100 + row;
            c.kind = ControlKind::CheckBox;
            c.caption = "Option " + std::to_string(row);
            c.row = row;
            tall.controls.push_back(c);
        }
        struct Plain : DialogModel {
            using DialogModel::DialogModel;
            void handle(const ControlEvent&) override {}
        } m(s.p, tall);
        ResourceDialog d(m, &s.frame);
        QVERIFY(d.findChild<QScrollArea*>());
        QVERIFY(d.height() <= d.screen()->availableSize().height());
        SampleModel small(s.p);
        QVERIFY(!ResourceDialog(small, &s.frame).findChild<QScrollArea*>());
    }

    void modeless_window_follows_its_model() {
        Session s;
        SampleModel m(s.p);
        s.host.open_modeless(m);
        ResourceDialog* d = s.host.dialog_window(m);
        QVERIFY(d && d->isVisible() && !d->isModal());
        m.applied = 4;
        s.host.refresh_dialog(m);
        QCOMPARE(d->windowTitle(), QStringLiteral("Sample 4"));
        QTest::mouseClick(d->control(kIdcOk), Qt::LeftButton);  // the model ends it
        QVERIFY(m.ended());
        QVERIFY(!s.host.dialog_window(m));
        QTest::qWait(0);

        s.host.open_modeless(m);  // reopened fresh
        QVERIFY(!m.ended());
        QPointer<ResourceDialog> again = s.host.dialog_window(m);
        QVERIFY(again && again->isVisible());
        s.host.close_modeless(m);
        QVERIFY(m.ended());
        QVERIFY(!s.host.dialog_window(m));
        QVERIFY(wait_until([&] { return again.isNull(); }));
    }
};

KVR_GUI_SUITE(DialogTest);

}  // namespace kvr::gui::test

#include "dialog_test.moc"
