#pragma once

#include <QHash>
#include <QPointer>
#include <QWidget>

#include "engine/engine_control.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

// The find bar: finds text in the page of the frame's active window. It
// follows the active window; each window keeps its own search (text, case,
// whether the bar is open for it, the last count).
class TFindBar : public QWidget {
  Q_OBJECT
 public:
  explicit TFindBar(QWidget* parent = nullptr);

  // 編集 > ページ内検索(&F)... (Ctrl+F), next (F3) and previous (Shift+F3):
  // the frame puts them on its menu and in its key list. Enabled while a
  // window is active.
  QAction* FindAction = nullptr;
  QAction* FindNextAction = nullptr;
  QAction* FindPreviousAction = nullptr;

  // The active window's control (nullptr when none is active).
  void SetTarget(IWebBrowser2* control);
  IWebBrowser2* Target() const { return target_; }

  void Open();
  void FindNext();
  void FindPrevious();
  // Closes the bar for the active window and takes the highlight away.
  void CloseBar();

  QLineEdit* Field() const { return field_; }
  QCheckBox* CaseBox() const { return caseBox_; }
  QLabel* CountLabel() const { return count_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Search {
    QString text;
    bool caseSensitive = false;
    bool open = false;
    int current = 0;
    int total = 0;
    bool answered = false;  // the count is of the page shown
  };
  void find(bool backward);
  void textEdited(const QString& text);
  void caseToggled(bool on);
  void result(IWebBrowser2* control, int current, int total);
  void pageChanged(IWebBrowser2* control);
  void showSearch();

  QLineEdit* field_;
  QToolButton* next_;
  QToolButton* previous_;
  QCheckBox* caseBox_;
  QLabel* count_;
  QToolButton* close_;
  QPointer<IWebBrowser2> target_;
  QHash<IWebBrowser2*, Search> searches_;
};
