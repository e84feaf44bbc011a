// The one toolkit application of the console tests, on the offscreen
// platform, with every dialog's Tab order checked as it shows, and a way to
// answer a modal dialog once its loop runs.
#pragma once

#include "tests/pages/TabOrderCheck.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace zyr::testing {

inline QApplication& QtTestApp()
{
    static int argc = 1;
    static char name[] = "console_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* made = new QApplication(argc, argv);
        made->installEventFilter(new TabOrderCheck);
        return made;
    }();
    return *app;
}

// Clicks the button named id of the active modal dialog as soon as the
// dialog's own event loop runs.
inline void ClickInNextModal(const char* id)
{
    QTimer::singleShot(0, [id] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        if (auto* button = dialog->findChild<QPushButton*>(id)) {
            button->click();
        }
    });
}

// Runs body inside the active modal dialog's loop, once it is shown.
inline void WhileModalShown(std::function<void(QDialog&)> body)
{
    QTimer::singleShot(0, [body] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(nullptr, dialog);
        body(*dialog);
    });
}

// The child control named id; a failure of the test when there is none.
template <typename W>
W* ChildControl(QWidget& parent, const char* id)
{
    W* widget = parent.findChild<W*>(id);
    EXPECT_NE(nullptr, widget) << id;
    return widget;
}

} // namespace zyr::testing
