// The main frame: caption, menus, accelerators, tool bar, hints, About, Help and Exit.
#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <set>

#include "core/command_layout.h"
#include "core/program.h"
#include "gui/help_viewer.h"
#include "gui/image_view.h"
#include "gui/main_frame.h"
#include "gui/qt_host.h"
#include "gui/resource_dialog.h"
#include "gui_test_support.h"

namespace kvr::gui::test {

namespace {

// The visible tool-bar buttons' commands, left to right.
std::vector<int> visible_tools(const MainFrame& frame) {
    std::vector<int> ids;
    for (QAction* a : frame.tool_bar()->actions())
        if (a->isVisible() && a->data().isValid()) ids.push_back(a->data().toInt());
    return ids;
}

void show_active(MainFrame& frame) {
    frame.show();
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
}

}  // namespace

class FrameTest : public QObject {
    Q_OBJECT
  private slots:
    void starts_untitled_at_its_size() {
        Session s;
        QCOMPARE(s.frame.windowTitle(), QStringLiteral("KVR_Q4_USB"));
        QCOMPARE(s.frame.size(), QSize(750, 500));
        QCOMPARE(s.frame.pos(), QPoint(0, 0));
    }

    void file_menu_is_the_listed_one() {
        Session s;
        const QList<QAction*> menus = s.frame.menuBar()->actions();
        QVERIFY(!menus.isEmpty());
        QCOMPARE(menus.first()->text(), QStringLiteral("&File"));
        QStringList texts;
        QList<int> ids;
        for (QAction* a : menus.first()->menu()->actions()) {
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
            ids << (a->isSeparator() ? 0 : a->data().toInt());
        }
        const QStringList want_texts = {"&Open...\tCTL+O",
                                        "&Save...\tCTL+S",
                                        "Save as &Tiff file...",
                                        "S&ave as FITS file...",
                                        "&Quick Save as FITS...\tCtl+Q ",
                                        "-",
                                        "&Delete File...",
                                        "&Load/Edit AutoSave FITS text",
                                        "Select Dark &Frame...",
                                        "Select Auto-Flat File...",
                                        "Load Comparison Image",
                                        "-",
                                        "Set Program Defa&ults",
                                        "KVR Q4 Camera &Interface\tCTL+Z",
                                        "AutoGuider Camera \tCTL+G",
                                        "Pic&k Guide Star\tCTL+P",
                                        "Focus Frame Centre\tCTL+W",
                                        "Default Focus Frame Centre",
                                        "-",
                                        "Train Auto-Guiding",
                                        "Start Auto-Guiding",
                                        "Telescope &Control",
                                        "-",
                                        "P&rint setup...",
                                        "&Print...",
                                        "-",
                                        "E&xit"};
        const QList<int> want_ids = {24332, 24333, 24334, 24335, 24336, 0,   13,  19, 104,
                                     122,   124,   0,     121,   12,    27,  21,  25, 26,
                                     0,     22,    23,    24,    0,     114, 116, 0,  24310};
        QCOMPARE(texts, want_texts);
        QCOMPARE(ids, want_ids);
    }

    void every_command_has_a_place_and_shows_whether_it_can_run() {
        Session s;
        for (Cmd id : s.p.commands.ids()) {
            QAction* a = s.frame.menu_action(id);
            if (!a) a = s.frame.tool_action(id);
            if (!a) {
                QVERIFY2(s.p.commands.internal(id), qPrintable(QString::number(id_of(id))));
                continue;
            }
            // Never hidden: a command that cannot run is greyed out. (Of the two stretch
            // buttons one is always off the bar.)
            if (s.frame.menu_action(id)) QVERIFY(s.frame.menu_action(id)->isVisible());
            if (!a->isVisible()) continue;
            QVERIFY2(a->isEnabled() == s.p.commands.enabled(s.p, id),
                     qPrintable(QString::number(id_of(id))));
        }
        QVERIFY(s.frame.menu_action(Cmd::About)->isEnabled());  // help_about has its handler
        QCOMPARE(s.frame.menu_action(Cmd::FileOpen)->isEnabled(),
                 s.p.commands.available(Cmd::FileOpen));
    }

