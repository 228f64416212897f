#include "TiltwiseApp.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLocale>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BackgroundArt.h"
#include "DialogUnits.h"
#include "IniFile.h"
#include "InterfaceLanguage.h"
#include "ProgramTree.h"
#include "QtPlatform.h"
#include "RecorderGroup.h"
#include "ReviewWnd.h"
#include "Serialport.h"
#include "Settings.h"
#include "SignalExit.h"
#include "SkinAdapter.h"
#include "TiltwiseDlg.h"

namespace {

// Options for unattended runs; a missing or bad number leaves the option off.
struct RunOptions {
    explicit RunOptions(const QStringList& args) {
        record = args.contains(QStringLiteral("--record"));
        seconds = Number(args, QStringLiteral("--run-seconds"));
        stallMs = Number(args, QStringLiteral("--stall-ms"));
        const int at = args.indexOf(QStringLiteral("--stats"));
        if (at >= 0 && at + 1 < args.size()) statsFile = args.at(at + 1);
    }
    static int Number(const QStringList& args, const QString& name) {
        const int at = args.indexOf(name);
        if (at < 0 || at + 1 >= args.size()) return 0;
        bool ok = false;
        const int value = args.at(at + 1).toInt(&ok);
        return ok && value > 0 ? value : 0;
    }
    bool record = false;
    int seconds = 0;
    int stallMs = 0;
    QString statsFile;
};

// The files named on the command line: every argument that is neither an
// option nor an option's value. The desktop's "Open with" passes them so.
std::vector<std::string> RecordingArguments(const QStringList& args) {
    static const QStringList withValue = {
        QStringLiteral("--screenshot"), QStringLiteral("--screenshot-delay"),
        QStringLiteral("--run-seconds"), QStringLiteral("--stall-ms"), QStringLiteral("--stats")};
    std::vector<std::string> files;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a.startsWith(QLatin1Char('-'))) {
            if (withValue.contains(a)) ++i;
            continue;
        }
        // The launcher starts the program in its own tree; a relative name
        // means the folder it was called from.
        const QString caller = qEnvironmentVariable("TILTSCOPE_CALLER_DIR");
        files.push_back((caller.isEmpty() ? a : QDir(caller).absoluteFilePath(a)).toStdString());
    }
    return files;
}

// Recordings given to the program open in the review window alone: looking
// at a file must not take the serial port.
int RunReview(std::vector<std::string> files, Language language, const QStringList& args) {
    const int shot = args.indexOf(QStringLiteral("--screenshot"));
    auto* review = new CReviewWnd(std::move(files), language);
    review->show();
    review->StartLoading();
    if (shot < 0) return QApplication::exec();
    std::unique_ptr<CReviewWnd> owned(review);
    owned->setAttribute(Qt::WA_DeleteOnClose, false);
    if (shot + 1 >= args.size()) {
        std::fprintf(stderr, "tiltscope: --screenshot needs a file name\n");
        return 2;
    }
    // The picture shows the recording, so it waits until the files are read.
    if (!owned->IsLoaded()) {
        QEventLoop wait;
        QObject::connect(owned.get(), &CReviewWnd::loaded, &wait, &QEventLoop::quit);
        wait.exec();
    }
    QApplication::processEvents();
    const QString file = args.at(shot + 1);
    if (!owned->grab().save(file, "PNG")) {
        std::fprintf(stderr, "tiltscope: cannot write %s\n", qPrintable(file));
        return 1;
    }
    return 0;
}

void WriteStats(const QString& file, CTiltwiseDlg& dialog) {
    const WindowStats& s = dialog.Stats();
    // On a bus, every address's recorder.
    RecorderStats r;
    dialog.Recorders().ForEach([&r](uint8_t, CsvRecorder& recorder, RecordingAlerts&) {
        const RecorderStats one = recorder.Stats();
        r.rowsWritten += one.rowsWritten;
        r.rowsDropped += one.rowsDropped;
        r.rowsAbandoned += one.rowsAbandoned;
    });
    std::FILE* out = std::fopen(file.toLocal8Bit().constData(), "w");
    if (!out) return;
    std::fprintf(out,
                 "frames=%llu\nmiscount=%d\nrows_written=%llu\nrows_dropped=%llu\n"
                 "readout_ticks=%llu\nreadout_max_late_ms=%ld\nmeasurements=%llu\n"
                 "rows_abandoned=%llu\n",
                 static_cast<unsigned long long>(s.framesCounted), dialog.Receive().Miscount(),
                 static_cast<unsigned long long>(r.rowsWritten),
                 static_cast<unsigned long long>(r.rowsDropped),
                 static_cast<unsigned long long>(s.readoutTicks), s.maxReadoutLateMs,
                 static_cast<unsigned long long>(s.measurements),
                 static_cast<unsigned long long>(r.rowsAbandoned));
    std::fclose(out);
}

}  // namespace

