#include "TiltwiseDlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSlider>
#include <QTableWidget>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "AccessibleNames.h"
#include "BackgroundArt.h"
#include "ChartCtrl.h"
#include "ChartLineSerie.h"
#include "ListCtrlEx.h"
#include "MeasuringTools.h"
#include "ParameterColumns.h"
#include "PlotFeed.h"
#include "QtPlatform.h"
#include "RecordingMessages.h"
#include "SkinAdapter.h"
#include "StringTable.h"
#include "ToolbarDlg.h"
#include "TrafficPane.h"

const char* const kChinesePageUrl = "https://www.tiltscope.example/";
const char* const kEnglishPageUrl = "https://www.tiltscope.example/en/";

namespace {

const QColor kStaticTextColour(0, 66, 0);
constexpr int kTrafficPaneLimit = 65535;
constexpr int kTooltipWidth = 159;

// Help areas and the strings they explain.
const std::pair<int, int> kHelpAreas[] = {
    {1088, IDS_HELP_CONNECTION}, {1090, IDS_HELP_ADDRESS}, {1089, IDS_HELP_SETTINGS},
    {1091, IDS_HELP_SAVING},     {1094, IDS_HELP_CHART},   {1092, IDS_HELP_PARAMETERS},
    {1093, IDS_HELP_TRAFFIC},
};

QString Id(int id) {
    return QString::number(id);
}

// A drop-down list's template height is that of its opened list; closed, it is
// one line high, as tall as a push button.
constexpr int kClosedListHeightDu = 12;

}  // namespace

int IniSettingsStore::ReadInt(const std::string& key, int fallback) const {
    return ini_ ? ini_->ReadInt(key, fallback) : fallback;
}

void IniSettingsStore::WriteString(const std::string& key, const std::string& value) {
    if (ini_) ini_->WriteString(key, value);
}

void IniSettingsStore::WriteInt(const std::string& key, int value) {
    if (ini_) ini_->WriteInt(key, value);
}

