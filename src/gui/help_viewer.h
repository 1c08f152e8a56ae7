#pragma once
// The program's help page in a window of its own, opened at its contents.
#include <QWidget>

class QTextBrowser;

namespace kvr::gui {

class HelpViewer : public QWidget {
    Q_OBJECT
  public:
    explicit HelpViewer(QWidget* parent);
    // False when the page cannot be read.
    bool open_contents(const QString& path);
    QTextBrowser* browser() const { return browser_; }

  private:
    QTextBrowser* browser_;
};

}  // namespace kvr::gui
