#include "TiltwiseDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "AccessibleNames.h"
#include "BusTableWnd.h"
#include "ChartCtrl.h"
#include "ChartLineSerie.h"
#include "ChartPresenter.h"
#include "KeyboardChain.h"
#include "ListCtrlEx.h"
#include "MeasuringTools.h"
#include "ParameterListPresenter.h"
#include "PictureExport.h"
#include "PlotFeed.h"
#include "QtPlatform.h"
#include "ReadingOrder.h"
#include "RecorderGroup.h"
#include "RecordingControls.h"
#include "RecordingMessages.h"
#include "ReviewOpener.h"
#include "ScreenFit.h"
#include "SkinBinding.h"
#include "StringTable.h"
#include "ToolbarDlg.h"
#include "TrafficPane.h"
#include "WindowBus.h"

CTiltwiseDlg::CTiltwiseDlg(const DialogContext& context, QWidget* parent)
    : QDialog(parent),
      context_(context),
      templateFont_(TemplateFont(context.language)),
      units_(templateFont_),
      store_(context.ini),
      help_([this](int id) { return Control(id); }, context.language),
      boxes_(*this, context.messages) {
    setObjectName(QString::number(kMainDialogTemplate));
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
    controls_ = ControlFactory(*this, units_, context_.language).CreateControls();
    slider_ = Control(ctl::kTimeSpanSlider);
    logoLink_ = std::make_unique<LogoLink>(*Control(ctl::kLogoArea), *this,
                                           *static_cast<QAbstractButton*>(Control(ctl::kChinese)),
                                           context_.urls);
    NameControlsForAccessibility();
    CreateDeviceLink();
    // Window creation, before the controls are initialised.
    settings_.CsvFolder = DefaultDataFolder(context_.executablePath);
    Clock& clock = context_.clock ? *context_.clock : systemClock_;
    recorder_ = std::make_unique<CsvRecorder>(clock);
    recorders_ = std::make_unique<RecorderGroup>(*recorder_, clock);
    picture_ = std::make_unique<PictureExport>(*Chart(), clock, context_.pictureDir);
    // Recordings dropped on the window or picked with Ctrl+O open for review.
    reviews_ =
        new ReviewOpener(*this, context_.language, context_.pictureDir, context_.pickRecordings);
    parameters_ = std::make_unique<ParameterListPresenter>(*ParameterList(), settings_, decode_,
                                                           readout_, store_, context_.language);
    recording_ = std::make_unique<RecordingControls>(
        *static_cast<QPushButton*>(Control(ctl::kRecord)),
        *static_cast<QLineEdit*>(Control(ctl::kCsvPath)), *recorders_, settings_, store_,
        context_.language, context_.messages, context_.folders,
        [this](const std::string& text, const std::string& caption, BoxIcon icon) {
            ShowBox(text, caption, icon);
        });
    ConnectControls();

    // Enter is consumed before any control or the dialog sees it.
    qApp->installEventFilter(this);
}

