#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <chrono>
#include <functional>
#include <memory>

#include "IniFile.h"
#include "SimProcess.h"
#include "TiltwiseDlg.h"
#include "UiFakes.h"

// A main window over a scratch installation, with every desktop service faked.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override { ini = std::make_unique<CIniFile>(scratch.Config()); }

    DialogContext Context(Language lang) {
        languageFlag = lang == Language::Chinese ? 0 : 1;
        DialogContext c;
        c.language = lang;
        c.languageFlag = &languageFlag;
        c.backgroundPicture = lang == Language::Chinese ? 197 : 199;
        c.ini = ini.get();
        c.messages = &messages;
        c.urls = &urls;
        c.timers = &timers;
        c.executablePath = scratch.Bin() + "/tiltscope";
        c.folders = &folders;
        c.screenSize = QSize(1920, 1080);
        return c;
    }

    static QPushButton* RecordButton(CTiltwiseDlg& dlg) {
        return qobject_cast<QPushButton*>(dlg.Control(1008));
    }

    std::unique_ptr<CTiltwiseDlg> Make(Language lang, bool init = true) {
        auto dlg = std::make_unique<CTiltwiseDlg>(Context(lang));
        if (init) dlg->InitWindow();
        return dlg;
    }

    ScratchFolder scratch;
    std::unique_ptr<CIniFile> ini;
    int languageFlag = 1;
    RecordingMessages messages;
    RecordingUrls urls;
    FakeTimers timers;
    CannedFolders folders;
};

// Runs the Qt event loop (where the channel's deliveries land) until `done`.
inline bool ProcessUntil(const std::function<bool()>& done,
                         std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The window with a real channel whose ports come from a scratch ports folder.
class PortWindowFixture : public WindowFixture {
protected:
    std::unique_ptr<CTiltwiseDlg> StartOnPort(int configuredPort, int baudIndex) {
        ini->WriteInt("COM", configuredPort);
        ini->WriteInt("BAUD", baudIndex);
        return StartWindow();
    }

    // A start with Config.ini as it is.
    std::unique_ptr<CTiltwiseDlg> StartWindow() {
        port = std::make_unique<CSerialPort>(PortMap(ports.Path()));
        DialogContext c = Context(Language::English);
        c.port = port.get();
        c.discoverPorts = [this] { return PortMap(ports.Path()).Discover(PosixPortFileSystem()); };
        auto dlg = std::make_unique<CTiltwiseDlg>(c);
        dlg->InitWindow();
        return dlg;
    }

    PortsDir ports;
    std::unique_ptr<CSerialPort> port;
};
