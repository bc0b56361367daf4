#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace quillon::testing {

// Answers the next modal dialog once it is open: `answer` gets it and must close it.
inline void AnswerNextModal(std::function<void(QWidget*)> answer, int attempts = 300) {
    QTimer::singleShot(10, [answer = std::move(answer), attempts] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            answer(modal);
        } else if (attempts > 0) {
            AnswerNextModal(answer, attempts - 1);
        }
    });
}

}  // namespace quillon::testing
