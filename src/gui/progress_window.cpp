#include "gui/progress_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

#include "core/shell_state.h"

namespace kvr::gui {

ProgressWindow::ProgressWindow(QWidget* parent) : QDialog(parent), bar_(new QProgressBar) {
    setObjectName(QStringLiteral("dialog6"));
    setModal(false);
    bar_->setRange(0, kProgressMax);
    bar_->setTextVisible(false);
    bar_->setMinimumWidth(220);
    auto* row = new QHBoxLayout(this);
    row->addWidget(new QLabel(QStringLiteral("0%")));
    row->addWidget(bar_, 1);
    row->addWidget(new QLabel(QStringLiteral("100%")));
}

void ProgressWindow::start(const QString& title) {
    setWindowTitle(title);
    bar_->setValue(0);
    show();
    raise();
}

void ProgressWindow::set_position(int position) {
    bar_->setValue(std::clamp(position, 0, kProgressMax));
}

int ProgressWindow::position() const {
    return bar_->value();
}

}  // namespace kvr::gui
