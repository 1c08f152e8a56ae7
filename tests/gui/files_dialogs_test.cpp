// The dialogs of the files subsystem drawn by the generic resource dialog: FITS DETAILS,
// Set Program Defaults, the delete dialog and the select-file dialog before it.
#include <QAbstractButton>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include "core/drive_paths.h"
#include "core/program.h"
#include "gui/main_frame.h"
#include "gui/resource_dialog.h"
#include "gui_test_support.h"

namespace kvr::gui::test {

namespace {

ResourceDialog* as_dialog(QWidget* w, const char* title) {
    auto* d = qobject_cast<ResourceDialog*>(w);
    if (!d || d->windowTitle() != QLatin1String(title)) {
        qWarning("expected the dialog \"%s\", got \"%s\"", title,
                 w ? qPrintable(w->windowTitle()) : "nothing");
        if (w) w->close();
        return nullptr;
    }
    return d;
}

void click(ResourceDialog* d, int id) {
    QTest::mouseClick(d->control(id), Qt::LeftButton, {}, QPoint(6, d->control(id)->height() / 2));
}

void retype(ResourceDialog* d, int id, const QString& text) {
    auto* e = qobject_cast<QLineEdit*>(d->control(id));
    e->selectAll();
    QTest::keyClicks(e, text);
}

void ok_box(QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) box->button(QMessageBox::Ok)->click();
}

}  // namespace

class FilesDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void fits_details_edits_the_header_texts() {
        Session s;
        std::snprintf(s.p.settings.FITS_Obj, sizeof s.p.settings.FITS_Obj, "M31");
        s.p.settings.FITS_Diff = 0;
        QString shown_object, shown_hours;
        when_modal([&](QWidget* w) {
            ResourceDialog* d = as_dialog(w, "FITS DETAILS");
            if (!d) return;
            shown_object = qobject_cast<QLineEdit*>(d->control(101))->text();
            retype(d, 101, QStringLiteral("M42 Orion"));
            auto* hours = qobject_cast<QScrollBar*>(d->control(111));
            hours->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            hours->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            shown_hours = qobject_cast<QLineEdit*>(d->control(112))->text();
            click(d, 108);  // 8 bit
            click(d, kIdcOk);
        });
        s.frame.run_command(Cmd::ViewFitsText);
        QCOMPARE(shown_object, QStringLiteral("M31"));
        QCOMPARE(shown_hours, QStringLiteral("2"));
        QCOMPARE(QString::fromLatin1(s.p.settings.FITS_Obj), QStringLiteral("M42 Orion"));
        QCOMPARE(s.p.settings.FITS_Diff, 2);
        QCOMPARE(s.p.readout.eightbit, 1);
    }

    void program_defaults_choose_the_telescope_and_save() {
        Session s;
        const QString ini =
            QString::fromStdString(map_drive_path(s.p.drive_root, "c:\\autosave\\KVR_Q4.INI"));
        QFile::remove(ini);
        QVERIFY(!s.frame.tool_action(Cmd::TelescopeControl)->isVisible());
        bool saw_dialog = false;
        when_modals({ok_box,  // no settings file yet: it is reported and written with defaults
                     [&](QWidget* w) {
                         ResourceDialog* d = as_dialog(w, "Set Program Defaults");
                         if (!d) return;
                         saw_dialog = true;
                         QVERIFY(qobject_cast<QRadioButton*>(d->control(17129))->isChecked());
                         click(d, 17127);  // Meade LX200
                         QVERIFY(qobject_cast<QRadioButton*>(d->control(17127))->isChecked());
                         QVERIFY(!qobject_cast<QRadioButton*>(d->control(17129))->isChecked());
                         click(d, kIdcOk);
                     }});
        s.frame.run_command(Cmd::ProgramDefaults);
        QVERIFY(saw_dialog);
        QCOMPARE(s.p.scope.telescope, 'l');
        QVERIFY(QFile::exists(ini));
        QVERIFY(
            s.frame.tool_action(Cmd::TelescopeControl)->isVisible());  // the telescope button comes
    }

    void delete_asks_for_the_file_then_confirms() {
        Session s;
        QTemporaryDir dir;
        const QString doomed = dir.filePath(QStringLiteral("~OLD.QX"));
        {
            QFile f(doomed);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x");
        }
        QString confirm_text;
        when_modals(
            {[&](QWidget* w) {
                 auto* chooser = qobject_cast<QFileDialog*>(w);
                 QVERIFY(chooser);
                 chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(doomed);
                 QMetaObject::invokeMethod(chooser, "accept");
             },
             [&](QWidget* w) {
                 ResourceDialog* d = as_dialog(w, "DELETE FILE DIALOG");
                 if (!d) return;
                 confirm_text = qobject_cast<QLineEdit*>(d->control(101))->text();
                 click(d, kIdcOk);
             }});
        s.frame.run_command(Cmd::FileDelete);
        QVERIFY(confirm_text.endsWith(QStringLiteral("~OLD.QX")));
        QVERIFY(!QFile::exists(doomed));
    }
};

KVR_GUI_SUITE(FilesDialogsTest);

}  // namespace kvr::gui::test

#include "files_dialogs_test.moc"