CTiltwiseDlg::CTiltwiseDlg(const DialogContext& context, QWidget* parent)
    : QDialog(parent),
      context_(context),
      templateFont_(TemplateFont(context.language)),
      units_(templateFont_),
      store_(context.ini) {
    setObjectName(QStringLiteral("100"));
    setWindowTitle(QStringLiteral("Tiltscope_V2.0"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setFont(templateFont_);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(units_.X(kTemplateWidthDu), units_.Y(kTemplateHeightDu));

    if (context_.timers) {
        timers_ = context_.timers;
    } else {
        ownTimers_ = std::make_unique<QtWindowTimers>();
        timers_ = ownTimers_.get();
    }
    timers_->SetHandler([this](int id) { OnTimer(id); });

    background_ = DrawBackgroundPicture(
        context_.backgroundPicture == kChineseBackgroundId ? Language::Chinese : Language::English);
    CreateControls();
    NameControlsForAccessibility();
    CreateDeviceLink();
    ConnectControls();

    // Window creation, before the controls are initialised.
    settings_.CsvFolder = DefaultDataFolder(context_.executablePath);
    recorder_ = std::make_unique<CsvRecorder>(context_.clock ? *context_.clock : systemClock_);

    // Enter is consumed before any control or the dialog sees it.
    qApp->installEventFilter(this);
}

CTiltwiseDlg::~CTiltwiseDlg() {
    qApp->removeEventFilter(this);
    // An edit still open is committed while Qt takes the widgets down; by then
    // there is no window left to take it.
    disconnect(ParameterList(), nullptr, this, nullptr);
    if (timers_) timers_->SetHandler(nullptr);
    // The channel outlives the window; its monitor must not call a window that is gone.
    if (port_) port_->Close();
}

void CTiltwiseDlg::CreateDeviceLink() {
    port_ = context_.port;
    if (!port_) {
        ownPort_ = std::make_unique<CSerialPort>();
        port_ = ownPort_.get();
    }
    ReceiveHandlers handlers;
    handlers.OnTarqAcknowledge = [this](const uint8_t* frame, size_t count) {
        commands_->OnTarqAcknowledge(frame, count);
    };
    handlers.OnModbusEcho = [this](const uint8_t* frame, size_t count) {
        commands_->OnModbusEcho(frame, count);
    };
    handlers.OnModbusException = [this](const uint8_t* frame, size_t count) {
        commands_->OnModbusException(frame, count);
    };
    handlers.DeliverMeasurement = [this](const Measurement& m) {
        DeliverMeasurement(m);
        commands_->OnMeasurement();
    };
    receivePath_ = std::make_unique<ReceivePath>(decode_, handlers);
    receivePath_->SetWriteQueue(port_);
    panel_ = std::make_unique<ConnectionPanel>(link_, *this, store_, *port_, *this, *receivePath_,
                                               context_.discoverPorts);
    commands_ = std::make_unique<SettingsCommands>(
        link_, *this, *panel_,
        [this](const uint8_t* bytes, size_t count) { receivePath_->OnTxFrame(bytes, count); });
    acquisition_ = std::make_unique<AcquisitionCycle>(link_, *this, store_, *panel_, *commands_,
                                                      *receivePath_);
}

void CTiltwiseDlg::ConnectControls() {
    auto button = [this](int id, auto handler) {
        connect(static_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this,
                handler);
    };
    // Lists answer the operator's choice only; a selection made by the program
    // runs no handler.
    auto list = [this](int id, auto handler) {
        connect(static_cast<QComboBox*>(Control(id)), &QComboBox::activated, this, handler);
    };
    button(ctl::kOpen, [this] { panel_->OnOpenClicked(); });
    button(ctl::kPolling, [this] { acquisition_->PollingToggle(); });
    button(ctl::kSetBaud, [this] { commands_->OnSetBaud(); });
    button(ctl::kSetFrequency, [this] { commands_->OnSetFrequency(); });
    button(ctl::kSetAddress, [this] { commands_->OnSetAddress(); });
    button(ctl::kSave, [this] { commands_->OnSave(); });
    button(ctl::kSetParity, [this] { commands_->OnSetParity(); });
    button(ctl::kSetZero, [this] { commands_->OnSetZero(); });
    button(ctl::kClearZero, [this] { commands_->OnClearZero(); });
    button(1008, [this] { OnRecordClicked(); });
    button(1016, [this] { OnBrowseClicked(); });
    list(ctl::kPortList, [this] { panel_->OnPortSelected(); });
    list(ctl::kParityList, [this] { panel_->OnParitySelected(); });
    list(ctl::kBaudList, [this] { panel_->OnBaudSelected(); });
    list(ctl::kProtocolList, [this] { panel_->OnProtocolSelected(); });
    list(ctl::kModelList, [this] { panel_->OnModelSelected(); });
    auto* slider = static_cast<QSlider*>(Control(1052));
    connect(slider, &QSlider::valueChanged, this, [this](int) { TakeTimeSpan(); });
    slider->installEventFilter(this);
}

QWidget* CTiltwiseDlg::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void CTiltwiseDlg::CreateControls() {
    auto* languages = new QButtonGroup(this);
    for (const ControlSpec& spec : DialogControls()) {
        QWidget* w = CreateControl(spec);
        w->setObjectName(Id(spec.id));
        w->setGeometry(ControlGeometry(units_, spec, context_.language));
        w->setVisible(spec.shown);
        controls_[spec.id] = w;
        if (spec.kind == ControlKind::RadioButton)
            languages->addButton(static_cast<QRadioButton*>(w));
    }
    const int flag = context_.languageFlag ? *context_.languageFlag : 1;
    static_cast<QRadioButton*>(Control(flag == 0 ? 1056 : 1055))->setChecked(true);
    connect(static_cast<QRadioButton*>(Control(1056)), &QRadioButton::clicked, this,
            [this] { OnLanguageButton(0); });
    connect(static_cast<QRadioButton*>(Control(1055)), &QRadioButton::clicked, this,
            [this] { OnLanguageButton(1); });
}

void CTiltwiseDlg::NameControlsForAccessibility() {
    for (const ControlSpec& spec : DialogControls()) {
        RefreshAccessibleName(spec.id);
        if (auto* caption = qobject_cast<QLabel*>(Control(CaptionLabelOf(spec.id))))
            caption->setBuddy(Control(spec.id));
    }
    // The tooltip carries markup for its width; the description is the plain text.
    for (const auto& [id, text] : kHelpAreas) Control(id)->setAccessibleDescription(HelpText(id));
}

void CTiltwiseDlg::RefreshAccessibleName(int id) {
    QWidget* w = Control(id);
    if (!w) return;
    QString shown;
    if (auto* l = qobject_cast<QLabel*>(w)) shown = l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) shown = b->text();
    const QString name =
        QString::fromStdString(AccessibleName(id, shown.toStdString(), context_.language));
    if (w->accessibleName() != name) w->setAccessibleName(name);
}

QWidget* CTiltwiseDlg::CreateControl(const ControlSpec& spec) {
    const QString text = QString::fromUtf8(::ControlText(spec, context_.language));
    const DuRect& du = ControlRect(spec, context_.language);
    switch (spec.kind) {
        case ControlKind::Chart:
            return new CChartCtrl(this);
        case ControlKind::PushButton: {
            auto* b = new QPushButton(text, this);
            b->setAutoDefault(false);
            b->setFocusPolicy(Qt::StrongFocus);
            return b;
        }
        case ControlKind::StaticText: {
            auto* l = new QLabel(text, this);
            Qt::Alignment a = Qt::AlignLeft | Qt::AlignTop;
            if (spec.style & kRightAligned) a = Qt::AlignRight | Qt::AlignTop;
            if (spec.style & kCentred) a = Qt::AlignHCenter | Qt::AlignTop;
            if (spec.style & kVCentred) a = (a & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
            l->setAlignment(a);
            // Static texts are drawn over the picture: dark green, no background.
            QPalette p = l->palette();
            p.setColor(QPalette::WindowText, kStaticTextColour);
            l->setPalette(p);
            l->setAttribute(Qt::WA_TranslucentBackground);
            return l;
        }
        case ControlKind::DropDownList: {
            auto* c = new QComboBox(this);
            const int itemHeight = units_.Y(kClosedListHeightDu);
            c->setMaxVisibleItems(std::max(1, units_.Y(du.height) / std::max(1, itemHeight) - 1));
            return c;
        }
        case ControlKind::Edit: {
            auto* e = new QLineEdit(this);
            if (spec.style & kDigitsOnly) {
                e->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), e));
            }
            e->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return e;
        }
        case ControlKind::TrafficPane:
            return new TrafficPane(this);
        case ControlKind::Slider: {
            auto* s = new QSlider(Qt::Horizontal, this);
            s->setTickPosition(QSlider::NoTicks);
            return s;
        }
        case ControlKind::RadioButton:
            return new QRadioButton(text, this);
        case ControlKind::ListView:
            return new ListCtrlEx::CListCtrlEx(this);
        case ControlKind::Placeholder: {
            auto* w = new QWidget(this);
            w->setAttribute(Qt::WA_TransparentForMouseEvents);
            return w;
        }
    }
    return new QWidget(this);
}

