// The questions a page brings up, as real dialogs over a window: each
// ignores a click or Enter that comes the instant it appears, takes them
// once it has been on screen a moment, and gives its safe answer to Enter.
// A screen-capture yes is asked for every time and shows a notice while
// the page may capture.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "page/page_security.h"
#include "page/page_services.h"
#include "page/permissions.h"
#include "page_test_util.h"
#include "test_main.h"

namespace {

enum class Ask { Permission, SignIn, Alert, Confirm, Prompt, LeavePage };

// Opens one question over control; what it answers lands in *answer.
// Returns the name of the question's window and of its committing button.
std::pair<QString, QString> open(Ask ask, QWidget* control, QObject* owner, QString* answer) {
  const auto said = [answer](const QString& a) { *answer = a; };
  if (ask == Ask::Permission) {
    auto* p = new PagePermissions(control);
    p->setParent(owner);
    p->ask(QStringLiteral("https://ask.example/"), PermissionKind::Geolocation, [said](PermissionAnswer a) {
      said(a == PermissionAnswer::Allowed ? "yes" : a == PermissionAnswer::Denied ? "no" : "none");
    });
    return {"PermissionQuestion", "btnAllow"};
  }
  if (ask == Ask::SignIn) {
    auto* s = new PageSecurity(control);
    s->setParent(owner);
    SignInRequest r;
    r.host = QStringLiteral("ask.example");
    r.scheme = QStringLiteral("https");
    s->askSignIn(r, [said](const SignInAnswer& a) { said(a.accepted ? "yes" : "no"); });
    return {"SignInDialog", "btnOK"};
  }
  auto* services = new PageServices(control);
  services->setParent(owner);
  PageDialogRequest r;
  r.kind = ask == Ask::Alert     ? PageDialogKind::Alert
           : ask == Ask::Confirm ? PageDialogKind::Confirm
           : ask == Ask::Prompt  ? PageDialogKind::Prompt
                                 : PageDialogKind::LeavePage;
  r.site = QStringLiteral("ask.example");
  r.message = QStringLiteral("よろしいですか?");
  r.defaultText = QStringLiteral("既定");
  services->askDialog(r, [said](const PageDialogAnswer& a) { said(a.accepted ? "yes" : "no"); });
  return {"PageDialog", "btnOK"};
}

// Enter as the user presses it: to whatever has the focus in the window.
void pressEnter(QWidget* window) {
  QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_Return);
}

}  // namespace

class TestQuestions : public QObject {
  Q_OBJECT

  QWidget* control = nullptr;
  QObject* owner = nullptr;

 private slots:
  void init() {
    control = new QWidget;
    control->resize(600, 400);
    control->show();
    QVERIFY(QTest::qWaitForWindowExposed(control));
    owner = new QObject;
    PagePermissions::memory().clear();
  }
  void cleanup() {
    delete owner;
    delete control;
  }

  void questionsTakeNoEarlyInput_data() {
    QTest::addColumn<int>("ask");
    QTest::addColumn<QString>("safe");  // what Enter answers
    QTest::newRow("permission") << int(Ask::Permission) << "no";
    QTest::newRow("sign-in") << int(Ask::SignIn) << "no";
    QTest::newRow("alert") << int(Ask::Alert) << "yes";  // nothing to refuse
    QTest::newRow("confirm") << int(Ask::Confirm) << "no";
    QTest::newRow("prompt") << int(Ask::Prompt) << "no";
    QTest::newRow("leave page") << int(Ask::LeavePage) << "no";  // stay
  }
  void questionsTakeNoEarlyInput() {
    QFETCH(int, ask);
    QFETCH(QString, safe);
    // A click and Enter the instant the question appears do nothing.
    QString answer;
    auto [name, commit] = open(Ask(ask), control, owner, &answer);
    QDialog* q = visibleWindow<QDialog>(name);
    QVERIFY(q);
    auto* button = q->findChild<QPushButton*>(commit);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    pressEnter(q);
    QTest::keyClick(q, Qt::Key_Escape);
    QVERIFY(answer.isEmpty());
    QVERIFY(q->isVisible());
    // A moment later Enter gives the safe answer.
    QTRY_VERIFY(answerableWindow<QDialog>(name));
    pressEnter(q);
    QTRY_COMPARE(answer, safe);
    QTRY_VERIFY(!visibleWindow<QDialog>(name));

    // And a click then commits.
    answer.clear();
    PagePermissions::memory().clear();  // the "no" above was kept
    open(Ask(ask), control, owner, &answer);
    QTRY_VERIFY(answerableWindow<QDialog>(name));
    QTest::mouseClick(answerableWindow<QDialog>(name)->findChild<QPushButton*>(commit), Qt::LeftButton);
    QTRY_COMPARE(answer, QString("yes"));
  }