    void accelerator_runs_its_command() {
        Session s;
        show_active(s.frame);
        QVERIFY(s.frame.isVisible());
        QTest::keyClick(&s.frame, Qt::Key_X, Qt::AltModifier);
        QVERIFY(s.p.exit_requested);
        QVERIFY(!s.frame.isVisible());
    }

    void accelerator_of_missing_command_says_so() {
        Session s;
        show_active(s.frame);
        s.p.commands.find(Cmd::Histogram)->handler =
            nullptr;  // the histogram, as before its subsystem
        QTest::keyClick(&s.frame, Qt::Key_H, Qt::ControlModifier);
        QVERIFY(s.frame.hint_bar()->currentMessage().contains(QStringLiteral("not available")));
    }

    void tool_bar_in_order_with_telescope_only_when_driven() {
        Session s;
        const std::vector<int> without_scope = {24333, 24335, 24332, 12,  27,  1901, 726, 121, 14,
                                                1,     117,   2,     120, 106, 3,    110, 115, 111};
        QVERIFY(visible_tools(s.frame) == without_scope);
        s.p.scope.telescope = 'l';
        s.frame.refresh_commands();
        std::vector<int> with_scope = without_scope;
        with_scope.push_back(24);
        QVERIFY(visible_tools(s.frame) == with_scope);
        for (int id : with_scope)
            QVERIFY(!s.frame.tool_action(static_cast<Cmd>(id))->icon().isNull());
    }

    void hints_show_in_the_status_bar_at_the_top_or_bottom() {
        Session s;
        show_active(s.frame);
        QVERIFY(s.frame.hint_bar()->mapTo(&s.frame, QPoint()).y() <
                s.frame.image_view()->mapTo(&s.frame, QPoint()).y());
        s.frame.tool_action(Cmd::CameraControl)->showStatusText(s.frame.tool_bar());
        QCOMPARE(s.frame.hint_bar()->currentMessage(), QStringLiteral("Main Camera Control"));

        s.p.shell.ToolHelpPosTop = 0;
        MainFrame bottom(s.p, s.host);
        bottom.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bottom));
        QVERIFY(bottom.hint_bar()->mapTo(&bottom, QPoint()).y() >
                bottom.image_view()->mapTo(&bottom, QPoint()).y());
    }

    void about_box_is_a_resource_dialog() {
        Session s;
        QString title, body;
        when_modal([&](QWidget* w) {
            auto* d = qobject_cast<ResourceDialog*>(w);
            QVERIFY(d);
            title = d->windowTitle();
            for (QLabel* l : d->findChildren<QLabel*>()) body += l->text() + '\n';
            d->send([] {
                ControlEvent ok;
                ok.id = kIdcOk;
                return ok;
            }());
        });
        s.frame.run_command(Cmd::About);
        QCOMPARE(title, QStringLiteral("About KVR_Q4"));
        QVERIFY(body.contains(QStringLiteral("Version 1.0.0")));
        QVERIFY(!QApplication::activeModalWidget());
    }

    void info_shows_a_numbered_message_box() {
        Session s;
        std::snprintf(s.p.shell.process_info[0], kHistoryLineBytes, "Normal Stretch");
        QString caption, text;
        when_modal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            caption = box->windowTitle();
            text = box->text();
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            box->button(QMessageBox::Ok)->click();
        });
        s.frame.run_command(Cmd::ProcessingHistory);
        QCOMPARE(caption, QStringLiteral("KVR_Q4"));
        QCOMPARE(text, QStringLiteral("Normal Stretch \n"));
    }

    void help_opens_the_shipped_page_at_its_contents() {
        Session s;
        s.frame.run_command(Cmd::Help);
        HelpViewer* help = s.host.help_viewer();
        QVERIFY(help && help->isVisible());
        QVERIFY(help->browser()->source().toLocalFile().endsWith(QStringLiteral("kvr_q4.html")));
        QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("Contents")));
    }

    void closing_the_window_is_exit() {
        Session s;
        s.frame.show();
        s.frame.close();
        QVERIFY(s.p.exit_requested);
    }
};

KVR_GUI_SUITE(FrameTest);

}  // namespace kvr::gui::test

#include "frame_test.moc"
