#pragma once
// One dialog class for every dialog of the program: it builds its widgets from the model's
// resource, forwards each user action to the model as a ControlEvent and redraws every control
// from the model after each one.
//
// Layout: controls sit on the resource's grid of rows and columns. A group box frames the
// controls whose cell lies inside its span; they are laid out on the box's own grid, relative
// to its first row and column. Check boxes send Toggle, buttons and radio buttons Click, edits
// TextEdited (user typing only), scroll bars the scroll code of the user's action (repeated
// while the mouse holds an arrow) followed by EndScroll when it is let go, drawing areas Mouse.
#include <QDialog>
#include <map>

#include "core/dialog.h"

class QButtonGroup;
class QGridLayout;
class QScrollBar;

namespace kvr::gui {

class ResourceDialog : public QDialog {
    Q_OBJECT
  public:
    ResourceDialog(DialogModel& model, QWidget* parent);

    DialogModel& model() { return model_; }
    // The widget of control `id`, or nullptr.
    QWidget* control(int id) const;
    // Rewrites the caption and every control from the model.
    void render();
    // Sends one event to the model as the user would (tests and the widgets use it).
    void send(const ControlEvent& event);
    // The model ended the dialog: a modal one returns from exec(), a modeless one closes.
    bool finished_by_model() const { return finished_; }

  signals:
    void model_ended();

  public slots:
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void build();
    QWidget* make_control(const ControlDesc& c);
    // The control with its unit after it (a label named "unit"), as one grid cell.
    QWidget* with_unit(QWidget* control, const std::string& unit);
    void place(QGridLayout& grid, QWidget* w, const ControlDesc& c, int row0, int col0);
    void connect_scroll_bar(QScrollBar* bar, int id);
    void apply(int id, const ControlState& s);
    void finish();

    DialogModel& model_;
    std::map<int, QWidget*> controls_;
    std::map<int, QButtonGroup*> radio_groups_;
    int typing_in_ = -1;  // edit whose text the user is changing: not rewritten under the cursor
    bool finished_ = false;
    // Scroll bars the left mouse button holds down, with the control id once a step has been
    // sent (0 before): their end of scroll comes on release.
    std::map<QObject*, int> held_bars_;
};

}  // namespace kvr::gui
