#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>

#include "DeviceTypes.h"
#include "ListCtrlEx.h"
#include "ParameterListPresenter.h"
#include "Settings.h"
#include "SettingsStore.h"

namespace {

class FakeStore : public SettingsStore {
public:
    int ReadInt(const std::string&, int fallback) const override { return fallback; }
    void WriteString(const std::string& key, const std::string& value) override {
        written[key] = value;
    }
    void WriteInt(const std::string& key, int value) override {
        written[key] = std::to_string(value);
    }
    std::map<std::string, std::string> written;
};

class ParameterListPresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        list.resize(250, 140);
        presenter.SetUp(20);
        presenter.ShowProtocol(true);
    }
    ListCtrlEx::CListCtrlEx list;
    Settings settings;
    DecodeParameters decode;
    LiveReadout readout;
    FakeStore store;
    ParameterListPresenter presenter{list, settings, decode, readout, store, Language::English};
};

}  // namespace

TEST_F(ParameterListPresenterTest, CommitsToShownOnlyCellsChangeNothing) {
    for (const auto& [row, column] :
         {std::pair{0, 0}, {1, 0}, {1, 2}, {2, 1}, {2, 2}, {3, 1}, {3, 2}, {4, 1}}) {
        presenter.Commit(row, column, QStringLiteral("0.0001"));
    }
    EXPECT_TRUE(store.written.empty());
    EXPECT_EQ(decode.ResolutionFactor, 0.01f);
    EXPECT_EQ(decode.XRangeOffset, 90.0f);
    EXPECT_EQ(decode.YRangeOffset, 90.0f);
    EXPECT_EQ(readout.ValueFormat(), "%.2f");
}

TEST_F(ParameterListPresenterTest, RangeBeyondSinglePrecisionIsClampedAndStoredAsTyped) {
    presenter.Commit(0, 1, QStringLiteral("1e300deg"));
    presenter.Commit(0, 2, QStringLiteral("-1e300"));
    EXPECT_EQ(decode.XRangeOffset, std::numeric_limits<float>::max());
    EXPECT_EQ(decode.YRangeOffset, -std::numeric_limits<float>::max());
    EXPECT_EQ(store.written["xRange"], "1e300deg");
    EXPECT_EQ(store.written["yRange"], "-1e300");
}

TEST_F(ParameterListPresenterTest, ResolutionTakesBothColumnsAndTheShownDecimals) {
    presenter.Commit(1, 1, QStringLiteral("0.001"));
    EXPECT_EQ(list.GetItemText(1, 2), QStringLiteral("0.001"));
    EXPECT_EQ(readout.ValueFormat(), "%.3f");
    EXPECT_EQ(settings.ValueFormat, "%.3f");
    EXPECT_FLOAT_EQ(decode.ResolutionFactor, 0.001f);
    EXPECT_EQ(store.written["Ratio"], "0.001");
}
