#include "gui/resource_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "core/host.h"
#include "gui/draw_area.h"

namespace kvr::gui {

namespace {

bool inside(const ControlDesc& box, const ControlDesc& c) {
    return c.row >= box.row && c.row < box.row + box.row_span && c.col >= box.col &&
           c.col < box.col + box.col_span;
}

ControlEvent event_of(ControlEvent::Kind kind, int id) {
    ControlEvent e;
    e.kind = kind;
    e.id = id;
    return e;
}

ControlEvent scroll_event(int id, ScrollCode code, int position = 0) {
    ControlEvent e = event_of(ControlEvent::Kind::Scroll, id);
    e.scroll = code;
    e.position = position;
    return e;
}

int area(const ControlDesc& c) {
    return c.row_span * c.col_span;
}

ScrollCode scroll_code(int action, bool& known) {
    known = true;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return ScrollCode::LineUp;
        case QAbstractSlider::SliderSingleStepAdd:
            return ScrollCode::LineDown;
        case QAbstractSlider::SliderPageStepSub:
            return ScrollCode::PageUp;
        case QAbstractSlider::SliderPageStepAdd:
            return ScrollCode::PageDown;
        default:
            known = false;
            return ScrollCode::EndScroll;
    }
}

}  // namespace

ResourceDialog::ResourceDialog(DialogModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
    setObjectName(QStringLiteral("dialog%1").arg(model.resource().id));
    build();
}

QWidget* ResourceDialog::control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