CTiltwiseApp::CTiltwiseApp(QStringList arguments, QLocale desktop)
    : arguments_(std::move(arguments)), desktop_(std::move(desktop)) {}

int CTiltwiseApp::SystemLanguageId() const {
    return DesktopLanguageId(desktop_);
}

int CTiltwiseApp::Run() {
    // The one serial channel lives from start to end of the process.
    CSerialPort serialPort;
    int status = 0;

    CSkinAdapter skin;
    skin.Start(nullptr, "SCRIBBLE", nullptr, nullptr);
    skin.LoadSkinFile("../config/QVR.smf");
    InstallFontSubstitutions();

    const CIniFile ini;
    const StartLanguage start = ChooseStartLanguage(ini, desktop_);
    int languageFlag = start.flag;
    // Before the first box or picker can show.
    const CQtTranslations qtTexts(start.language);

    QtMessageSink messages;
    QtUrlOpener urls;
    DialogContext context;
    context.language = start.language;
    context.languageFlag = &languageFlag;
    context.backgroundPicture = start.backgroundPicture;
    context.ini = &ini;
    context.messages = &messages;
    context.urls = &urls;
    context.skin = &skin;
    context.executablePath = ProgramTree::FromEnvironment().ProgramPath(
        QCoreApplication::applicationFilePath().toStdString());
    QtFolderPicker folders;
    context.folders = &folders;
    context.port = &serialPort;
    context.discoverPorts = [] { return PortMap().Discover(PosixPortFileSystem()); };

    std::vector<std::string> recordings = RecordingArguments(arguments_);
    if (!recordings.empty()) {
        status = RunReview(std::move(recordings), start.language, arguments_);
        skin.Shutdown();
        return status;
    }

    const int shot = arguments_.indexOf(QStringLiteral("--screenshot"));
    {
        CTiltwiseDlg dialog(context);
        dialog.InitWindow();
        if (shot >= 0) {
            if (shot + 1 >= arguments_.size()) {
                std::fprintf(stderr, "tiltscope: --screenshot needs a file name\n");
                return 2;
            }
            dialog.show();
            // --screenshot-delay MS lets the window run (and the sensor talk) first.
            const int delayAt = arguments_.indexOf(QStringLiteral("--screenshot-delay"));
            const int delayMs = delayAt >= 0 && delayAt + 1 < arguments_.size()
                                    ? arguments_.at(delayAt + 1).toInt()
                                    : 0;
            if (delayMs > 0) {
                QEventLoop wait;
                QTimer::singleShot(delayMs, &wait, &QEventLoop::quit);
                wait.exec();
            }
            QApplication::processEvents();
            const QString file = arguments_.at(shot + 1);
            if (!dialog.grab().save(file, "PNG")) {
                std::fprintf(stderr, "tiltscope: cannot write %s\n", qPrintable(file));
                return 1;
            }
        } else {
            RunOptions run(arguments_);
            // A signal ends the run as the close button does: open boxes go first,
            // since each holds an event loop of its own, then the window writes
            // every row it has received.
            SignalExit exitOnSignal([&dialog](int) {
                for (int i = 0; i < 16; ++i) {
                    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                    if (!box || box == &dialog) break;
                    box->reject();
                }
                dialog.CloseWithoutAsking();
            });
            // Unattended runs (soak and line-rate checks) drive the window from here.
            QTimer stall;
            if (run.record) dialog.OnRecordClicked();
            if (run.stallMs > 0) {
                QObject::connect(&stall, &QTimer::timeout, [&run] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(run.stallMs));
                });
                stall.start(1000);
            }
            // Nobody is there to answer whether a recording may end.
            if (run.seconds > 0)
                QTimer::singleShot(run.seconds * 1000, &dialog,
                                   [&dialog] { dialog.CloseWithoutAsking(); });
            dialog.exec();
            if (!run.statsFile.isEmpty()) WriteStats(run.statsFile, dialog);
            // Said in the window already, if anyone was there; the journal keeps this.
            dialog.Recorders().ForEach([&status](uint8_t, CsvRecorder& recorder, RecordingAlerts&) {
                const RecorderStats r = recorder.Stats();
                if (r.rowsAbandoned + r.rowsDropped == 0) return;
                std::fprintf(stderr, "tiltscope: %llu rows could not be written to %s\n",
                             static_cast<unsigned long long>(r.rowsAbandoned + r.rowsDropped),
                             recorder.CurrentPath().c_str());
                status = 1;
            });
        }
    }
    skin.Shutdown();
    return status;
}
