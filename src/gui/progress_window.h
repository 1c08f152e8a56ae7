#pragma once
// The progress window ("Filter Progress", resource 6): a bar from 0 to 256 between "0%" and
// "100%", titled with the running operation. Modeless; only the operation's own loop moves it.
#include <QDialog>

class QProgressBar;

namespace kvr::gui {

class ProgressWindow : public QDialog {
    Q_OBJECT
  public:
    explicit ProgressWindow(QWidget* parent);
    void start(const QString& title);
    void set_position(int position);
    int position() const;

  private:
    QProgressBar* bar_;
};

}  // namespace kvr::gui
