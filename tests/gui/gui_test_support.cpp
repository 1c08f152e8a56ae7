#include "gui_test_support.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <map>
#include <string>

#include "core/program.h"
#include "gui/main_frame.h"
#include "headless/device_choice.h"

namespace kvr::gui::test {

namespace {

LaunchOptions test_options(const QString& drives, bool virtual_clock) {
    LaunchOptions o;
    o.camera = "sim";
    o.virtual_clock = virtual_clock;
    o.drive_root = drives.toStdString();
    return o;
}

std::map<std::string, Factory>& suites() {
    static std::map<std::string, Factory> all;
    return all;
}

}  // namespace

Session::Session(bool virtual_clock)
    : session(std::make_unique<GuiSession>(test_options(drives.path(), virtual_clock),
                                           make_device_enumerator)),
      p(session->program()),
      frame(session->frame()),
      host(session->host()) {}

void when_modal(std::function<void(QWidget*)> act) {
    when_modals({std::move(act)});
}

void when_modals(std::vector<std::function<void(QWidget*)>> acts) {
    struct Sequence {
        std::vector<std::function<void(QWidget*)>> acts;
        size_t next = 0;
        QPointer<QWidget> last;
        QElapsedTimer waited;
    };
    auto seq = std::make_shared<Sequence>();
    seq->acts = std::move(acts);
    seq->waited.start();
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, seq] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool fresh = modal && (modal != seq->last || !seq->last->isVisible());
        if (fresh && seq->next < seq->acts.size()) {
            seq->last = modal;
            seq->waited.restart();
            // Run the step from the event queue: a step that opens a further modal window
            // blocks in it, and this poll must stay free to answer that window too.
            QPointer<QWidget> target = modal;
            QMetaObject::invokeMethod(
                qApp,
                [seq, target, step = seq->next++] {
                    if (target) seq->acts[step](target);
                },
                Qt::QueuedConnection);
            return;
        }
        const bool all_sent = seq->next == seq->acts.size();
        if (all_sent && (!seq->last || !seq->last->isVisible())) {
            poll->stop();  // the last step's window has closed: the sequence is over
            poll->deleteLater();
            return;
        }
        if (fresh && all_sent) {
            // A window no step expected, opened from the last step: say so and close it.
            qWarning("closing an unexpected modal window: %s", qPrintable(modal->windowTitle()));
            modal->close();
            return;
        }
        if (seq->waited.elapsed() < 5000) return;
        if (modal) {
            qWarning("closing a modal window no test step answered: %s",
                     qPrintable(modal->windowTitle()));
            modal->close();
        }
        poll->stop();
        poll->deleteLater();
    });
    poll->start(5);
}

bool wait_until(const std::function<bool()>& done, int timeout_ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeout_ms) return false;
        QTest::qWait(5);
    }
    return true;
}

int register_suite(const char* name, Factory make) {
    suites()[name] = std::move(make);
    return 0;
}

}  // namespace kvr::gui::test

// kvr_gui_tests [SUITE] [Qt Test options]: every suite, or the one named first.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const auto& all = kvr::gui::test::suites();
    std::string only;
    if (argc > 1 && all.count(argv[1])) {
        only = argv[1];
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    int failed = 0;
    for (const auto& [name, make] : all) {
        if (!only.empty() && name != only) continue;
        std::unique_ptr<QObject> suite(make());
        failed += QTest::qExec(suite.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
