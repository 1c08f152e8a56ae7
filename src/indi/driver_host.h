#pragma once
// The Host of the INDI driver. Nobody sits at the driver: message boxes become log lines for the
// INDI clients (a question gets its cautious answer), dialogs are cancelled, file dialogs refused,
// and nothing is drawn; a pump sees no presses (an abort reaches the exposures directly).
#include <functional>
#include <string>

#include "core/host.h"

namespace kvr::indi {

class DriverHost : public Host {
  public:
    // `log` receives every text the program would have shown, on the program's thread.
    explicit DriverHost(std::function<void(const std::string&)> log) : log_(std::move(log)) {}

    int message_box(const MessageBox& box) override;
    void progress_open(std::string_view) override {}
    void progress_update(int, const std::string*) override {}
    void progress_close() override {}
    void info_open(std::string_view) override {}
    void info_update(const InfoWindowView&) override {}
    void info_close() override {}
    Presses pump() override { return {}; }
    int run_modal(DialogModel& dialog) override;
    void open_modeless(DialogModel&) override {}
    void close_modeless(DialogModel&) override {}
    void refresh_dialog(DialogModel&) override {}
    std::optional<FileDialogResult> file_dialog(const FileDialogRequest&) override {
        return std::nullopt;
    }
    void repaint() override {}
    void set_caption(std::string_view) override {}
    void beep() override {}
    void set_wait_cursor(bool) override {}
    bool start_program(std::string_view) override { return false; }
    bool show_help() override { return false; }
    void diagnostic(std::string_view text) override { log_(std::string(text)); }

  private:
    std::function<void(const std::string&)> log_;
};

}  // namespace kvr::indi
