#pragma once

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "AcquisitionCycle.h"
#include "BackgroundArt.h"
#include "ConnectionPanel.h"
#include "ControlFactory.h"
#include "CsvRecorder.h"
#include "DeviceLink.h"
#include "DialogTemplate.h"
#include "DialogUnits.h"
#include "HelpTips.h"
#include "IniFile.h"
#include "IniSettingsStore.h"
#include "LanguageButtons.h"
#include "LinkControls.h"
#include "LinkState.h"
#include "LiveReadout.h"
#include "LocalClock.h"
#include "LogoLink.h"
#include "PlatformSeams.h"
#include "ReceivePath.h"
#include "RecorderGroup.h"
#include "RecordingControls.h"
#include "ScaleLayout.h"
#include "Serialport.h"
#include "Settings.h"
#include "SettingsCommands.h"
#include "SettingsStore.h"
#include "ToolbarDlg.h"
#include "WindowBoxes.h"
#include "WindowStats.h"

class CBusTableWnd;
class CSkinAdapter;
class WindowBus;
class KeyboardChain;
class CChartCtrl;
class ChartPresenter;
class ParameterListPresenter;
class PictureExport;
class ReviewOpener;
class PlotFeed;
class MeasuringTools;
namespace ListCtrlEx {
class CListCtrlEx;
}
class QAbstractButton;
class QKeyEvent;
class QLabel;
class QWidget;

// What the application hands the main window: the language chosen at start and
// the services it uses. Nothing here is owned by the window.
struct DialogContext {
    Language language = Language::English;
    int* languageFlag = nullptr;  // 0 Chinese, 1 English; bound to the language buttons
    int backgroundPicture = kEnglishBackgroundId;
    const CIniFile* ini = nullptr;
    MessageSink* messages = nullptr;
    UrlOpener* urls = nullptr;
    WindowTimers* timers = nullptr;  // null: the window runs Qt timers of its own
    CSkinAdapter* skin = nullptr;
    std::string executablePath;  // for the default data folder
    FolderPicker* folders = nullptr;
    Clock* clock = nullptr;  // null: local time
    std::string pictureDir = "../picture";
    QSize screenSize;             // free area, panels off; empty: the primary screen's
    CSerialPort* port = nullptr;  // the process's one channel
    std::function<std::vector<int>()> discoverPorts;
    // Recordings to open on Ctrl+O; null: the desktop's file dialog asks.
    std::function<QStringList()> pickRecordings;
};