QWidget* ResourceDialog::make_control(const ControlDesc& c) {
    const QString caption = QString::fromStdString(c.caption);
    const int id = c.id;
    switch (c.kind) {
        case ControlKind::Button:
        case ControlKind::DefaultButton: {
            auto* b = new QPushButton(caption);
            // Enter in an edit presses the dialog's default button, not whichever has focus.
            b->setAutoDefault(c.kind == ControlKind::DefaultButton);
            b->setDefault(c.kind == ControlKind::DefaultButton);
            connect(b, &QPushButton::clicked, this,
                    [this, id] { send(event_of(ControlEvent::Kind::Click, id)); });
            return b;
        }
        case ControlKind::CheckBox: {
            auto* b = new QCheckBox(caption);
            connect(b, &QCheckBox::clicked, this,
                    [this, id] { send(event_of(ControlEvent::Kind::Toggle, id)); });
            return b;
        }
        case ControlKind::Radio: {
            auto* b = new QRadioButton(caption);
            QButtonGroup*& group = radio_groups_[c.group];
            if (!group) group = new QButtonGroup(this);
            group->addButton(b);
            connect(b, &QRadioButton::clicked, this,
                    [this, id] { send(event_of(ControlEvent::Kind::Click, id)); });
            return b;
        }
        case ControlKind::Edit: {
            auto* e = new QLineEdit(caption);
            e->setReadOnly(c.read_only);
            connect(e, &QLineEdit::textEdited, this, [this, id](const QString& text) {
                typing_in_ = id;
                ControlEvent e = event_of(ControlEvent::Kind::TextEdited, id);
                e.text = text.toStdString();
                send(e);
                typing_in_ = -1;
            });
            return e;
        }
        case ControlKind::ScrollBar: {
            auto* bar = new QScrollBar(c.horizontal ? Qt::Horizontal : Qt::Vertical);
            // Vertical bars of a resource are spinners: two arrows and a short track.
            if (!c.horizontal)
                bar->setFixedHeight(3 * bar->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
            connect_scroll_bar(bar, id);
            return bar;
        }
        case ControlKind::DrawArea: {
            auto* d = new DrawArea(model_, id, QSize(c.width, c.height));
            connect(d, &DrawArea::clicked, this, [this, id](int x, int y, int button) {
                ControlEvent e = event_of(ControlEvent::Kind::Mouse, id);
                e.x = x;
                e.y = y;
                e.button = button;
                send(e);
            });
            return d;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(caption);
        case ControlKind::Static:
            break;
    }
    auto* label = new QLabel(caption);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void ResourceDialog::connect_scroll_bar(QScrollBar* bar, int id) {
    // An arrow or the page area held with the mouse repeats its step; the end of scroll comes
    // when the button is let go (the telescope windows move the mount for that long). Steps
    // from the keyboard end at once.
    bar->installEventFilter(this);
    connect(bar, &QScrollBar::actionTriggered, this, [this, bar, id](int action) {
        bool known = false;
        const ScrollCode code = scroll_code(action, known);
        if (!known) return;  // thumb drags are reported when the thumb is let go
        send(scroll_event(id, code));
        auto held = held_bars_.find(bar);
        if (held == held_bars_.end())
            send(scroll_event(id, ScrollCode::EndScroll));
        else
            held->second = id;
    });
    connect(bar, &QScrollBar::sliderReleased, this, [this, bar, id] {
        send(scroll_event(id, ScrollCode::ThumbPosition, bar->sliderPosition()));
        send(scroll_event(id, ScrollCode::EndScroll));
    });
}

bool ResourceDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        held_bars_[watched] = 0;  // no step yet
    } else if (event->type() == QEvent::MouseButtonRelease) {
        auto held = held_bars_.find(watched);
        if (held != held_bars_.end()) {
            const int id = held->second;
            held_bars_.erase(held);
            if (id != 0) send(scroll_event(id, ScrollCode::EndScroll));
        }
    }
    return QDialog::eventFilter(watched, event);
}

QWidget* ResourceDialog::with_unit(QWidget* control, const std::string& unit) {
    auto* cell = new QWidget;
    auto* row = new QHBoxLayout(cell);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(3);
    row->addWidget(control, 1);
    auto* label = new QLabel(QString::fromStdString(unit));
    label->setObjectName(QStringLiteral("unit"));
    row->addWidget(label);
    return cell;
}

void ResourceDialog::place(QGridLayout& grid, QWidget* w, const ControlDesc& c, int row0,
                           int col0) {
    grid.addWidget(w, c.row - row0, c.col - col0, std::max(1, c.row_span), std::max(1, c.col_span));
}

void ResourceDialog::build() {
    const auto& controls = model_.resource().controls;
    // Each control belongs to the smallest group box whose span holds its cell.
    std::vector<const ControlDesc*> boxes;
    for (const auto& c : controls)
        if (c.kind == ControlKind::GroupBox) boxes.push_back(&c);
    std::stable_sort(boxes.begin(), boxes.end(), [](const ControlDesc* a, const ControlDesc* b) {
        return area(*a) < area(*b);
    });
    auto owner = [&](const ControlDesc& c) -> const ControlDesc* {
        for (const ControlDesc* box : boxes) {
            if (box == &c) continue;
            if (c.kind == ControlKind::GroupBox && area(*box) <= area(c)) continue;
            if (inside(*box, c)) return box;
        }
        return nullptr;
    };

    auto* content = new QWidget;
    auto* top = new QGridLayout(content);
    top->setVerticalSpacing(2);
    std::map<const ControlDesc*, QGridLayout*> box_grids;
    std::map<const ControlDesc*, QWidget*> widgets;
    for (const auto& c : controls) {
        QWidget* w = make_control(c);
        if (c.id >= 0) controls_[c.id] = w;
        widgets[&c] = c.unit.empty() ? w : with_unit(w, c.unit);
        if (c.kind == ControlKind::GroupBox) box_grids[&c] = new QGridLayout(w);
    }
    for (const auto& c : controls) {
        const ControlDesc* box = owner(c);
        if (box)
            place(*box_grids[box], widgets[&c], c, box->row, box->col);
        else
            place(*top, widgets[&c], c, 0, 0);
    }

    // A resource taller or wider than the screen scrolls inside the dialog.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    const QSize room = screen() ? screen()->availableSize() * 0.9 : QSize(1024, 700);
    const QSize want = content->sizeHint();
    if (want.height() <= room.height() && want.width() <= room.width()) {
        outer->addWidget(content);
        return;
    }
    auto* scroller = new QScrollArea;
    scroller->setWidget(content);
    scroller->setWidgetResizable(true);
    outer->addWidget(scroller);
    resize(std::min(want.width() + 24, room.width()), std::min(want.height() + 24, room.height()));
}

void ResourceDialog::apply(int id, const ControlState& s) {
    QWidget* w = control(id);
    if (!w) return;
    const QString text = QString::fromStdString(s.text);
    if (w->isEnabled() != s.enabled) w->setEnabled(s.enabled);
    if (w->isVisibleTo(this) != s.visible) w->setVisible(s.visible);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        if (b->text() != text) b->setText(text);
        if (b->isCheckable()) b->setChecked(s.checked);
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (id != typing_in_ && e->text() != text) e->setText(text);
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        if (l->text() != text) l->setText(text);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        g->setTitle(text);
    } else if (auto* bar = qobject_cast<QScrollBar*>(w)) {
        bar->setRange(s.min, s.max);
        // Also right inside actionTriggered, where the slider applies its own step afterwards.
        bar->setSliderPosition(s.pos);
        bar->setValue(s.pos);
    } else if (auto* d = qobject_cast<DrawArea*>(w)) {
        const Qt::CursorShape shape = s.cross_cursor ? Qt::CrossCursor : Qt::ArrowCursor;
        if (d->cursor().shape() != shape) d->setCursor(shape);
        d->update();
    }
}

void ResourceDialog::render() {
    if (finished_) return;
    setWindowTitle(QString::fromStdString(model_.caption()));
    // An exclusive group cannot show "none chosen"; the model may want exactly that.
    for (auto& [group, buttons] : radio_groups_) buttons->setExclusive(false);
    for (const auto& [id, state] : model_.view()) apply(id, state);
    for (auto& [group, buttons] : radio_groups_) buttons->setExclusive(true);
}

void ResourceDialog::send(const ControlEvent& event) {
    if (finished_) return;
    model_.handle(event);
    if (model_.ended())
        finish();
    else
        render();
}

void ResourceDialog::finish() {
    if (finished_) return;
    finished_ = true;
    emit model_ended();
    done(model_.result());
}

void ResourceDialog::keyPressEvent(QKeyEvent* event) {
    // A modeless window stays open while the user works in it (Escape in one of its fields is
    // not its Cancel button); its own buttons and close box end it.
    if (!isModal() && event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ResourceDialog::reject() {
    // Escape and the window's close button are the Cancel button.
    if (!finished_) {
        model_.handle(event_of(ControlEvent::Kind::Click, kIdcCancel));
        if (!model_.ended()) model_.end(kIdCancel);
        finish();
    }
}

}  // namespace kvr::gui
