#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "IniFile.h"
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
