#pragma once

#include "ui/Icons.h"
#include "ui/Skin.h"

#include <QApplication>
#include <QtTest>

// main() for tests of one folder's windows without the shell: the program's pictures and skin,
// and the text web view, so pages load quickly and alike on every machine.
#define KB_WINDOW_TEST_MAIN(TestClass)                                                             \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        qputenv("KESTRUN_WEBVIEW", "text");                                                        \
        QApplication app(argc, argv);                                                              \
        InitResources();                                                                           \
        ApplySkin(app);                                                                            \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
