#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

// Widgets and fonts need one application object for the whole run. The face
// names the chart asks for map onto fonts that are installed everywhere the
// tests run, so text measures the same on every machine.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont::insertSubstitution(QStringLiteral("Microsoft Sans Serif"),
                              QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
