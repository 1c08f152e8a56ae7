#include "gui/help_viewer.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace kvr::gui {

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser) {
    setObjectName(QStringLiteral("help"));
    setWindowTitle(QStringLiteral("KVR_Q4 Help"));
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(640, 560);
}

bool HelpViewer::open_contents(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isReadable()) return false;
    browser_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    if (browser_->document()->isEmpty()) return false;
    browser_->scrollToAnchor(QStringLiteral("contents"));
    show();
    raise();
    activateWindow();
    return true;
}

}  // namespace kvr::gui
