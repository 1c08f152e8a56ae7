#pragma once
// Dialogs: a resource description (what controls exist and where) and a model (what they do).
// Handlers change program state; the model renders every control from state at any time. The
// Qt front end builds widgets from the resource and forwards events; the script host sends the
// same events from a script.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kvr {

struct Program;
struct Canvas;

enum class ControlKind {
    Button,
    DefaultButton,
    CheckBox,
    Radio,
    Edit,
    Static,
    ScrollBar,
    DrawArea,
    GroupBox
};

struct ControlDesc {
    int id = -1;  // -1 for static texts and group boxes that nothing refers to
    ControlKind kind = ControlKind::Static;
    std::string caption;
    int group = 0;  // radio group (radios of one group exclude each other)
    // Placement on a grid of rows and columns, in the resource's own layout.
    int row = 0, col = 0, row_span = 1, col_span = 1;
    bool horizontal = true;     // scroll bars
    bool read_only = false;     // edits used only to show values
    int width = 0, height = 0;  // drawing areas: size in pixels
    // The unit of the value an edit shows, written after it ("px", "ms"); not part of its text.
    std::string unit = {};
};

struct DialogResource {
    int id = 0;
    std::string caption;
    bool modal = true;
    std::vector<ControlDesc> controls;

    const ControlDesc* control(int control_id) const;
};

// Short forms for writing resources: a control at (row, col) spanning `col_span` columns.
namespace resource_builders {
ControlDesc ctl(int id, ControlKind kind, const char* caption, int row, int col, int col_span = 1);
ControlDesc label(const char* caption, int row, int col, int col_span = 1);
ControlDesc radio(int id, const char* caption, int group, int row, int col);
ControlDesc bar(int id, bool horizontal, int row, int col, int row_span, int col_span);
// The control with the unit of its value written after it.
ControlDesc in_unit(ControlDesc c, const char* unit);
}  // namespace resource_builders

// Standard control ids of the platform.
inline constexpr int kIdcOk = 1;
inline constexpr int kIdcCancel = 2;

enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, ThumbPosition, EndScroll };

struct ControlEvent {
    enum class Kind { Click, Toggle, TextEdited, Scroll, Mouse };
    Kind kind = Kind::Click;
    int id = 0;
    std::string text;                           // TextEdited
    ScrollCode scroll = ScrollCode::EndScroll;  // Scroll
    int position = 0;                           // Scroll ThumbPosition
    int x = 0, y = 0, button = 0;  // Mouse on a drawing area: button 1 left, 2 right, 0 a move
};

struct ControlState {
    std::string text;  // caption or edit text
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    int min = 0, max = 100, pos = 0;  // scroll bars
    bool cross_cursor = false;        // draw areas: a click there picks a point
};

using DialogView = std::map<int, ControlState>;

class DialogModel {
  public:
    DialogModel(Program& p, const DialogResource& resource) : p_(p), res_(resource) {}
    virtual ~DialogModel() = default;

    const DialogResource& resource() const { return res_; }
    // Called once when the window opens (before the first render).
    virtual void init() {}
    // One user event. Handlers change state and may end the dialog.
    virtual void handle(const ControlEvent& event) = 0;
    // The state of every control that has an id; controls not mentioned keep their resource
    // caption and are enabled.
    virtual void render(DialogView& view) const { (void)view; }
    virtual std::string caption() const { return res_.caption; }
    // Picture of a drawing area, or nullptr when it has none.
    virtual const Canvas* drawing(int control_id) const {
        (void)control_id;
        return nullptr;
    }

    bool ended() const { return ended_; }
    int result() const { return result_; }
    // Ends a modal dialog with a result (kIdOk, kIdCancel, ...), or closes a modeless one.
    void end(int result) {
        ended_ = true;
        result_ = result;
    }
    // Reopening a modeless window starts it fresh.
    void reopen() { ended_ = false; }
    DialogView view() const;

  protected:
    Program& p_;
    const DialogResource& res_;

  private:
    bool ended_ = false;
    int result_ = 0;
};

// The About box (resource 15).
const DialogResource& about_resource();
class AboutDialog : public DialogModel {
  public:
    explicit AboutDialog(Program& p) : DialogModel(p, about_resource()) {}
    void handle(const ControlEvent& event) override;
};

// A value as dialogs and information windows show it: "%1.1f".
std::string one_decimal(double v);
// A whole number as they show it: "%5d".
std::string five_wide(int v);

// The whole text of an edit as a decimal integer (blanks around it and a leading '+' allowed),
// or nothing.
std::optional<int> whole_number(const std::string& text);

}  // namespace kvr
