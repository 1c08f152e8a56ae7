#pragma once
// Printing the window's picture through Qt's print dialogs. In the Qt front end these replace
// the external print program's commands: "P&rint setup..." (114) chooses the printer and page,
// "&Print..." (116) prints the picture scaled to the page.
#include <QPrinter>

class QWidget;

namespace kvr {
struct Program;
}

namespace kvr::gui {

class PressWatch;

class PicturePrinter {
  public:
    PicturePrinter(Program& p, PressWatch& watch, QWidget* parent);
    // Attaches the two print commands to the command table.
    void attach_commands();
    void setup();
    void print();
    // Prints the picture on `printer` without asking; false when there is no picture.
    bool print_to(QPrinter& printer) const;
    QPrinter& printer() { return printer_; }

  private:
    Program& p_;
    PressWatch& watch_;
    QWidget* parent_;
    QPrinter printer_;
};

}  // namespace kvr::gui
