#pragma once
// The Host of the INDI driver. Nobody sits at the driver: message boxes become log lines for the
// INDI clients (and are answered OK), dialogs are cancelled, file dialogs refused, and nothing
// is drawn. A pump reports a stop while the driver has been asked to abort.
#include <atomic>
#include <functional>
#include <string>

#include "core/host.h"

namespace kvr::indi {

class DriverHost : public Host {
  public:
    // `log` receives every text the program would have shown, on the program's thread.
    explicit DriverHost(std::function<void(const std::string&)> log) : log_(std::move(log)) {}

    void request_stop(bool on) { stop_ = on; }

    int message_box(const MessageBox& box) override;
    void progress_open(std::string_view) override {}
    void progress_update(int, const std::string*) override {}
    void progress_close() override {}
    void info_open(std::string_view) override {}
    void info_update(const InfoWindowView&) override {}
    void info_close() override {}
    Presses pump() override;
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
    std::atomic<bool> stop_ = false;
};

}  // namespace kvr::indi
