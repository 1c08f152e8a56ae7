#pragma once
// Shared pieces of the GUI tests: a fresh session on a temporary drive root, and answering
// modal windows while the action that opened them waits in exec().
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "gui/gui_session.h"

namespace kvr::gui::test {

// A session like the program's own start-up: simulated camera, virtual clock, empty drives.
struct Session {
    // A real clock where a test needs time to pass while events arrive.
    explicit Session(bool virtual_clock = true);
    QTemporaryDir drives;
    std::unique_ptr<GuiSession> session;
    Program& p;
    MainFrame& frame;
    QtHost& host;
};

// Calls `act` with the next modal window that opens (polling every few milliseconds for up to
// five seconds); the caller then runs the action that opens it.
void when_modal(std::function<void(QWidget*)> act);
// The same for a sequence of modal windows, one after the other. A modal window still open when
// the sequence has waited five seconds for its next step is closed, so a test cannot hang.
void when_modals(std::vector<std::function<void(QWidget*)>> acts);
// True once `done` holds, processing events meanwhile (at most `timeout_ms`).
bool wait_until(const std::function<bool()>& done, int timeout_ms = 5000);

// Registers a test class with the runner of this executable.
using Factory = std::function<QObject*()>;
int register_suite(const char* name, Factory make);

#define KVR_GUI_SUITE(Class) \
    static const int kvr_suite_##Class = register_suite(#Class, [] { return new Class; })

}  // namespace kvr::gui::test
