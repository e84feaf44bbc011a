// Every dialog the tests show is checked as it appears: Tab goes round its
// controls in reading order from the top row, row by row and left to right,
// or up into a column to the right; a step back up and to the left is a
// jump, and fails the test that showed the dialog.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <QEvent>
#include <QObject>
#include <QRect>
#include <QWidget>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace zyr::testing {

// The controls Tab reaches in dialog, in their order, each with its place.
inline std::vector<std::pair<QWidget*, QRect>> TabChain(QWidget* dialog)
{
    std::vector<std::pair<QWidget*, QRect>> chain;
    for (QWidget* w = dialog->nextInFocusChain(); w != nullptr && w != dialog; w = w->nextInFocusChain()) {
        if (w->window() == dialog && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(dialog) &&
            w->isEnabled() && w->focusProxy() == nullptr) {
            chain.emplace_back(w, QRect(w->mapTo(dialog, QPoint(0, 0)), w->size()));
        }
    }
    return chain;
}

// Empty when the order reads well; else the first jump, named.
inline std::string TabJump(QWidget* dialog)
{
    // Tab goes round: the reading starts at the left-most control of the top
    // row (controls of one row may differ in height: a check box beside a
    // taller field starts lower).
    auto chain = TabChain(dialog);
    if (chain.empty()) {
        return {};
    }
    auto top = std::min_element(chain.begin(), chain.end(),
                                [](const auto& a, const auto& b) { return a.second.top() < b.second.top(); });
    const QRect topRow = top->second;
    auto first = top;
    for (auto it = chain.begin(); it != chain.end(); ++it) {
        const bool inTopRow = it->second.top() <= topRow.bottom() && topRow.top() <= it->second.bottom();
        if (inTopRow && it->second.left() < first->second.left()) {
            first = it;
        }
    }
    std::rotate(chain.begin(), first, chain.end());
    for (size_t i = 1; i < chain.size(); ++i) {
        const QRect& from = chain[i - 1].second;
        const QRect& to = chain[i].second;
        const bool up = to.bottom() < from.top();
        const bool sameRow = !up && to.top() < from.bottom() && from.top() < to.bottom();
        const bool left = to.right() < from.left();
        if ((up && to.left() < from.right()) || (sameRow && left)) {
            auto name = [](QWidget* w) {
                return (w->metaObject()->className() + std::string(" ") + w->objectName().toStdString());
            };
            return name(chain[i - 1].first) + " -> " + name(chain[i].first);
        }
    }
    return {};
}

class TabOrderCheck : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto* dialog = qobject_cast<QDialog*>(watched)) {
                const std::string jump = TabJump(dialog);
                if (!jump.empty()) {
                    ADD_FAILURE() << "the Tab order of \"" << dialog->windowTitle().toStdString()
                                  << "\" jumps: " << jump;
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace zyr::testing