QRect ControlGeometry(const DialogUnits& units, const ControlSpec& spec, Language lang) {
    DuRect r = ControlRect(spec, lang);
    if (spec.kind == ControlKind::DropDownList) r.height = kClosedListHeightDu;
    if (spec.kind == ControlKind::StaticText)
        return units.TextPlace(r, QString::fromUtf8(ControlText(spec, lang)));
    return units.Rect(r);
}

// ---- initialisation -------------------------------------------------------

void CTiltwiseDlg::InitWindow() {
    SetIcons();
    RecordSizes();
    SetTimeSpanSlider();
    ShowLanguageButtons();
    FillLists();
    SetReadoutFontsAndColours();
    SetUpChart();
    ApplySkin();
    SetUpParameterList();
    CreateCommandBar();
    if (context_.ini)
        LoadSettings(*context_.ini, settings_, *this,
                     context_.language == Language::Chinese ? 0 : 1);
    decode_.ResolutionFactor = settings_.ResolutionFactor;
    decode_.XRangeOffset = settings_.XRangeOffset;
    decode_.YRangeOffset = settings_.YRangeOffset;
    readout_.SetValueFormat(settings_.ValueFormat);
    FillFrequencyList();
    ApplyProtocolToListStep();
    DiscoverPortsAndOpen();
    MakeFirstCsvFileName();
    RunPollingToggle();
    StartTimers();
    LimitTrafficPane();
    if (!CreateTooltips()) return;
    AttachHelpTips();
    initialised_ = true;
    RecordLogoArea();
    PlaceWindow();
    // The list measured its columns before it had its final size; fit them once now,
    // as every resize does, so the last column's texts are not cut.
    FitParameterColumns();
    FocusAndCentreAddresses();
}

void CTiltwiseDlg::SetIcons() {
    QIcon icon;
    for (int size : {16, 32, 48, 256}) icon.addPixmap(QPixmap::fromImage(DrawProgramIcon(size)));
    setWindowIcon(icon);
}

void CTiltwiseDlg::RecordSizes() {
    startClientSize_ = size();
    screenSize_ = context_.screenSize;
    if (screenSize_.isEmpty()) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        screenSize_ = screen ? screen->size() : startClientSize_;
    }
    scale_.referenceWidth = startClientSize_.width();
    scale_.referenceHeight = startClientSize_.height();
}

void CTiltwiseDlg::SetTimeSpanSlider() {
    auto* slider = static_cast<QSlider*>(Control(1052));
    slider->setRange(0, 100);
    slider->setValue(100);
}

void CTiltwiseDlg::ShowLanguageButtons() {
    for (int id : {1056, 1055}) Control(id)->hide();
    for (int id : {1056, 1055}) Control(id)->show();
}

void CTiltwiseDlg::FillLists() {
    panel_->FillLists();
}
void CTiltwiseDlg::FillFrequencyList() {
    panel_->FillFrequencyList();
}
void CTiltwiseDlg::DiscoverPortsAndOpen() {
    panel_->StartupScan();
}
void CTiltwiseDlg::RunPollingToggle() {
    acquisition_->PollingToggle();
}

void CTiltwiseDlg::SetReadoutFontsAndColours() {
    QFont readout(QStringLiteral("Times New Roman"));
    readout.setPixelSize(12);
    readout.setWeight(QFont::Medium);
    readout.setFixedPitch(true);
    readout.setStyleHint(QFont::TypeWriter);
    for (int id : {1075, 1076, 1077, 1078}) Control(id)->setFont(readout);
}

void CTiltwiseDlg::SetUpChart() {
    plotFeed_ = std::make_unique<PlotFeed>(*Chart(), readout_);
    plotFeed_->SetUpChart(LoadResourceString(IDS_VALUE, context_.language));
    tools_ = std::make_unique<MeasuringTools>(*Chart());
    // Traces frozen by Stop drawing answer a click on a point with its value.
    plotFeed_->onFrozenTrace = [this](CChartLineSerie& trace) {
        trace.SetMouseListener(&tools_->PointClickListener());
    };
}

void CTiltwiseDlg::CreateCommandBar() {
    toolbar_ = new CToolbarDlg(*this, this);
    const QString barName = QString::fromStdString(ChartCommandBarName(context_.language));
    toolbar_->setAccessibleName(barName);
    toolbar_->ChartCommandBar()->setAccessibleName(barName);
    toolbar_->setGeometry(Control(1070)->geometry());
    toolbar_->show();
}
void CTiltwiseDlg::ApplyProtocolToListStep() {
    ApplyProtocolToList();
}
// ---- CSV recording --------------------------------------------------------

void CTiltwiseDlg::ShowCsvPath(const std::string& path) {
    static_cast<QLineEdit*>(Control(1073))->setText(QString::fromStdString(path));
}

void CTiltwiseDlg::MakeFirstCsvFileName() {
    ShowCsvPath(recorder_->ChangeFolder(settings_.CsvFolder, settings_.CsvPrefix));
}

void CTiltwiseDlg::SetRecorderIdle() {
    // Everything delivered while recording is written before the window goes.
    recorder_->Stop();
}

void CTiltwiseDlg::ShowRecordButtonIdle() {
    static_cast<QPushButton*>(Control(1008))
        ->setText(QString::fromUtf8(LoadResourceString(IDS_START, context_.language)));
    RefreshAccessibleName(1008);
}

