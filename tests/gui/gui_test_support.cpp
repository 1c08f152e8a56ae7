#include "gui_test_support.h"

#include <QElapsedTimer>
#include <QTest>
#include <map>
#include <string>

#include "app/program.h"
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
    auto* poll = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, [poll, started, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && started->elapsed() < 5000) return;
        poll->stop();
        poll->deleteLater();
        if (modal) act(modal);
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

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    for (const auto& [name, make] : kvr::gui::test::suites()) {
        std::unique_ptr<QObject> suite(make());
        failed += QTest::qExec(suite.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
