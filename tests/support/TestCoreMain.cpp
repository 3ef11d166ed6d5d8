#include <QGuiApplication>

#include <gtest/gtest.h>

// The tests of the code below the forms run on a QGuiApplication: with no
// widget library linked, a widget include there fails to build.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("zentarek"));
    return RUN_ALL_TESTS();
}
