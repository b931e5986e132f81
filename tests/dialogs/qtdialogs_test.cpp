// The real Qt dialogs on the offscreen platform, played by timers that find
// the open dialog and work its widgets as a user would.
#include "commondlg.h"

#include "../support/tempdir.h"
#include "comdlgconsts.h"
#include "dialogevents.h"
#include "globalcomdlg.h"
#include "qtdialogbackend.h"
#include "scripteddialogbackend.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLineEdit>
#include <QListView>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

using namespace comdlg;

namespace {

bool waitFor(const std::function<bool()>& ready, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

/// Plays `user` on the dialog of type D once it is the open modal window.
template <class D> void whenOpen(std::function<void(D*)> user) {
    QTimer::singleShot(0, [user] {
        D* dialog = nullptr;
        if (waitFor([&] {
                dialog = qobject_cast<D*>(QApplication::activeModalWidget());
                return dialog && dialog->isVisible();
            }))
            user(dialog);
        else
            ADD_FAILURE() << "no such dialog";
        // A dialog the script left open, or did not find, would hang the test.
        if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << open->metaObject()->className() << " was left open";
            open->reject();
        }
    });
}

/// Presses a button of the dialog once it may be pressed.
void press(QDialog* dialog, QDialogButtonBox::StandardButton which) {
    const auto boxes = dialog->findChildren<QDialogButtonBox*>();
    for (QDialogButtonBox* box : boxes)
        if (QPushButton* b = box->button(which)) {
            EXPECT_TRUE(waitFor([b] { return b->isEnabled(); }));
            b->click();
            return;
        }
    ADD_FAILURE() << "no such button";
}

/// A folder with a template, a text file and a subfolder.
struct Files {
    Files() {
        dir.write("team.ert", "t");
        dir.write("notes.txt", "n");
        dir.write("sub/inner.ert", "i");
    }
    std::string path(const char* name = "") const { return name[0] ? dir.file(name) : dir.path(); }
    TempDir dir;
};

} // namespace

TEST(RealFileDialog, CancelIsError20001ReadOnlyComesBackAndSaveAsksNoQuestion) {
    Files f;
    QtDialogBackend qt;
    CommonDLG dlg(qt);
    dlg.setCancelError(true);
    dlg.setInitDir(f.path());
    whenOpen<QFileDialog>([](QFileDialog* d) { press(d, QDialogButtonBox::Cancel); });
    DlgResult<void> cancelled = dlg.ShowOpen();
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.error().number, 20001);

    // Without OFN_HIDEREADONLY the dialog has the read-only box.
    dlg.setFlags(OFN_READONLY);
    dlg.setFilterIndex(1);
    bool initiallyChecked = false;
    whenOpen<QFileDialog>([&](QFileDialog* d) {
        auto* box = d->findChild<QCheckBox*>("readOnlyCheck");
        ASSERT_NE(box, nullptr);
        initiallyChecked = box->isChecked();
        box->setChecked(true);
        d->findChild<QLineEdit*>("fileNameEdit")->setText("team.ert");
        press(d, QDialogButtonBox::Open);
    });
    ASSERT_TRUE(dlg.ShowOpen());
    EXPECT_TRUE(initiallyChecked);
    EXPECT_TRUE(dlg.flags() & OFN_READONLY);

    // Saving onto that file asks nothing and adds nothing to the name.
    dlg.setFilter("On Error Template|*.ert");
    dlg.setFlags(OFN_PATHMUSTEXIST);
    bool asked = false;
    whenOpen<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
        d->findChild<QLineEdit*>("fileNameEdit")->setText("team.ert");
        press(d, QDialogButtonBox::Save);
        // An overwrite question would be a modal box of its own.
        asked =
            QApplication::activeModalWidget() != nullptr && QApplication::activeModalWidget() != d;
    });
    ASSERT_TRUE(dlg.ShowSave());
    EXPECT_FALSE(asked);
    EXPECT_EQ(dlg.Filename(), f.path("team.ert"));
}

TEST(RealFileDialog, OpenShowsTheSettingsTellsTheHookedEventsAndARefusedNameKeepsItOpen) {
    Files f;
    CommonDLG dlg; // the backend a dialog object has unless told otherwise: Qt's
    dlg.setHookDialog(true);
    dlg.setDialogTitle("Pick");
    dlg.setInitDir(f.path());
    dlg.setFilter("On Error Template|*.ert|All Files|*.*");
    dlg.setFlags(OFN_FILEMUSTEXIST);
    DialogEvents events(dlg);
    events.refusals = 1;
    bool openAfterRefusal = false;
    QStringList shown; // title, folder and filters
    whenOpen<QFileDialog>([&](QFileDialog* d) {
        shown << d->windowTitle() << d->directory().absolutePath() << d->nameFilters();
        auto* list = d->findChild<QListView*>("listView");
        ASSERT_TRUE(waitFor([&] { return list->model()->rowCount(list->rootIndex()) >= 2; }));
        list->setCurrentIndex(list->model()->index(0, 0, list->rootIndex()));
        auto* types = d->findChild<QComboBox*>("fileTypeCombo");
        types->setFocus();
        QTest::keyClick(types, Qt::Key_Down);
        // Only the typed name is to count, not the row selected above.
        list->clearSelection();
        auto* name = d->findChild<QLineEdit*>("fileNameEdit");
        name->setText("sub");
        press(d, QDialogButtonBox::Open); // a folder: the dialog goes into it
        list->clearSelection();
        name->setText("inner.ert");
        press(d, QDialogButtonBox::Open); // refused by the handler
        openAfterRefusal = d->isVisible();
        press(d, QDialogButtonBox::Open);
    });
    ASSERT_TRUE(dlg.ShowOpen());
    EXPECT_EQ(shown, (QStringList{"Pick", QString::fromStdString(f.path()),
                                  "On Error Template (*.ert)", "All Files (*.*)"}));
    EXPECT_EQ(std::tuple(dlg.Filename(), dlg.FileTitle(), dlg.FilterIndex(), dlg.Filter()),
              std::tuple(f.path("sub/inner.ert"), "inner.ert", 2, withNuls("All Files\0*.*")));
    EXPECT_TRUE(openAfterRefusal);
    ASSERT_FALSE(events.names.empty());
    EXPECT_EQ(std::tuple(events.names.front(), events.names.back(), events.count("confirm")),
              std::tuple("init", "close", 2u));
}

