#pragma once

#include <QString>

#include "page/security_rules.h"

class TBrowserChild;

// The frame's shared page display as a child window sees it: the address
// box, the first status panel, the progress bar, the four navigation
// buttons, the page menu items and the text-size menu. The frame implements
// it; a child never reaches the frame's widgets themselves.
class TPageDisplay {
 public:
  enum Button { btnBack, btnForward, btnStop, btnReload };

  virtual ~TPageDisplay() = default;

  virtual void ShowAddress(const QString& text) = 0;
  virtual void ShowSecurity(SecurityState state, const QString& text) = 0;
  virtual void ShowStatus(const QString& text) = 0;
  virtual int Progress() const = 0;
  virtual void SetProgress(int position) = 0;
  virtual bool ButtonEnabled(Button button) const = 0;
  virtual void SetButtonEnabled(Button button, bool enabled) = 0;
  // Save As, Copy and Select All: usable while a page is shown.
  virtual void SetPageItemsEnabled(bool enabled) = 0;
  virtual void ShowMojiSize(quint8 Size) = 0;
  virtual void SetTextSizeEnabled(bool enabled) = 0;
  virtual int FrameMojiSize() const = 0;

  virtual TBrowserChild* ActiveMDIChild() const = 0;
  // A window for a page that asked for one: a child of the engine given
  // (the asking page's, whatever the engine menu or rules say), active and
  // captioned, that has loaded nothing yet; private when the asking page's is.
  virtual TBrowserChild* OpenPageWindow(bool IE, const QString& Caption, bool Private) = 0;
};
