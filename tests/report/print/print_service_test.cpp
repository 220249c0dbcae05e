// Printing a report as a user's printer would: a print service of the test's own (cupsd with
// its own configuration and spool folders, listening on a free loopback port) with a queue
// whose backend keeps each job's document. The preview's "Print..." sends a two-page data
// report to it; the document that arrives is checked for its pages, title and footers.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "common/qt/Dialogs.h"
#include "report/PrintReports.h"
#include "report/qt/ReportPreview.h"
#include "report/qt/ReportPrinting.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

int freeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  ::close(fd);
  return port;
}

bool writeFile(const QString &path, const QByteArray &text, QFile::Permissions perms = {}) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) return false;
  f.close();
  return perms ? f.setPermissions(perms) : true;
}

QString output(const QString &program, const QStringList &args, int *status = nullptr) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(program, args);
  p.waitForFinished(30000);
  if (status) *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  return QString::fromUtf8(p.readAll());
}

bool installed(const char *tool) {
  return !QStandardPaths::findExecutable(QString::fromLatin1(tool),
                                         {"/usr/sbin", "/usr/bin", "/sbin", "/bin"})
              .isEmpty();
}

// Under CI (CI=true), as root with cupsd installed, nothing stands in the test's way: a skip
// there would hide a failure, so it fails instead.
bool mustRun() {
  return qgetenv("CI") == "true" && ::geteuid() == 0 && installed("cupsd");
}

#define SKIP_OR_FAIL(reason)                                     \
  do {                                                           \
    if (mustRun()) FAIL() << "cannot skip under CI: " << reason; \
    GTEST_SKIP() << reason;                                      \
  } while (false)

// The private print service: started in SetUp, stopped in TearDown.
class PrintServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char *tool : {"cupsd", "lpadmin", "lpstat", "pdfinfo", "pdftotext"})
      if (!installed(tool))
        SKIP_OR_FAIL(tool << " is not installed (scripts/install-deps.sh installs it)");
    if (::geteuid() != 0) SKIP_OR_FAIL("cupsd needs to start as root to run its jobs");
    port_ = freeLoopbackPort();
    if (port_ == 0) SKIP_OR_FAIL("no free loopback port");
    if (!configure()) SKIP_OR_FAIL("cannot write the print service's configuration");
    cupsd_.setProcessChannelMode(QProcess::MergedChannels);
    cupsd_.start(QStringLiteral("/usr/sbin/cupsd"),
                 {"-f", "-c", root("etc/cupsd.conf"), "-s", root("etc/cups-files.conf")});
    if (!cupsd_.waitForStarted(10000)) SKIP_OR_FAIL("cupsd cannot start");
    if (!waitUntilRunning())
      SKIP_OR_FAIL("cupsd cannot run here: " << QString::fromUtf8(cupsd_.readAll()).toStdString());
    const QString failure = addTestQueue();
    if (!failure.isEmpty()) SKIP_OR_FAIL("cannot add the test queue: " << failure.toStdString());
    qputenv("CUPS_SERVER", server().toUtf8());
  }

  // The scheduler may accept connections a moment before it takes requests: the queue is
  // added again until it is there, for at most 20 seconds. Empty when added.
  QString addTestQueue() {
    QElapsedTimer t;
    t.start();
    QString failure;
    while (cupsd_.state() == QProcess::Running) {
      int status = 1;
      failure = output(
          "lpadmin",
          {"-h", server(), "-p", "VexalPdf", "-E", "-v", "capture:" + root("out"), "-m", "raw"},
          &status);
      if (status == 0 && queueAccepts()) return {};
      if (t.elapsed() > 20000) break;
      QTest::qWait(250);
    }
    return failure.isEmpty() ? QStringLiteral("the queue does not accept jobs") : failure;
  }

  bool queueAccepts() {
    int status = 1;
    const QString state = output("lpstat", {"-h", server(), "-a", "VexalPdf"}, &status);
    return status == 0 && state.contains(QStringLiteral("VexalPdf accepting requests"));
  }

  void TearDown() override {
    if (cupsd_.state() != QProcess::NotRunning) {
      cupsd_.terminate();
      if (!cupsd_.waitForFinished(10000)) cupsd_.kill();
      cupsd_.waitForFinished(5000);
    }
  }

  QString root(const QString &rel) const { return dir_.filePath(rel); }
  QString server() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

  bool configure() {
    QDir d(dir_.path());
    for (const char *sub : {"etc", "spool", "tmp", "cache", "state", "log", "out", "bin/backend"})
      if (!d.mkpath(QString::fromLatin1(sub))) return false;
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QFile(dir_.path()).setPermissions(open);
    // Jobs run as the service's own user: the output folder is theirs to write.
    QFile(root("out")).setPermissions(open | QFile::WriteGroup | QFile::WriteOther);
    QFile(root("tmp")).setPermissions(open | QFile::WriteGroup | QFile::WriteOther);
    for (const QString &name :
         QDir(QStringLiteral("/usr/lib/cups")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
      if (name != QLatin1String("backend") &&
          !QFile::link("/usr/lib/cups/" + name, root("bin/" + name)))
        return false;
    const QByteArray backend =
        "#!/bin/sh\n"
        "# Keeps each job's document in the folder named by the device URI.\n"
        "if [ $# -eq 0 ]; then echo 'direct capture \"Unknown\" \"Test capture\"'; exit 0; fi\n"
        "dir=\"${DEVICE_URI#capture:}\"\n"
        "if [ -n \"$6\" ]; then cp \"$6\" \"$dir/job-$1.part\"; else cat > \"$dir/job-$1.part\"; "
        "fi "
        "|| exit 1\n"
        "printf '%s' \"$3\" > \"$dir/job-$1.title\"\n"
        "mv \"$dir/job-$1.part\" \"$dir/job-$1.pdf\"\n";
    const QByteArray files =
        "ServerRoot " + root("etc").toUtf8() + "\nRequestRoot " + root("spool").toUtf8() +
        "\nTempDir " + root("tmp").toUtf8() + "\nCacheDir " + root("cache").toUtf8() +
        "\nStateDir " + root("state").toUtf8() + "\nErrorLog " + root("log/error_log").toUtf8() +
        "\nAccessLog " + root("log/access_log").toUtf8() + "\nPageLog " +
        root("log/page_log").toUtf8() + "\nServerBin " + root("bin").toUtf8() +
        "\nDataDir /usr/share/cups\nSandboxing Relaxed\n";
    const QByteArray conf = "Listen " + server().toUtf8() +
                            "\nLogLevel info\nWebInterface No\nBrowsing Off\n"
                            "DefaultAuthType None\n<Location />\n  Order allow,deny\n"
                            "  Allow all\n</Location>\n<Policy default>\n  <Limit All>\n"
                            "    Order deny,allow\n  </Limit>\n</Policy>\n";
    return writeFile(root("bin/backend/capture"), backend, open) &&
           writeFile(root("etc/cups-files.conf"), files) && writeFile(root("etc/cupsd.conf"), conf);
  }

  // "lpstat -r" ends with status 0 whether or not the scheduler answers; its words tell.
  bool waitUntilRunning() {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000 && cupsd_.state() == QProcess::Running) {
      int status = 1;
      const QString said = output("lpstat", {"-h", server(), "-r"}, &status);
      if (status == 0 && said.trimmed() == QLatin1String("scheduler is running")) return true;
      QTest::qWait(200);
    }
    return false;
  }

  // The document of the first job to arrive, or nothing after `ms`.
  QString arrived(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      const QStringList jobs = QDir(root("out")).entryList({"job-*.pdf"}, QDir::Files);
      if (!jobs.isEmpty()) return root("out/" + jobs.first());
      QTest::qWait(200);
    }
    return {};
  }

  QTemporaryDir dir_;
  int port_ = 0;
  QProcess cupsd_;
};

