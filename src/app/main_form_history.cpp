// The frame's history: 表示 > 履歴, the history window, and the list of
// pages under the address box.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QRect>

#include "app/frame_widgets.h"
#include "app/main_form.h"
#include "history/address_completer.h"
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "history/history_window.h"
#include "platform/guarded.h"
#include "platform/user_folders.h"

using namespace frame_widgets;

void TMainForm::CreateHistoryItems() {
  History = new history::Store(user_folders::data(), this);
  history::setCurrent(History);
  // A damaged database set aside, or none to be had: the user hears of it;
  // the program goes on either way.
  connect(History, &history::Store::notice, this, [](const QString& text) { guarded::report(text); });

  N8 = separator(mnuShow, "N8");
  mnuShow_History = newAction(this, "mnuShow_History", QStringLiteral("履歴(&H)"), QKeySequence(Qt::CTRL | Qt::Key_H));
  mnuShow->addAction(mnuShow_History);
  addAction(mnuShow_History);
  connect(mnuShow_History, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuShow_HistoryClick));

  AddressCompleter = new history::TAddressCompleter(txtAddress, History);
  connect(AddressCompleter, &history::TAddressCompleter::chosen, this,
          [this] { guarded::run([this] { btnMoveClick(); }); });
}

void TMainForm::mnuShow_HistoryClick() {
  if (!HistoryWindow) {
    HistoryWindow = new history::THistoryWindow(History, this);
    HistoryWindow->setAttribute(Qt::WA_DeleteOnClose);
    // First shown over the middle of the frame, not wherever the window
    // system puts a new window.
    QRect r(QPoint(), HistoryWindow->size());
    r.moveCenter(frameGeometry().center());
    HistoryWindow->move(r.topLeft());
    connect(HistoryWindow, &history::THistoryWindow::openRequested, this,
            [this](const QString& url) { guarded::run([&] { OpenFromHistory(url); }); });
  }
  HistoryWindow->Reload();
  HistoryWindow->show();
  HistoryWindow->raise();
  HistoryWindow->activateWindow();
}

void TMainForm::OpenFromHistory(const QString& URL) {
  history::expectReached(URL, QStringLiteral("history"));
  txtAddress->setText(URL);
  OpenBookmark();
}
