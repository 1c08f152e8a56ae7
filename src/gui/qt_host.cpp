#include "gui/qt_host.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>

#include "core/dialog.h"
#include "core/display_state.h"
#include "gui/help_viewer.h"
#include "gui/image_view.h"
#include "gui/info_window.h"
#include "gui/main_frame.h"
#include "gui/press_watch.h"
#include "gui/progress_window.h"
#include "gui/resource_dialog.h"
#include "gui/window_placement.h"

namespace kvr::gui {

namespace {

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QMessageBox::StandardButtons standard_buttons(BoxButtons b) {
    switch (b) {
        case BoxButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case BoxButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case BoxButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case BoxButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon box_icon(BoxIcon i) {
    switch (i) {
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Warning:
            return QMessageBox::Warning;
        case BoxIcon::Stop:
            return QMessageBox::Critical;
        case BoxIcon::Question:
            return QMessageBox::Question;
        case BoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

int box_result(int button) {
    switch (button) {
        case QMessageBox::Cancel:
            return kIdCancel;
        case QMessageBox::Yes:
            return kIdYes;
        case QMessageBox::No:
            return kIdNo;
        default:
            return kIdOk;
    }
}

// "FITS files" + "*.FIT" → "FITS files (*.FIT)". Qt reads the patterns from the last pair of
// brackets, so a description that has brackets of its own gets the pattern appended.
QString name_filter(const std::pair<std::string, std::string>& f) {
    QString patterns = qs(f.second);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    const QString description = qs(f.first);
    if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')'))) return description;
    return description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

}  // namespace

QtHost::QtHost(PressWatch& watch, std::string help_path)
    : watch_(watch), help_path_(std::move(help_path)) {}

QtHost::~QtHost() = default;

void QtHost::attach(MainFrame* frame) {
    frame_ = frame;
    watch_.set_main_window(frame);
    if (frame_) frame_->setWindowTitle(qs(caption_));
}

QWidget* QtHost::window_parent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return frame_;
}

ResourceDialog* QtHost::dialog_window(const DialogModel& model) const {
    auto it = dialogs_.find(&model);
    return it == dialogs_.end() ? nullptr : static_cast<ResourceDialog*>(it->second.data());
}

ProgressWindow* QtHost::progress_window() const {
    return progress_ && progress_->isVisible() ? progress_.data() : nullptr;
}

InfoWindow* QtHost::info_window() const {
    return info_ && info_->isVisible() ? info_.data() : nullptr;
}

HelpViewer* QtHost::help_viewer() const {
    return help_.data();
}

int QtHost::message_box(const MessageBox& box) {
    QMessageBox mb(box_icon(box.icon), qs(box.caption), qs(box.text), standard_buttons(box.buttons),
                   window_parent());
    mb.setTextFormat(Qt::PlainText);
    if (box.code >= 0) mb.setObjectName(QStringLiteral("message%1").arg(box.code));
    ModalScope modal(watch_);
    return box_result(mb.exec());
}

void QtHost::progress_open(std::string_view title) {
    if (!progress_) progress_ = new ProgressWindow(frame_);
    progress_->start(qs(title));
}

void QtHost::progress_update(int position, const std::string* new_title) {
    if (!progress_) return;
    progress_->set_position(position);
    if (new_title) progress_->setWindowTitle(qs(*new_title));
}

void QtHost::progress_close() {
    if (progress_) progress_->hide();
}

void QtHost::info_open(std::string_view caption) {
    if (!info_) info_ = new InfoWindow(frame_);
    info_->setWindowTitle(qs(caption));
    if (info_->isVisible()) return;
    info_->show();
    place_window(*info_);
}

void QtHost::info_update(const InfoWindowView& view) {
    if (info_) info_->show_values(view);
}

void QtHost::info_close() {
    if (info_) info_->hide();
}

Presses QtHost::pump() {
    return watch_.pump();
}

void QtHost::keep_alive() {
    watch_.keep_alive();
}

void QtHost::show_status(std::string_view text) {
    if (frame_) frame_->show_status(qs(text));
}

void QtHost::show_pointer(std::string_view text) {
    if (frame_) frame_->show_pointer(qs(text));
}

int QtHost::run_modal(DialogModel& model) {
    ResourceDialog dialog(model, window_parent());
    dialogs_[&model] = &dialog;
    model.init();
    dialog.render();
    {
        ModalScope modal(watch_);
        dialog.exec();
    }
    dialogs_.erase(&model);
    if (!model.ended()) model.end(kIdCancel);
    return model.result();
}

void QtHost::open_modeless(DialogModel& model) {
    model.reopen();
    if (ResourceDialog* open = dialog_window(model)) {
        open->render();
        open->raise();
        return;
    }
    auto* dialog = new ResourceDialog(model, frame_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialogs_[&model] = dialog;
    // The window goes when the model ends it; the model itself belongs to the core.
    QObject::connect(dialog, &ResourceDialog::model_ended, dialog, [this, dialog, m = &model] {
        forget(m, dialog);
        dialog->close();
    });
    // Closed from elsewhere (the application quitting): forget it once it is gone.
    QObject::connect(dialog, &QObject::destroyed,
                     [this, m = &model](QObject* gone) { forget(m, gone); });
    model.init();
    dialog->render();
    dialog->show();
    place_window(*dialog);
}

void QtHost::place_window(QWidget& window) const {
    if (frame_ && frame_->isVisible()) place_beside(window, *frame_->image_view());
}

void QtHost::close_modeless(DialogModel& model) {
    ResourceDialog* dialog = dialog_window(model);
    if (!dialog) return;
    forget(&model, dialog);
    if (!model.ended()) model.end(kIdCancel);
    dialog->close();
}

void QtHost::forget(const DialogModel* model, const QObject* window) {
    // A model reopened at once has a new window by the time the old one is deleted.
    auto it = dialogs_.find(model);
    if (it != dialogs_.end() && (it->second.isNull() || it->second.data() == window))
        dialogs_.erase(it);
}

void QtHost::refresh_dialog(DialogModel& model) {
    if (ResourceDialog* dialog = dialog_window(model)) dialog->render();
}

std::optional<FileDialogResult> QtHost::file_dialog(const FileDialogRequest& r) {
    QFileDialog dialog(window_parent(), qs(r.title), qs(r.initial_dir));
    dialog.setObjectName(QStringLiteral("file_dialog"));
    // Qt's own dialog: the filters and default extension behave alike on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(r.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters;
    for (const auto& f : r.filters) filters << name_filter(f);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = std::clamp(r.filter_index, 1, static_cast<int>(filters.size()));
        dialog.selectNameFilter(filters[index - 1]);
    }
    QString suffix = qs(r.default_extension);
    if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    // "*.FIT" as an initial name is a pattern, not a name.
    if (!r.initial_name.empty() && r.initial_name.find('*') == std::string::npos)
        dialog.selectFile(qs(r.initial_name));
    int accepted = 0;
    {
        ModalScope modal(watch_);
        accepted = dialog.exec();
    }
    if (accepted != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    FileDialogResult result;
    result.path = dialog.selectedFiles().first().toStdString();
    result.filter_index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (result.filter_index < 1) result.filter_index = r.filter_index;
    return result;
}

void QtHost::repaint() {
    if (frame_) frame_->repaint_image();
}

void QtHost::set_caption(std::string_view caption) {
    caption_ = caption;
    if (frame_) frame_->setWindowTitle(qs(caption));
}

void QtHost::beep() {
    QApplication::beep();
}

void QtHost::set_wait_cursor(bool busy) {
    if (busy) {
        ++wait_cursor_depth_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (wait_cursor_depth_ > 0) {
        --wait_cursor_depth_;
        QApplication::restoreOverrideCursor();
    }
}

bool QtHost::copy_image(const DisplayBitmap& picture) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || !picture.pixels || !picture.colours) return false;
    // The clipboard keeps its own copy: the core's buffer changes with the next refresh.
    QImage wrapped(picture.pixels, picture.width, picture.height, picture.stride,
                   QImage::Format_Indexed8);
    wrapped.setColorTable(QList<QRgb>(picture.colours, picture.colours + kPaletteEntries));
    clipboard->setImage(wrapped.copy());
    return true;
}

bool QtHost::start_program(std::string_view command_line) {
    return QProcess::startDetached(QStringLiteral("/bin/sh"),
                                   {QStringLiteral("-c"), qs(command_line)});
}

bool QtHost::show_help() {
    if (!help_) help_ = new HelpViewer(frame_);
    return help_->open_contents(QString::fromStdString(help_path_));
}

void QtHost::diagnostic(std::string_view text) {
    if (frame_) frame_->show_status(qs(text));
}

}  // namespace kvr::gui
