#include "app/about_box.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/window_frame.h"

namespace {
template <class W>
W* named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}
}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("バージョン情報"));
  // Single border with system menu, minimise box and a close box (which,
  // like Esc, closes it as OK does).
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(274, 123);

  Panel1 = named(new QFrame(this), "Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setGeometry(8, 8, 258, 74);

  ProgramIcon = named(new QFrame(Panel1), "ProgramIcon");
  ProgramIcon->setFrameStyle(QFrame::Box | QFrame::Raised);
  ProgramIcon->setGeometry(10, 12, 48, 48);
  IconLabel = named(new QLabel(QStringLiteral("未定"), ProgramIcon), "IconLabel");
  IconLabel->setAlignment(Qt::AlignCenter);
  IconLabel->setGeometry(0, 0, 48, 48);

  ProductName = named(new QLabel(QStringLiteral("Zelvo"), Panel1), "ProductName");
  ProductName->setGeometry(72, 14, 170, 16);
  Version = named(new QLabel(QStringLiteral("Version：1.0β4"), Panel1), "Version");
  Version->setGeometry(72, 40, 170, 16);

  OKButton = named(new QPushButton(QStringLiteral("OK"), this), "OKButton");
  OKButton->setGeometry(100, 90, 75, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  // Labels and the button read their captions; the frames say what they hold.
  Panel1->setAccessibleName(QStringLiteral("バージョン情報"));
  ProgramIcon->setAccessibleName(IconLabel->text());
}

void TAboutBox::reject() {
  // Esc and the close box end the box the way OK does.
  accept();
}

void TAboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Centred on the screen by its outer frame, each time it is shown.
  window_frame::placeByFrame(this, [this](const QMargins& m) {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize outer(width() + m.left() + m.right(), height() + m.top() + m.bottom());
    if (!s) return QRect(pos(), outer);
    const QRect r = s->geometry();
    return QRect(QPoint(r.x() + (r.width() - outer.width()) / 2, r.y() + (r.height() - outer.height()) / 2), outer);
  });
}
