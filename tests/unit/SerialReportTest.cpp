#include <gtest/gtest.h>

#include <string>

#include "Serialport.h"

namespace {

TEST(SerialReport, ApiFailureTextKeepsItsLayout) {
    EXPECT_EQ(
        FormatApiFailure("WriteFile()", "Input/output error", 3),
        "WARNING:  WriteFile() Failed with the following error: \nInput/output error\nPort: 3\n");
}

TEST(SerialReport, ApiFailureTextIsCutTo199CharactersOnACharacterBoundary) {
    const std::string longText(300, 'x');
    EXPECT_EQ(FormatApiFailure("ReadFile()", longText, 1).size(), 199u);

    // A two-byte character straddling the cut is dropped whole.
    const std::string prefix = "WARNING:  ReadFile() Failed with the following error: \n";
    std::string text(199 - prefix.size() - 1, 'y');
    text += "\xC3\xA9tail";
    const std::string cut = FormatApiFailure("ReadFile()", text, 1);
    EXPECT_EQ(cut.size(), 198u);
    EXPECT_EQ(cut.back(), 'y');
}

}  // namespace