// Chooses the test queue, as a user would in the print dialog.
class ChooseTestQueue : public PrintService {
 public:
  bool choosePrinter(QPrinter &printer, int pageCount, QWidget *) override {
    printer.setPrinterName(QStringLiteral("VexalPdf"));
    printer.setCopyCount(1);
    offered = pageCount;
    return true;
  }
  int offered = 0;
};

TEST_F(PrintServiceTest, PrintsATwoPageDataReport) {
  ReadingTable table;
  for (int i = 1; i <= 40; ++i) {
    TableRow r;
    r.no = i;
    r.timeMs = 36'000'000 + i * 1000;
    r.value = std::to_string(i) + ".5";
    r.unit = "M\xA6\xB8";
    table.appendRow(r);
  }
  PrintReports reports;
  ScriptedDialogs dialogs;
  ChooseTestQueue printing;
  TReportPreview preview(reports.openDataReport(table, "01/02/2026"), QImage(), dialogs, printing);
  preview.PrintButton->click();
  EXPECT_EQ(printing.offered, 2);

  const QString pdf = arrived(60000);
  ASSERT_FALSE(pdf.isEmpty()) << "no job arrived";
  QFile title(QString(pdf).replace(QStringLiteral(".pdf"), QStringLiteral(".title")));
  ASSERT_TRUE(title.open(QIODevice::ReadOnly));
  EXPECT_EQ(title.readAll(), "TEST DATA REPORT");
  const QString info = output("pdfinfo", {pdf});
  EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+2\\n"))) << info.toStdString();
  const QString page1 = output("pdftotext", {"-f", "1", "-l", "1", pdf, "-"}).simplified();
  const QString page2 = output("pdftotext", {"-f", "2", "-l", "2", pdf, "-"}).simplified();
  EXPECT_TRUE(page1.contains("TEST DATA REPORT")) << page1.toStdString();
  EXPECT_TRUE(page1.contains("The Page 1 Of 2")) << page1.toStdString();
  EXPECT_TRUE(page1.contains("37.5"));
  EXPECT_FALSE(page1.contains("38.5"));
  EXPECT_TRUE(page2.contains("The Page 2 Of 2")) << page2.toStdString();
  EXPECT_TRUE(page2.contains("40.5 M\u03A9"));
}

}  // namespace
}  // namespace vexal
