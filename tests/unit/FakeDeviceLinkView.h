#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "DeviceLinkView.h"

// The main window as the device link sees it, in memory, recording what is shown.
class FakeDeviceLinkView : public DeviceLinkView {
public:
    struct Box {
        std::string text;
        std::string caption;
        BoxIcon icon;
    };
    struct List {
        std::vector<std::string> entries;
        std::map<int, std::string> tips;
        int selection = -1;
    };

    void ClearList(int id) override { lists[id] = List{}; }
    bool InsertListEntry(int id, int position, const std::string& text) override {
        if (refusingList == id) return false;
        auto& e = lists[id].entries;
        if (position < 0 || position > static_cast<int>(e.size()))
            position = static_cast<int>(e.size());
        e.insert(e.begin() + position, text);
        return true;
    }
    void SetListEntryTip(int id, int position, const std::string& tip) override {
        lists[id].tips[position] = tip;
    }
    int ListCount(int id) const override { return static_cast<int>(Get(id).entries.size()); }
    std::string ListEntry(int id, int position) const override {
        const auto& e = Get(id).entries;
        return position >= 0 && position < static_cast<int>(e.size()) ? e[position] : "";
    }
    int ListSelection(int id) const override { return Get(id).selection; }
    void SelectListEntry(int id, int position) override {
        lists[id].selection = position >= 0 && position < ListCount(id) ? position : -1;
    }
    std::string ListText(int id) const override {
        auto it = listTexts.find(id);
        if (it != listTexts.end()) return it->second;
        return ListEntry(id, ListSelection(id));
    }
    std::string ControlText(int id) const override {
        auto it = texts.find(id);
        return it == texts.end() ? "" : it->second;
    }
    void SetControlText(int id, const std::string& text) override { texts[id] = text; }
    void SetLabelText(int id, const std::string& text) override { texts[id] = text; }
    void ShowControl(int id, bool visible) override { shown[id] = visible; }
    bool ChineseSelected() const override { return chinese; }
    std::string ResourceString(int id) const override {
        switch (id) {
            case kStrPortOpenFailed:
                return "Serial port open failed";
            case kStrOpen:
                return "Open";
            case kStrClose:
                return "Close";
            case kStrOperateSuccessfully:
                return "operate successfully!!";
            case kStrConnect:
                return "Connect";
            case kStrDisconnect:
                return "Disconnect";
            default:
                return "";
        }
    }
    void ShowBox(const std::string& text, const std::string& caption, BoxIcon icon) override {
        boxes.push_back({text, caption, icon});
    }
    void StartTimer(int id, int periodMs, bool) override {
        timerRunning[id] = true;
        timerPeriod[id] = periodMs;
    }
    void StopTimer(int id) override { timerRunning[id] = false; }
    void PostOpConfirmed() override { ++posted; }
    int TrafficPaneLength() const override { return static_cast<int>(pane.size()); }
    void ReplaceTrafficPane(const std::string& text) override { pane = text; }
    void AppendTrafficPane(const std::string& text) override { pane += text; }
    void ApplyProtocolToList() override { ++protocolApplied; }
    void SetModelName(const std::string& name) override { model = name; }
    void ReadoutTick() override { ++readoutTicks; }

    std::map<int, List> lists;
    std::map<int, std::string> listTexts;
    std::map<int, std::string> texts;
    std::map<int, bool> shown;
    std::vector<Box> boxes;
    std::array<bool, 4> timerRunning{};
    std::array<int, 4> timerPeriod{};
    int posted = 0;
    std::string pane;
    int protocolApplied = 0;
    int readoutTicks = 0;
    std::string model;
    bool chinese = false;
    int refusingList = 0;

private:
    const List& Get(int id) const {
        static const List kEmpty;
        auto it = lists.find(id);
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
