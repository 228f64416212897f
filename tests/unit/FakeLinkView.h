#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "LinkView.h"
#include "SettingsStore.h"

// The device link's view in memory, recording what is shown.
class FakeLinkView : public LinkView {
public:
    struct Box {
        std::string text;
        std::string caption;
        BoxIcon icon;
    };
    struct List {
        std::vector<std::string> entries;
        int selection = -1;
    };

    void ShowPorts(const std::vector<PortEntry>& shown) override {
        ports = shown;
        portSelection = -1;
    }
    void ChoosePort(int position) override {
        portSelection = position >= 0 && position < static_cast<int>(ports.size()) ? position : -1;
    }
    int ChosenPort() const override { return portSelection; }
    std::vector<std::string> PortTexts() const {
        std::vector<std::string> texts;
        for (const PortEntry& p : ports) texts.push_back(p.text);
        return texts;
    }

    int ShowChoices(LinkChoice choice, const std::vector<std::string>& entries) override {
        lists[choice] = List{};
        if (refusing == choice) return static_cast<int>(entries.size());
        lists[choice].entries = entries;
        return 0;
    }
    void Choose(LinkChoice choice, int position) override {
        const int count = static_cast<int>(Get(choice).entries.size());
        lists[choice].selection = position >= 0 && position < count ? position : -1;
    }
    int Chosen(LinkChoice choice) const override { return Get(choice).selection; }
    std::string ChoiceText(LinkChoice choice) const override {
        auto it = typedTexts.find(choice);
        if (it != typedTexts.end()) return it->second;
        return Entry(choice, Chosen(choice));
    }
    std::string Entry(LinkChoice choice, int position) const {
        const auto& e = Get(choice).entries;
        return position >= 0 && position < static_cast<int>(e.size()) ? e[position] : "";
    }

    std::string AddressText() const override { return address; }
    void ShowAddress(const std::string& text) override { address = text; }
    std::string NewAddressText() const override { return newAddress; }
    void ShowNewAddress(const std::string& text) override { newAddress = text; }
    void ShowSaveCommand(bool shown) override { saveShown = shown; }
    void ShowParityCommand(bool shown) override { parityShown = shown; }
    void ShowLinkOpen(bool open) override { linkShownOpen = open; }
    void ShowPolling(bool on) override { pollingShown = on; }

    bool ChineseSelected() const override { return chinese; }
    std::string Text(LinkText text) const override {
        switch (text) {
            case LinkText::PortOpenFailed:
                return "Serial port open failed";
            case LinkText::OperateSuccessfully:
                return "operate successfully!!";
        }
        return "";
    }
    void ShowBox(const std::string& text, const std::string& caption, BoxIcon icon) override {
        boxes.push_back({text, caption, icon});
    }
    void StartTimer(LinkTimer timer, int periodMs, bool) override {
        timerRunning[timer] = true;
        timerPeriod[timer] = periodMs;
    }
    void StopTimer(LinkTimer timer) override { timerRunning[timer] = false; }
    void PostOpConfirmed() override { ++posted; }
    int TrafficTextLength() const override { return static_cast<int>(pane.size()); }
    void ReplaceTrafficText(const std::string& text) override { pane = text; }
    void AppendTrafficText(const std::string& text) override { pane += text; }
    void ApplyProtocolToList() override { ++protocolApplied; }
    void SetModelName(const std::string& name) override { model = name; }
    void ReadoutTick() override { ++readoutTicks; }

    std::vector<PortEntry> ports;
    int portSelection = -1;
    std::map<LinkChoice, List> lists;
    // What the operator typed in a list in place of choosing.
    std::map<LinkChoice, std::string> typedTexts;
    std::string address;
    std::string newAddress;
    std::optional<bool> saveShown;
    std::optional<bool> parityShown;
    std::optional<bool> linkShownOpen;
    std::optional<bool> pollingShown;
    std::vector<Box> boxes;
    std::map<LinkTimer, bool> timerRunning;
    std::map<LinkTimer, int> timerPeriod;
    int posted = 0;
    std::string pane;
    int protocolApplied = 0;
    int readoutTicks = 0;
    std::string model;
    bool chinese = false;
    // A list that refuses every entry.
    std::optional<LinkChoice> refusing;

private:
    const List& Get(LinkChoice choice) const {
        static const List kEmpty;
        auto it = lists.find(choice);
        return it == lists.end() ? kEmpty : it->second;
    }
};

class FakeSettingsStore : public SettingsStore {
public:
    int ReadInt(const std::string& key, int fallback) const override {
        auto it = values.find(key);
        return it == values.end() ? fallback : std::atoi(it->second.c_str());
    }
    void WriteString(const std::string& key, const std::string& value) override {
        values[key] = value;
        ++writes[key];
    }
    void WriteInt(const std::string& key, int value) override {
        WriteString(key, std::to_string(value));
    }
    std::map<std::string, std::string> values;
    std::map<std::string, int> writes;
};
