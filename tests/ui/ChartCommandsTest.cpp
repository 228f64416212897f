#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "ChartCommands.h"
#include "StringTable.h"

namespace {

// A chart that records which action ran; each switch flips its own state.
class FakeChart : public ChartCommandActions {
public:
    enum State { kCrossHair, kXRuler, kYRuler, kAbscissa, kOrdinate, kXData, kYData, kStates };

    void StartDrawing() override { calls.push_back("StartDrawing"); }
    void StopDrawing() override { calls.push_back("StopDrawing"); }
    void ShowMouse() override { calls.push_back("ShowMouse"); }
    void GeneratePicture() override { calls.push_back("GeneratePicture"); }
    void ToggleCrossHair() override { Flip("ToggleCrossHair", kCrossHair); }
    void ToggleXAxisRuler() override { Flip("ToggleXAxisRuler", kXRuler); }
    void ToggleYAxisRuler() override { Flip("ToggleYAxisRuler", kYRuler); }
    void ToggleAbscissa() override { Flip("ToggleAbscissa", kAbscissa); }
    void ToggleOrdinate() override { Flip("ToggleOrdinate", kOrdinate); }
    void ToggleXData() override { Flip("ToggleXData", kXData); }
    void ToggleYData() override { Flip("ToggleYData", kYData); }

    bool CrossHairOn() const override { return on[kCrossHair]; }
    bool XAxisRulerOn() const override { return on[kXRuler]; }
    bool YAxisRulerOn() const override { return on[kYRuler]; }
    bool AbscissaShown() const override { return on[kAbscissa]; }
    bool OrdinateShown() const override { return on[kOrdinate]; }
    bool XDataShown() const override { return on[kXData]; }
    bool YDataShown() const override { return on[kYData]; }

    std::vector<std::string> calls;
    // As the chart starts: tools off, axes and data shown.
    std::array<bool, kStates> on{{false, false, false, true, true, true, true}};

private:
    void Flip(const char* name, State s) {
        calls.push_back(name);
        on[s] = !on[s];
    }
};

std::string Tip(const FakeChart& chart, int command, Language lang = Language::English) {
    return LoadResourceString(ChartCommandTipId(chart, command), lang);
}

// The state a command's click flipped, or -1.
int FlippedState(const FakeChart& before, const FakeChart& after) {
    for (int s = 0; s < FakeChart::kStates; ++s) {
        if (before.on[s] != after.on[s]) return s;
    }
    return -1;
}

bool StartsWith(const std::string& text, const char* word) {
    return text.rfind(word, 0) == 0;
}

}  // namespace

TEST(ChartCommands, EveryCommandRunsOneActionOfItsOwn) {
    std::set<std::string> actions;
    for (const ChartCommand& c : ChartCommandTable()) {
        FakeChart chart;
        EXPECT_TRUE(RunChartCommand(chart, c.command)) << c.command;
        ASSERT_EQ(chart.calls.size(), 1u) << c.command;
        actions.insert(chart.calls.front());
    }
    EXPECT_EQ(actions.size(), 11u);
    // The bar's unused command and anything else do nothing and have no tip.
    for (int unknown : {0, 32779, 1}) {
        FakeChart chart;
        EXPECT_FALSE(RunChartCommand(chart, unknown));
        EXPECT_TRUE(chart.calls.empty());
        EXPECT_EQ(Tip(chart, unknown), "");
    }
}

TEST(ChartCommands, ClickDoesWhatItsTipSays) {
    // What each action is called on the button, in the English texts.
    const std::pair<const char*, const char*> words[] = {
        {"StartDrawing", "Start drawing"},
        {"StopDrawing", "Stop drawing"},
        {"ShowMouse", "mouse"},
        {"ToggleCrossHair", "cross-hair"},
        {"ToggleXAxisRuler", "X-axis ruler"},
        {"ToggleYAxisRuler", "Y-axis ruler"},
        {"ToggleAbscissa", "abscissa"},
        {"ToggleOrdinate", "ordinates"},
        {"GeneratePicture", "picture"},
        {"ToggleXData", "X data"},
        {"ToggleYData", "Y data"},
    };
    for (const ChartCommand& c : ChartCommandTable()) {
        FakeChart chart;
        const std::string tip = Tip(chart, c.command);
        RunChartCommand(chart, c.command);
        const char* word = nullptr;
        for (const auto& [action, w] : words) {
            if (chart.calls.front() == action) word = w;
        }
        ASSERT_NE(word, nullptr) << chart.calls.front();
        EXPECT_NE(tip.find(word), std::string::npos) << c.command << ": " << tip;
    }
}

TEST(ChartCommands, SwitchTipsNameTheNextClickAndFollowTheirOwnStateOnly) {
    for (const ChartCommand& c : ChartCommandTable()) {
        FakeChart chart;
        const FakeChart before = chart;
        const std::string first = Tip(chart, c.command);
        RunChartCommand(chart, c.command);
        const int own = FlippedState(before, chart);
        const std::string second = Tip(chart, c.command);
        if (own < 0) {
            EXPECT_EQ(second, first) << c.command;
        } else {
            EXPECT_NE(second, first) << c.command;
            // A switch that is on offers to switch it off, and the other way round.
            const bool on = chart.on[own];
            EXPECT_TRUE(on ? StartsWith(second, "Disable") || StartsWith(second, "Hide")
                           : StartsWith(second, "Enable") || StartsWith(second, "Show"))
                << c.command << ": " << second;
            RunChartCommand(chart, c.command);
            EXPECT_EQ(Tip(chart, c.command), first) << c.command;
        }
        // Whatever the other switches do, this tip stays.
        const std::string now = Tip(chart, c.command);
        for (int s = 0; s < FakeChart::kStates; ++s) {
            if (s == own) continue;
            chart.on[s] = !chart.on[s];
            EXPECT_EQ(Tip(chart, c.command), now) << c.command << " state " << s;
        }
    }
}

TEST(ChartCommands, EveryTipInEveryStateIsItsOwnTextInBothLanguages) {
    for (Language lang : {Language::English, Language::Chinese}) {
        std::set<std::string> tips;
        size_t count = 0;
        for (const ChartCommand& c : ChartCommandTable()) {
            FakeChart chart;
            for (int click = 0; click < 2; ++click) {
                const std::string tip = Tip(chart, c.command, lang);
                EXPECT_FALSE(tip.empty()) << c.command;
                if (tips.insert(tip).second) ++count;
                RunChartCommand(chart, c.command);
            }
        }
        // Four commands with one tip, seven switches with two.
        EXPECT_EQ(count, 4u + 7u * 2u);
    }
}
