#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QToolBar>
#include <QToolButton>

#include "ChartCommands.h"
#include "DialogTemplate.h"
#include "StringTable.h"
#include "ToolbarDlg.h"
#include "WindowFixture.h"

namespace {

QString Accessible(QWidget* w, QAccessible::Text what) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    return face ? face->text(what) : QString();
}

QString NameOf(QWidget* w) {
    return Accessible(w, QAccessible::Name);
}

QString DescriptionOf(QWidget* w) {
    return Accessible(w, QAccessible::Description);
}

// The controls that label `w` for assistive technology.
QList<QWidget*> LabelsOf(QWidget* w) {
    QList<QWidget*> labels;
    for (const auto& [face, relation] :
         QAccessible::queryAccessibleInterface(w)->relations(QAccessible::Label)) {
        if (auto* label = qobject_cast<QWidget*>(face->object())) labels << label;
    }
    return labels;
}

QToolButton* ToolButton(CTiltwiseDlg& dlg, int command) {
    return dlg.Toolbar()->findChild<QToolButton*>(QString::number(command));
}

class AccessibilityTest : public WindowFixture, public ::testing::WithParamInterface<Language> {
protected:
    // The same text in the language under test.
    QString T(const char* english, const char* chinese) const {
        return QString::fromUtf8(GetParam() == Language::Chinese ? chinese : english);
    }
};

TEST_P(AccessibilityTest, EveryControlOfTheWindowHasAName) {
    auto dlg = Make(GetParam());
    for (const ControlSpec& spec : DialogControls()) {
        QWidget* w = dlg->Control(spec.id);
        ASSERT_NE(w, nullptr) << spec.id;
        EXPECT_FALSE(NameOf(w).trimmed().isEmpty()) << spec.id;
        EXPECT_FALSE(w->accessibleName().trimmed().isEmpty()) << spec.id;
        // On Linux Qt names a drop-down list by its value ("9600"), and its
        // caption comes through the label relation.
        if (spec.kind == ControlKind::DropDownList) continue;
        // Raw numbers are for tests and tools, never what a screen reader says.
        bool number = false;
        NameOf(w).toInt(&number);
        EXPECT_FALSE(number) << spec.id << " " << NameOf(w).toStdString();
    }
}

TEST_P(AccessibilityTest, EveryToolbarButtonIsNamedByItsTooltip) {
    auto dlg = Make(GetParam());
    ASSERT_NE(dlg->Toolbar(), nullptr);
    for (const ChartCommand& c : ChartCommandTable()) {
        const int command = c.command;
        QToolButton* button = ToolButton(*dlg, command);
        ASSERT_NE(button, nullptr) << command;
        EXPECT_FALSE(NameOf(button).isEmpty()) << command;
        EXPECT_EQ(NameOf(button), dlg->Toolbar()->TipFor(command)) << command;
    }
    EXPECT_EQ(NameOf(ToolButton(*dlg, 32773)), T("Enable cross-hair cursor", "显示十字光标"));
    EXPECT_EQ(NameOf(ToolButton(*dlg, 32782)), T("Generate picture", "截图"));
}

TEST_P(AccessibilityTest, ToolbarButtonNamesFollowWhatTheNextClickDoes) {
    auto dlg = Make(GetParam());
    ToolButton(*dlg, 32773)->click();
    EXPECT_EQ(NameOf(ToolButton(*dlg, 32773)), T("Disable cross-hair cursor", "关闭十字光标"));
    ToolButton(*dlg, 32775)->click();
    EXPECT_EQ(NameOf(ToolButton(*dlg, 32775)), T("Enable abscissa axis", "启用横坐标轴"));
    for (const ChartCommand& c : ChartCommandTable())
        EXPECT_EQ(NameOf(ToolButton(*dlg, c.command)), dlg->Toolbar()->TipFor(c.command))
            << c.command;
}

TEST_P(AccessibilityTest, HelpAreasAreDescribedByTheirHelpText) {
    auto dlg = Make(GetParam());
    for (int id : {1088, 1089, 1090, 1091, 1092, 1093, 1094}) {
        EXPECT_FALSE(dlg->HelpText(id).isEmpty()) << id;
        // The plain help text, not the tooltip's markup.
        EXPECT_EQ(DescriptionOf(dlg->Control(id)), dlg->HelpText(id)) << id;
        EXPECT_TRUE(NameOf(dlg->Control(id)).startsWith(T("Help", "帮助"))) << id;
    }
    EXPECT_EQ(NameOf(dlg->Control(1088)), T("Help: Serial port", "帮助：串口设置"));
}