  void screenCaptureIsAskedEachTimeAndShown() {
    auto* permissions = new PagePermissions(control);
    const QString page = QStringLiteral("https://share.example/call");
    QList<PermissionAnswer> answers;
    const auto answerWith = [&](const char* button) {
      QTRY_VERIFY(answerableWindow<QDialog>("PermissionQuestion"));
      answerableWindow<QDialog>("PermissionQuestion")->findChild<QPushButton*>(button)->click();
    };
    permissions->ask(page, PermissionKind::ScreenCapture, [&](PermissionAnswer a) { answers << a; });
    QVERIFY(!visibleWindow<QWidget>("ScreenShareNotice"));
    answerWith("btnAllow");
    QCOMPARE(answers, QList<PermissionAnswer>{PermissionAnswer::Allowed});
    QWidget* notice = visibleWindow<QWidget>("ScreenShareNotice");
    QVERIFY(notice);
    QCOMPARE(notice->findChild<QLabel*>("lblScreenShare")->text(), QString("share.example が画面を共有しています"));
    // The same site asks again: a question again, not the last answer.
    permissions->ask(page, PermissionKind::ScreenCapture, [&](PermissionAnswer a) { answers << a; });
    QCOMPARE(answers.size(), 1);
    answerWith("btnDeny");
    QCOMPARE(answers.last(), PermissionAnswer::Denied);
    QVERIFY(!PagePermissions::memory().answer(permissionOrigin(page), PermissionKind::ScreenCapture));
    // The document goes: so does the notice.
    permissions->screenShareEnded();
    QTRY_VERIFY(!visibleWindow<QWidget>("ScreenShareNotice"));
    QVERIFY(!permissions->sharingScreen());
    // And with the window.
    permissions->ask(page, PermissionKind::ScreenCapture, [&](PermissionAnswer a) { answers << a; });
    answerWith("btnAllow");
    QTRY_VERIFY(visibleWindow<QWidget>("ScreenShareNotice"));
    delete control;
    control = nullptr;
    QTRY_VERIFY(!visibleWindow<QWidget>("ScreenShareNotice"));
  }

  // A private window's answer holds for that window only: the ordinary
  // windows are asked again, and it outlives nothing.
  void privateWindowKeepsItsAnswers() {
    const QString page = QStringLiteral("https://private.example/map");
    QList<PermissionAnswer> answers;  // outlives the questions, which end with their windows
    PagePermissions privateOne(control, true), ordinary(control);
    const auto ask = [&](PagePermissions& p) {
      p.ask(page, PermissionKind::Geolocation, [&](auto a) { answers << a; });
    };
    ask(privateOne);
    QTRY_VERIFY(answerableWindow<QDialog>("PermissionQuestion"));
    answerableWindow<QDialog>("PermissionQuestion")->findChild<QPushButton*>("btnAllow")->click();
    ask(privateOne);  // known at once
    QCOMPARE(answers, QList<PermissionAnswer>(2, PermissionAnswer::Allowed));
    QVERIFY(!PagePermissions::memory().answer(permissionOrigin(page), PermissionKind::Geolocation));
    ask(ordinary);
    QCOMPARE(answers.size(), 2);
    QTRY_VERIFY(visibleWindow<QDialog>("PermissionQuestion"));
  }
};

ZELVO_TEST_MAIN(TestQuestions)
#include "test_questions.moc"
