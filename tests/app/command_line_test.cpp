// The command line beside the window: the same texts give the same step size,
// line and report; exit statuses; the CSV and chart files; no window system.
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>
#include <sstream>

#include "cli/command_line.h"
#include "offscreen_messages.h"
#include "ui/main_window.h"

using namespace kavrin;

namespace {

struct Ran {
  int status;
  QString out;
  QString err;
};

Ran Run(const QStringList& arguments) {
  std::ostringstream out, err;
  std::vector<std::string> bytes;
  for (const QString& argument : arguments) bytes.push_back(argument.toStdString());
  const int status = RunCommandLine(bytes, out, err);
  return {status, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
}

}  // namespace

class CommandLineTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir;

 private slots:
  void initTestCase() { InstallOffscreenFilter(); }

  void agreesWithTheWindow_data() {
    QTest::addColumn<QString>("x1");
    QTest::addColumn<QString>("N");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("method");
    QTest::newRow("plain") << "2"
                           << "200"
                           << "Option_RK4"
                           << "rk4";
    QTest::newRow("lenient texts, full name") << "&H2"
                                              << "1 000"
                                              << "Option_RKF"
                                              << "Runge-Kutta-Fehlberg Method";
    QTest::newRow("trailing letters") << "1"
                                      << "12abc"
                                      << "Option_EulerMP"
                                      << "EULER-MP";
    QTest::newRow("exponent D, backwards") << "-0.5"
                                           << "1D1"
                                           << "Option_RK4G"
                                           << "rk4g";
    QTest::newRow("fractional N") << "1"
                                  << "2.7"
                                  << "Option_EulerEP"
                                  << "euler-ep";
    QTest::newRow("failure: no steps") << "0.1"
                                       << "abc"
                                       << "Option_Euler"
                                       << "euler";
    QTest::newRow("failure: overflow") << "1000"
                                       << "10"
                                       << "Option_RKM"
                                       << "rkm";
    // Past the pole at 2.7305937325145234: a line, then the same warning, at
    // any N; just before it, none.
    QTest::newRow("past the pole, 10 steps") << "3"
                                             << "10"
                                             << "Option_RK4G"
                                             << "rk4g";
    QTest::newRow("just past the pole, 100 steps") << "2.730593733"
                                                   << "100"
                                                   << "Option_RK4"
                                                   << "rk4";
    QTest::newRow("just before the pole") << "2.730593732514523"
                                          << "100"
                                          << "Option_RK4"
                                          << "rk4";
  }
  void agreesWithTheWindow() {
    QFETCH(QString, x1);
    QFETCH(QString, N);
    QFETCH(QString, option);
    QFETCH(QString, method);
    MainWindow form;
    QStringList reports;
    QStringList warnings;
    form.set_error_reporter([&](const QString& message) { reports << message; });
    form.set_warning_reporter([&](const QString& message) { warnings << message; });
    form.findChild<QRadioButton*>(option)->setChecked(true);
    form.findChild<QLineEdit*>("Text_x1")->setText(x1);
    form.findChild<QLineEdit*>("Text_N")->setText(N);
    form.findChild<QPushButton*>("Command1")->click();

    const Ran cli = Run({"--x1", x1, "--steps", N, "--method", method});
    auto* list = form.findChild<QListWidget*>("List1");
    if (reports.isEmpty()) {
      QCOMPARE(cli.status, 0);
      QCOMPARE(cli.out, "h = " + form.findChild<QLineEdit*>("Text_h")->text() + "\n" +
                            list->item(list->count() - 2)->text() + "\n");
      // The same warning in both, or none; only past the pole.
      const QString warned = warnings.isEmpty() ? QString() : "kavrin: warning: " + warnings.front() + "\n";
      QCOMPARE(cli.err.toLower(), warned.toLower());
      QCOMPARE(!warnings.isEmpty(), x1.toDouble() > 2.7305937325145234);
    } else {
      QCOMPARE(cli.status, 1);
      QCOMPARE(cli.out, QString());
      QCOMPARE(cli.err, reports.front() + "\n");
    }
  }

