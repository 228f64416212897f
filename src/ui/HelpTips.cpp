#include "HelpTips.h"

#include <QWidget>
#include <utility>

#include "StringTable.h"

namespace {

// Long help tips wrap at this width in pixels.
constexpr int kTooltipWidth = 159;

// Help areas and the strings they explain.
const std::pair<int, int> kHelpAreas[] = {
    {ctl::kHelpConnection, IDS_HELP_CONNECTION}, {ctl::kHelpAddress, IDS_HELP_ADDRESS},
    {ctl::kHelpSettings, IDS_HELP_SETTINGS},     {ctl::kHelpSaving, IDS_HELP_SAVING},
    {ctl::kHelpChart, IDS_HELP_CHART},           {ctl::kHelpParameters, IDS_HELP_PARAMETERS},
    {ctl::kHelpTraffic, IDS_HELP_TRAFFIC},
};

}  // namespace

QString HelpTips::Text(int id) const {
    for (const auto& [area, text] : kHelpAreas) {
        if (area == id) return QString::fromUtf8(LoadResourceString(text, language_));
    }
    return QString();
}

void HelpTips::Describe() const {
    // The tooltip carries markup for its width; the description is the plain text.
    for (const auto& [id, text] : kHelpAreas) control_(id)->setAccessibleDescription(Text(id));
}

void HelpTips::Attach() const {
    for (const auto& [id, text] : kHelpAreas) {
        // A fixed-width table makes long tips wrap at the width the help has always had.
        const QString tip = QStringLiteral("<table width=\"%1\"><tr><td>%2</td></tr></table>")
                                .arg(kTooltipWidth)
                                .arg(Text(id).toHtmlEscaped());
        control_(id)->setToolTip(tip);
    }
}
