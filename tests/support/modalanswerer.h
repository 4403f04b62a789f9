// Answers the modal dialogs that code under test opens, one after the other, from a timer.
// Arm it before the code that opens them; it polls for the active modal window and answers it
// through a queued call, so that a dialog opened by an answer is answered in its turn. A dialog
// that does not come in time, or one nobody scripted, fails the test and is closed.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <vector>

class ModalAnswerer {
public:
    using Answer = std::function<void(QWidget* dialog)>;

    explicit ModalAnswerer(int timeoutMs = 10000);
    // Stops polling: a leftover poller would answer the next test's dialog. Closes a modal
    // still open and fails the test for answers never used.
    ~ModalAnswerer();
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    ModalAnswerer& Then(Answer answer);
    int Answered() const { return m_answered; }
    // The class names of the dialogs answered, in order.
    const std::vector<QString>& Seen() const { return m_seen; }

    // Common answers.
    static Answer Reject();
    static Answer Accept();
    // A file dialog: types `path` into its name box and accepts as the Open/Save button does.
    static Answer ChooseFile(const QString& path);
    // A file dialog: picks entry `index` of its file-type list as the user would.
    static Answer PickFileType(int index, Answer then = {});
    // Closes every open modal window (rejecting dialogs).
    static void CloseAllModals();

private:
    void poll();

    QTimer m_timer;
    QElapsedTimer m_waiting;
    int m_timeoutMs;
    std::deque<Answer> m_answers;
    std::vector<QPointer<QWidget>> m_done;
    std::vector<QString> m_seen;
    int m_answered = 0;
};