CTiltwiseDlg::~CTiltwiseDlg() {
    qApp->removeEventFilter(this);
    // An edit still open is committed while Qt takes the widgets down; by then
    // there is no window left to take it.
    disconnect(ParameterList(), nullptr, this, nullptr);
    // So is a typed address when the box loses the focus.
    disconnect(Control(ctl::kAddress), nullptr, this, nullptr);
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
    // The display refreshes at most four times a second: a streaming sensor need
    // not wake the window once a frame.
    port_->SetGatherSpan(std::chrono::milliseconds(10));
    LinkControls::Window window;
    window.control = [this](int id) { return Control(id); };
    window.setLabelText = [this](int id, const QString& text) { SetLabelText(id, text); };
    window.textChanged = [this](int id) { RefreshAccessibleName(id); };
    window.showBox = [this](const std::string& text, const std::string& caption, BoxIcon icon) {
        ShowBox(text, caption, icon);
    };
    window.postOpConfirmed = [this] {
        QMetaObject::invokeMethod(
            this, [this] { commands_->OnOpConfirmed(); }, Qt::QueuedConnection);
    };
    window.applyProtocolToList = [this] { ApplyProtocolToList(); };
    window.setModelName = [this](const std::string& name) { settings_.CsvPrefix = name; };
    window.readoutTick = [this] { ReadoutTick(); };
    linkControls_ = std::make_unique<LinkControls>(std::move(window), *timers_, context_.language);
    DeviceLink::Options options;
    options.discover = context_.discoverPorts;
    // The operator's port comes back by itself when its device does.
    options.reopenLost = true;
    device_ = std::make_unique<DeviceLink>(
        DeviceLink::Parts{*linkControls_, store_, *port_, *this, decode_, healthClock_}, options,
        [this](const Measurement& m) { DeliverMeasurement(m); });
    device_->onGap = [this] {
        valuesStale_ = true;
        // plotFeed_ is made later, in InitWindow.
        if (plotFeed_) plotFeed_->BreakTraces();
        bus_->Break();
    };
    panel_ = &device_->Panel();
    commands_ = &device_->Commands();
    acquisition_ = &device_->Cycle();
    bus_ = std::make_unique<WindowBus>(
        WindowBus::Parts{device_->State(), device_->Receive(), *port_, *timers_, *panel_,
                         [this] { return timers_->IsRunning(kSettingsTimer); }},
        WindowBus::kDefaultInterval);
    acquisition_->PollBusWith([this] { return BusTurn(); });
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
    button(ctl::kRecord, [this] { recording_->OnRecordClicked(); });
    button(ctl::kBrowse, [this] { recording_->OnBrowseClicked(); });
    list(ctl::kPortList, [this] { panel_->OnPortSelected(); });
    list(ctl::kParityList, [this] { panel_->OnParitySelected(); });
    list(ctl::kBaudList, [this] { panel_->OnBaudSelected(); });
    list(ctl::kProtocolList, [this] { panel_->OnProtocolSelected(); });
    list(ctl::kModelList, [this] { panel_->OnModelSelected(); });
    list(ctl::kDeviceParityList, [this] { panel_->OnDeviceParitySelected(); });
    // A typed address is taken when the operator leaves the box (Enter: eventFilter).
    connect(static_cast<QLineEdit*>(Control(ctl::kAddress)), &QLineEdit::editingFinished, this,
            [this] { panel_->ReadDeviceAddress(); });
    connect(static_cast<QSlider*>(slider_), &QSlider::valueChanged, this,
            [this](int) { TakeTimeSpan(); });
    // The bus table, brought back after the operator closed it.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), this), &QShortcut::activated, this,
            [this] {
                if (bus_->Addresses().size() < 2) return;
                ShowBusTable(true);
                busTable_->raise();
                busTable_->activateWindow();
            });
    languages_ =
        std::make_unique<LanguageButtons>(*static_cast<QAbstractButton*>(Control(ctl::kChinese)),
                                          *static_cast<QAbstractButton*>(Control(ctl::kEnglish)),
                                          context_.languageFlag, context_.ini, context_.messages);
    connect(ParameterList(), &ListCtrlEx::CListCtrlEx::WM_LISTEX_ENDEDIT, this,
            [this](int row, int column, const QString& text) {
                parameters_->Commit(row, column, text);
            });
}