void CTiltwiseDlg::OnRecordClicked() {
    if (recorder_->IsRecording()) {
        ShowRecordButtonIdle();
        recorder_->Stop();
        return;
    }
    if (!recorder_->Start(settings_.CsvFolder, settings_.CsvPrefix)) return;
    recordingAlerts_.Reset();
    ShowCsvPath(recorder_->CurrentPath());
    static_cast<QPushButton*>(Control(1008))
        ->setText(QString::fromUtf8(LoadResourceString(IDS_STOP, context_.language)));
    RefreshAccessibleName(1008);
}

void CTiltwiseDlg::CheckRecording() {
    if (!recorder_->IsRecording()) return;
    const auto news = recordingAlerts_.Check(recorder_->Fault(), recorder_->Stats(),
                                             std::chrono::steady_clock::now());
    for (const RecordingNews& n : news) {
        const std::string text =
            RecordingNewsText(n, context_.language, recorder_->HeldBytesLimit());
        if (text.empty()) continue;
        if (n.event == RecordingEvent::CannotCreate) {
            // Nothing of this recording is on the disk: it has not really begun.
            ShowRecordButtonIdle();
            recorder_->Stop();
        }
        ShowBox(text, "Message",
                n.event == RecordingEvent::CannotCreate ? BoxIcon::Error : BoxIcon::Exclamation);
    }
}

void CTiltwiseDlg::OfferUnwrittenRows() {
    if (!context_.messages) return;
    while (recorder_->IsRecording()) {
        // Most often this write takes every row and nothing needs asking.
        if (!recorder_->WriteNow(std::chrono::seconds(5))) return;
        const WriteFault fault = recorder_->Fault();
        const RecorderStats s = recorder_->Stats();
        if (fault.trouble == WriteTrouble::None || s.rowsHeld == 0) return;
        const Language lang = context_.language;
        if (!context_.messages->AskRetry(
                UnwrittenRowsText(s.rowsHeld + s.rowsCollected, fault, lang), "Message",
                RetryButtonText(lang), DiscardButtonText(lang)))
            return;
    }
}

void CTiltwiseDlg::CloseWithoutAsking() {
    closingWithoutAsking_ = true;
    close();
}

void CTiltwiseDlg::OnBrowseClicked() {
    const std::string chosen = context_.folders
                                   ? context_.folders->PickFolder(
                                         "Please select the data storage path", settings_.CsvFolder)
                                   : "";
    if (!chosen.empty()) {
        settings_.CsvFolder = chosen;
        store_.WriteString("PATH", chosen);
    }
    // What was collected so far belongs to the file it was collected for; the
    // recording goes on in a fresh file, chosen folder or not.
    if (recorder_->IsRecording()) recorder_->WriteNow(std::chrono::seconds(2));
    ShowCsvPath(recorder_->ChangeFolder(settings_.CsvFolder, settings_.CsvPrefix));
}

// ---- live readout ---------------------------------------------------------

ListCtrlEx::CListCtrlEx* CTiltwiseDlg::ParameterList() const {
    return static_cast<ListCtrlEx::CListCtrlEx*>(Control(kParameterListId));
}

void CTiltwiseDlg::SetUpParameterList() {
    using namespace ListCtrlEx;
    CListCtrlEx* list = ParameterList();
    const int third = list->contentsRect().width() / 3;
    list->InsertColumn(0, QStringLiteral("      Item"), third, TextColumn, Qt::AlignHCenter, 0);
    list->InsertColumn(1, QStringLiteral("X"), third, EditColumn, Qt::AlignHCenter, 0);
    list->InsertColumn(2, QStringLiteral("Y"), third, EditColumn, Qt::AlignHCenter, 0);
    list->SetRowHeight(Control(ctl::kPortList)->contentsRect().height());
    const int captions[] = {IDS_SET_RANGE, IDS_SET_RESOLUTION, IDS_VALUE};
    for (int row = 0; row < 3; ++row)
        list->InsertItem(row,
                         QString::fromUtf8(LoadResourceString(captions[row], context_.language)));
    list->InsertItem(3, QStringLiteral("Vpp"));
    const char* const starts[] = {"90deg", "0.01", LiveReadout::kNeverSent, "0.00"};
    for (int row = 0; row < 4; ++row) {
        list->SetItemText(row, 1, QString::fromLatin1(starts[row]));
        list->SetItemText(row, 2, QString::fromLatin1(starts[row]));
    }
    // The Y resolution follows the X one; values and peak-to-peak are shown only.
    for (const auto& [row, column] : {std::pair{1, 2}, {2, 1}, {2, 2}, {3, 1}, {3, 2}})
        list->SetCellEnabled(row, column, false);
    connect(list, &CListCtrlEx::WM_LISTEX_ENDEDIT, this, &CTiltwiseDlg::ParameterCommit);
}

void CTiltwiseDlg::ApplyProtocolToList() {
    ListCtrlEx::CListCtrlEx* list = ParameterList();
    const bool modbus = link_.protocol == kProtocolModbus;
    const QString resolution = QString::fromStdString(settings_.ResolutionText);
    // Only Modbus sensors report raw counts that the ranges offset.
    list->SetItemText(0, 1,
                      modbus ? QString::fromStdString(settings_.XRangeText) : QStringLiteral("-"));
    list->SetItemText(0, 2,
                      modbus ? QString::fromStdString(settings_.YRangeText) : QStringLiteral("-"));
    list->SetCellEnabled(0, 1, modbus);
    list->SetCellEnabled(0, 2, modbus);
    list->SetItemText(1, 1, resolution);
    list->SetItemText(1, 2, resolution);
}

