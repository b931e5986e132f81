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
#include <QScreen>
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

WindowHandle handle(QWidget* widget) {
    return widget;
}

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
    DialogEvents events(dlg, DialogBackend::current());
    events.refusals = 1;
    QFileDialog* seen = nullptr;
    bool openAfterRefusal = false;
    QSize dialogSize;
    QStringList shown; // title, folder and filters
    whenOpen<QFileDialog>([&](QFileDialog* d) {
        seen = d;
        dialogSize = d->frameGeometry().size();
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
    // Selecting, typing and entering folders may each move the selection:
    // the events are checked in their order, not counted.
    const std::vector<std::string>& n = events.names;
    ASSERT_FALSE(n.empty());
    EXPECT_EQ(n.front(), "init");
    EXPECT_EQ(n.back(), "close");
    EXPECT_GT(events.count("file"), 0u);
    EXPECT_LT(events.indexOf("type"), events.indexOf("folder"));
    EXPECT_LT(events.indexOf("folder"), events.indexOf("confirm"));
    EXPECT_EQ(events.count("confirm"), 2u);
    EXPECT_EQ(events.count("ok"), 3u);
    // The events carry the hook's window, a child of the dialog; the
    // utilities measure the dialog itself.
    EXPECT_EQ(events.hookParent, handle(seen));
    EXPECT_EQ(QSize(events.width, events.height), dialogSize);
}

TEST(RealColorDialog, TheColoursGoInAndComeBackAndAHookedOneTellsItsOpeningAndClosing) {
    QtDialogBackend qt;
    CommonDLG dlg(qt);
    dlg.setCancelError(true);
    dlg.setColor(0x00FF00);
    dlg.setCustomColor(0, 0x0000FF);
    QColor shown, custom0;
    whenOpen<QColorDialog>([&](QColorDialog* d) {
        shown = d->currentColor();
        custom0 = QColorDialog::customColor(0);
        QColorDialog::setCustomColor(1, QColor(1, 2, 3)); // the user adds one
        d->setCurrentColor(QColor(0x11, 0x22, 0x33));
        press(d, QDialogButtonBox::Ok);
    });
    ASSERT_TRUE(dlg.ShowColor());
    EXPECT_EQ(std::tuple(shown, custom0, dlg.Color(), dlg.CustomColor(1)),
              std::tuple(QColor(0, 255, 0), QColor(255, 0, 0), 0x332211, 0x030201));

    whenOpen<QColorDialog>([](QColorDialog* d) { press(d, QDialogButtonBox::Cancel); });
    EXPECT_EQ(dlg.ShowColor().error().number, 20001);

    // Hooked, it tells its opening and closing with its own window.
    dlg.setCancelError(false);
    dlg.setHookDialog(true);
    DialogEvents events(dlg, qt);
    QColorDialog* hooked = nullptr;
    whenOpen<QColorDialog>([&](QColorDialog* d) {
        hooked = d;
        press(d, QDialogButtonBox::Cancel);
    });
    EXPECT_TRUE(dlg.ShowColor());
    // Cancel is a command.
    EXPECT_EQ(events.names, (std::vector<std::string>{"init", "command", "close"}));
    EXPECT_EQ(events.windows.front(), handle(hooked));
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

TEST(RealPrintDialog, OptionsFollowTheFlagsAndTheCopiesComeBack) {
    QtDialogBackend qt;
    CommonDLG dlg(qt);
    RecordingPrinter printer;
    dlg.setObject(&printer);
    dlg.setFlags(PD_NOSELECTION | PD_HIDEPRINTTOFILE);
    bool pageRange = true, selection = true, toFile = true;
    whenOpen<QPrintDialog>([&](QPrintDialog* d) {
        pageRange = d->testOption(QAbstractPrintDialog::PrintPageRange);
        selection = d->testOption(QAbstractPrintDialog::PrintSelection);
        toFile = d->testOption(QAbstractPrintDialog::PrintToFile);
        auto* copies = d->findChild<QSpinBox*>("copies");
        ASSERT_NE(copies, nullptr);
        copies->setValue(3);
        // Past the Print button's checks, which would ask about overwriting
        // the PDF file of a machine without printers.
        d->accept();
    });
    ASSERT_TRUE(dlg.ShowPrinter());
    EXPECT_FALSE(pageRange || selection || toFile);
    EXPECT_EQ(std::tuple(dlg.Copies(), printer.properties["Orientation"]), std::tuple(3, 1));

    whenOpen<QPrintDialog>([](QPrintDialog* d) { d->reject(); });
    dlg.setCancelError(true);
    EXPECT_TRUE(dlg.ShowPrinter());
    EXPECT_EQ(dlg.Copies(), 3);

    // Hooked, as the print dialog and as print setup, its opening is told.
    dlg.setHookDialog(true);
    int opened = 0;
    dlg.OnInitDialog = [&opened](WindowHandle) { ++opened; };
    for (int32_t setup : {0, PD_PRINTSETUP}) {
        dlg.setFlags(setup);
        whenOpen<QPrintDialog>([](QPrintDialog* d) { d->reject(); });
        EXPECT_TRUE(dlg.ShowPrinter());
        EXPECT_EQ(opened, setup ? 2 : 1) << setup;
    }
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
    EXPECT_GT(mm.PaperSize, 0);
    EXPECT_GT(mm.LeftMargin, 0.f);
    EXPECT_LT(mm.LeftMargin, 100.f); // millimetres, not hundredths

    whenOpen<QPageSetupDialog>([](QPageSetupDialog* d) { press(d, QDialogButtonBox::Ok); });
    PageSetupArgs2 inches{.Units = 0};
    ASSERT_TRUE(api.VBPageSetupDlg2(inches));
    EXPECT_NEAR(inches.LeftMargin * 25.4f, mm.LeftMargin, 0.5f);

    whenOpen<QPageSetupDialog>([](QPageSetupDialog* d) { press(d, QDialogButtonBox::Cancel); });
    PageSetupArgs2 cancelled{.LeftMargin = 3.f, .Units = 1};
    EXPECT_FALSE(api.VBPageSetupDlg2(cancelled));
    EXPECT_FLOAT_EQ(cancelled.LeftMargin, 3.f);
}

TEST(RealFileTitle, IsTheNameWithoutItsFolderAndNothingWhenThereIsNoneOrItIsTooLong) {
    QtDialogBackend qt;
    GlobalComDLG api(qt);
    EXPECT_EQ((std::vector<std::string>{
                  api.VBGetFileTitle("/a/b/c.ert"), api.VBGetFileTitle("C:\\x.txt"),
                  api.VBGetFileTitle("/a/b/"), api.VBGetFileTitle(std::string(300, 'x'))}),
              (std::vector<std::string>{"c.ert", "x.txt", "", ""}));
}

TEST(RealWindows, ADialogIsCentredOnAWindowOrElseOnTheWorkArea) {
    QtDialogBackend qt;
    CommonDLG dlg(qt); // no explorer-style dialog shown: the window itself is moved
    QWidget owner;
    owner.setGeometry(100, 100, 600, 400);
    owner.show();
    QWidget dialog;
    dialog.resize(200, 100);
    dialog.show();
    dlg.CentreDialog(&dialog, &owner);
    int32_t l = 0, t = 0, w = 0, h = 0;
    dlg.GetDialogSize(&dialog, l, t, w, h);
    const QRect o = owner.frameGeometry();
    EXPECT_EQ(std::tuple(l - o.left(), t - o.top()),
              std::tuple((o.width() - w) / 2, (o.height() - h) / 2));
    EXPECT_GT(w, 0);

    dlg.CentreDialog(&dialog, nullptr);
    const QRect area = dialog.screen()->availableGeometry();
    const QRect placed = dialog.frameGeometry();
    EXPECT_EQ(placed.left(), area.left() + (area.width() - placed.width()) / 2);
    EXPECT_EQ(placed.top(), area.top() + (area.height() - placed.height()) / 2);
}
