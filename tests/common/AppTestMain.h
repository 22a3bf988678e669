#pragma once

#include "app/KestrunApplication.h"
#include "ui/Skin.h"

#include <QtTest>

// main() for tests of the program's windows: the program's own application object and skin, and
// the text web view, so pages load quickly and alike on every machine.
#define KB_APP_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        qputenv("KESTRUN_WEBVIEW", "text");                                                        \
        KestrunApplication app(argc, argv);                                                        \
        ApplySkin(app);                                                                            \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