void CTiltwiseDlg::ParameterCommit(int row, int column, const QString& text) {
    const std::string typed = text.toStdString();
    const float clamp = std::numeric_limits<float>::max();
    if (row == 0 && (column == 1 || column == 2)) {
        const float offset =
            static_cast<float>(std::clamp(LeadingNumber(typed), -double(clamp), double(clamp)));
        (column == 1 ? decode_.XRangeOffset : decode_.YRangeOffset) = offset;
        store_.WriteString(column == 1 ? "xRange" : "yRange", typed);
    } else if (row == 1 && column == 1) {
        ParameterList()->SetItemText(1, 2, text);
        settings_.ValueFormat = SelectValueFormat(typed, settings_.ValueFormat);
        readout_.SetValueFormat(settings_.ValueFormat);
        decode_.ResolutionFactor = ResolutionFromText(typed);
        store_.WriteString("Ratio", typed);
    }
}

void CTiltwiseDlg::DeliverMeasurement(const Measurement& m) {
    // A reply without any value is no measurement: no row, no plot sample.
    if (!m.HasAnyValue()) return;
    ++stats_.measurements;
    readout_.Format(m);
    recorder_->AppendRow(readout_.XValueText(), readout_.YValueText(), readout_.TemperatureText());
    if (plotFeed_) plotFeed_->AppendPlotSample(m.x, m.y);
}

void CTiltwiseDlg::ReadoutTick() {
    const int frames = receivePath_->TakeFramesThisSecond();
    stats_.framesCounted += static_cast<uint64_t>(frames);
    const LiveReadout::TickTexts t = readout_.Tick(frames, receivePath_->MiscountText());
    SetLabelText(1022, QString::fromStdString(t.rate));
    SetLabelText(1030, QString::fromStdString(t.temperature));
    SetLabelText(1029, QString::fromStdString(t.miscount));
    ListCtrlEx::CListCtrlEx* list = ParameterList();
    list->SetItemText(2, 1, QString::fromStdString(t.xValue));
    list->SetItemText(2, 2, QString::fromStdString(t.yValue));
    list->SetItemText(3, 1, QString::fromStdString(t.xVpp));
    list->SetItemText(3, 2, QString::fromStdString(t.yVpp));
    CursorReadout();
}

void CTiltwiseDlg::ApplySkin() {
    CSkinAdapter* skin = context_.skin;
    if (!skin) return;
    skin->BindWindow(this, "ACC_68_DL");
    const std::pair<int, const char*> bound[] = {
        {1007, "Button_Save"},  {1015, "Edit_Rec"},  {1080, "Edit_Addr"},
        {1079, "Edit_SETAddr"}, {1056, "Radio_Get"}, {1055, "Radio_Get"},
    };
    for (const auto& [id, name] : bound) skin->BindControl(Control(id), name, "ACC_68_DL");
    skin->SetWindowMode(this, 3);
}

void CTiltwiseDlg::StartTimers() {
    timers_->Start(0, 250);
    timers_->Start(2, 1000);
}

void CTiltwiseDlg::LimitTrafficPane() {
    static_cast<TrafficPane*>(Control(1015))->SetLimit(kTrafficPaneLimit);
}

bool CTiltwiseDlg::CreateTooltips() {
    // Qt's tooltips need no control of their own; the step stays for its place in the order.
    return true;
}

void CTiltwiseDlg::AttachHelpTips() {
    for (const auto& [id, text] : kHelpAreas) {
        // A fixed-width table makes long tips wrap at the width the help has always had.
        const QString tip =
            QStringLiteral("<table width=\"%1\"><tr><td>%2</td></tr></table>")
                .arg(kTooltipWidth)
                .arg(
                    QString::fromUtf8(LoadResourceString(text, context_.language)).toHtmlEscaped());
        Control(id)->setToolTip(tip);
    }
}

QString CTiltwiseDlg::HelpText(int id) const {
    for (const auto& [area, text] : kHelpAreas) {
        if (area == id) return QString::fromUtf8(LoadResourceString(text, context_.language));
    }
    return QString();
}

void CTiltwiseDlg::RecordLogoArea() {
    logoArea_ = Control(1058)->geometry();
    // Its mouse events reach eventFilter through the application-wide filter.
    Control(1058)->setMouseTracking(true);
}

void CTiltwiseDlg::PlaceWindow() {
    // The recorded client size becomes the outer size: the frame's share comes off
    // the client area, and the resize rule scales the controls once for it.
    const QSize frame = frameGeometry().size() - size();
    move(0, 0);
    if (!frame.isEmpty()) resize(startClientSize_ - frame);
    setMinimumSize(startClientSize_ - frame);
    setMaximumSize(screenSize_);
}

void CTiltwiseDlg::FocusAndCentreAddresses() {
    Control(1001)->setFocus();
    CentreAddressText();
}

void CTiltwiseDlg::CentreAddressText() {
    // Only the Chinese template has multi-line address fields, whose text is
    // moved down to the middle; the English single-line fields keep theirs.
    for (int id : {1080, 1079}) {
        auto* e = static_cast<QLineEdit*>(Control(id));
        if (context_.language != Language::Chinese) {
            e->setTextMargins(0, 0, 0, 0);
            continue;
        }
        const QFontMetrics fm(e->font());
        const int shift = AddressTextShift(e->contentsRect().height(), fm.height(), fm.leading());
        e->setTextMargins(0, std::max(0, shift), 0, 0);
    }
}

// ---- SettingsView ---------------------------------------------------------

namespace {

void SelectIndex(QWidget* w, int index) {
    auto* c = static_cast<QComboBox*>(w);
    // An index outside the list leaves it without a selection.
    c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
}

}  // namespace

