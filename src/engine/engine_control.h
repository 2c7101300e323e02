#pragma once

#include <QAction>
#include <QByteArray>
#include <QList>
#include <QPageLayout>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include "platform/errors.h"

class PageSecurity;

// One entry of a window's own history, as its back and forward lists show it.
struct TravelEntry {
  QString title;
  QString url;
};

// Command ids and options of ExecWB, and the command-state ids the engines
// report, with the values the children and commands rely on.
enum : int {
  OLECMDID_SAVEAS = 4,
  OLECMDID_COPY = 12,
  OLECMDID_SELECTALL = 17,
  OLECMDID_ZOOM = 19,
};
enum : int {
  OLECMDEXECOPT_DODEFAULT = 0,
  OLECMDEXECOPT_PROMPTUSER = 1,
  OLECMDEXECOPT_DONTPROMPTUSER = 2,
};
enum : qint32 {
  CSC_NAVIGATEFORWARD = 1,
  CSC_NAVIGATEBACK = 2,
};

// The one interface through which the children reach an engine. Both engines
// implement it; tests drive the children through a scripted fake. A failing
// operation throws EEngineError.
class IWebBrowser2 : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;

  virtual void GoBack() = 0;
  virtual void GoForward() = 0;
  virtual void Navigate(const QString& URL) = 0;
  virtual void Refresh() = 0;
  virtual void Stop() = 0;
  // Save As (4), Copy (12), Select All (17), Zoom (19, input: text size 0..4).
  virtual void ExecWB(int cmdID, int cmdexecopt, const QVariant& input = QVariant()) = 0;
  virtual QString LocationURL() const = 0;
  virtual bool Busy() const = 0;
  // The window is about to close. A control that cannot go yet (it is
  // inside a page dialog its engine waits for) answers the dialog, returns
  // true and raises WindowClosing once it can go; the close is then repeated.
  virtual bool DeferClose() { return false; }
  // Sign-in, certificate errors and how secure the page is (none: the
  // control does not tell).
  virtual PageSecurity* Security() const { return nullptr; }

  // Find in page. A text other than the last one starts a new search; the
  // same text again moves to the next match (backward: the previous one),
  // wrapping at the ends. Every match is highlighted; FindResult answers.
  virtual void FindText(const QString& text, bool backward, bool caseSensitive) = 0;
  // Ends the search and takes its highlight away.
  virtual void StopFinding() = 0;
  // The window's own history: the entries behind and ahead of the current
  // one, nearest first, at most `max` of each.
  virtual QList<TravelEntry> BackEntries(int max) const = 0;
  virtual QList<TravelEntry> ForwardEntries(int max) const = 0;
  // Goes to the entry `steps` away: -1 is the one GoBack reaches, 1 GoForward's.
  virtual void GoToEntry(int steps) = 0;

  // ---- sessions: the window's history kept and given back ----------------
  // The engine's own record of the window's back and forward lists, empty
  // when it has none. Still the last one known after the engine's process
  // ended, so a window can be kept even then.
  virtual QByteArray SaveHistory() const { return {}; }
  // Gives the window the lists of a record SaveHistory of the same engine
  // made and loads its current entry; false when the record is refused
  // (too large, damaged, of the other engine).
  virtual bool RestoreHistory(const QByteArray& state) {
    (void)state;
    return false;
  }
  // The largest record either engine takes back.
  static constexpr qsizetype kMaxHistoryState = 4 << 20;
  // --- Page zoom, source and developer tools.
  // The page's zoom (1.0 is 100%), applied on top of the text size.
  virtual double ZoomFactor() const = 0;
  virtual void SetZoomFactor(double factor) = 0;
  // Shows the page's source in a text window of the program's; false when
  // the engine shows it as a page instead ("view-source:" + the address).
  virtual bool ViewSource() = 0;
  // Opens the engine's own inspector for the page.
  virtual void ShowDevTools() = 0;
  // ---- Printing
  // Renders the page as a PDF file at `path` on pages of `layout`;
  // PdfPrinted answers. One at a time: the caller waits for the answer.
  virtual void PrintToPdf(const QString& path, const QPageLayout& layout) {
    Q_UNUSED(path);
    Q_UNUSED(layout);
    throw EEngineError(QStringLiteral("このウィンドウは印刷できません"));
  }

  // Items the window adds to the page's context menu, after the engine's
  // own. The window owns the actions; their caption and enabled state are
  // read each time the menu opens, and a chosen one is triggered.
  void SetContextActions(const QList<QAction*>& actions) {
    contextActions_.clear();
    for (QAction* a : actions) contextActions_.append(a);
    ContextActionsChanged();
  }
  // ---- saved passwords
  // Fills a login form of the page, in the page script's own world, when
  // the page is still at `origin`: the fields are indices into the form's
  // inputs (userField -1: none). Controls without the script do nothing.
  virtual void FillPassword(const QString& origin, int form, int userField, int passwordField, const QString& user,
                            const QString& password) {
    Q_UNUSED(origin)
    Q_UNUSED(form)
    Q_UNUSED(userField)
    Q_UNUSED(passwordField)
    Q_UNUSED(user)
    Q_UNUSED(password)
  }

  QList<QAction*> ContextActions() const {
    QList<QAction*> out;
    for (const QPointer<QAction>& a : contextActions_)
      if (a) out.append(a);
    return out;
  }

 signals:
  // The link under the pointer, or empty when it leaves the link.
  void StatusTextChange(const QString& Text);
  // Loading progress; pairs drive the frame's bar up to 100 and back to 0.
  void ProgressChange(qint32 Progress, qint32 ProgressMax);
  // CSC_NAVIGATEFORWARD / CSC_NAVIGATEBACK became possible or impossible.
  void CommandStateChange(qint32 Command, bool Enable);
  void TitleChange(const QString& Text);
  // The page asks for a new window at URL (empty when the engine cannot
  // tell). A handler that opens the window itself sets *Cancel to true; a
  // control of the same engine offered the request (WindowHandoff) loads
  // the page there itself, with the engine's checks.
  void NewWindow2(const QString& URL, bool* Cancel);
  // The page's script closed its window (window.close()), or a close that
  // was deferred may now go ahead.
  void WindowClosing();

  // The page's main frame now shows URL (a link followed, an address
  // entered, history, a redirect's end).
  void NavigateComplete2(const QString& URL);
  // The main frame could not load URL; what the engine shows instead is
  // its own error page, not URL's page.
  void NavigateError(const QString& URL);

  // A search's answer: the current match (1-based) of total; 0 of 0 when
  // the text is not on the page.
  void FindResult(int current, int total);

  // ---- site icons
  // The page's icon as PNG bytes, as the engine has it (a page's input:
  // the receiver decodes it under its limits); empty when the page has none.
  void IconChange(const QByteArray& Png);
  // The wheel turned over the page with Ctrl held: steps > 0 zooms in.
  void ZoomWheel(int steps);
  // ---- Printing
  // The PDF that PrintToPdf asked for is written (error empty) or not.
  void PdfPrinted(const QString& path, const QString& error);
  // The page asks to be printed (its script called print()).
  void PrintRequested();
  // ---- saved passwords
  // The page script's message about a login form of the main frame (JSON,
  // from the page: hostile).
  void PasswordFormMessage(const QString& json);

 protected:
  // Engines that build their menu elsewhere (another process) hear of changes.
  virtual void ContextActionsChanged() {}

 private:
  QList<QPointer<QAction>> contextActions_;
};