class CTiltwiseDlg : public QDialog,
                     private SettingsView,
                     public SerialOwner,
                     public ChartCommandTarget {
    Q_OBJECT
public:
    explicit CTiltwiseDlg(const DialogContext& context, QWidget* parent = nullptr);
    ~CTiltwiseDlg() override;

    // Runs the initialisation steps in their fixed order; call once, before exec().
    void InitWindow();

    // Writes a label or caption; repaints only when the text really changes.
    void SetLabelText(int id, const QString& text);
    int LabelRepaints() const { return labelRepaints_; }

    QWidget* Control(int id) const;
    const Settings& CurrentSettings() const { return settings_; }
    bool Initialised() const { return initialised_; }
    QSize StartClientSize() const { return startClientSize_; }
    QRect LogoArea() const { return logoLink_->Area(); }
    const ScaleState& LayoutState() const { return scale_; }
    const DialogUnits& Units() const { return units_; }

    // Runs the resize rule for a size change of the given kind.
    void ScaleLayoutNow(ResizeKind kind);
    // Timer ticks arrive here, from Qt timers or from a test.
    void OnTimer(int id);
    // The help text of a help area, or "" for any other control.
    QString HelpText(int id) const { return help_.Text(id); }

    const LinkState& Link() const { return device_->State(); }
    const DecodeParameters& Decode() const { return decode_; }
    const LiveReadout& Readout() const { return readout_; }
    ListCtrlEx::CListCtrlEx* ParameterList() const;

    // Every accepted measurement: formatted once, then recorded and plotted.
    void DeliverMeasurement(const Measurement& m);
    CsvRecorder& Recorder() { return *recorder_; }
    // One recorder, or one per address while a bus is polled.
    RecorderGroup& Recorders() { return *recorders_; }
    WindowBus& Bus() { return *bus_; }
    // The table of the sensors on the bus; null until a bus is polled.
    CBusTableWnd* BusTable() const { return busTable_; }
    const WindowStats& Stats() const { return stats_; }
    CChartCtrl* Chart() const;
    PlotFeed& Plot() { return *plotFeed_; }
    CToolbarDlg* Toolbar() const { return toolbar_; }
    MeasuringTools& Tools() { return *tools_; }
    ReviewOpener* Reviews() const { return reviews_; }

    // ChartCommandTarget: the command bar's buttons.
    void OnChartCommand(int command) override;
    std::string ChartCommandTip(int command) const override;
    std::string PictureFileName() const;
    void ExportPicture();
    // The record button and Browse.
    void OnRecordClicked() { recording_->OnRecordClicked(); }
    void OnBrowseClicked() { recording_->OnBrowseClicked(); }
    // A signal's end: as the close button, but nobody is there to answer a box.
    void CloseWithoutAsking();
    // Escape and the close button end here: while recording, only after the
    // operator said so.
    void reject() override;

    ReceivePath& Receive() { return device_->Receive(); }
    ConnectionPanel& Connection() { return device_->Panel(); }
    SettingsCommands& Commands() { return device_->Commands(); }
    AcquisitionCycle& Acquisition() { return device_->Cycle(); }
    const LinkHealth& Health() const { return device_->Health(); }

    // SerialOwner: the channel's deliveries and error boxes.
    void DeliverBytes(int message, const uint8_t* bytes, const RxBlockInfo& info) override;
    void WakeUiThread() override;
    void ShowPortError(const std::string& text, const std::string& caption) override;
    void ShowLineNotice(const LineNotice& notice) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // SettingsView: what loading the settings file does to the window.
    void SelectBaudIndex(int index) override;
    void SelectParityIndex(int index) override;
    void SelectProtocolIndex(int index) override;
    void ApplyProtocol() override;
    void SetAddressFieldText(const std::string& text) override;
    void RefuseModel(const std::string& text) override;

    // The device link's hooks into the window.
    void ShowBox(const std::string& text, const std::string& caption, BoxIcon icon) {
        boxes_.Show(text, caption, icon);
    }
    void ApplyProtocolToList();
    void ReadoutTick();
    // The readout's labels and list values, the rate shown being `rate`.
    void ShowReadout(int rate);

    // The bus: made and remade as the link says, its table and recorders following.
    void FollowBus();
    bool BusTurn();
    void DeliverBusMeasurement(const Measurement& m);
    // The table's rows as they are now; `reveal` shows a hidden table too.
    void ShowBusTable(bool reveal);
    void SelectBusSensor(uint8_t address);

    void CreateDeviceLink();
    void ConnectControls();

    // The initialisation steps, in order.
    void SetIcons();
    void RecordSizes();
    void SetTimeSpanSlider();
    void ShowLanguageButtons();
    void SetReadoutFontsAndColours();
    void SetUpChart();
    void ApplySkin();
    void SetUpParameterList();
    void CreateCommandBar();
    void StartTimers();
    void LimitTrafficPane();
    void PlaceWindow();
    // Tab runs through the controls in reading order, the command bar's buttons among them.
    void ChainFocus();
    void FocusAndCentreAddresses();

    // What assistive technology calls a control: renewed whenever its caption
    // or value changes, since the name may carry it.
    void RefreshAccessibleName(int id);
    void NameControlsForAccessibility();
    void CentreAddressText();
    // The recorder's part of every close: rows offered again, then idle.
    void EndRecordingForClose();
    // A child's place in the layout at the start size, which every resize scales.
    QRect PlaceAtStartSize(QWidget& child) const;
    // Below its start size the window's text shrinks with the layout.
    void FitTextToScale();
    void TakeTimeSpan();
    // Enter is consumed everywhere in the window but in the parameter list's editor.
    bool ConsumesEnter(QObject* watched, const QKeyEvent* key) const;

    DialogContext context_;
    QFont templateFont_;
    DialogUnits units_;
    std::map<int, QWidget*> controls_;
    // Controls the event filter watches, looked up once.
    QWidget* slider_ = nullptr;
    Settings settings_;
    std::unique_ptr<WindowTimers> ownTimers_;
    WindowTimers* timers_ = nullptr;

    QImage background_;
    QPixmap scaledBackground_;
    QSize startClientSize_;
    QSize screenSize_;
    QPoint screenOrigin_;
    ScaleState scale_;
    bool initialised_ = false;
    std::unique_ptr<LogoLink> logoLink_;

    LiveReadout readout_;
    SystemClock systemClock_;
    std::unique_ptr<CsvRecorder> recorder_;
    std::unique_ptr<RecorderGroup> recorders_;
    std::unique_ptr<RecordingControls> recording_;
    std::unique_ptr<LanguageButtons> languages_;
    std::unique_ptr<PictureExport> picture_;
    ReviewOpener* reviews_ = nullptr;
    bool closingWithoutAsking_ = false;
    std::unique_ptr<PlotFeed> plotFeed_;
    CToolbarDlg* toolbar_ = nullptr;
    KeyboardChain* keyboard_ = nullptr;
    std::unique_ptr<MeasuringTools> tools_;
    std::unique_ptr<ChartPresenter> chartCommands_;
    WindowStats stats_;
    DecodeParameters decode_;
    std::unique_ptr<ParameterListPresenter> parameters_;
    std::unique_ptr<CSerialPort> ownPort_;
    CSerialPort* port_ = nullptr;
    IniSettingsStore store_;
    HelpTips help_;
    WindowBoxes boxes_;
    std::unique_ptr<LinkControls> linkControls_;
    SystemHealthClock healthClock_;
    std::unique_ptr<DeviceLink> device_;
    // After the link: the bus holds on to its receive path.
    std::unique_ptr<WindowBus> bus_;
    CBusTableWnd* busTable_ = nullptr;
    int lastRate_ = 0;
    std::vector<uint8_t> recordedFor_;  // the addresses the recorders were last given
    // The link has stopped delivering since the last measurement.
    bool valuesStale_ = false;
    // Shorthands into device_ for the window's own handlers.
    ConnectionPanel* panel_ = nullptr;
    SettingsCommands* commands_ = nullptr;
    AcquisitionCycle* acquisition_ = nullptr;
    int labelRepaints_ = 0;
};
