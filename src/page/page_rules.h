#pragma once

// The rules behind a browser's everyday answers to its pages (may this
// dialog show, may this window open, how is this address shown), the same
// for both engines and free of widgets so they are tested on their own.
#include <QString>
#include <QtGlobal>
#include <deque>
#include <optional>

// ---- page dialogs ------------------------------------------------------------

enum class PageDialogKind { Alert, Confirm, Prompt, LeavePage };

struct PageDialogRequest {
  PageDialogKind kind = PageDialogKind::Alert;
  QString site;     // the page's origin as shown to the user
  QString message;  // the page's text (none for LeavePage)
  QString defaultText;
};

struct PageDialogAnswer {
  bool accepted = false;  // OK / leave the page
  QString text;           // what was typed into a prompt
};

// The answer a dialog gets when it is not shown (suppressed, or its window
// is closing): as if the user cancelled, except that leaving a page is not
// held up by a page that is no longer allowed to ask.
PageDialogAnswer unshownDialogAnswer(PageDialogKind kind);

// Per page: from the second dialog in quick succession the user is offered
// to silence the page; once chosen, the page's dialogs are answered without
// showing until another document is loaded.
class DialogGate {
 public:
  static constexpr qint64 kQuickSuccessionMs = 3000;
  struct Decision {
    bool show = true;
    bool offerSuppress = false;
  };
  Decision opening(qint64 nowMs) const;
  void closed(qint64 nowMs, bool suppressChosen);
  void newDocument();
  bool suppressed() const { return suppressed_; }

 private:
  bool suppressed_ = false;
  std::optional<qint64> lastClosed_;
};

// ---- pop-ups -----------------------------------------------------------------

// Per page: a window opens only for a user action (a click on a link or a
// script run from one), one for each action, and never more than
// kMaxPerSecond in a second. An engine that takes every window asked for
// soon after a click as the user's (WebKit does for about a second, nested
// timers included) reports each click and key that reaches the page, and
// its gate counts them: the first window after one uses it up.
class PopupGate {
 public:
  static constexpr int kMaxPerSecond = 3;
  enum class Verdict { Open, NoUserAction, TooMany };
  enum class Actions { FromEngine, Counted };
  explicit PopupGate(Actions actions = Actions::FromEngine) : actions_(actions) {}
  // A click or a key reached the page (counted actions only).
  void userInput() { inputUnused_ = true; }
  Verdict request(bool userAction, qint64 nowMs);

 private:
  Actions actions_;
  bool inputUnused_ = false;
  std::deque<qint64> opened_;
};

// The status text for a window that was not opened.
QString popupBlockedText(PopupGate::Verdict verdict, const QString& url);

// ---- addresses ---------------------------------------------------------------

// An address as browsers show it: international host names in Unicode
// (unless a label could pass for another in Latin letters), percent-encoded
// UTF-8 decoded where the characters are printable. Escapes of ASCII
// characters stay, so that the text loads as the same address again.
QString displayAddress(const QString& address);

// The part of an address that names its site to the user ("example.org",
// "example.org:8080", or the file path for local files).
QString siteOf(const QString& address);