QWidget* CTiltwiseDlg::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void CTiltwiseDlg::NameControlsForAccessibility() {
    for (const ControlSpec& spec : DialogControls()) {
        RefreshAccessibleName(spec.id);
        if (auto* caption = qobject_cast<QLabel*>(Control(CaptionLabelOf(spec.id))))
            caption->setBuddy(Control(spec.id));
    }
    help_.Describe();
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

// ---- initialisation -------------------------------------------------------

void CTiltwiseDlg::InitWindow() {
    SetIcons();
    RecordSizes();
    SetTimeSpanSlider();
    ShowLanguageButtons();
    panel_->FillLists();
    SetReadoutFontsAndColours();
    SetUpChart();
    ApplySkin();
    SetUpParameterList();
    CreateCommandBar();
    if (context_.ini)
        LoadSettings(*context_.ini, settings_, *this,
                     context_.language == Language::Chinese ? 0 : 1);
    device_->State().modbusRegisters = static_cast<uint8_t>(settings_.ModbusRegisters);
    decode_.ResolutionFactor = settings_.ResolutionFactor;
    decode_.XRangeOffset = settings_.XRangeOffset;
    decode_.YRangeOffset = settings_.YRangeOffset;
    readout_.SetValueFormat(settings_.ValueFormat);
    bus_->SetValueFormat(settings_.ValueFormat);
    bus_->SetInterval(std::chrono::milliseconds(settings_.BusIntervalMs));
    panel_->FillFrequencyList();
    ApplyProtocolToList();
    panel_->StartupScan();  // port discovery and the automatic open
    recording_->MakeFirstCsvFileName();
    acquisition_->PollingToggle();
    StartTimers();
    LimitTrafficPane();
    // Qt's tooltips need no control of their own that could fail to be made.
    help_.Attach();
    initialised_ = true;
    logoLink_->Activate();
    PlaceWindow();
    // The list measured its columns before it had its final size; fit them once now,
    // as every resize does, so the last column's texts are not cut.
    parameters_->FitColumns();
    ChainFocus();
    FocusAndCentreAddresses();
}

void CTiltwiseDlg::SetIcons() {
    QIcon icon;
    for (int size : kProgramIconSizes) icon.addPixmap(QPixmap::fromImage(DrawProgramIcon(size)));
    setWindowIcon(icon);
}

void CTiltwiseDlg::RecordSizes() {
    startClientSize_ = size();
    screenSize_ = context_.screenSize;
    if (screenSize_.isEmpty()) {
        // The room a window may take: the screen without its panels.
        const QScreen* screen = QGuiApplication::primaryScreen();
        screenSize_ = screen ? screen->availableGeometry().size() : startClientSize_;
        if (screen) screenOrigin_ = screen->availableGeometry().topLeft();
    }
    scale_.referenceWidth = startClientSize_.width();
    scale_.referenceHeight = startClientSize_.height();
}

void CTiltwiseDlg::SetTimeSpanSlider() {
    auto* slider = static_cast<QSlider*>(slider_);
    slider->setRange(0, kTimeSpanSteps);
    slider->setValue(kTimeSpanSteps);
}

void CTiltwiseDlg::ShowLanguageButtons() {
    for (int id : {ctl::kChinese, ctl::kEnglish}) Control(id)->hide();
    for (int id : {ctl::kChinese, ctl::kEnglish}) Control(id)->show();
}

void CTiltwiseDlg::SetReadoutFontsAndColours() {
    for (int id : {ctl::kCursorXPos, ctl::kCursorYPos, ctl::kCursorXDiff, ctl::kCursorYDiff})
        Control(id)->setFont(CursorReadoutFont());
}

void CTiltwiseDlg::SetUpChart() {
    plotFeed_ = std::make_unique<PlotFeed>(*Chart(), readout_);
    plotFeed_->SetUpChart(LoadResourceString(IDS_VALUE, context_.language));
    tools_ = std::make_unique<MeasuringTools>(*Chart());
    // Traces frozen by Stop drawing answer a click on a point with its value.
    plotFeed_->onFrozenTrace = [this](CChartLineSerie& trace) {
        trace.SetMouseListener(&tools_->PointClickListener());
    };
    chartCommands_ = std::make_unique<ChartPresenter>(
        *plotFeed_, *tools_, *timers_, [this] { ExportPicture(); },
        [this](int id, const std::string& text) {
            SetLabelText(id, QString::fromStdString(text));
        });
}

void CTiltwiseDlg::CreateCommandBar() {
    toolbar_ = new CToolbarDlg(*this, this);
    const QString barName = QString::fromStdString(ChartCommandBarName(context_.language));
    toolbar_->setAccessibleName(barName);
    toolbar_->ChartCommandBar()->setAccessibleName(barName);
    toolbar_->setGeometry(Control(ctl::kCommandBarPlace)->geometry());
    toolbar_->show();
}

void CTiltwiseDlg::CloseWithoutAsking() {
    closingWithoutAsking_ = true;
    close();
}

// ---- live readout ---------------------------------------------------------

ListCtrlEx::CListCtrlEx* CTiltwiseDlg::ParameterList() const {
    return static_cast<ListCtrlEx::CListCtrlEx*>(Control(ctl::kParameterList));
}

void CTiltwiseDlg::SetUpParameterList() {
    parameters_->SetUp(Control(ctl::kPortList)->contentsRect().height());
}

void CTiltwiseDlg::ApplyProtocolToList() {
    parameters_->ShowProtocol(device_->State().protocol == kProtocolModbus);
}

void CTiltwiseDlg::DeliverMeasurement(const Measurement& m) {
    if (bus_->Active()) {
        DeliverBusMeasurement(m);
        return;
    }
    // A reply without any value is no measurement: no row, no plot sample.
    if (!m.HasAnyValue()) return;
    ++stats_.measurements;
    valuesStale_ = false;
    readout_.Format(m);
    recorder_->AppendRow(readout_.XValueText(), readout_.YValueText(), readout_.TemperatureText());
    if (plotFeed_) plotFeed_->AppendPlotSample(m);
}

void CTiltwiseDlg::DeliverBusMeasurement(const Measurement& m) {
    // Filed first: a whole reply ends its sensor's turn, even one without any value.
    WindowBus::Sensor* sensor = bus_->File(m, std::chrono::steady_clock::now());
    if (!sensor || !m.HasAnyValue()) return;
    ++stats_.measurements;
    sensor->readout.Format(m);
    if (CsvRecorder* r = recorders_->For(m.address))
        r->AppendRow(sensor->readout.XValueText(), sensor->readout.YValueText(),
                     sensor->readout.TemperatureText());
    PlotFeed::AppendSample(sensor->plot, m);
    if (!bus_->IsSelected(*sensor)) return;
    valuesStale_ = false;
    readout_.Format(m);
    if (plotFeed_) plotFeed_->AppendPlotSample(m);
}

void CTiltwiseDlg::FollowBus() {
    const bool changed = bus_->Follow(std::chrono::steady_clock::now());
    if (changed && bus_->Active()) SelectBusSensor(bus_->SelectedAddress());
    // Recording follows the list typed, whether or not the line is open.
    const bool listChanged = bus_->Addresses() != recordedFor_;
    if (listChanged) {
        recordedFor_ = bus_->Addresses();
        recording_->SetAddresses(recordedFor_);
    }
    // A new list brings the table up; closed by the operator, it stays closed
    // until the next list, or Ctrl+B.
    if (changed || listChanged) ShowBusTable(listChanged);
}

bool CTiltwiseDlg::BusTurn() {
    FollowBus();
    if (!bus_->Active()) return false;
    bus_->Drive(std::chrono::steady_clock::now());
    return true;
}

void CTiltwiseDlg::SelectBusSensor(uint8_t address) {
    bus_->Select(address);
    WindowBus::Sensor* s = bus_->Selected();
    if (!s) return;
    // The readout and the chart show the sensor's own values and history at once.
    const std::string format = readout_.ValueFormat();
    readout_ = s->readout;
    readout_.SetValueFormat(format);
    if (plotFeed_) plotFeed_->ShowHistory(s->plot);
    if (busTable_) busTable_->Select(address);
    lastRate_ = bus_->SelectedRate();
    valuesStale_ = bus_->SelectedSilent();
    ShowReadout(lastRate_);
}

void CTiltwiseDlg::ShowBusTable(bool reveal) {
    const std::vector<uint8_t>& addresses = bus_->Addresses();
    if (addresses.size() < 2) {
        if (busTable_) busTable_->hide();
        return;
    }
    if (!busTable_) {
        busTable_ = new CBusTableWnd(context_.language, this);
        busTable_->onSelect = [this](uint8_t address) { SelectBusSensor(address); };
    }
    const PolledBus* bus = bus_->Bus();
    const LinkState& link = device_->State();
    const bool polled = bus && link.linkOpen && link.pollingOn;
    std::vector<BusTableRow> rows;
    for (uint8_t a : addresses) {
        BusTableRow& row = rows.emplace_back();
        row.address = a;
        if (!polled) {
            // Nothing read now: no values, no rate, no state the line does not have.
            row.state = BusTableRow::State::NotPolled;
            continue;
        }
        if (const WindowBus::Sensor* s = bus_->Find(a)) {
            row.x = s->readout.XValueText();
            row.y = s->readout.YValueText();
            row.temperature = s->readout.TemperatureText();
        }
        const std::optional<size_t> at = bus ? bus->Find(a) : std::nullopt;
        if (!at) continue;
        // A silent sensor's last values are no reading of now.
        if (bus->StateOf(*at) == PolledBus::State::Silent) row.x = row.y = row.temperature = "";
        row.rate = bus->Rate(*at);
        row.unanswered = bus->Poller().Sensors()[*at].missed;
        switch (bus->StateOf(*at)) {
            case PolledBus::State::NeverAnswered:
                row.state = BusTableRow::State::NeverAnswered;
                break;
            case PolledBus::State::Answering:
                row.state = BusTableRow::State::Answering;
                break;
            case PolledBus::State::Silent:
                row.state = BusTableRow::State::Silent;
                break;
        }
    }
    busTable_->ShowRows(rows);
    busTable_->Select(bus_->SelectedAddress());
    if (reveal && !busTable_->isVisible()) busTable_->show();
}

void CTiltwiseDlg::ReadoutTick() {
    const int frames = device_->Receive().TakeFramesThisSecond();
    stats_.framesCounted += static_cast<uint64_t>(frames);
    lastRate_ = frames;
    FollowBus();
    if (bus_->Active()) {
        bus_->CountSecond();
        // On a bus the rate shown is the selected sensor's own.
        lastRate_ = bus_->SelectedRate();
        if (bus_->SelectedSilent()) valuesStale_ = true;
        const bool chinese = linkControls_ && linkControls_->ChineseSelected();
        for (const std::string& news : bus_->TakeNews(chinese))
            if (busTable_) busTable_->ShowNews(news);
        ShowBusTable(false);
    }
    ShowReadout(lastRate_);
}

void CTiltwiseDlg::ShowReadout(int rate) {
    LiveReadout::TickTexts t = readout_.Tick(rate, device_->Receive().MiscountText());
    // Since a gap the last values are no reading of now, until the next comes.
    if (valuesStale_) t.temperature = t.xValue = t.yValue = LiveReadout::kNeverSent;
    SetLabelText(ctl::kOutputRate, QString::fromStdString(t.rate));
    SetLabelText(ctl::kTemperature, QString::fromStdString(t.temperature));
    SetLabelText(ctl::kMiscount, QString::fromStdString(t.miscount));
    parameters_->ShowValues(t);
    chartCommands_->CursorReadout(readout_.ValueFormat());
}

void CTiltwiseDlg::ApplySkin() {
    if (context_.skin) ::ApplySkin(*context_.skin, *this, [this](int id) { return Control(id); });
}

void CTiltwiseDlg::StartTimers() {
    timers_->Start(kPlotTimer, kPlotPeriodMs);
    timers_->Start(kReadoutTimer, kReadoutPeriodMs);
}

void CTiltwiseDlg::LimitTrafficPane() {
    static_cast<TrafficPane*>(Control(ctl::kTrafficPane))->SetLimit(kTrafficPaneLimit);
}

void CTiltwiseDlg::PlaceWindow() {
    // The recorded client size becomes the outer size: the frame's share comes off
    // the client area, and the resize rule scales the controls once for it.
    const QSize frame = frameGeometry().size() - size();
    const bool framed = frame.width() > 0 || frame.height() > 0;
    QSize client = framed ? startClientSize_ - frame : startClientSize_;
    // The whole window fits the screen's free area, and scales down where it is smaller.
    client = FittedClientSize(client, screenSize_, framed ? frame : kFrameReserve);
    move(screenOrigin_);
    resize(client);
    // Smaller than at start, down to where the text would become too small to read.
    setMinimumSize(
        SmallestClientSize(startClientSize_, templateFont_.pixelSize()).boundedTo(client));
    setMaximumSize(screenSize_);
    // A hidden window gets its resize event only when shown: the layout follows now.
    if (!isVisible()) ScaleLayoutNow(ResizeKind::Restore);
}

void CTiltwiseDlg::ChainFocus() {
    std::vector<QWidget*> chain;
    for (int id : ReadingOrder(DialogControls(), context_.language, ControlPanels())) {
        if (id == ctl::kCommandBarPlace && toolbar_) {
            for (QWidget* button : toolbar_->Buttons()) chain.push_back(button);
            continue;
        }
        QWidget* w = Control(id);
        if (w && (w->focusPolicy() & Qt::TabFocus)) chain.push_back(w);
    }
    keyboard_ = new KeyboardChain(*this, chain);
}

void CTiltwiseDlg::FocusAndCentreAddresses() {
    Control(ctl::kOpen)->setFocus();
    CentreAddressText();
}

void CTiltwiseDlg::FitTextToScale() {
    const int pixels = TextPixelsAt(startClientSize_, size(), templateFont_.pixelSize());
    if (font().pixelSize() == pixels) return;
    QFont scaled = templateFont_;
    scaled.setPixelSize(pixels);
    setFont(scaled);
}

void CTiltwiseDlg::CentreAddressText() {
    // Only the Chinese template has multi-line address fields, whose text is
    // moved down to the middle; the English single-line fields keep theirs.
    for (int id : {ctl::kAddress, ctl::kNewAddress}) {
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

void CTiltwiseDlg::SelectBaudIndex(int index) {
    linkControls_->Choose(LinkChoice::LineBaud, index);
}
void CTiltwiseDlg::SelectParityIndex(int index) {
    panel_->ShowLineParity(index);
}
void CTiltwiseDlg::SelectProtocolIndex(int index) {
    linkControls_->Choose(LinkChoice::Protocol, index);
}
void CTiltwiseDlg::ApplyProtocol() {
    panel_->ApplyProtocol(linkControls_->Chosen(LinkChoice::Protocol));
}

void CTiltwiseDlg::SetAddressFieldText(const std::string& text) {
    linkControls_->ShowAddress(text);
}

void CTiltwiseDlg::RefuseModel(const std::string& text) {
    // Joined to the data folder, such a name would write files elsewhere.
    ShowBox(RefusedModelText(text, settings_.CsvPrefix, context_.language), "Message",
            BoxIcon::Exclamation);
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
        case kPollTimer:
            device_->PollTick();
            break;
        case kReadoutTimer:
            stats_.CountReadoutTick(std::chrono::steady_clock::now(),
                                    std::chrono::milliseconds(timers_->Period(id)));
            device_->ReadoutTick();
            recording_->CheckRecording();
            break;
        case kSettingsTimer:
            commands_->OnTimeout();
            break;
        case kPlotTimer:
            plotFeed_->PlotTick();
            break;
        case kBusTimer:
            BusTurn();
            break;
        default:
            break;
    }
}

// ---- SerialOwner ----------------------------------------------------------

void CTiltwiseDlg::DeliverBytes(int message, const uint8_t* bytes, const RxBlockInfo& info) {
    boxes_.BeginDelivery();
    device_->Receive().OnRxBlock(message, bytes, info);
    // The next sensor is asked as soon as the last one has answered.
    bus_->Drive(std::chrono::steady_clock::now());
    boxes_.EndDelivery();
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

void CTiltwiseDlg::ShowLineNotice(const LineNotice& notice) {
    // Read on the UI thread: the language may change before the box is shown.
    QMetaObject::invokeMethod(
        this,
        [this, notice] {
            const bool chinese = linkControls_ && linkControls_->ChineseSelected();
            ShowBox(chinese ? notice.chinese : notice.english, "Message", BoxIcon::Exclamation);
        },
        Qt::QueuedConnection);
}

// ---- layout ---------------------------------------------------------------

void CTiltwiseDlg::ScaleLayoutNow(ResizeKind kind) {
    if (!initialised_) return;
    std::vector<LayoutChild> children;
    std::vector<QWidget*> widgets;
    for (QObject* o : this->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isWindow()) continue;
        const QRect g = PlaceAtStartSize(*w);
        children.push_back(
            {w->objectName().toInt(),
             ChartRect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()}});
        widgets.push_back(w);
    }
    // Each size is scaled from the layout at start, not from the last one: a
    // dragged frame sends many small steps, and rounding at each of them would
    // shrink or stall the small controls and cut their captions.
    ScaleState fromStart;
    fromStart.referenceWidth = startClientSize_.width();
    fromStart.referenceHeight = startClientSize_.height();
    const std::vector<ChartRect> placed = ScaleLayout(children, kind, width(), height(), fromStart);
    if (placed.empty()) return;
    scale_ = fromStart;
    for (size_t i = 0; i < widgets.size(); ++i) {
        const ChartRect& r = placed[i];
        widgets[i]->setGeometry(r.left, r.top, r.Width(), r.Height());
        widgets[i]->update();
    }
    logoLink_->Follow();
    if (toolbar_) {
        toolbar_->setGeometry(Control(ctl::kCommandBarPlace)->geometry());
        toolbar_->update();
    }
    FitTextToScale();
    parameters_->FitColumns();
    CentreAddressText();
    if (keyboard_) keyboard_->Follow();
    update();
}

QRect CTiltwiseDlg::PlaceAtStartSize(QWidget& child) const {
    static const char* const kStartPlace = "startPlace";
    const QVariant known = child.property(kStartPlace);
    if (known.isValid()) return known.toRect();
    // Met for the first time: where it is now, seen at the start size.
    const QRect g = child.geometry();
    const double sx = double(startClientSize_.width()) / std::max(1, scale_.referenceWidth);
    const double sy = double(startClientSize_.height()) / std::max(1, scale_.referenceHeight);
    const QRect place(QPoint(int(std::lround(g.left() * sx)), int(std::lround(g.top() * sy))),
                      QPoint(int(std::lround((g.right() + 1) * sx)) - 1,
                             int(std::lround((g.bottom() + 1) * sy)) - 1));
    child.setProperty(kStartPlace, place);
    return place;
}

// ---- chart commands -------------------------------------------------------

CChartCtrl* CTiltwiseDlg::Chart() const {
    return static_cast<CChartCtrl*>(Control(ctl::kChart));
}

void CTiltwiseDlg::TakeTimeSpan() {
    if (plotFeed_)
        plotFeed_->SetPointCount(PointCountForSlider(static_cast<QSlider*>(slider_)->value()));
}

void CTiltwiseDlg::OnChartCommand(int command) {
    RunChartCommand(*chartCommands_, command);
    // The buttons are named by what their next click does, as their tips are.
    if (toolbar_) toolbar_->RefreshNames();
}

std::string CTiltwiseDlg::ChartCommandTip(int command) const {
    return LoadResourceString(ChartCommandTipId(*chartCommands_, command), context_.language);
}

std::string CTiltwiseDlg::PictureFileName() const {
    return picture_->FileName();
}

void CTiltwiseDlg::ExportPicture() {
    picture_->Save();
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
    // A shown dialog's own close handling calls reject(), where the close path is.
    if (!isVisible()) EndRecordingForClose();
    QDialog::closeEvent(event);
}

void CTiltwiseDlg::reject() {
    if (!closingWithoutAsking_) {
        const bool mayClose = recording_->MayClose();
        // A signal may end the run while the question is open: it closes anyway.
        if (!mayClose && !closingWithoutAsking_) return;
    }
    EndRecordingForClose();
    QDialog::reject();
}

void CTiltwiseDlg::EndRecordingForClose() {
    if (!closingWithoutAsking_) recording_->OfferUnwrittenRows();
    recording_->SetRecorderIdle();
}

bool CTiltwiseDlg::eventFilter(QObject* watched, QEvent* event) {
    // Every event of the application passes here: only pointers are compared.
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            // Enter takes a typed address, as leaving the box does.
            if (watched == Control(ctl::kAddress) &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
                panel_->ReadDeviceAddress();
            if (!ConsumesEnter(watched, key)) break;
            // Enter presses the focused button as Space does; no default button ever sees it.
            auto* button = qobject_cast<QAbstractButton*>(watched);
            if (button && button->hasFocus() && !key->isAutoRepeat()) button->click();
            return true;
        }
        case QEvent::Paint:
            if (watched == slider_) TakeTimeSpan();
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

bool CTiltwiseDlg::ConsumesEnter(QObject* watched, const QKeyEvent* key) const {
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return false;
    // The parameter list's editor sees Enter first: it commits the edit there.
    QWidget* list = ParameterList();
    if (w == list || list->isAncestorOf(w)) return false;
    return w == this || isAncestorOf(w);
}