void CTiltwiseDlg::SelectBaudIndex(int index) {
    SelectIndex(Control(1004), index);
}
void CTiltwiseDlg::SelectParityIndex(int index) {
    SelectIndex(Control(1017), index);
}
void CTiltwiseDlg::SelectProtocolIndex(int index) {
    SelectIndex(Control(1025), index);
}
void CTiltwiseDlg::ApplyProtocol() {
    panel_->ApplyProtocol(ListSelection(ctl::kProtocolList));
}

void CTiltwiseDlg::SetAddressFieldText(const std::string& text) {
    static_cast<QLineEdit*>(Control(1080))->setText(QString::fromStdString(text));
}

void CTiltwiseDlg::RefuseModel(const std::string& text) {
    // Joined to the data folder, such a name would write files elsewhere.
    const std::string name = settings_.CsvPrefix;
    if (context_.language == Language::Chinese)
        ShowBox("Config.ini 中的 MODEL=" + text +
                    " 不能作为文件名的开头（不可含 /、.. 或控制字符），已使用 \"" + name + "\"。",
                "Message", BoxIcon::Exclamation);
    else
        ShowBox("MODEL=" + text +
                    " in Config.ini cannot begin a file name (no /, .. or control "
                    "characters); \"" +
                    name + "\" is used.",
                "Message", BoxIcon::Exclamation);
}

// ---- run time -------------------------------------------------------------

void CTiltwiseDlg::SetLabelText(int id, const QString& text) {
    QWidget* w = Control(id);
    if (!w) return;
    auto* label = qobject_cast<QLabel*>(w);
    auto* button = qobject_cast<QAbstractButton*>(w);
    const QString current = label ? label->text() : button ? button->text() : QString();
    if (current.toLocal8Bit() == text.toLocal8Bit()) return;
    if (label) label->setText(text);
    if (button) button->setText(text);
    RefreshAccessibleName(id);
    // The picture under a transparent label is redrawn before the new text, at once.
    w->repaint();
    ++labelRepaints_;
}

void CTiltwiseDlg::OnTimer(int id) {
    switch (id) {
        case AcquisitionCycle::kPollTimer:
            acquisition_->PollTick();
            break;
        case AcquisitionCycle::kReadoutTimer: {
            // How late the once-a-second tick comes is how responsive the window is.
            const auto now = std::chrono::steady_clock::now();
            if (stats_.readoutTicks > 0) {
                const auto period = std::chrono::milliseconds(timers_->Period(id));
                const auto late = now - lastReadoutTick_ - period;
                stats_.maxReadoutLateMs = std::max<long>(
                    stats_.maxReadoutLateMs,
                    static_cast<long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(late).count()));
            }
            lastReadoutTick_ = now;
            ++stats_.readoutTicks;
            acquisition_->ReadoutTick();
            CheckRecording();
            break;
        }
        case AcquisitionCycle::kSettingsTimer:
            commands_->OnTimeout();
            break;
        case AcquisitionCycle::kPlotTimer:
            plotFeed_->PlotTick();
            break;
        default:
            break;
    }
}

// ---- SerialOwner ----------------------------------------------------------

void CTiltwiseDlg::DeliverBytes(int message, const uint8_t* bytes, const RxBlockInfo& info) {
    ++deliveryDepth_;
    receivePath_->OnRxBlock(message, bytes, info);
    --deliveryDepth_;
}

void CTiltwiseDlg::WakeUiThread() {
    // From the monitor thread: the delivery runs on the UI thread, after whatever
    // it is doing now. A call queued to a window that is gone is dropped by Qt.
    QMetaObject::invokeMethod(
        this, [this] { port_->ServiceDeliveries(); }, Qt::QueuedConnection);
}

void CTiltwiseDlg::ShowPortError(const std::string& text, const std::string& caption) {
    // Boxes can only be shown on the UI thread; the monitor never waits for one.
    QMetaObject::invokeMethod(
        this, [this, text, caption] { ShowBox(text, caption, BoxIcon::Error); },
        Qt::QueuedConnection);
}

// ---- DeviceLinkView -------------------------------------------------------

namespace {

QComboBox* Combo(QWidget* w) {
    return qobject_cast<QComboBox*>(w);
}

}  // namespace

void CTiltwiseDlg::ClearList(int id) {
    if (QComboBox* c = Combo(Control(id))) c->clear();
}

bool CTiltwiseDlg::InsertListEntry(int id, int position, const std::string& text) {
    QComboBox* c = Combo(Control(id));
    if (!c) return false;
    c->insertItem(position, QString::fromStdString(text));
    return true;
}

void CTiltwiseDlg::SetListEntryTip(int id, int position, const std::string& tip) {
    if (QComboBox* c = Combo(Control(id)))
        c->setItemData(position, QString::fromStdString(tip), Qt::ToolTipRole);
}

int CTiltwiseDlg::ListCount(int id) const {
    const QComboBox* c = Combo(Control(id));
    return c ? c->count() : 0;
}

std::string CTiltwiseDlg::ListEntry(int id, int position) const {
    const QComboBox* c = Combo(Control(id));
    return c ? c->itemText(position).toStdString() : std::string();
}

int CTiltwiseDlg::ListSelection(int id) const {
    const QComboBox* c = Combo(Control(id));
    return c ? c->currentIndex() : -1;
}

void CTiltwiseDlg::SelectListEntry(int id, int position) {
    QComboBox* c = Combo(Control(id));
    if (c) c->setCurrentIndex(position >= 0 && position < c->count() ? position : -1);
}