  void exitStatusesHelpAndVersion() {
    QCOMPARE(Run({"--version"}).out, QStringLiteral("Kavrin 1.00\n"));
    const Ran help = Run({"--help"});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.startsWith("Usage: kavrin [options]"));
    for (const char* option : {"--x1", "--steps", "--method", "--table", "--compare", "--format", "--plot", "--phase",
                               "--along", "--invariant", "--field-x", "--stability", "--tableau", "--check-tableau"})
      QVERIFY2(help.out.contains(QLatin1String(option)), option);
    // Wrong options: one line naming the option, the usage hint, status 2.
    const QStringList wrong[] = {{"--bogus"},
                                 {"--method", "heun"},
                                 {"--method", "rk4,rkf"},
                                 {"--compare", "--steps", "1.5"},
                                 {"--compare", "--steps", "80..20"},
                                 {"--compare", "--format", "xml"},
                                 {"--compare", "--table", "x.csv"},
                                 {"--format", "csv"},
                                 {"--plot", "chart.gif"},
                                 {"--phase", "p.pdf"},
                                 {"--along", "a.csv", "--invariant", "y1 +* y2"},
                                 {"--along", "a.csv", "--steps", "10,20"},
                                 {"--phase", "p.svg", "--compare"},
                                 {"--invariant", "y1"},
                                 {"--tableau", "/nonexistent/k.tableau"},
                                 {"--stability", "--steps", "10,20"},
                                 {"--stability", "--compare"},
                                 {"--stability", "--plot", "s.gif"},
                                 {"--check-tableau", "k.tableau", "--x1", "2"},
                                 {"stray"}};
    for (const QStringList& arguments : wrong) {
      const Ran o = Run(arguments);
      QCOMPARE(o.status, 2);
      QCOMPARE(o.out, QString());
      const QStringList lines = o.err.split('\n', Qt::SkipEmptyParts);
      QCOMPARE(lines.size(), 2);
      QVERIFY2(lines[0].startsWith("kavrin: "), qPrintable(lines[0]));
      QCOMPARE(lines[1], QStringLiteral("Try 'kavrin --help' for more information."));
    }
  }

  // --check-tableau: 0 with an order, 1 without, 2 unreadable (at its line
  // and column); a tableau added with --tableau runs under its file's name,
  // and --stability writes λ along the path as CSV.
  void tableausFromFiles() {
    auto write = [this](const char* name, const char* text) {
      QString path = dir.filePath(QString::fromLatin1(name));
      QFile file(path);
      file.open(QIODevice::WriteOnly);
      file.write(text);
      return path;
    };
    const QString heun = write("heun.tableau", "# Heun\n0|\n1|1\n---\n|1/2 1/2\n");
    const Ran good = Run({"--check-tableau", heun});
    QCOMPARE(good.status, 0);
    QVERIFY2(good.out.contains("Order: 2 (every condition checked exactly, in fractions)"), qPrintable(good.out));
    QCOMPARE(Run({"--check-tableau", write("none.tableau", "0|\n---\n|1/2\n")}).status, 1);
    const Ran bad = Run({"--check-tableau", write("bad.tableau", "0|\n1|1 +* 2\n---\n|1/2 1/2\n")});
    QCOMPARE(bad.status, 2);
    QVERIFY2(bad.err.contains("bad.tableau: line 2: ") && bad.err.contains("column"), qPrintable(bad.err));
    QCOMPARE(Run({"--check-tableau", dir.filePath("missing.tableau")}).status, 2);

    const Ran ran = Run({"--tableau", heun, "--x1", "1", "--steps", "10", "--method", "heun"});
    QCOMPARE(ran.status, 0);
    QVERIFY2(ran.out.endsWith("Heun\n"), qPrintable(ran.out));
    // The same as the built-in Heun (Euler End-Point) but for its own sums' rounding.
    const Ran builtin = Run({"--x1", "1", "--steps", "10", "--method", "euler-ep"});
    QCOMPARE(ran.out.split(' ', Qt::SkipEmptyParts)[4], builtin.out.split(' ', Qt::SkipEmptyParts)[4]);

    const Ran lambda = Run({"--stability", "--x1", "1", "--steps", "10", "--method", "rk4", "--table", "-"});
    QCOMPARE(lambda.status, 0);
    const QStringList rows = lambda.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.front(), QStringLiteral("x,lambda1_re,lambda1_im,lambda2_re,lambda2_im"));
    QCOMPARE(rows.size(), 4002);
    QVERIFY2(rows[1].startsWith("0,0.6180339887498949,0,-1.618033988749895,0"), qPrintable(rows[1]));
  }

  // --tolerance: the result line at x1, the counts, and the accepted steps
  // as CSV; a method without a pair and a tolerance out of range refused.
  void stepsThatChooseTheirSize() {
    const Ran ran = Run({"--tolerance", "1e-8", "--x1", "1"});
    QCOMPARE(ran.status, 0);
    const QStringList lines = ran.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].startsWith("1.0000    0.91883542") && lines[0].endsWith("Runge-Kutta-Fehlberg Method"),
             qPrintable(lines[0]));
    QVERIFY2(lines[1].contains("steps accepted, 0 rejected, ") && lines[2].startsWith("error against the reference"),
             qPrintable(ran.out));
    const Ran table = Run({"--tolerance", "1e-6", "--x1", "1", "--table", "-"});
    const QStringList rows = table.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.front(), QStringLiteral("i,x,y1,y2,h,estimate"));
    QVERIFY2(rows.back().split(',')[1] == "1", qPrintable(rows.back()));
    const QString picture = dir.filePath("h.svg");
    QCOMPARE(Run({"--tolerance", "1e-6", "--method", "dopri54", "--steps-plot", picture}).status, 0);
    QVERIFY(QFile(picture).size() > 1000);
    for (const QStringList& wrong :
         {QStringList{"--tolerance", "1e-8", "--method", "rk4"}, QStringList{"--tolerance", "0"},
          QStringList{"--tolerance", "1e-20"}, QStringList{"--atol", "1e-8"},
          QStringList{"--tolerance", "1e-8", "--steps", "10"}})
      QCOMPARE(Run(wrong).status, 2);
    QCOMPARE(Run({"--tolerance", "1e-8", "--x1", "3"}).status, 1);
    // The sweep: the pairs of --method at each tolerance, in CSV after the fixed rows.
    const Ran sweep = Run({"--compare", "--steps", "10,20", "--method", "rk4,rkf", "--tolerances", "1e-4..1e-6",
                           "--format", "csv", "--plot", dir.filePath("wp.svg")});
    QCOMPARE(sweep.status, 0);
    const QStringList csv = sweep.out.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(csv.front().endsWith(",evaluations,tolerance,rejected") && csv.size() == 1 + 1 + 4 + 3,
             qPrintable(sweep.out));
    QVERIFY2(csv.back().startsWith("Runge-Kutta-Fehlberg Method,") && csv.back().endsWith(",1e-06,0"),
             qPrintable(csv.back()));
    // h along x beside the comparison, for the methods that have a pair.
    const QString steps = dir.filePath("steps.png");
    const Ran along = Run({"--phase", dir.filePath("p.svg"), "--steps-plot", steps, "--x1", "1"});
    QCOMPARE(along.status, 0);
    QVERIFY2(along.out.contains("rkf      at tolerance 1e-6: 7 steps accepted"), qPrintable(along.out));
    QVERIFY(QFile(steps).size() > 1000);
    for (const QStringList& wrong :
         {QStringList{"--tolerances", "1e-6"}, QStringList{"--compare", "--tolerances", "1e-20"},
          QStringList{"--compare", "--method", "rk4", "--tolerances", "1e-6"},
          QStringList{"--phase", dir.filePath("q.svg"), "--method", "rk4", "--steps-plot", steps}})
      QCOMPARE(Run(wrong).status, 2);
  }

  void tableIsWrittenWholeOrNotAtAll() {
    const QString path = dir.filePath("solution.csv");
    const Ran o = Run({"--x1", "2", "--steps", "200", "--method", "rk4", "--table", path});
    QCOMPARE(o.status, 0);
    QVERIFY(o.out.endsWith("Runge-Kutta-4 Method\n"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().split('\n');
    QCOMPARE(rows.front(), QByteArray("i,x,y1,y2"));
    QCOMPARE(rows.size(), 1 + 201 + 1);  // header, N + 1 rows, the empty text after the last line feed
    QCOMPARE(rows[201].left(4), QByteArray("200,"));
    // To standard output, the CSV alone.
    const Ran piped = Run({"--x1", "1", "--steps", "2", "--table", "-"});
    QCOMPARE(piped.out, QStringLiteral("i,x,y1,y2\n0,0,1,-1\n1,0.5,0.5,-0.5\n2,1,0.625,-0.375\n"));
    // An unwritable place: a report, status 1, nothing on standard output and no file.
    const QString missing = dir.filePath("no/such/folder/solution.csv");
    const Ran failed = Run({"--x1", "2", "--steps", "200", "--table", missing});
    QCOMPARE(failed.status, 1);
    QCOMPARE(failed.out, QString());
    QVERIFY2(failed.err.startsWith("kavrin: cannot write " + missing), qPrintable(failed.err));
    QVERIFY(!QFile::exists(missing));
  }

  void chartsAreValidPicturesOfTheStudy() {
    const QString svg = dir.filePath("study.svg");
    const QString png = dir.filePath("study.png");
    for (const QString& path : {svg, png}) {
      const Ran o = Run({"--compare", "--x1", "1", "--steps", "10..640", "--plot", path});
      QCOMPARE(o.status, 0);
      QVERIFY(o.out.contains("Runge-Kutta-Gill Method"));
    }
    QSvgRenderer renderer(svg);
    QVERIFY(renderer.isValid());
    QCOMPARE(renderer.viewBox(), QRect(0, 0, 900, 600));
    const QImage image(png);
    QCOMPARE(image.size(), QSize(900, 600));
    // Not blank: each method's colour is there (Euler black, Gill reddish purple).
    int black = 0, purple = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, y);
        black += pixel == qRgb(0, 0, 0) ? 1 : 0;
        purple += pixel == qRgb(204, 121, 167) ? 1 : 0;
      }
    }
    QVERIFY(black > 200);
    QVERIFY(purple > 50);
  }

  // The installed program, started as a user would, with no display at all.
  void runsWithoutAWindowSystem() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
    const QString png = dir.filePath("bare.png");
    const QString phase = dir.filePath("phase.png");
    const QList<QStringList> runs = {{"--x1", "2", "--steps", "200", "--method", "rk4"},
                                     {"--compare", "--steps", "10,20", "--plot", png},
                                     {"--steps", "50", "--phase", phase}};
    for (const QStringList& arguments : runs) {
      QProcess kavrin;
      kavrin.setProcessEnvironment(environment);
      kavrin.start(QStringLiteral(KAVRIN_BINARY), arguments);
      QVERIFY(kavrin.waitForFinished(30000));
      QCOMPARE(kavrin.exitStatus(), QProcess::NormalExit);
      QCOMPARE(kavrin.exitCode(), 0);
      QCOMPARE(kavrin.readAllStandardError(), QByteArray());
    }
    QCOMPARE(QImage(png).size(), QSize(900, 600));
    QCOMPARE(QImage(phase).size(), QSize(900, 600));
  }
};

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  CommandLineTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "command_line_test.moc"
