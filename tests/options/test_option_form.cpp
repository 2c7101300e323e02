// The options dialog against a config.ini of its own: reading, the Gecko
// switch, page switching, OK and Cancel, and a refused write.
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "app/app_path.h"
#include "app/main_form.h"
#include "options/folder_chooser.h"
#include "options/option_form.h"
#include "platform/guarded.h"
#include "platform/ini_file.h"
#include "platform/text_codec.h"

namespace {
QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}
}  // namespace

class TestOptionForm : public QObject {
  Q_OBJECT
  std::unique_ptr<QTemporaryDir> dir_;
  TMainForm* frame_ = nullptr;
  QStringList boxes_;

  QString ini() const { return dir_->path() + QStringLiteral("/config.ini"); }
  // A frame over a folder that holds `config` as config.ini (none when null).
  void makeFrame(const char* config) {
    dir_ = std::make_unique<QTemporaryDir>();
    setProgramFolderForTests(dir_->path());
    if (config) writeFile(ini(), config);
    frame_ = new TMainForm;
  }
  // The dialogs the frame made (windows of their own, not its children).
  QList<Tfrm_Option*> dialogs() const {
    QList<Tfrm_Option*> r;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<Tfrm_Option*>(w)) r << d;
    return r;
  }

  // The folder button returns at once; its chooser, modal to the dialog
  // only, is then found among the dialog's children.
  static TFolderBrowseDialog* openChooser(Tfrm_Option* d) {
    d->BitBtn1->click();
    TFolderBrowseDialog* dlg = nullptr;
    QTest::qWaitFor([&] { return (dlg = d->findChild<TFolderBrowseDialog*>()) && dlg->isVisible(); }, 5000);
    return dlg;
  }

 private slots:
  void init() {
    boxes_.clear();
    guarded::setReporter([this](const QString& t) { boxes_ << t; });
  }
  void cleanup() {
    delete frame_;
    frame_ = nullptr;
    guarded::setReporter({});
    QCOMPARE(boxes_, QStringList());
  }

  void firstStartShowsTheDialogWithEverythingOff() {
    makeFrame(nullptr);
    QCOMPARE(dialogs().size(), 1);
    Tfrm_Option* d = dialogs().first();
    QVERIFY(d->isVisible());
    QCOMPARE(d->windowTitle(), QStringLiteral("オプション"));
    QCOMPARE(d->windowType(), Qt::Window);  // the application's window, not kept above the frame
    QTRY_COMPARE(d->frameGeometry(), QRect(250, 174, 463, 178));
    QCOMPARE(d->PageCTL->currentWidget(), d->TabSheet1);
    QVERIFY(!d->chkMoz->isChecked());
    QVERIFY(!d->txtMozPath->isEnabled());
    QVERIFY(d->txtMozPath->text().isEmpty());
    QVERIFY(!d->BitBtn1->isEnabled());
    QVERIFY(!frame_->Moz_Item->isEnabled());
    // Unusable, the box takes the window's colour of the theme.
    QCOMPARE(d->txtMozPath->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Window));
    QVERIFY(!QFile::exists(ini()));

    // Components where the form puts them.
    const QList<QPair<QWidget*, QRect>> at = {{d->TreeView1, {8, 8, 113, 105}},  {d->Panel1, {136, 8, 305, 105}},
                                              {d->PageCTL, {4, 4, 289, 93}},     {d->chkMoz, {0, 2, 129, 17}},
                                              {d->txtMozPath, {8, 23, 249, 20}}, {d->BitBtn1, {256, 23, 20, 18}},
                                              {d->chkWin1, {32, 24, 97, 17}},    {d->chkWin2, {32, 48, 81, 17}},
                                              {d->Button1, {312, 122, 65, 23}},  {d->Button2, {390, 122, 59, 23}}};
    for (const auto& [w, r] : at) QCOMPARE(w->geometry(), r);
    QCOMPARE(d->TreeView1->topLevelItemCount(), 2);
    QCOMPARE(d->TreeView1->topLevelItem(0)->text(0), QStringLiteral("全般"));
    QCOMPARE(d->TreeView1->topLevelItem(1)->text(0), QStringLiteral("ウィンドウ"));
    QCOMPARE(d->TreeView1->indentation(), 19);
    QCOMPARE(d->selectFolder->Caption, QStringLiteral("Mozillaのあるフォルダを選択してください。"));
    QCOMPARE(d->selectFolder->RootFolder(), rfDesktop);
    QCOMPARE(d->selectFolder->SelectFolder(), sfDrives);
  }

  void pagesFollowTheTree() {
    makeFrame("");
    Tfrm_Option d(frame_);
    d.TreeView1->setCurrentItem(d.TreeView1->topLevelItem(1));
    QCOMPARE(d.PageCTL->currentWidget(), d.TabSheet2);
    d.TreeView1->setCurrentItem(d.TreeView1->topLevelItem(0));
    QCOMPARE(d.PageCTL->currentWidget(), d.TabSheet1);
  }

  void geckoSwitchEnablesTheMenuAtOnceAndCancelWritesNothing() {
    const QByteArray before = "; mine\n[Option_Main]\nMozilla=0\nMozPath=/old\n";
    makeFrame(before.constData());
    QVERIFY(!frame_->Moz_Item->isEnabled());
    frame_->mnuOption->trigger();
    Tfrm_Option* d = dialogs().last();
    QVERIFY(d->isVisible());
    QCOMPARE(d->txtMozPath->text(), QStringLiteral("/old"));
    d->chkMoz->click();
    QCOMPARE(Tfrm_Option::Tag(d->chkMoz), 1);
    QVERIFY(frame_->Moz_Item->isEnabled());
    QVERIFY(d->txtMozPath->isEnabled());
    QVERIFY(d->BitBtn1->isEnabled());
    QCOMPARE(d->txtMozPath->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    d->txtMozPath->setText(QStringLiteral("/typed"));
    d->chkWin1->click();
    d->Button2->click();
    QVERIFY(d->isHidden());
    QVERIFY(dialogs().contains(d));  // hidden, not destroyed
    QVERIFY(frame_->Moz_Item->isEnabled());
    QCOMPARE(readAll(ini()), before);
  }

  void okWritesTheTagsInOrderAndANewDialogShowsThem() {
    makeFrame("[Option_Main]\nMozilla=2\n[Option_Window]\nBookMark=7\n");
    auto* d = new Tfrm_Option(frame_);
    QVERIFY(d->chkMoz->isChecked());
    QVERIFY(d->chkWin1->isChecked());
    QVERIFY(!d->chkWin2->isChecked());
    d->show();
    d->chkWin2->click();
    d->chkWin1->click();
    d->txtMozPath->setText(QStringLiteral("/opt/ゲッコー"));
    d->Button1->click();
    QVERIFY(d->isHidden());
    QCOMPARE(
        readAll(ini()),
        QByteArray("[Option_Main]\nMozilla=1\nMozPath=/opt/ゲッコー\n[Option_Window]\nBookMark=0\nAddressBar=1\n"));

    Tfrm_Option again(frame_);
    QVERIFY(again.chkMoz->isChecked());
    QCOMPARE(again.txtMozPath->text(), QStringLiteral("/opt/ゲッコー"));
    QVERIFY(!again.chkWin1->isChecked());
    QVERIFY(again.chkWin2->isChecked());

    // All off: zeros and the (empty) folder text.
    again.chkMoz->click();
    again.chkWin2->click();
    again.txtMozPath->clear();
    again.Button1->click();
    const IniFile f(ini());
    QCOMPARE(f.ReadString("Option_Main", "MozPath", "x"), QString());
    QCOMPARE(f.ReadString("Option_Main", "Mozilla", "x"), QStringLiteral("0"));
    QCOMPARE(f.ReadString("Option_Window", "BookMark", "x"), QStringLiteral("0"));
    QCOMPARE(f.ReadString("Option_Window", "AddressBar", "x"), QStringLiteral("0"));
  }

  void newKeysGoInTheWriteOrder() {
    makeFrame(nullptr);
    Tfrm_Option* d = dialogs().first();
    d->Button1->click();
    QCOMPARE(readAll(ini()),
             QByteArray("[Option_Main]\nMozPath=\nMozilla=0\n[Option_Window]\nBookMark=0\nAddressBar=0\n"));
  }

  void refusedWriteKeepsTheDialogOpenWithTheChoices() {
    makeFrame("");
    auto* d = new Tfrm_Option(frame_);
    d->show();
    QVERIFY(QFile::remove(ini()));
    QVERIFY(QDir().mkdir(ini()));  // a folder where the file should be: every write fails
    d->chkMoz->click();
    d->txtMozPath->setText(QStringLiteral("/keep/me"));
    d->Button1->click();
    QCOMPARE(boxes_, QStringList{ini() + QStringLiteral(" に書き込めません.")});
    boxes_.clear();
    QVERIFY(d->isVisible());
    QVERIFY(d->chkMoz->isChecked());
    QCOMPARE(d->txtMozPath->text(), QStringLiteral("/keep/me"));
  }

  void folderButtonTakesTheChosenFolderAndCancelKeepsTheText() {
    makeFrame("[Option_Main]\nMozilla=1\nMozPath=/before\n");
    Tfrm_Option* d = dialogs().isEmpty() ? new Tfrm_Option(frame_) : dialogs().first();
    d->show();
    QTemporaryDir target;
    // Cancel first.
    TFolderBrowseDialog* dlg = openChooser(d);
    QVERIFY(dlg);
    QCOMPARE(dlg->windowModality(), Qt::WindowModal);
    QCOMPARE(dlg->TitleLabel->text(), QStringLiteral("Mozillaのあるフォルダを選択してください。"));
    // One chooser at a time.
    d->BitBtn1->click();
    QCOMPARE(d->findChildren<TFolderBrowseDialog*>().size(), 1);
    dlg->CancelButton->click();
    QTRY_VERIFY(d->findChildren<TFolderBrowseDialog*>().isEmpty());
    QCOMPARE(d->txtMozPath->text(), QStringLiteral("/before"));
    // Then a folder chosen.
    const QString path = target.path();
    dlg = openChooser(d);
    QVERIFY(dlg);
    shell::ItemIdList item{path};
    dlg->setSelection(&item);
    QVERIFY(dlg->OKButton->isEnabled());
    dlg->OKButton->click();
    QTRY_COMPARE(d->txtMozPath->text(), path);
  }

  void aFolderNamedInNoTextIsSavedAsTheFolderOnDisk() {
    makeFrame("[Option_Main]\nMozilla=1\n");
    auto* d = new Tfrm_Option(frame_);
    d->show();
    QTemporaryDir target;
    const QByteArray raw = QFile::encodeName(target.path()) + "/moz\x83\x65\xff";
    QVERIFY(::mkdir(raw.constData(), 0700) == 0);
    const QString parent = target.path();
    TFolderBrowseDialog* dlg = openChooser(d);
    QVERIFY(dlg);
    shell::ItemIdList item{parent};
    dlg->setSelection(&item);
    QTreeWidgetItem* at = dlg->Tree->currentItem();
    at->setExpanded(true);
    QTRY_COMPARE(at->childCount(), 1);
    QTRY_VERIFY(!at->child(0)->data(0, Qt::UserRole).toString().isEmpty());
    dlg->Tree->setCurrentItem(at->child(0));
    dlg->OKButton->click();
    QTRY_VERIFY(!d->txtMozPath->text().isEmpty());
    d->Button1->click();
    // The box and the saved setting both name the folder that is there.
    const QString saved = IniFile(ini()).ReadString(QStringLiteral("Option_Main"), QStringLiteral("MozPath"), {});
    QCOMPARE(shell::encodePath(saved), raw);
    QCOMPARE(shell::encodePath(d->txtMozPath->text()), raw);
    QVERIFY(textcodec::isValidUtf8(readAll(ini())));
    ::rmdir(raw.constData());
  }
};

QTEST_MAIN(TestOptionForm)
#include "test_option_form.moc"