std::string CTiltwiseDlg::ListText(int id) const {
    const QComboBox* c = Combo(Control(id));
    return c ? c->currentText().toStdString() : std::string();
}

std::string CTiltwiseDlg::ControlText(int id) const {
    QWidget* w = Control(id);
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
    return std::string();
}

void CTiltwiseDlg::SetControlText(int id, const std::string& text) {
    QWidget* w = Control(id);
    const QString t = QString::fromStdString(text);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(t);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(t);
    if (auto* l = qobject_cast<QLabel*>(w)) l->setText(t);
    RefreshAccessibleName(id);
}

void CTiltwiseDlg::SetLabelText(int id, const std::string& text) {
    SetLabelText(id, QString::fromStdString(text));
}

void CTiltwiseDlg::ShowControl(int id, bool shown) {
    if (QWidget* w = Control(id)) w->setVisible(shown);
}

bool CTiltwiseDlg::ChineseSelected() const {
    return static_cast<QRadioButton*>(Control(1056))->isChecked();
}

std::string CTiltwiseDlg::ResourceString(int id) const {
    return LoadResourceString(id, context_.language);
}

void CTiltwiseDlg::ShowBox(const std::string& text, const std::string& caption, BoxIcon icon) {
    if (!context_.messages) return;
    if (deliveryDepth_ > 0) {
        // A box waits for the operator; raised from a received frame it would hold
        // the monitor thread, and the line's bytes would pile up in the kernel
        // until they were lost. It opens once the delivery has returned.
        QMetaObject::invokeMethod(
            this, [this, text, caption, icon] { ShowBox(text, caption, icon); },
            Qt::QueuedConnection);
        return;
    }
    MessageIcon m = MessageIcon::None;
    if (icon == BoxIcon::Exclamation) m = MessageIcon::Warning;
    if (icon == BoxIcon::Error) m = MessageIcon::Error;
    context_.messages->ShowMessage(text, caption, m);
}

void CTiltwiseDlg::StartTimer(int id, int periodMs, bool singleShot) {
    timers_->Start(id, periodMs, singleShot);
}

void CTiltwiseDlg::StopTimer(int id) {
    timers_->Stop(id);
}

void CTiltwiseDlg::PostOpConfirmed() {
    QMetaObject::invokeMethod(
        this, [this] { commands_->OnOpConfirmed(); }, Qt::QueuedConnection);
}

int CTiltwiseDlg::TrafficPaneLength() const {
    const auto* pane = static_cast<const TrafficPane*>(Control(ctl::kTrafficPane));
    return pane->CharacterCount();
}

void CTiltwiseDlg::ReplaceTrafficPane(const std::string& text) {
    static_cast<TrafficPane*>(Control(ctl::kTrafficPane))
        ->ReplaceText(QString::fromStdString(text));
}

void CTiltwiseDlg::AppendTrafficPane(const std::string& text) {
    static_cast<TrafficPane*>(Control(ctl::kTrafficPane))
        ->AppendAtEnd(QString::fromStdString(text));
}

void CTiltwiseDlg::SetModelName(const std::string& name) {
    settings_.CsvPrefix = name;
}

void CTiltwiseDlg::OnLanguageButton(int flag) {
    if (context_.languageFlag) *context_.languageFlag = flag;
    if (!context_.ini || !StoreLanguageChoice(*context_.ini, flag)) return;
    if (!context_.messages) return;
    if (flag == 1)
        context_.messages->ShowMessage("Restart to take effect!!", "Message", MessageIcon::None);
    else
        context_.messages->ShowMessage("重启软件生效!!", "提示", MessageIcon::None);
}

bool CTiltwiseDlg::InsideLogoArea(const QPoint& p) const {
    return p.x() > logoArea_.left() && p.x() < logoArea_.left() + logoArea_.width() &&
           p.y() > logoArea_.top() && p.y() < logoArea_.top() + logoArea_.height();
}

void CTiltwiseDlg::ScaleLayoutNow(ResizeKind kind) {
    if (!initialised_) return;
    std::vector<LayoutChild> children;
    std::vector<QWidget*> widgets;
    for (QObject* o : this->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isWindow()) continue;
        const QRect g = w->geometry();
        children.push_back(
            {w->objectName().toInt(),
             ChartRect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()}});
        widgets.push_back(w);
    }
    const std::vector<ChartRect> placed = ScaleLayout(children, kind, width(), height(), scale_);
    if (placed.empty()) return;
    for (size_t i = 0; i < widgets.size(); ++i) {
        const ChartRect& r = placed[i];
        widgets[i]->setGeometry(r.left, r.top, r.Width(), r.Height());
        widgets[i]->update();
    }
    logoArea_ = Control(1058)->geometry();
    if (toolbar_) {
        toolbar_->setGeometry(Control(1070)->geometry());
        toolbar_->update();
    }
    FitParameterColumns();
    CentreAddressText();
    update();
}

void CTiltwiseDlg::FitParameterColumns() {
    ListCtrlEx::CListCtrlEx* list = ParameterList();
    list->setUpdatesEnabled(false);
    FitParameterColumnsToTexts(*list, font());
    list->setUpdatesEnabled(true);
}

// ---- chart commands -------------------------------------------------------

CChartCtrl* CTiltwiseDlg::Chart() const {
    return static_cast<CChartCtrl*>(Control(1000));
}

void CTiltwiseDlg::TakeTimeSpan() {
    if (plotFeed_)
        plotFeed_->SetPointCount(
            PointCountForSlider(static_cast<QSlider*>(Control(1052))->value()));
}

