#include "page/source_window.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QVBoxLayout>

SourceWindow::SourceWindow() {
  setObjectName(QStringLiteral("SourceWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("SourceText"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  // IPAGothic is the fixed-width face of the Japanese fonts the program uses.
  font.setFamilies({QStringLiteral("IPAGothic"), font.family(), QStringLiteral("monospace")});
  font.setStyleHint(QFont::Monospace);
  text_->setFont(font);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(text_);
  resize(800, 600);
}

QString SourceWindow::decode(const QByteArray& data, const QString& charset) {
  if (!charset.isEmpty()) {
    QStringDecoder decoder(charset.toLatin1().constData());
    if (decoder.isValid()) return decoder.decode(data);
  }
  QStringDecoder decoder = QStringDecoder::decoderForHtml(data);
  if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Utf8);
  return decoder.decode(data);
}

SourceWindow* SourceWindow::show(const QString& address, const QByteArray& data, const QString& charset, bool cut) {
  auto* w = new SourceWindow();
  w->setWindowTitle(QStringLiteral("ソース - ") + address);
  w->text_->setPlainText(decode(data, charset));
  if (cut) {
    auto* note = new QLabel(
        QStringLiteral("ページが大きいため、先頭の %1 KB だけを表示しています。").arg(data.size() / 1024), w);
    note->setObjectName(QStringLiteral("SourceCut"));
    w->layout()->addWidget(note);
  }
  w->QWidget::show();
  w->raise();
  w->activateWindow();
  return w;
}

QString SourceWindow::text() const { return text_->toPlainText(); }
