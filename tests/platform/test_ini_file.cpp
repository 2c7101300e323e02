// The settings file: reading rules, integer parsing, writing order,
// preservation of what a write does not touch, encodings, and failures.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "platform/errors.h"
#include "platform/ini_file.h"
#include "platform/text_codec.h"
#include "run_as_nobody.h"

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeRaw(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

}  // namespace

class TestIniFile : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  QString path() const { return dir.filePath(QStringLiteral("config.ini")); }

 private slots:
  void init() { QFile::remove(path()); }

  void readsDefaultsWithoutFile() {
    const IniFile ini(path());
    QCOMPARE(ini.ReadString("General", "LastEngine", "IE"), QString("IE"));
    QCOMPARE(ini.ReadInteger("General", "LastMojiSize", 2), 2);
    QCOMPARE(ini.ReadBool("Bar", "ToolBar", true), true);
    QVERIFY(!QFile::exists(path()));  // reading never creates the file
  }

  void readingRules() {
    writeRaw(path(),
             "stray=before any section\n"
             "[general]\n"
             "  lastengine  =\t Gecko \t\n"
             "LastEngine=second\n"
             "empty=\n"
             "no equals sign here\n"
             "[General]\n"
             "Other=from duplicate section\n"
             "[ Bar ]\n"
             "Band0Width=0x80\n"
             "Band1Width=abc\n"
             "ToolBar=2\n"
             "StatusBar=0\n"
             "ZBarSize=-40\n");
    const IniFile ini(path());
    // Case-insensitive names, trimmed names and values, first key wins.
    QCOMPARE(ini.ReadString("General", "LastEngine", "IE"), QString("Gecko"));
    // Present but empty is the empty text, not the default.
    QCOMPARE(ini.ReadString("General", "empty", "dflt"), QString());
    // Only the first section of a name is looked at.
    QCOMPARE(ini.ReadString("General", "Other", "dflt"), QString("dflt"));
    // Keys before any section and lines without "=" are not keys.
    QCOMPARE(ini.ReadString("", "stray", "dflt"), QString("dflt"));
    QCOMPARE(ini.ReadString("General", "no equals sign here", "dflt"), QString("dflt"));
    QCOMPARE(ini.ReadInteger("Bar", "Band0Width", 200), 128);
    QCOMPARE(ini.ReadInteger("Bar", "Band1Width", 200), 200);
    QCOMPARE(ini.ReadBool("Bar", "ToolBar", false), true);
    QCOMPARE(ini.ReadBool("Bar", "StatusBar", true), false);
    QCOMPARE(ini.ReadInteger("Bar", "ZBarSize", 153), -40);
    QCOMPARE(ini.ReadInteger("Bar", "Missing", 7), 7);
  }

  void integerParsing_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");  // -999 stands for "no integer"
    QTest::newRow("decimal") << "42" << 42;
    QTest::newRow("negative") << "-17" << -17;
    QTest::newRow("plus") << "+5" << 5;
    QTest::newRow("hex lower") << "0x1f" << 31;
    QTest::newRow("hex upper X") << "0XFF" << 255;
    QTest::newRow("hex wraps to 32 bits") << "0xFFFFFFFF" << -1;
    QTest::newRow("hex too long") << "0x100000000" << -999;
    QTest::newRow("0x alone") << "0x" << -999;
    QTest::newRow("trailing text") << "12abc" << -999;
    QTest::newRow("int max") << "2147483647" << 2147483647;
    QTest::newRow("int min") << "-2147483648" << int(-2147483647 - 1);
    QTest::newRow("overflow") << "2147483648" << -999;
    QTest::newRow("sign only") << "-" << -999;
    QTest::newRow("empty") << "" << -999;
    QTest::newRow("fullwidth digits") << "１２" << -999;
  }
  void integerParsing() {
    QFETCH(QString, text);
    QFETCH(int, expected);
    const auto v = IniFile::parseInteger(text);
    if (expected == -999)
      QVERIFY(!v.has_value());
    else
      QCOMPARE(v.value_or(-999), expected);
  }

  void stringReadsAreCappedAt2047() {
    writeRaw(path(), "[S]\nK=" + QByteArray(5000, 'x') + "\n");
    QCOMPARE(IniFile(path()).ReadString("S", "K", "").size(), qsizetype(2047));
  }

  void newFileLaysOutSectionsInOrderOfFirstWrite() {
    IniFile ini(path());
    ini.WriteString("General", "LastEngine", "IE");
    ini.WriteInteger("General", "LastMojiSize", 2);
    ini.WriteInteger("Bar", "Band0ID", 0);
    ini.WriteBool("Bar", "Band0Break", true);
    ini.WriteBool("Bar", "ToolBar", false);
    QCOMPARE(readAll(path()), QByteArray("[General]\nLastEngine=IE\nLastMojiSize=2\n"
                                         "[Bar]\nBand0ID=0\nBand0Break=1\nToolBar=0\n"));
  }

  void writesKeepEveryOtherByte() {
    const QByteArray original =
        "; comment line\r\n"
        "[General]\r\n"
        "LastEngine = Gecko\r\n"
        "Unknown=keep me\r\n"
        "\r\n"
        "[Other]\r\n"
        "x=1";  // no line end at the end of the file
    writeRaw(path(), original);
    IniFile ini(path());
    ini.WriteString("general", "lastengine", "IE");
    ini.WriteInteger("General", "LastMojiSize", 3);
    ini.WriteString("Other", "y", "2");
    ini.WriteString("New", "k", "v");
    // The replaced line, the new key after the section's last non-blank
    // line, the file's own CR LF line ends, the new section at the end.
    QCOMPARE(readAll(path()), QByteArray("; comment line\r\n"
                                         "[General]\r\n"
                                         "lastengine=IE\r\n"
                                         "Unknown=keep me\r\n"
                                         "LastMojiSize=3\r\n"
                                         "\r\n"
                                         "[Other]\r\n"
                                         "x=1\r\n"
                                         "y=2\r\n"
                                         "[New]\r\n"
                                         "k=v\r\n"));
    QCOMPARE(ini.ReadString("General", "LastEngine", ""), QString("IE"));
  }

  void hostileFilesReadAndKeepTheirLines() {
    // Binary junk with a NUL, bare CR line ends, a truncated last line.
    QByteArray junk("\x00\xff\xfe\r[Bar]\rToolBar=0\rjunk\x01\x02\r[Bar]\rToolBar=1\r[Gen", 47);
    writeRaw(path(), junk);
    IniFile ini(path());
    QCOMPARE(ini.ReadBool("Bar", "ToolBar", true), false);
    ini.WriteInteger("Bar", "ZBarSize", 99);
    const QByteArray after = readAll(path());
    QVERIFY(after.startsWith(QByteArray("\x00\xff\xfe\r[Bar]\rToolBar=0\rjunk\x01\x02\rZBarSize=99\r", 39)));
    QVERIFY(after.endsWith("[Bar]\rToolBar=1\r[Gen"));
    QCOMPARE(ini.ReadInteger("Bar", "ZBarSize", 0), 99);

    // An empty file and a file of only line ends.
    writeRaw(path(), "");
    QCOMPARE(IniFile(path()).ReadInteger("General", "LastMojiSize", 2), 2);
    writeRaw(path(), "\n\n\r\n");
    IniFile(path()).WriteString("General", "LastEngine", "IE");
    QCOMPARE(readAll(path()), QByteArray("\n\n\r\n[General]\nLastEngine=IE\n"));
  }

  void largeFile() {
    QByteArray big;
    big.reserve(50 * 1024 * 1024 + 100);
    const QByteArray line = "[Filler]\n" + QByteArray(1000, 'a') + "=b\n";
    while (big.size() < 50 * 1024 * 1024) big += line;
    big += "[General]\nLastEngine=Gecko\n";
    writeRaw(path(), big);
    IniFile ini(path());
    QCOMPARE(ini.ReadString("General", "LastEngine", "IE"), QString("Gecko"));
    ini.WriteString("General", "LastMojiSize", "1");
    const QByteArray after = readAll(path());
    QCOMPARE(after.size(), big.size() + qsizetype(sizeof("LastMojiSize=1\n") - 1));
    QVERIFY(after.startsWith(big.left(1 << 20)));
  }

  void valuesCannotInjectLines() {
    IniFile ini(path());
    ini.WriteString("Option_Main", "MozPath", "/a\n[General]\nLastEngine=Gecko");
    QCOMPARE(ini.ReadString("General", "LastEngine", "IE"), QString("IE"));
    QCOMPARE(ini.ReadString("Option_Main", "MozPath", ""), QString("/a [General] LastEngine=Gecko"));
  }

  void utf8AndShiftJis() {
    // UTF-8 file: Japanese values read back as written.
    IniFile ini(path());
    ini.WriteString("Option_Main", "MozPath", "/ホーム/モジラ");
    QCOMPARE(ini.ReadString("Option_Main", "MozPath", ""), QString("/ホーム/モジラ"));
    QVERIFY(textcodec::isValidUtf8(readAll(path())));

    // A Shift_JIS file is read as Shift_JIS and written back in it.
    const QByteArray sjis = *textcodec::encodeShiftJis("[Option_Main]\nMozPath=C:\\プログラム\\表示\n");
    writeRaw(path(), sjis);
    QCOMPARE(ini.ReadString("Option_Main", "MozPath", ""), QString("C:\\プログラム\\表示"));
    ini.WriteString("Option_Main", "Name", "日本語");
    const QByteArray after = readAll(path());
    QVERIFY(after.startsWith(sjis));
    QCOMPARE(after.mid(sjis.size()), *textcodec::encodeShiftJis("Name=日本語\n"));
    QCOMPARE(ini.ReadString("Option_Main", "Name", ""), QString("日本語"));

    // A character Shift_JIS cannot hold moves the file to UTF-8, losing nothing.
    ini.WriteString("Option_Main", "Emoji", "😀");
    QVERIFY(textcodec::isValidUtf8(readAll(path())));
    QCOMPARE(ini.ReadString("Option_Main", "Emoji", ""), QString("😀"));
    QCOMPARE(ini.ReadString("Option_Main", "MozPath", ""), QString("C:\\プログラム\\表示"));
  }

  void failedWritesLeaveTheOldFile() {
    writeRaw(path(), "[General]\nLastEngine=Gecko\n");
    const QByteArray before = readAll(path());

    // A full disk, simulated by a file-size limit.
    {
      std::signal(SIGXFSZ, SIG_IGN);
      rlimit old{};
      getrlimit(RLIMIT_FSIZE, &old);
      rlimit small = old;
      small.rlim_cur = 64;
      setrlimit(RLIMIT_FSIZE, &small);
      IniFile ini(path());
      bool threw = false;
      try {
        ini.WriteString("General", "Big", QString(500, u'x'));
      } catch (const EInOutError& e) {
        threw = true;
        QCOMPARE(e.text(), path() + " に書き込めません");
      }
      setrlimit(RLIMIT_FSIZE, &old);
      QVERIFY(threw);
      QCOMPARE(readAll(path()), before);
      QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"config.ini"});
    }

    // A directory standing where the file should be.
    {
      const QString d = dir.filePath("asdir.ini");
      QDir().mkdir(d);
      IniFile ini(d);
      QVERIFY_THROWS_EXCEPTION(EInOutError, ini.WriteString("General", "LastEngine", "IE"));
      QVERIFY(QFileInfo(d).isDir());
      QCOMPARE(ini.ReadString("General", "LastEngine", "IE"), QString("IE"));
    }

    // A read-only folder (checked as an ordinary user, which root is not).
    {
      QTemporaryDir ro;
      const QString file = ro.filePath("config.ini");
      writeRaw(file, before);
      QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
      QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther);
      const int rc = runAsNobody([&] {
        try {
          IniFile(file).WriteString("General", "LastEngine", "IE");
        } catch (const EInOutError& e) {
          return e.text() == file + " に書き込めません" ? 0 : 2;
        }
        return 1;
      });
      QCOMPARE(rc, 0);
      QCOMPARE(readAll(file), before);
      QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
  }

  void writesKeepPermissionsAndLinks() {
    writeRaw(path(), "[General]\n");
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);
    IniFile(path()).WriteString("General", "LastEngine", "IE");
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path()).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0600));

    const QString link = dir.filePath("link.ini");
    QFile::remove(link);
    QVERIFY(QFile::link(path(), link));
    IniFile(link).WriteString("General", "LastMojiSize", "4");
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(IniFile(path()).ReadInteger("General", "LastMojiSize", 0), 4);
  }

  void errorBoxTextFullStop() {
    QCOMPARE(errorBoxText("/x/config.ini に書き込めません"), QString("/x/config.ini に書き込めません."));
    QCOMPARE(errorBoxText("Done."), QString("Done."));
    QCOMPARE(errorBoxText("Oops!"), QString("Oops!"));  // "!" sorts before "."
    QCOMPARE(errorBoxText("abc"), QString("abc."));
    QCOMPARE(errorBoxText(""), QString());
  }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_ini_file.moc"