void CTiltwiseDlg::OnChartCommand(int command) {
    switch (command) {
        case 32771:
            plotFeed_->StartDrawing();
            timers_->Start(AcquisitionCycle::kPlotTimer, 250);
            break;
        case 32772:
            plotFeed_->StopDrawing();
            timers_->Stop(AcquisitionCycle::kPlotTimer);
            break;
        case 32775:
            plotFeed_->ToggleAbscissa();
            break;
        case 32776:
            plotFeed_->ToggleOrdinate();
            break;
        case 32777:
            plotFeed_->ToggleXData();
            break;
        case 32778:
            plotFeed_->ToggleYData();
            break;
        case 32782:
            ExportPicture();
            break;
        default:
            OnMeasuringCommand(command);
            break;
    }
    // The buttons are named by what their next click does, as their tips are.
    if (toolbar_) toolbar_->RefreshNames();
}

std::string CTiltwiseDlg::ChartCommandTip(int command) const {
    int id = 0;
    switch (command) {
        case 32771:
            id = 121;
            break;
        case 32772:
            id = 122;
            break;
        case 32781:
            id = 123;
            break;
        case 32773:
            id = tools_->CrossHairOn() ? 131 : 124;
            break;
        case 32774:
            id = tools_->XAxisRulerOn() ? 132 : 125;
            break;
        case 32780:
            id = tools_->YAxisRulerOn() ? 133 : 126;
            break;
        case 32775:
            id = plotFeed_->AbscissaShown() ? 134 : 127;
            break;
        case 32776:
            id = plotFeed_->OrdinateShown() ? 135 : 128;
            break;
        case 32782:
            id = 119;
            break;
        case 32777:
            id = plotFeed_->ShowXData() ? 129 : 136;
            break;
        case 32778:
            id = plotFeed_->ShowYData() ? 130 : 137;
            break;
        default:
            return std::string();
    }
    return LoadResourceString(id, context_.language);
}

std::string CTiltwiseDlg::PictureFileName() const {
    Clock& clock = context_.clock ? *context_.clock : const_cast<SystemClock&>(systemClock_);
    const LocalTime t = clock.Now();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return context_.pictureDir + "/VXL284_Wave_shape_" + stamp + ".png";
}

void CTiltwiseDlg::ExportPicture() {
    // A new user's first export must not vanish for want of the folder.
    std::error_code ec;
    std::filesystem::create_directories(context_.pictureDir, ec);
    // Nothing is said either way: the operator sees the file appear.
    Chart()->SaveImage(PictureFileName(), ChartRect{0, 0, 800, 360});
}

void CTiltwiseDlg::OnMeasuringCommand(int command) {
    switch (command) {
        case 32781:
            tools_->ShowMouse();
            break;
        case 32773:
            tools_->ToggleCrossHair();
            if (!tools_->CrossHairOn()) {
                for (int id : {1075, 1076, 1077, 1078}) SetLabelText(id, QString());
            }
            break;
        case 32774:
            tools_->ToggleXAxisRuler();
            break;
        case 32780:
            tools_->ToggleYAxisRuler(plotFeed_->PointCount());
            break;
        default:  // 32779 and anything else: nothing
            break;
    }
}

void CTiltwiseDlg::CursorReadout() {
    if (!tools_->CrossHairOn()) return;
    const MeasuringTools::Readout r = tools_->CursorReadout(readout_.ValueFormat());
    SetLabelText(1075, QString::fromStdString(r.xPos));
    SetLabelText(1076, QString::fromStdString(r.yPos));
    SetLabelText(1077, QString::fromStdString(r.xDiff));
    SetLabelText(1078, QString::fromStdString(r.yDiff));
}

// ---- events ---------------------------------------------------------------

void CTiltwiseDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (scaledBackground_.size() != size()) {
        scaledBackground_ = QPixmap::fromImage(
            background_.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    painter.drawPixmap(0, 0, scaledBackground_);
}

void CTiltwiseDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const Qt::WindowStates state = windowState();
    ResizeKind kind = ResizeKind::Restore;
    if (state & Qt::WindowMinimized)
        kind = ResizeKind::Minimise;
    else if (state & Qt::WindowMaximized)
        kind = ResizeKind::Maximise;
    ScaleLayoutNow(kind);
}

void CTiltwiseDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) update();
}

void CTiltwiseDlg::closeEvent(QCloseEvent* event) {
    if (!closingWithoutAsking_) OfferUnwrittenRows();
    SetRecorderIdle();
    QDialog::closeEvent(event);
}

bool CTiltwiseDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* w = qobject_cast<QWidget*>(watched);
        // The parameter list's editor sees Enter first: it commits the edit there.
        const bool inList = w && (w == ParameterList() || ParameterList()->isAncestorOf(w));
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && w && !inList &&
            (w == this || isAncestorOf(w)))
            return true;
    }
    if (watched == Control(1052) && event->type() == QEvent::Paint) TakeTimeSpan();
    if (initialised_ && watched == Control(1058)) {
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint p = Control(1058)->mapTo(this, mouse->position().toPoint());
            const bool inside = InsideLogoArea(p);
            if (event->type() == QEvent::MouseMove) {
                if (inside)
                    Control(1058)->setCursor(Qt::PointingHandCursor);
                else
                    Control(1058)->unsetCursor();
            } else if (inside && mouse->button() == Qt::LeftButton && context_.urls) {
                const bool chinese = static_cast<QRadioButton*>(Control(1056))->isChecked();
                context_.urls->OpenUrl(chinese ? kChinesePageUrl : kEnglishPageUrl);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