TEST(RealColorDialog, TheColourGoesInAndComesBackUnlessCancelled) {
    QtDialogBackend qt;
    CommonDLG dlg(qt);
    dlg.setCancelError(true);
    dlg.setColor(0x00FF00);
    QColor shown;
    whenOpen<QColorDialog>([&](QColorDialog* d) {
        shown = d->currentColor();
        d->setCurrentColor(QColor(0x11, 0x22, 0x33));
        press(d, QDialogButtonBox::Ok);
    });
    ASSERT_TRUE(dlg.ShowColor());
    EXPECT_EQ(std::tuple(shown, dlg.Color()), std::tuple(QColor(0, 255, 0), 0x332211));

    whenOpen<QColorDialog>([](QColorDialog* d) { press(d, QDialogButtonBox::Cancel); });
    EXPECT_EQ(dlg.ShowColor().error().number, 20001);
}

TEST(RealFontDialog, TheFontGoesInInPointsAndComesBackChangedUnlessCancelled) {
    const QStringList families = QFontDatabase::families();
    ASSERT_FALSE(families.isEmpty());
    QtDialogBackend qt;
    CommonDLG dlg(qt);
    dlg.setFont(DlgFont{.Name = families.front().toStdString(), .Size = 12});
    int shownSize = 0;
    whenOpen<QFontDialog>([&](QFontDialog* d) {
        shownSize = d->currentFont().pointSize();
        QFont chosen = d->currentFont();
        chosen.setPointSize(14);
        chosen.setBold(true);
        chosen.setUnderline(true);
        d->setCurrentFont(chosen);
        press(d, QDialogButtonBox::Ok);
    });
    ASSERT_TRUE(dlg.ShowFont());
    EXPECT_EQ(std::tuple(shownSize, dlg.FontSize(), dlg.FontUnderline(), dlg.FontName()),
              std::tuple(12, 14, true, families.front().toStdString()));

    // A change made in the dialog and then cancelled comes back as nothing.
    dlg.setCancelError(true);
    whenOpen<QFontDialog>([](QFontDialog* d) {
        QFont other = d->currentFont();
        other.setPointSize(20);
        d->setCurrentFont(other);
        press(d, QDialogButtonBox::Cancel);
    });
    DlgResult<void> cancelled = dlg.ShowFont();
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(std::tuple(cancelled.error().number, dlg.FontSize()), std::tuple(20001, 14));
}

TEST(RealPrintDialog, TheCopiesComeBackAndACancelKeepsThem) {
    QtDialogBackend qt;
    CommonDLG dlg(qt);
    RecordingPrinter printer;
    dlg.setObject(&printer);
    whenOpen<QPrintDialog>([&](QPrintDialog* d) {
        auto* copies = d->findChild<QSpinBox*>("copies");
        ASSERT_NE(copies, nullptr);
        copies->setValue(3);
        // Past the Print button's checks, which would ask about overwriting
        // the PDF file of a machine without printers.
        d->accept();
    });
    ASSERT_TRUE(dlg.ShowPrinter());
    EXPECT_EQ(std::tuple(dlg.Copies(), printer.properties["Orientation"]), std::tuple(3, 1));

    whenOpen<QPrintDialog>([](QPrintDialog* d) { d->reject(); });
    dlg.setCancelError(true);
    EXPECT_TRUE(dlg.ShowPrinter());
    EXPECT_EQ(dlg.Copies(), 3);
}

TEST(RealPageSetupDialog, OrientationAndMarginsComeBackInTheUnitsAskedForAndNotWhenCancelled) {
    QtDialogBackend qt;
    GlobalComDLG api(qt);
    whenOpen<QPageSetupDialog>([](QPageSetupDialog* d) {
        if (auto* landscape = d->findChild<QRadioButton*>("landscape"))
            landscape->click();
        press(d, QDialogButtonBox::Ok);
    });
    PageSetupArgs2 mm{.Units = 1};
    ASSERT_TRUE(api.VBPageSetupDlg2(mm));
    EXPECT_EQ(mm.Orientation, 2);
    EXPECT_LT(mm.LeftMargin, 100.f); // millimetres, not hundredths

    whenOpen<QPageSetupDialog>([](QPageSetupDialog* d) { press(d, QDialogButtonBox::Cancel); });
    PageSetupArgs2 cancelled{.LeftMargin = 3.f, .Units = 1};
    EXPECT_FALSE(api.VBPageSetupDlg2(cancelled));
    EXPECT_FLOAT_EQ(cancelled.LeftMargin, 3.f);
}