TEST_P(AccessibilityTest, ButtonsAndLabelsAreNamedByTheirCaptions) {
    auto dlg = Make(GetParam());
    EXPECT_EQ(NameOf(dlg->Control(1001)), T("Open", "打开"));
    EXPECT_EQ(NameOf(dlg->Control(1016)), T("Browse", "浏览"));
    EXPECT_EQ(NameOf(dlg->Control(1056)), QStringLiteral("中文"));
    EXPECT_EQ(NameOf(dlg->Control(1055)), QStringLiteral("English"));
    EXPECT_EQ(NameOf(dlg->Control(1035)), T("Com", "端口"));
    EXPECT_EQ(NameOf(dlg->Control(1047)), T("Temperature", "温度"));
    // "Set" alone would not say what it sets.
    EXPECT_EQ(NameOf(dlg->Control(1009)), T("Set Baud", "设置波特率"));
    EXPECT_EQ(NameOf(dlg->Control(1013)), T("Set Addr", "设置地址"));
}

TEST_P(AccessibilityTest, ListsAndFieldsAreNamedAfterTheCaptionBesideThem) {
    auto dlg = Make(GetParam());
    const struct {
        int id;
        int caption;
        const char* english;
        const char* chinese;
    } named[] = {
        {1003, 1035, "Com", "端口"},      {1004, 1036, "Baud", "波特率"},
        {1017, 1037, "Parity", "校验位"}, {1080, 1040, "Addr", "地址"},
        {1005, 1085, "Baud", "波特率"},   {1010, 1086, "Fre", "频率"},
        {1079, 1087, "Addr", "地址"},     {1025, 1045, "Protocol", "协议"},
    };
    for (const auto& n : named) {
        QWidget* w = dlg->Control(n.id);
        EXPECT_EQ(w->accessibleName(), T(n.english, n.chinese)) << n.id;
        EXPECT_EQ(LabelsOf(w), QList<QWidget*>{dlg->Control(n.caption)}) << n.id;
    }
    // Fields say their name through the interface itself.
    EXPECT_EQ(NameOf(dlg->Control(1080)), T("Addr", "地址"));
    EXPECT_EQ(NameOf(dlg->Control(1079)), T("Addr", "地址"));
    EXPECT_EQ(NameOf(dlg->Control(1052)), T("Time span", "绘制长度"));
    EXPECT_EQ(NameOf(dlg->Control(1000)), T("Data curve", "数据曲线"));
    EXPECT_EQ(NameOf(dlg->Control(1015)), T("Serial data", "串口数据"));
    EXPECT_EQ(NameOf(dlg->Control(1062)), T("Parameters", "参数"));
}

TEST_P(AccessibilityTest, NamesFollowCaptionsAndValuesThatChange) {
    auto dlg = Make(GetParam());
    dlg->SetLabelText(1026, QStringLiteral("Connect"));
    EXPECT_EQ(NameOf(dlg->Control(1026)), QStringLiteral("Connect"));
    dlg->SetLabelText(1030, QStringLiteral("25.50"));
    EXPECT_EQ(NameOf(dlg->Control(1030)), T("Temperature: 25.50", "温度: 25.50"));
    EXPECT_EQ(NameOf(dlg->Control(1075)), QStringLiteral("xPos"));
    dlg->SetLabelText(1075, QStringLiteral("xPos:1.50s"));
    EXPECT_EQ(NameOf(dlg->Control(1075)), QStringLiteral("xPos:1.50s"));
    dlg->SetLabelText(1075, QString());
    EXPECT_EQ(NameOf(dlg->Control(1075)), QStringLiteral("xPos"));
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, AccessibilityTest,
                         ::testing::Values(Language::English, Language::Chinese),
                         [](const ::testing::TestParamInfo<Language>& param) {
                             return param.param == Language::English ? "English" : "Chinese";
                         });

}  // namespace
